#include "editor/SynthRes.h"

#include <cstdio>

#include "base/Cp936.h"
#include "editor/CommonQuickControls.h"
#include "editor/EditorLink.h"
#include "editor/SynthForm.h"
#include "resources/EmbeddedLists.h"
#include "toolkit/MenuLook.h"

namespace norv {
namespace {

TSynthResModule* gModule = nullptr;

// The instrument whose editor owns `control`.
IEditorLink* LinkOf(tk::TControl* control) {
    for (tk::TComponent* c = control; c; c = c->Owner())
        if (auto* form = dynamic_cast<TSynthEditorForm*>(c)) return form->Link;
    return nullptr;
}

// The picture at its two densities; the 2x one is optional.
std::shared_ptr<const tk::TBitmap> LoadPicture(const std::string& folder, const std::string& stem) {
    const std::string path = folder + stem + ".bmp";
    try {
        tk::TSurface normal = tk::ReadBmpFile(path);
        tk::TSurface doubled;
        try {
            doubled = tk::ReadBmpFile(folder + stem + "@2x.bmp");
        } catch (const std::exception&) {
            // Drawn from the plain one, a little soft at high scales.
        }
        return std::make_shared<tk::TBitmap>(std::move(normal), std::move(doubled));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Norv Keys: %s; the panel is drawn plain\n", e.what());
        return nullptr;
    }
}

// A list compiled into the instrument, at both densities.
tk::TBitmapList EmbeddedList(const res::TEmbeddedBitmap (&list)[2]) {
    try {
        auto strip = std::make_shared<tk::TBitmap>(tk::DecodeBmp(list[0].Data, list[0].Size),
                                                   tk::DecodeBmp(list[1].Data, list[1].Size));
        return tk::TBitmapList(std::move(strip), list[0].Count);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Norv Keys: a built-in picture is damaged: %s\n", e.what());
        return {};
    }
}

}  // namespace

TSynthResModule* SynthResModule() { return gModule; }

TSynthResModule::TSynthResModule(const std::string& artworkFolder) : tk::TComponent(nullptr) {
    Name = "SynthResModule";
    WheelMenu = new tk::TPopupMenu(this);
    WheelMenu->Name = "WheelMenu";
    WheelMenu->AutoHotkeys = false;
    WheelMenu->AutoLineReduction = false;
    WheelMenu->OnPopup = [this](tk::TPopupMenu* m) { WheelMenuPopup(m); };
    ResetMenu = WheelMenu->AddItem(Utf8ToCp936("重置"));
    ResetMenu->Name = "ResetMenu";
    ResetMenu->OnClick = [this](tk::TMenuItem* i) { ResetMenuClick(i); };
    N19 = WheelMenu->AddItem("-");
    N19->Name = "N19";

    KbBtnIL = EmbeddedList(res::kKbBtnIL);
    TestKbIL.Images = EmbeddedList(res::kTestKbIL);
    ViewSelectorIL = EmbeddedList(res::kViewSelectorIL);
    InfoBtnIL = EmbeddedList(res::kInfoBtnIL);
    if (!artworkFolder.empty()) LoadArtwork(artworkFolder);
    TestKbIL.SetKeyGeometry(17, 9, 0, 40);
    tk::ColorizeMenus(11781575, 0.3);
    if (!gModule) gModule = this;
}

TSynthResModule::~TSynthResModule() {
    if (gModule == this) gModule = nullptr;
}

void TSynthResModule::LoadArtwork(const std::string& folder) {
    Bitmaps[0] = LoadPicture(folder, "back");
    Bitmaps[1] = LoadPicture(folder, "about");
}

void TSynthResModule::WheelMenuPopup(tk::TPopupMenu* sender) {
    tk::TControl* c = sender->PopupComponent;
    if (!c) return;
    ResetMenu->Visible = dynamic_cast<tk::TToggleButton*>(c) == nullptr;
    N19->Visible = ResetMenu->Visible;
    sender->Tag = c->Tag;
    if (IEditorLink* link = LinkOf(c))
        link->AddHostMenuItems(*sender, 2, static_cast<int32_t>(c->Tag),
                               [this](tk::TMenuItem* i) { EditEventsMenuClick(i); });
    else
        sender->TrimItems(2);
}

void TSynthResModule::ResetMenuClick(tk::TMenuItem* sender) {
    if (auto* s = dynamic_cast<TCustomSelector*>(sender->Menu->PopupComponent)) s->ResetToDefault();
}

void TSynthResModule::EditEventsMenuClick(tk::TMenuItem* sender) {
    tk::TControl* c = sender->Menu->PopupComponent;
    if (IEditorLink* link = c ? LinkOf(c) : nullptr)
        link->RunHostMenuItem(static_cast<int32_t>(c->Tag), static_cast<int32_t>(sender->Tag));
}

}  // namespace norv

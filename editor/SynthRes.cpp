#include "editor/SynthRes.h"

#include "editor/CommonQuickControls.h"
#include "editor/SynthForm.h"
#include "editor/EditorLink.h"
#include "base/Cp936.h"

namespace norv {
namespace {

// The instrument whose editor owns `control`.
IEditorLink* LinkOf(tk::TControl* control) {
    for (tk::TComponent* c = control; c; c = c->Owner())
        if (auto* form = dynamic_cast<TSynthEditorForm*>(c)) return form->Link;
    return nullptr;
}

}  // namespace

TSynthResModule::TSynthResModule() : tk::TComponent(nullptr) {
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

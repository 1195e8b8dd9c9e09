#include "toolkit/PopupMenu.h"

#include "toolkit/Application.h"
#include "toolkit/Display.h"
#include "toolkit/MenuWindow.h"

namespace norv::tk {
namespace {
TPopupMenu* gOpenMenu = nullptr;
// Every live menu, linked through the menus themselves: a list with a
// destructor of its own could go before the last menu when the library
// unloads. GUI thread.
TPopupMenu* gFirstMenu = nullptr;
}  // namespace

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), nextMenu_(gFirstMenu) { gFirstMenu = this; }

TPopupMenu::~TPopupMenu() {
    Close();
    for (TPopupMenu** link = &gFirstMenu; *link; link = &(*link)->nextMenu_) {
        if (*link != this) continue;
        *link = nextMenu_;
        break;
    }
}

void TPopupMenu::ForgetControl(const TControl* control) {
    for (TPopupMenu* m = gFirstMenu; m; m = m->nextMenu_) {
        if (m->PopupComponent != control) continue;
        m->Close();
        m->PopupComponent = nullptr;
    }
}

TMenuItem* TPopupMenu::AddItem(std::string caption, intptr_t tag) {
    auto* item = new TMenuItem(this);
    item->Caption = std::move(caption);
    item->Tag = tag;
    item->Menu = this;
    Items.push_back(item);
    return item;
}

void TPopupMenu::TrimItems(size_t keep) {
    while (Items.size() > keep) {
        TMenuItem* item = Items.back();
        Items.pop_back();
        delete item;
    }
}

void TPopupMenu::Popup(TControl* component) { PopupAt(component, Application().MouseScreenPos()); }

void TPopupMenu::PopupAt(TControl* component, TPoint screen) {
    if (TPopupMenu* open = OpenMenu()) open->Close();
    PopupComponent = component;
    if (OnPopup) OnPopup(this);
    highlighted_ = -1;
    gOpenMenu = this;
    if (TDisplay::Get()) window_ = std::make_unique<TMenuWindow>(*this, screen, component ? component->Scale() : 1.0);
}

void TPopupMenu::Close() {
    if (gOpenMenu == this) gOpenMenu = nullptr;
    highlighted_ = -1;
    window_.reset();
}

bool TPopupMenu::IsOpen() const { return gOpenMenu == this; }

TPopupMenu* TPopupMenu::OpenMenu() { return gOpenMenu; }

bool TPopupMenu::Selectable(int i) const {
    if (i < 0 || i >= static_cast<int>(Items.size())) return false;
    const TMenuItem* item = Items[static_cast<size_t>(i)];
    return item->Visible && item->Enabled && !item->IsSeparator();
}

void TPopupMenu::SetHighlighted(int i) {
    if (i == highlighted_) return;
    highlighted_ = i;
    if (window_) window_->Repaint();
}

void TPopupMenu::Choose(int i) {
    if (!Selectable(i)) return;
    TMenuItem* item = Items[static_cast<size_t>(i)];
    Close();
    if (item->OnClick) item->OnClick(item);
}

void TPopupMenu::HandleKey(TMenuKey key) {
    const int n = static_cast<int>(Items.size());
    switch (key) {
        case TMenuKey::Down:
        case TMenuKey::Up: {
            int step = key == TMenuKey::Down ? 1 : -1;
            int i = highlighted_;
            for (int tries = 0; tries < n; ++tries) {
                i = i < 0 ? (step > 0 ? 0 : n - 1) : (i + step + n) % n;
                if (Selectable(i)) {
                    SetHighlighted(i);
                    break;
                }
            }
            break;
        }
        case TMenuKey::Enter:
            Choose(highlighted_);
            break;
        case TMenuKey::Escape:
            Close();
            break;
        case TMenuKey::Left:
        case TMenuKey::Right:
            // No submenus in these menus: nothing to open or leave.
            break;
    }
}

}  // namespace norv::tk

// The resource module shared by every editor of the process: the knobs'
// popup menu. Created by the first instance, freed when the library unloads.
#pragma once

#include "toolkit/PopupMenu.h"

namespace norv {

class TSynthResModule : public tk::TComponent {
public:
    TSynthResModule();

    tk::TPopupMenu* WheelMenu;
    tk::TMenuItem* ResetMenu;
    tk::TMenuItem* N19;

    void WheelMenuPopup(tk::TPopupMenu* sender);
    void ResetMenuClick(tk::TMenuItem* sender);
    void EditEventsMenuClick(tk::TMenuItem* sender);
};

}  // namespace norv

// The resource module shared by every editor of the process: the knobs'
// popup menu, the controls' bitmap lists and the two artwork pictures.
// Created by the first instance, freed when the library unloads. GUI thread.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "editor/MusicControls.h"
#include "toolkit/Bitmap.h"
#include "toolkit/PopupMenu.h"

namespace norv {

class TSynthResModule : public tk::TComponent {
public:
    // `artworkFolder` holds back.bmp and about.bmp (and their @2x pictures).
    explicit TSynthResModule(const std::string& artworkFolder = {});
    ~TSynthResModule() override;

    tk::TPopupMenu* WheelMenu;
    tk::TMenuItem* ResetMenu;
    tk::TMenuItem* N19;
    tk::TBitmapList KbBtnIL;
    TKbDIBmpList TestKbIL;
    tk::TBitmapList ViewSelectorIL;
    tk::TBitmapList InfoBtnIL;
    // 0: the panel's background, 1: the information panel's. A picture that
    // cannot be read stays empty and the panel is drawn plain.
    std::array<std::shared_ptr<const tk::TBitmap>, 2> Bitmaps;

    void WheelMenuPopup(tk::TPopupMenu* sender);
    void ResetMenuClick(tk::TMenuItem* sender);
    void EditEventsMenuClick(tk::TMenuItem* sender);

private:
    void LoadArtwork(const std::string& folder);
};

// The module of the process, nullptr before the first instance.
TSynthResModule* SynthResModule();

}  // namespace norv

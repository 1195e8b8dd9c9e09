// The instrument's editor: fifteen knobs, the set selector with its loading
// display, the information panel and the test keyboard. It holds no sound
// state: every knob mirrors the instance's parameter table.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "editor/CommonQuickControls.h"
#include "editor/CommonQuickControls2.h"
#include "editor/MusicControls.h"
#include "engine/Parameters.h"
#include "toolkit/Controls.h"

namespace norv {

class IEditorLink;
class TPianoWaveTable;

// Posted by the engine: wparam the key, lparam 1 sounding / 0 stopped.
inline constexpr uint32_t KeyStateMessage = 1357;

class TSynthEditorForm : public tk::TForm {
public:
    TSynthEditorForm();
    ~TSynthEditorForm() override;

    // The instrument the editor shows; nullptr for an editor on its own.
    IEditorLink* Link = nullptr;
    // By Tag; one slot more than there are knobs, and it stays empty.
    std::array<TCustomSelector*, kParamCount + 1> ParamControls{};

    // Components.
    tk::TWallpaperPanel* SynthPanel;
    TQuickCombo* WavetableCombo;
    tk::TToggleButton* InfoBtn;
    tk::TProgressBar* WavetableProgress;
    std::array<TLineWheel*, kParamCount> Wheels;
    tk::TToggleButton* KbBtn;
    tk::TWallpaperPanel* MidiKbWP;
    TQuickMIDIKbEx* MIDIKb;
    tk::TWallpaperPanel* AboutPanel;
    tk::TLabel* lblVersion;
    tk::TLabel* lblWTName;
    tk::TLabel* lblWTAuthor;
    tk::TLabel* lblWTSamplerate;
    tk::TLabel* lblWTVelocityLayers;
    tk::TLabel* lblWTSamples;
    tk::TLabel* lblWTRange;
    tk::TLabel* lblWTFilesize;

    // Handlers.
    void FormCreate();
    void WheelChange(tk::TControl* sender);
    void WheelAdjustColor(TLineWheel* sender, uint32_t& color);
    void KbBtnClick(tk::TControl* sender);
    void SynthPanelResize(tk::TControl* sender);
    void MIDIKbNoteOn(tk::TControl* sender, int32_t note, int32_t velocity);
    void MIDIKbNoteOff(tk::TControl* sender, int32_t note, int32_t velocity);
    void WavetableComboChange(tk::TControl* sender);
    void InfoBtnClick(tk::TControl* sender);
    void AboutPanelClick(tk::TControl* sender);

    void ShowLoading(bool busy, bool pumpMessages);
    void ProgressCallback(TPianoWaveTable* table, int32_t current, int32_t last);
    static std::string NoteName(uint8_t key);

    // Device pixels per logical pixel of the whole panel (1 through the plug-in boundary).
    void SetEditorScale(double scale);

    void HandleMessage(const tk::TMessage& m) override;
};

}  // namespace norv

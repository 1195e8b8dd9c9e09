#include "editor/SynthForm.h"

#include "editor/SynthLayout.h"
#include "editor/SynthRes.h"
#include "engine/Parameters.h"
#include "editor/EditorLink.h"
#include "resources/PanelLayout.h"
#include "toolkit/Application.h"
#include "base/Cp936.h"
#include "base/NumberFormat.h"
#include "wavetable/WavTables.h"

namespace norv {
namespace {

using res::kPanelHeight;
using res::kPanelHeightNoKeyboard;
using res::kPanelWidth;

template <class T>
T* Make(tk::TComponent* owner, const char* name, tk::TWinControl* parent, const res::TBox& b) {
    T* c = new T(owner);
    c->Name = name;
    c->SetParent(parent);
    c->SetBounds(b.Left, b.Top, b.Width, b.Height);
    return c;
}

void SetBox(tk::TControl* c, const res::TBox& b) { c->SetBounds(b.Left, b.Top, b.Width, b.Height); }

constexpr uint32_t kColorPauseDisabled = 9998985;
constexpr uint32_t kColorAtPause = 20735;
constexpr uint32_t kOlive = 0x008080;
constexpr uint32_t kLabelColor = 6316128;

tk::TFont PanelFont(uint32_t color) {
    tk::TFont f;
    f.PixelHeight = 11;
    f.Color = color;
    return f;
}

}  // namespace

TSynthEditorForm::TSynthEditorForm() : tk::TForm(nullptr) {
    Name = "SynthEditorForm";
    SetBounds(0, 0, kPanelWidth, kPanelHeight);
    Color = 6776408;
    TSynthResModule* res = SynthResModule();

    SynthPanel = Make<tk::TWallpaperPanel>(this, "SynthPanel", this, {0, 0, kPanelWidth, kPanelHeight});
    SynthPanel->Color = 9077633;
    SynthPanel->Tag = -1;

    WavetableCombo = Make<TQuickCombo>(this, "WavetableCombo", SynthPanel, res::kSelectorBox);
    WavetableCombo->Hint = Utf8ToCp936("|选择波表");
    WavetableCombo->Tag = -1;
    WavetableCombo->Color = 12703700;
    WavetableCombo->Font = PanelFont(0);
    WavetableCombo->Cursor = tk::TCursor::HandPoint;
    if (res) WavetableCombo->Images = res->ViewSelectorIL;
    WavetableCombo->OnChange = [this](tk::TControl* s) { WavetableComboChange(s); };

    InfoBtn = Make<tk::TToggleButton>(this, "InfoBtn", SynthPanel, res::kInfoButtonBox);
    InfoBtn->Hint = Utf8ToCp936("|显示此波表的信息");
    InfoBtn->Tag = -1;
    InfoBtn->Cursor = tk::TCursor::HandPoint;
    if (res) InfoBtn->Images = res->InfoBtnIL;
    InfoBtn->OnClick = [this](tk::TControl* s) { InfoBtnClick(s); };

    WavetableProgress = Make<tk::TProgressBar>(this, "WavetableProgress", SynthPanel, res::kProgressBox);
    WavetableProgress->SetVisible(false);
    WavetableProgress->Tag = -1;

    for (size_t i = 0; i < kKnobLayout.size(); ++i) {
        const TKnobLayout& k = kKnobLayout[i];
        const res::TPlace& at = res::kKnobPlaces[i];
        TLineWheel* w = Make<TLineWheel>(this, k.Name, SynthPanel, {at.Left, at.Top, res::kKnobSize, res::kKnobSize});
        w->Tag = static_cast<intptr_t>(i);
        w->SlowMotionDiv = 4;
        w->HotSideX = 12;
        w->HotSideY = 12;
        w->LineColor = 11511708;
        w->LinePressedColor = 8230648;
        w->LineThickness = 1;
        w->MoveSpeed = k.MoveSpeed;
        const TParamInfo& p = kParams[i];
        w->SetMin(p.Min);
        w->SetMax(p.Max);
        w->SetValue(p.Initial);
        w->SetDefaultValue(p.Reset);
        w->SetOptions(k.Options);
        w->Hint = Utf8ToCp936(std::string("|") + p.Name);
        w->OnChange = [this](tk::TControl* s) { WheelChange(s); };
        if (res) w->PopupMenu = res->WheelMenu;
        if (k.AdjustColor) w->OnAdjustColor = [this](TLineWheel* s, uint32_t& c) { WheelAdjustColor(s, c); };
        Wheels[i] = w;
    }

    KbBtn = Make<tk::TToggleButton>(this, "KbBtn", SynthPanel, res::kKeyboardButtonBox);
    KbBtn->Hint = Utf8ToCp936("|显示/隐藏 测试键盘");
    KbBtn->Tag = -1;
    KbBtn->Font = PanelFont(13025463);
    KbBtn->ReleaseFade = 20;
    KbBtn->Cursor = tk::TCursor::HandPoint;
    if (res) KbBtn->Images = res->KbBtnIL;
    KbBtn->SetDown(true);
    KbBtn->OnClick = [this](tk::TControl* s) { KbBtnClick(s); };

    MidiKbWP = Make<tk::TWallpaperPanel>(this, "MidiKbWP", SynthPanel, res::kKeyboardWell);
    MidiKbWP->Tag = -1;
    MidiKbWP->Color = kOlive;
    MIDIKb = Make<TQuickMIDIKbEx>(this, "MIDIKb", MidiKbWP, res::kKeyboardBox);
    MIDIKb->Tag = -1;
    MIDIKb->MinKey = 0;
    MIDIKb->MaxKey = 119;
    MIDIKb->Color = 11380895;
    MIDIKb->Cursor = tk::TCursor::HandPoint;
    if (res) MIDIKb->KbBmpList = &res->TestKbIL;
    MIDIKb->OnNoteOn = [this](tk::TControl* s, int32_t n, int32_t v) { MIDIKbNoteOn(s, n, v); };
    MIDIKb->OnNoteOff = [this](tk::TControl* s, int32_t n, int32_t v) { MIDIKbNoteOff(s, n, v); };

    AboutPanel = Make<tk::TWallpaperPanel>(this, "AboutPanel", this, res::kAboutBox);
    AboutPanel->SetVisible(false);
    AboutPanel->Tag = -1;
    AboutPanel->Color = kOlive;
    AboutPanel->Cursor = tk::TCursor::HandPoint;
    AboutPanel->OnClick = [this](tk::TControl* s) { AboutPanelClick(s); };
    const res::TPlace& version = res::kVersionPlace;
    lblVersion = Make<tk::TLabel>(this, "lblVersion", AboutPanel, {version.Left, version.Top, 0, 0});
    lblVersion->Font = PanelFont(kLabelColor);
    const char* infoNames[] = {"lblWTName", "lblWTAuthor", "lblWTSamplerate", "lblWTVelocityLayers",
                               "lblWTSamples", "lblWTRange", "lblWTFilesize"};
    tk::TLabel** infoLabels[] = {&lblWTName, &lblWTAuthor, &lblWTSamplerate, &lblWTVelocityLayers,
                                 &lblWTSamples, &lblWTRange, &lblWTFilesize};
    for (size_t i = 0; i < res::kAboutRowTops.size(); ++i) {
        const res::TBox at{res::kAboutValueLeft, res::kAboutRowTops[i], 0, 0};
        *infoLabels[i] = Make<tk::TLabel>(this, infoNames[i], AboutPanel, at);
        (*infoLabels[i])->Font = PanelFont(kLabelColor);
    }

    SynthPanel->OnResize = [this](tk::TControl* s) { SynthPanelResize(s); };
    FormCreate();
    // The engine posts key notices to this window from the start.
    Handle();
}

TSynthEditorForm::~TSynthEditorForm() = default;

void TSynthEditorForm::FormCreate() {
    if (TSynthResModule* res = SynthResModule()) SynthPanel->Wallpaper = res->Bitmaps[0];
    for (tk::TControl* c : SynthPanel->Controls()) {
        if (c->Tag < 0 || c->Tag >= static_cast<intptr_t>(ParamControls.size())) continue;
        if (auto* s = dynamic_cast<TCustomSelector*>(c)) ParamControls[static_cast<size_t>(c->Tag)] = s;
    }
    AboutPanel->SetParent(SynthPanel);
    if (TSynthResModule* res = SynthResModule()) AboutPanel->Wallpaper = res->Bitmaps[1];
    KbBtn->SetDown(Height() == kPanelHeight);
}

void TSynthEditorForm::WheelChange(tk::TControl* sender) {
    auto* knob = static_cast<TCustomSelector*>(sender);
    if (Link) Link->KnobMoved(static_cast<int32_t>(knob->Tag), knob->Value());
}

void TSynthEditorForm::WheelAdjustColor(TLineWheel* sender, uint32_t& color) {
    if (sender->Pressed() && sender->Value() == sender->DefaultValue() && sender->LineColor != kColorPauseDisabled)
        color = kColorAtPause;
}

void TSynthEditorForm::KbBtnClick(tk::TControl*) {
    SynthPanel->SetHeight(SynthPanel->Height() == kPanelHeight ? kPanelHeightNoKeyboard : kPanelHeight);
    if (Link) Link->EditorResized();
}

void TSynthEditorForm::SynthPanelResize(tk::TControl*) {
    bool corrected = false;
    if (SynthPanel->Height() == 187) {
        corrected = true;
        SynthPanel->SetHeight(kPanelHeightNoKeyboard);
    } else if (SynthPanel->Height() == 258) {
        corrected = true;
        SynthPanel->SetHeight(kPanelHeight);
    }
    const bool keyboardShown = SynthPanel->Height() > kPanelHeightNoKeyboard;
    if (Link) Link->KeyboardShown(keyboardShown);
    KbBtn->SetDown(keyboardShown);
    if (corrected && Link) Link->EditorResized();
}

void TSynthEditorForm::MIDIKbNoteOn(tk::TControl*, int32_t note, int32_t velocity) {
    if (Link) Link->KeyboardNoteOn(note, velocity);
}

void TSynthEditorForm::MIDIKbNoteOff(tk::TControl*, int32_t note, int32_t) {
    if (Link) Link->KeyboardNoteOff(note);
}

void TSynthEditorForm::WavetableComboChange(tk::TControl*) {
    ShowLoading(true, true);
    if (Link) Link->SetChosen(WavetableCombo->SelectedEntryIndex());
    ShowLoading(false, true);
}

void TSynthEditorForm::ShowLoading(bool busy, bool pumpMessages) {
    AboutPanel->SetVisible(false);
    InfoBtn->SetDown(false);
    for (size_t i = 0; i < kParamCount; ++i)
        if (ParamControls[i]) ParamControls[i]->SetVisible(!busy);
    SetBox(WavetableProgress, res::kLoadingProgressBox);
    WavetableProgress->SetProgress(100, 0);
    WavetableProgress->SetVisible(busy);
    WavetableCombo->SetVisible(!busy);
    if (pumpMessages) tk::Application().ProcessMessages();
}

void TSynthEditorForm::ProgressCallback(TPianoWaveTable*, int32_t current, int32_t last) {
    WavetableProgress->SetProgress(last, current);
}

std::string TSynthEditorForm::NoteName(uint8_t key) {
    static const char* const names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    return std::string(names[key % 12]) + std::to_string(key / 12);
}

void TSynthEditorForm::InfoBtnClick(tk::TControl*) {
    const TPianoWaveTable* t = Link ? Link->CurrentSet() : nullptr;
    // An instance without a set has nothing to describe; the panel still opens.
    if (t && !t->Samples.empty()) {
        lblWTName->SetCaption(t->Name);
        lblWTAuthor->SetCaption(t->Author);
        lblWTSamplerate->SetCaption(FormatFixed(t->SampleRate, 0, 0) + "Hz");
        lblWTVelocityLayers->SetCaption(std::to_string(t->LayerCount));
        size_t last = t->Samples.size() - 1;
        size_t top = last + 1 >= t->LayerCount ? last + 1 - t->LayerCount : 0;
        std::string lo = NoteName(static_cast<uint8_t>(t->Samples[0].Root & 0xFF));
        std::string hi = NoteName(static_cast<uint8_t>(t->Samples[top].Root & 0xFF));
        lblWTSamples->SetCaption(std::to_string(t->Samples.size()));
        lblWTRange->SetCaption(lo + "-" + hi);
        lblWTFilesize->SetCaption(FormatSize(t->FileSize));
    }
    AboutPanel->SetVisible(InfoBtn->Down());
    for (size_t i = 0; i < kParamCount; ++i)
        if (ParamControls[i]) ParamControls[i]->SetVisible(!AboutPanel->Visible());
}

void TSynthEditorForm::AboutPanelClick(tk::TControl* sender) {
    InfoBtn->SetDown(false);
    InfoBtnClick(sender);
}

void TSynthEditorForm::SetEditorScale(double scale) {
    SetScale(scale);
    // The panel may live in the host's window, outside the form's tree.
    SynthPanel->SetScale(scale);
}

void TSynthEditorForm::HandleMessage(const tk::TMessage& m) {
    if (m.Msg != KeyStateMessage) return;
    if (m.LParam == 1)
        MIDIKb->PressKey(static_cast<int32_t>(m.WParam));
    else
        MIDIKb->ReleaseKey(static_cast<int32_t>(m.WParam));
}

}  // namespace norv

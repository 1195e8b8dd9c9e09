// The editor's side of the instance: its parent window and what the editor
// asks of the instrument. Main thread.
#include "editor/SynthForm.h"
#include "plugin/TestPlug.h"

namespace norv {

void TTestPlug::SetEditorParent(tk::WindowId window) {
    TSynthEditorForm* form = Form();
    EditorDetached = window == 0;
    if (window == 0) {
        form->SynthPanel->SetParentWindow(0);
        form->SynthPanel->SetParent(form);
    } else {
        form->SynthPanel->SetParentWindow(window);
    }
    EditorHandle = static_cast<intptr_t>(form->SynthPanel->Handle());
    form->SynthPanelResize(form->SynthPanel);
}

void TTestPlug::KnobMoved(int32_t index, int32_t value) {
    Host->NotifyParamChanged(HostTag, index, value);
    HandleParameter(index, value, ParamFlag::Set | ParamFlag::ShowText);
}

void TTestPlug::KeyboardNoteOn(int32_t key, int32_t velocity) {
    Host->HostDispatch(HostTag, HostOpcode::KeyboardNoteOn, key, velocity);
}

void TTestPlug::KeyboardNoteOff(int32_t key) { Host->HostDispatch(HostTag, HostOpcode::KeyboardNoteOff, key, 0); }

void TTestPlug::SetChosen(int32_t index) { LoadWaveTable(index, true, true, true); }

void TTestPlug::EditorResized() { Host->HostDispatch(HostTag, HostOpcode::EditorResized, 0, 0); }

void TTestPlug::KeyboardShown(bool shown) {
    // A detached editor shows no keys, whatever its height.
    Engine.KeyboardNotify = shown && !EditorDetached;
}

void TTestPlug::AddHostMenuItems(tk::TPopupMenu& menu, size_t keep, int32_t paramIndex,
                                 const std::function<void(tk::TMenuItem*)>& onClick) {
    TQuirraPlugBase::AddHostMenuItems(menu, keep, paramIndex, onClick);
}

void TTestPlug::RunHostMenuItem(int32_t paramIndex, int32_t entry) {
    Host->HostDispatch(HostTag, HostOpcode::RunParamMenuItem, paramIndex, entry);
}

}  // namespace norv

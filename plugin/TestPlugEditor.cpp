// The editor's side of the instance: its parent window and what the editor
// asks of the instrument. Main thread.
#include <algorithm>
#include <cstdio>

#include "editor/SynthForm.h"
#include "plugin/TestPlug.h"
#include "toolkit/Application.h"

namespace norv {

void TTestPlug::SetEditorParent(tk::WindowId window) {
    // A parent the host destroyed just before is known to be gone.
    tk::Application().CatchUpWithServer();
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
    // The host looks at the window right after this call.
    tk::Application().ProcessMessages();
}

void TTestPlug::SetEditorScale(int32_t percent) {
    Form()->SetEditorScale(std::clamp(percent, 50, 400) / 100.0);
    tk::Application().ProcessMessages();
}

bool TTestPlug::SaveEditorImage(const char* path) {
    if (!path || !*path) return false;
    tk::TSurface image = Form()->SynthPanel->RenderImage();
    const cairo_status_t status = cairo_surface_write_to_png(image.get(), path);
    if (status != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "Norv Keys: %s: cannot write the picture: %s\n", path, cairo_status_to_string(status));
        return false;
    }
    return true;
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

void TTestPlug::EditorResized() {
    // The host reads the new size from its own connection.
    tk::Application().SyncWithServer();
    Host->HostDispatch(HostTag, HostOpcode::EditorResized, 0, 0);
}

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

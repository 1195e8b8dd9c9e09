#include "tools/norvkeys/PanelWindow.h"

#include <cstdio>
#include <iostream>

#include "base/Cp936.h"
#include "host/StateStream.h"
#include "tools/norvkeys/SetChoice.h"

namespace norv::tool {
namespace {

// Hints carry the host's formatting marks ("^b", "^a") and progress texts a
// "^." and a letter for the bar; a status line shows the text alone.
std::string WithoutMarks(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '^' && i + 1 < text.size()) {
            i += text[i + 1] == '.' && i + 2 < text.size() ? 2 : 1;
            continue;
        }
        out += text[i];
    }
    return out;
}

}  // namespace

void LogEvent(const std::string& line) { std::cout << line << std::endl; }

PanelWindow::PanelWindow(host::EditorWindow& window, host::Host& host, TQuirraPlug* plug)
    : window_(window), host_(host), plug_(plug), resizes_(host.EditorResizes),
      statusCount_(host.StatusTexts.size()), locks_(host.ProcessingLocks) {
    host_.MainWindow = window_.Handle();
    plug_->HostCommand(PlugCommand::SetEditorParent, 0, window_.Handle());
    window_.FitPanel(plug_->EditorHandle);
    window_.Show();
    char id[32];
    std::snprintf(id, sizeof id, "0x%lx", static_cast<unsigned long>(plug_->EditorHandle));
    LogEvent(std::string("panel ") + id);
    LogEvent("set " + host::PlayingSetName(plug_));
}

PanelWindow::~PanelWindow() {
    plug_->HostCommand(PlugCommand::SetEditorParent, 0, 0);
    host_.MainWindow = 0;
}

bool PanelWindow::Pump(int waitMs) {
    if (!window_.Pump(waitMs)) return false;
    plug_->IdleUpdate();
    if (host_.EditorResizes != resizes_) {
        window_.FitPanel(plug_->EditorHandle);
        const std::string size =
            "panel-size " + std::to_string(window_.PanelWidth()) + " " + std::to_string(window_.PanelHeight());
        for (; resizes_ != host_.EditorResizes; ++resizes_) LogEvent(size);
    }
    if (host_.StatusTexts.size() != statusCount_) {
        statusCount_ = host_.StatusTexts.size();
        window_.SetStatus(WithoutMarks(DisplayText(host_.StatusTexts.back())));
    }
    if (const auto it = host_.LastHint.find(plug_->HostTag); it != host_.LastHint.end() && it->second != hint_) {
        hint_ = it->second;
        window_.SetStatus(WithoutMarks(DisplayText(hint_)));
    }
    // A set switch takes the processing lock.
    if (host_.ProcessingLocks != locks_) {
        locks_ = host_.ProcessingLocks;
        LogEvent("set " + host::PlayingSetName(plug_));
    }
    return true;
}

}  // namespace norv::tool

// The instance's panel in a window of this host, with the host's status
// line, as `editor` and `play` show it. Each event a script may follow is
// one printed line: "panel 0xID" once the panel is in, "set NAME" for the
// first set and every switch, "panel-size W H" each time the panel asks to
// be fitted again. GUI thread only.
#pragma once

#include <cstddef>
#include <string>

#include "host/EditorWindow.h"
#include "host/HostServices.h"

namespace norv::tool {

// One line on standard output, flushed: a reader may be waiting for it.
void LogEvent(const std::string& line);

// The window outlives the instance: an instance that ends after its host's
// X connection closed leaves some of cairo's state behind.
class PanelWindow {
public:
    PanelWindow(host::EditorWindow& window, host::Host& host, TQuirraPlug* plug);
    // Takes the panel out of the window again.
    ~PanelWindow();
    PanelWindow(const PanelWindow&) = delete;
    PanelWindow& operator=(const PanelWindow&) = delete;

    // One round: the window's events (waiting up to `waitMs` for one), the
    // instance's idle time, then what the instance asked for since. False
    // once the user closed the window.
    bool Pump(int waitMs);
    bool PointerInside() const { return window_.PointerInside(); }
    void SetStatus(const std::string& utf8) { window_.SetStatus(utf8); }

private:
    host::EditorWindow& window_;
    host::Host& host_;
    TQuirraPlug* plug_;
    int resizes_;
    size_t statusCount_;
    int locks_;
    std::string hint_;
};

}  // namespace norv::tool

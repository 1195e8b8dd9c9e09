// A host's window for a plug-in's editor: the panel embedded at the top
// through its X window, a status line of the host's own below it (hints,
// status texts). It follows the panel's size when the plug-in asks the host
// to re-read it, and sizes the panel to its own height when the user (or
// the window manager) resizes it. Uses its own X connection, as a host
// does. One thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace norv::host {

class EditorWindow {
public:
    // Throws std::runtime_error when no display can be opened.
    EditorWindow(const std::string& title, double scale);
    ~EditorWindow();
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    // The window to hand to SetEditorParent.
    intptr_t Handle() const;
    // Makes room for the panel window `panel` as it is now, then shows the window.
    void FitPanel(intptr_t panel);
    // The panel's size as last fitted or given, device pixels.
    int PanelWidth() const;
    int PanelHeight() const;
    void Show();
    // UTF-8 text of the status line.
    void SetStatus(const std::string& utf8);
    // Handles the window's events, waiting up to `waitMs` for one. Returns
    // false once the user closed the window.
    bool Pump(int waitMs);
    // Whether the pointer is over the window (its panel included).
    bool PointerInside() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace norv::host

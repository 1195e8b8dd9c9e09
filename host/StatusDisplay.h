// What the host shows of an instance's status texts: progress texts ("^."
// followed by a letter a..u, then a message) as a terminal progress bar,
// other texts as status lines.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace norv::host {

struct ProgressText {
    int Steps = 0;  // 0..20
    std::string Message;
};

// A progress text decoded; false for an ordinary status text.
bool ParseProgressText(std::string_view text, ProgressText& out);

class StatusDisplay {
public:
    // Draws on `out` only when it is a terminal and not quiet.
    explicit StatusDisplay(std::FILE* out = stderr);

    bool Quiet = false;

    // `text` is code page 936.
    void Show(std::string_view text);
    // A bar for work of the host's own (rendering), 0..1.
    void ShowFraction(double fraction, std::string_view label);
    // Ends a bar that is on screen, so later output starts on a fresh line.
    void Finish();

    const std::string& LastStatus() const { return lastStatus_; }
    int LastProgressSteps() const { return lastSteps_; }

private:
    void DrawBar(double fraction, std::string_view label);

    std::FILE* out_;
    bool terminal_;
    bool barShown_ = false;
    std::string lastStatus_;
    int lastSteps_ = -1;
};

}  // namespace norv::host

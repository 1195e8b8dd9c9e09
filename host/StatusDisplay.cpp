#include "host/StatusDisplay.h"

#include <unistd.h>

#include <cmath>

#include "base/Cp936.h"

namespace norv::host {

bool ParseProgressText(std::string_view text, ProgressText& out) {
    if (text.size() < 3 || text[0] != '^' || text[1] != '.' || text[2] < 'a' || text[2] > 'u') return false;
    out.Steps = text[2] - 'a';
    out.Message = std::string(text.substr(3));
    return true;
}

StatusDisplay::StatusDisplay(std::FILE* out) : out_(out), terminal_(out && isatty(fileno(out))) {}

void StatusDisplay::Show(std::string_view text) {
    ProgressText p;
    if (ParseProgressText(text, p)) {
        lastSteps_ = p.Steps;
        DrawBar(p.Steps / 20.0, DisplayText(p.Message));
        if (p.Steps == 20) Finish();
        return;
    }
    lastStatus_ = DisplayText(text);
    if (Quiet || !out_) return;
    Finish();
    std::fprintf(out_, "%s\n", lastStatus_.c_str());
}

void StatusDisplay::ShowFraction(double fraction, std::string_view label) { DrawBar(fraction, label); }

void StatusDisplay::DrawBar(double fraction, std::string_view label) {
    if (Quiet || !terminal_) return;
    fraction = std::fmin(std::fmax(fraction, 0.0), 1.0);
    constexpr int kWidth = 30;
    int filled = static_cast<int>(std::lround(fraction * kWidth));
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kWidth - filled), '-');
    std::fprintf(out_, "\r[%s] %3d%% %.*s\033[K", bar.c_str(), static_cast<int>(std::lround(fraction * 100)),
                 static_cast<int>(label.size()), label.data());
    std::fflush(out_);
    barShown_ = true;
}

void StatusDisplay::Finish() {
    if (!barShown_) return;
    std::fprintf(out_, "\n");
    barShown_ = false;
}

}  // namespace norv::host

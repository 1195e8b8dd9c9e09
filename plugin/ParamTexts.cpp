#include "plugin/ParamTexts.h"

#include <array>
#include <cmath>
#include <cstdlib>

#include "editor/SynthLayout.h"
#include "plugin/QP_NativePlug.h"
#include "base/Cp936.h"
#include "base/NumberFormat.h"

namespace norv {

const std::string& ParamName(int32_t index) {
    static const std::array<std::string, 15> names = [] {
        std::array<std::string, 15> n;
        for (size_t i = 0; i < n.size(); ++i) {
            std::string hint = kKnobLayout[i].Hint;
            n[i] = Utf8ToCp936(hint.substr(hint.find('|') + 1));
        }
        return n;
    }();
    return names[static_cast<size_t>(index)];
}

const std::string& UnusedItemText() {
    static const std::string text = Utf8ToCp936("(未使用)");
    return text;
}

std::string ParamValueText(int32_t index, int32_t v, int32_t min, int32_t max) {
    switch (index) {
        case 0:
            if (v == min) return "无衰减(持续)";
            return PercentText(v, max);
        case 1: case 2: case 3: case 6: case 11:
            return PercentText(v, max);
        case 4:
            return PercentText(1000 - v, 1000);
        case 5: case 7:
            return PercentText(v, 1000);
        case 8:
            return FormatFixed(v / 10.0, 7, 0) + " 音分";
        case 9:
            return FormatFixed(static_cast<double>(v) * v * 50 / (static_cast<double>(max) * max), 7, 1);
        case 10:
            return FormatFixed(v / 10.0, 7, 1) + " 音分";
        case 12:
            if (v < 0) return FormatFixed(std::fabs(v / 10.0), 0, 0) + "% (声像)";
            if (v == 0) return "关";
            return FormatFixed(v / 10.0, 0, 0) + "% (颤音)";
        case 13:
            return FormatFixed(std::exp(v / 65536.0 * 9.22 - 4.61), 7, 2) + " Hz";
        case 14:
            return FormatFixed(v / 10.0, 7, 1) + "%";
        default:
            return std::string();
    }
}

}  // namespace norv

#include "plugin/ParamTexts.h"

#include <array>

#include "base/Cp936.h"
#include "engine/Parameters.h"

namespace norv {

const std::string& ParamName(int32_t index) {
    static const std::array<std::string, kParamCount> names = [] {
        std::array<std::string, kParamCount> n;
        for (size_t i = 0; i < n.size(); ++i) n[i] = Utf8ToCp936(kParams[i].Name);
        return n;
    }();
    return names[static_cast<size_t>(index)];
}

std::string ParamValueText(int32_t index, int32_t v) {
    const TParamInfo& p = kParams[static_cast<size_t>(index)];
    return Utf8ToCp936(p.Text(p, v));
}

const std::string& UnusedItemText() {
    static const std::string text = Utf8ToCp936("(未使用)");
    return text;
}

}  // namespace norv

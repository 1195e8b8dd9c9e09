// Parameters: set, get, move the knob, show the value; names for the host.
#include <cstring>

#include "editor/SynthForm.h"
#include "plugin/ParamTexts.h"
#include "plugin/TestPlug.h"

namespace norv {

intptr_t TTestPlug::HandleParameter(intptr_t indexWord, intptr_t valueWord, intptr_t flagsWord) {
    const int32_t index = static_cast<int32_t>(indexWord);
    const int32_t flags = static_cast<int32_t>(flagsWord);
    int32_t value = static_cast<int32_t>(valueWord);
    // Unknown indices, negative ones included, leave everything as it is.
    if (index < 0 || index >= kParamCount) return value;

    const size_t i = static_cast<size_t>(index);
    TLineWheel* knob = Form()->Wheels[i];

    if (flags & ParamFlag::HostScale) value = ParamFromHostScale(index, value);
    if (flags & ParamFlag::Set) {
        ParamValues[i] = value;
        Engine.SetLevel(index, ParamLevelOf(index, value));
    } else if (flags & ParamFlag::Get) {
        value = ParamValues[i];
    }
    if (flags & ParamFlag::MoveKnob) knob->SetValue(value);
    // From the knob's position, which the knob keeps in its range.
    if (flags & ParamFlag::ShowText) ShowHintText(ParamValueText(index, knob->Value()).c_str());
    return value;
}

void TTestPlug::DescribeItem(intptr_t kind, intptr_t index, intptr_t, char* text) {
    if (!text) return;
    const int32_t k = static_cast<int32_t>(kind);
    const int32_t i = static_cast<int32_t>(index);
    if (k == 0) {
        if (i < 0 || i >= kParamCount) return;
        const std::string& name = ParamName(i);
        std::memcpy(text, name.c_str(), name.size() + 1);
    } else if (k == 4) {
        const std::string& unused = UnusedItemText();
        std::memcpy(text, unused.c_str(), unused.size() + 1);
    }
}

}  // namespace norv

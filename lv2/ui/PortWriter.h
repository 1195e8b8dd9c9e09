// The UI's way to the instrument: the host's write function, with the
// messages of UiMessages. GUI thread (the thread that runs the UI).
#pragma once

#include <lv2/ui/ui.h>

#include <cstdint>
#include <string>

#include "lv2/ui/UiMessages.h"

namespace norv::lv2 {

class PortWriter {
public:
    PortWriter(LV2UI_Write_Function write, LV2UI_Controller controller, const Uris& urids)
        : write_(write), controller_(controller), urids_(urids) {}

    // A parameter's value (in its knob's range) to its control port.
    void Parameter(int32_t index, int32_t value) const;
    void MidiNote(int key, int velocity) const;
    void SetSet(const std::string& utf8Name) const;
    void GetSet() const;

private:
    void Event(const AtomBytes& atom) const;

    LV2UI_Write_Function write_;
    LV2UI_Controller controller_;
    const Uris& urids_;
};

}  // namespace norv::lv2

#include "tools/import/VelocityMeasure.h"

#include "engine/VoiceShape.h"

namespace norv::import {

// The host's note-on level is the MIDI velocity / 100.
int InstrumentVelocity(int midi) { return static_cast<int>(EngineVelocity(static_cast<float>(midi) / 100.0f)); }

}  // namespace norv::import

// What the engine needs of its host while it plays. Every call comes from
// the audio thread, inside a block or a voice operation.
#pragma once

#include <cstdint>

namespace norv {

class IEngineHost {
public:
    // Writes the left and right gain for a pan (-1..1) and a level.
    virtual void ComputeVoiceGains(float* left, float* right, float pan, float volume) = 0;
    // The voice has ended; the host kills it, possibly inside this call.
    virtual void VoiceEnded(intptr_t voiceTag) = 0;
    // Held while the block is added into the host's buffer.
    virtual void LockMixOutput() = 0;
    virtual void UnlockMixOutput() = 0;
    // A key started or stopped sounding; must neither block nor allocate.
    virtual void KeyNotice(int32_t key, bool sounding) = 0;

protected:
    ~IEngineHost() = default;
};

}  // namespace norv

// Voice records made once, when the instance is: starting and ending a voice
// only takes a record from the pool and gives it back, so the note path
// never allocates. Audio thread, except construction.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/Voice.h"

namespace norv {

class TVoicePool {
public:
    explicit TVoicePool(int32_t capacity);

    // A cleared record, or nullptr when every record is in use.
    TPianoVoice* Acquire();
    // Gives back a record that Holds.
    void Release(TPianoVoice* v);
    // Whether `v` is one of this pool's records and in use: a handle the
    // host may still hold after its voice was killed is not.
    bool Holds(const TPianoVoice* v) const;

    int32_t Capacity() const { return capacity_; }
    int32_t InUse() const { return capacity_ - freeCount_; }

private:
    int32_t IndexOf(const TPianoVoice* v) const;

    int32_t capacity_;
    std::unique_ptr<TPianoVoice[]> records_;
    std::unique_ptr<int32_t[]> free_;  // a stack of free record indices
    std::unique_ptr<bool[]> inUse_;
    int32_t freeCount_;
};

}  // namespace norv

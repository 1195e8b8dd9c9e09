#include "engine/VoicePool.h"

#include <cstdint>


namespace norv {

TVoicePool::TVoicePool(int32_t capacity)
    : capacity_(capacity < 0 ? 0 : capacity),
      records_(new TPianoVoice[static_cast<size_t>(capacity_)]),
      free_(new int32_t[static_cast<size_t>(capacity_)]),
      inUse_(new bool[static_cast<size_t>(capacity_)]()),
      freeCount_(capacity_) {
    // The first record handed out is the first in memory.
    for (int32_t i = 0; i < capacity_; ++i) free_[static_cast<size_t>(i)] = capacity_ - 1 - i;
}

TPianoVoice* TVoicePool::Acquire() {
    if (freeCount_ == 0) return nullptr;
    const int32_t i = free_[static_cast<size_t>(--freeCount_)];
    inUse_[static_cast<size_t>(i)] = true;
    TPianoVoice& v = records_[static_cast<size_t>(i)];
    v = TPianoVoice{};
    return &v;
}

void TVoicePool::Release(TPianoVoice* v) {
    const int32_t i = IndexOf(v);
    if (i < 0 || !inUse_[static_cast<size_t>(i)]) return;
    inUse_[static_cast<size_t>(i)] = false;
    free_[static_cast<size_t>(freeCount_++)] = i;
}

bool TVoicePool::Holds(const TPianoVoice* v) const {
    const int32_t i = IndexOf(v);
    return i >= 0 && inUse_[static_cast<size_t>(i)];
}

int32_t TVoicePool::IndexOf(const TPianoVoice* v) const {
    // Compared as addresses, so a pointer from anywhere can be asked about.
    const auto first = reinterpret_cast<uintptr_t>(records_.get());
    const auto at = reinterpret_cast<uintptr_t>(v);
    if (at < first || at >= first + sizeof(TPianoVoice) * static_cast<size_t>(capacity_)) return -1;
    if ((at - first) % sizeof(TPianoVoice) != 0) return -1;
    return static_cast<int32_t>((at - first) / sizeof(TPianoVoice));
}

}  // namespace norv

#include "wavetable/WAVUnit.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace norv {

TSampleBlock::TSampleBlock(TSampleBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      owned_(std::exchange(other.owned_, false)) {}

TSampleBlock& TSampleBlock::operator=(TSampleBlock&& other) noexcept {
    if (this != &other) {
        Reset();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        owned_ = std::exchange(other.owned_, false);
    }
    return *this;
}

TSampleBlock TSampleBlock::Allocate(size_t bytes) {
    TSampleBlock block;
    if (bytes == 0) return block;
    block.data_ = std::malloc(bytes);
    if (!block.data_) throw std::bad_alloc();
    block.size_ = bytes;
    block.owned_ = true;
    return block;
}

TSampleBlock TSampleBlock::CopyOf(const void* bytes, size_t size) {
    TSampleBlock block = Allocate(size);
    if (size) std::memcpy(block.data_, bytes, size);
    return block;
}

TSampleBlock TSampleBlock::Borrow(const void* bytes, size_t size) {
    TSampleBlock block;
    if (size == 0) return block;
    block.data_ = const_cast<void*>(bytes);
    block.size_ = size;
    return block;
}

TSampleBlock TSampleBlock::Adopt(void* mallocd, size_t size) {
    TSampleBlock block;
    if (!mallocd) return block;
    if (size == 0) {
        std::free(mallocd);
        return block;
    }
    block.data_ = mallocd;
    block.size_ = size;
    block.owned_ = true;
    return block;
}

void TSampleBlock::MakeOwned() {
    if (!owned_ && data_) *this = CopyOf(data_, size_);
}

void TSampleBlock::Shrink(size_t bytes) {
    if (!owned_ || bytes >= size_) return;
    if (bytes == 0) {
        Reset();
        return;
    }
    // A shrinking realloc that fails leaves the larger block valid.
    if (void* p = std::realloc(data_, bytes)) data_ = p;
    size_ = bytes;
}

void* TSampleBlock::Release() {
    MakeOwned();
    size_ = 0;
    owned_ = false;
    return std::exchange(data_, nullptr);
}

void TSampleBlock::Reset() {
    if (owned_) std::free(data_);
    data_ = nullptr;
    size_ = 0;
    owned_ = false;
}

void TWAVSample::Reset() { *this = TWAVSample(); }

void TWAVSample::ClearLoop() {
    LoopStart = NoLoopStart;
    LoopEnd = NoLoopEnd;
    Alternating = false;
}

void TWAVSample::MakeLoopConsistent() {
    if (!HasLoop()) {
        ClearLoop();
        return;
    }
    LoopEnd = std::min(LoopEnd, Frames - 1);
    LoopStart = std::min(LoopStart, LoopEnd);
    if (LoopEnd < 0) ClearLoop();
}

TWAVSample TWAVSample::Clone() const {
    TWAVSample c;
    c.Channels = Channels;
    c.Format = Format;
    c.Frames = Frames;
    c.SampleRate = SampleRate;
    c.LoopStart = LoopStart;
    c.LoopEnd = LoopEnd;
    c.Alternating = Alternating;
    c.RootNote = RootNote;
    c.FineTune = FineTune;
    c.Data = TSampleBlock::CopyOf(Data.Data(), Data.Size());
    return c;
}

}  // namespace norv

// The in-memory sample that the WAVE parser fills and the rate converter
// reworks: interleaved frames of one or two channels, 16-bit or float.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace norv {

// One block of sample bytes: owned (malloc'd, writable) or borrowed
// read-only from memory that outlives the block (a file mapping).
class TSampleBlock {
public:
    TSampleBlock() = default;
    ~TSampleBlock() { Reset(); }
    TSampleBlock(TSampleBlock&& other) noexcept;
    TSampleBlock& operator=(TSampleBlock&& other) noexcept;
    TSampleBlock(const TSampleBlock&) = delete;
    TSampleBlock& operator=(const TSampleBlock&) = delete;

    // Uninitialised bytes; throws std::bad_alloc.
    static TSampleBlock Allocate(size_t bytes);
    static TSampleBlock CopyOf(const void* bytes, size_t size);
    static TSampleBlock Borrow(const void* bytes, size_t size);
    // Takes over a block from std::malloc / std::realloc.
    static TSampleBlock Adopt(void* mallocd, size_t size);

    const void* Data() const { return data_; }
    // nullptr unless owned.
    void* MutableData() { return owned_ ? data_ : nullptr; }
    size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    bool Owned() const { return owned_; }

    // Turns a borrowed block into an owned copy; owned blocks stay as they are.
    void MakeOwned();
    // Keeps the first `bytes` bytes of an owned block.
    void Shrink(size_t bytes);
    // Hands the malloc'd bytes to the caller (free them with std::free);
    // a borrowed block is copied first. nullptr when empty.
    void* Release();
    void Reset();

private:
    void* data_ = nullptr;
    size_t size_ = 0;
    bool owned_ = false;
};

// Float sample value to 16-bit: limited to -1 ... 1, times 32767, rounded to
// nearest (ties to even). NaN gives 0. The product is exact in double, so
// the value is rounded once.
inline int16_t SampleToInt16(double value) {
    if (!(value == value)) return 0;
    const double limited = value > 1.0 ? 1.0 : (value < -1.0 ? -1.0 : value);
    return static_cast<int16_t>(std::nearbyint(limited * 32767.0));
}

enum class TSampleFormat : uint8_t {
    Int16,    // signed, full scale 32768
    Float32,  // full scale 1.0
};

constexpr int32_t NoLoopStart = -1;
constexpr int32_t NoLoopEnd = INT32_MAX;

class TWAVSample {
public:
    TWAVSample() = default;
    TWAVSample(TWAVSample&&) = default;
    TWAVSample& operator=(TWAVSample&&) = default;

    // Empty: stereo, 16-bit, 44100 Hz, no loop, root note 60.
    void Reset();
    // Every field, with a data block of its own.
    TWAVSample Clone() const;

    // Bytes per frame: 2, 4 or 8.
    int32_t FrameSize() const { return Channels * (Format == TSampleFormat::Int16 ? 2 : 4); }
    bool HasLoop() const { return LoopStart >= 0; }
    void ClearLoop();
    // End at most Frames - 1, start at most end; a loop with no frame left
    // for it becomes no loop.
    void MakeLoopConsistent();

    uint8_t Channels = 2;
    TSampleFormat Format = TSampleFormat::Int16;
    int32_t Frames = 0;
    double SampleRate = 44100.0;
    int32_t LoopStart = NoLoopStart;  // frame index, or NoLoopStart
    int32_t LoopEnd = NoLoopEnd;      // inclusive, or NoLoopEnd
    bool Alternating = false;         // the loop plays forwards and backwards
    int32_t RootNote = 60;
    uint32_t FineTune = 0;            // above RootNote, in 2^-32 semitones
    TSampleBlock Data;                // Frames x FrameSize() bytes, interleaved
};

}  // namespace norv

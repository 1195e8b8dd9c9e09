// Sample files as the loader reads them: RIFF WAVE files decoded (and
// converted to the host's rate) to 16-bit frames, and headerless raw files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "wavetable/DSP_Resample.h"
#include "wavetable/WAVUnit.h"

namespace norv {

// A file that cannot be opened or read. The message names the file and the
// system's reason.
class FileOpenError : public std::runtime_error {
public:
    FileOpenError(const std::string& fileName, int error);
    const std::string& FileName() const { return fileName_; }
    int Error() const { return error_; }

private:
    std::string fileName_;
    int error_;
};

struct TWaveFileData {
    int32_t Frames = 0;     // 0 on any failure
    int32_t LoopStart = 0;  // 0 ... Frames
    int32_t LoopEnd = 0;    // LoopStart ... Frames - 1 (Frames - 1 without a loop)
    bool Stereo = false;    // two channels; false on failure
    double RateScale = 1.0; // host rate / the file's rate when converted
    TSampleBlock Data;      // Frames x (Stereo ? 4 : 2) bytes, signed 16-bit, interleaved

    const int16_t* Values() const { return static_cast<const int16_t*>(Data.Data()); }
};

// Where decoded frames go: (frames, channels) -> room for them, or nullptr
// for a block of the result's own. Lets a caller decode straight into its
// own storage instead of copying afterwards.
using TFrameMemory = std::function<int16_t*(int32_t frames, int channels)>;

// Decodes a WAVE file to 16-bit frames; with `convert`, at `hostRate`.
// With `into`, the frames are written where it says and Data borrows them.
// Never throws: every failure gives Frames 0.
TWaveFileData LoadWaveFile(const std::string& fileName, bool convert, double hostRate, const TFrameMemory& into = {});

struct TRawFileData {
    int32_t Count = 0;  // 16-bit values: the file size / 2, rounded down
    TSampleBlock Data;

    const int16_t* Values() const { return static_cast<const int16_t*>(Data.Data()); }
};

// The whole file as signed 16-bit little-endian values. Throws
// FileOpenError when it cannot be opened or read.
TRawFileData LoadRawFile(const std::string& fileName);

// SampleToInt16 over a block.
void FloatsToInt16(const float* in, int16_t* out, size_t count);

// Converts the frames to `format`, channel count unchanged; float values
// become 16-bit by SampleToInt16, 16-bit values become float by 1/32768.
// `into` as for TResampler::Convert.
void ConvertFormat(TWAVSample& sample, TSampleFormat format, const TOutputMemory& into = {});

}  // namespace norv

// Sound sets written into a temporary folder and loaded as an instance loads
// them, with the loader's reports recorded in order.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/TempDir.h"
#include "wavetable/WavTables.h"

namespace norv::test {

class LoadFixture : public ::testing::Test {
protected:
    // The set folder, ending with '/'.
    std::string Folder() const { return dir.path().string() + "/"; }
    void Text(const std::string& relative, const std::string& text) const { dir.Write(relative, text); }
    // A 16-bit PCM WAVE; `values` interleaved by channel. `loop` is a "smpl"
    // loop (start, end inclusive).
    void Wave(const std::string& relative, const std::vector<int16_t>& values, int channels = 1,
              uint32_t rate = 44100, std::optional<std::pair<uint32_t, uint32_t>> loop = std::nullopt) const;
    // Headerless signed 16-bit little-endian values.
    void Raw(const std::string& relative, const std::vector<int16_t>& values) const;
    int64_t SizeOf(const std::string& relative) const;

    // Loads `file` as given (a bare name is looked up in the folder; empty is
    // the default set)
    // with a renderer at `rate`; `events` records "progress N/L" and
    // "error <detail>" in the order the loader reported them.
    std::unique_ptr<TPianoWaveTable> Load(const std::string& file, int32_t rate = 44100);

    TempDir dir;
    std::vector<std::string> events;
    int pumps = 0;
};

// The bounds the engine relies on after a load, and the frame after every
// record's EndFrame read (the sanitizer build catches a read past the block).
void ExpectPlayable(const TPianoWaveTable& table);

int16_t FrameAt(const TPianoWaveTable& table, int32_t frame, int channel = 0);
int32_t FrameTotal(const TPianoWaveTable& table);

struct ExpectedRecord {
    int32_t Root, High, StartFrame, EndFrame, LoopLength;
    bool OwnsData;
    int32_t DataOffset, FrameCount, StartOffset;
    std::string FileName;
};
void ExpectRecord(const TWaveTableSample& actual, const ExpectedRecord& expected, int index);

}  // namespace norv::test

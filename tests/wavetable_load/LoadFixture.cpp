#include "wavetable_load/LoadFixture.h"

#include <filesystem>

#include "support/WaveWriter.h"

namespace norv::test {

void LoadFixture::Wave(const std::string& relative, const std::vector<int16_t>& values, int channels, uint32_t rate,
                       std::optional<std::pair<uint32_t, uint32_t>> loop) const {
    WaveWriter w;
    w.Format(WaveFormat::Pcm(static_cast<uint16_t>(channels), rate, 16)).Data(Pcm16(values));
    if (loop) w.Sampler(SamplerInfo().Loop(loop->first, loop->second));
    w.Write(dir.path() / relative);
}

void LoadFixture::Raw(const std::string& relative, const std::vector<int16_t>& values) const {
    dir.Write(relative, Pcm16(values));
}

int64_t LoadFixture::SizeOf(const std::string& relative) const {
    return static_cast<int64_t>(std::filesystem::file_size(dir.path() / relative));
}

std::unique_ptr<TPianoWaveTable> LoadFixture::Load(const std::string& file, int32_t rate) {
    events.clear();
    auto table = std::make_unique<TPianoWaveTable>(Folder(), 15);
    table->OnProgress = [this](TPianoWaveTable*, int32_t current, int32_t last) {
        events.push_back("progress " + std::to_string(current) + "/" + std::to_string(last));
    };
    table->OnError = [this](const std::string& detail) { events.push_back("error " + detail); };
    const bool loaded = table->LoadFromFile(rate, file, [this] { ++pumps; });
    EXPECT_EQ(loaded, table->Loaded);
    return table;
}

int32_t FrameTotal(const TPianoWaveTable& table) { return table.SampleDataSize / (table.Stereo ? 4 : 2); }

int16_t FrameAt(const TPianoWaveTable& table, int32_t frame, int channel) {
    const int channels = table.Stereo ? 2 : 1;
    return table.SampleData[static_cast<size_t>(frame) * channels + static_cast<size_t>(channel)];
}

void ExpectPlayable(const TPianoWaveTable& t) {
    ASSERT_TRUE(t.Loaded);
    ASSERT_NE(t.SampleData, nullptr);
    const int32_t frames = FrameTotal(t);
    ASSERT_GT(frames, 0);
    EXPECT_GE(t.LayerCount, 1);
    ASSERT_EQ(t.VelocityLimits.size(), t.LayerCount);
    EXPECT_EQ(t.VelocityLimits[0], 0);
    const int channels = t.Stereo ? 2 : 1;
    for (size_t i = 0; i < t.Samples.size(); ++i) {
        const TWaveTableSample& r = t.Samples[i];
        SCOPED_TRACE("record " + std::to_string(i));
        EXPECT_GE(r.Root, 0);
        EXPECT_LE(r.Root, 127);
        EXPECT_GE(r.High, 0);
        EXPECT_LE(r.High, 999);
        EXPECT_GE(r.StartFrame, 0);
        EXPECT_LE(r.StartFrame, r.EndFrame);
        EXPECT_LE(r.EndFrame, frames - 1);
        EXPECT_GE(r.LoopLength, 0);
        EXPECT_LE(r.LoopLength, frames - r.StartFrame);
        EXPECT_LE(r.FileName.size(), 255u);
        // The engine interpolates between EndFrame and the frame after it.
        volatile int16_t after = 0;
        for (int c = 0; c < channels; ++c)
            after = t.SampleData[(static_cast<size_t>(r.EndFrame) + 1) * channels + static_cast<size_t>(c)];
        (void)after;
    }
}

void ExpectRecord(const TWaveTableSample& a, const ExpectedRecord& e, int index) {
    SCOPED_TRACE("record " + std::to_string(index));
    EXPECT_EQ(a.Root, e.Root);
    EXPECT_EQ(a.High, e.High);
    EXPECT_EQ(a.StartFrame, e.StartFrame);
    EXPECT_EQ(a.EndFrame, e.EndFrame);
    EXPECT_EQ(a.LoopLength, e.LoopLength);
    EXPECT_EQ(a.OwnsData, e.OwnsData);
    EXPECT_EQ(a.DataOffset, e.DataOffset);
    EXPECT_EQ(a.FrameCount, e.FrameCount);
    EXPECT_EQ(a.StartOffset, e.StartOffset);
    EXPECT_EQ(a.FileName, e.FileName);
}

}  // namespace norv::test

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/WaveWriter.h"
#include "wavetable/DSP_Resample.h"
#include "wavetable/SampleFiles.h"
#include "wavetable/WAV.h"

namespace norv {
namespace {

using test::SamplerInfo;
using test::WaveFormat;
using test::WaveWriter;

std::vector<int16_t> Values(const TWaveFileData& d) {
    return std::vector<int16_t>(d.Values(), d.Values() + static_cast<size_t>(d.Frames) * (d.Stereo ? 2 : 1));
}

class LoadWave : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const WaveWriter& w) { return w.Write(dir_.path() / name).string(); }
    test::TempDir dir_;
};

TEST_F(LoadWave, StereoAtTheHostRateIsCopiedUnchanged) {
    std::vector<int16_t> values;
    for (int i = 0; i < 2000; ++i) values.push_back(static_cast<int16_t>(i * 37 - 30000));
    const std::string file = Write("s.wav", WaveWriter().Format(WaveFormat::Pcm(2, 48000, 16)).Data(test::Pcm16(values)));
    const TWaveFileData d = LoadWaveFile(file, true, 48000);
    EXPECT_EQ(d.Frames, 1000);
    EXPECT_TRUE(d.Stereo);
    EXPECT_EQ(d.LoopStart, 0);
    EXPECT_EQ(d.LoopEnd, 999);  // no loop: the whole sample
    EXPECT_TRUE(d.Data.Owned());
    EXPECT_EQ(d.Data.Size(), 4000u);
    EXPECT_EQ(Values(d), values);

    // Without conversion another rate stays as it is.
    const TWaveFileData kept = LoadWaveFile(file, false, 44100);
    EXPECT_EQ(kept.Frames, 1000);
    EXPECT_EQ(Values(kept), values);
}

TEST_F(LoadWave, Mono24BitConvertedTo48k) {
    std::vector<int32_t> values(10000);
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int32_t>((i * 7919) % 0x1000000) - 0x800000;
    const std::string file = Write("m.wav", WaveWriter()
                                                .Format(WaveFormat::Pcm(1, 44100, 24))
                                                .Data(test::Pcm24(values))
                                                .Sampler(SamplerInfo().Loop(1000, 9999)));
    const TWaveFileData d = LoadWaveFile(file, true, 48000);
    EXPECT_EQ(d.Frames, 10884);  // 48000 / 44100 x 10000 = 10884.35
    EXPECT_FALSE(d.Stereo);
    EXPECT_EQ(d.Data.Size(), 2u * 10884);
    EXPECT_EQ(d.LoopStart, 1088);  // 1088.44
    EXPECT_EQ(d.LoopEnd, 10883);   // round(10884.35) - 1

    // The frames are the converter's float output made 16-bit.
    TWAVSample reference;
    TParseWAV parser;
    ASSERT_EQ(parser.Parse(reference, file), TParseWAV::Ok);
    TResampler(2, TResampleKernels::Reference).Convert(reference, 48000);
    ASSERT_EQ(reference.Frames, d.Frames);
    const auto* floats = static_cast<const float*>(reference.Data.Data());
    const std::vector<int16_t> got = Values(d);
    for (int32_t n = 0; n < d.Frames; ++n) ASSERT_EQ(got[n], SampleToInt16(floats[n])) << n;
}

TEST_F(LoadWave, FloatIsLimitedAndScaledBy32767) {
    const std::string file =
        Write("f.wav", WaveWriter().Format(WaveFormat::Float(1, 44100)).Data(test::Float32({1.5f, -1.5f, 0.5f, 0.0f})));
    const TWaveFileData d = LoadWaveFile(file, true, 44100);
    EXPECT_EQ(Values(d), (std::vector<int16_t>{32767, -32767, 16384, 0}));
}

TEST_F(LoadWave, LoopPointsAreBounded) {
    const std::string data = test::Pcm16(std::vector<int16_t>(100, 7));
    auto load = [&](const SamplerInfo& info) {
        return LoadWaveFile(Write("l.wav", WaveWriter().Format(WaveFormat::Pcm(1, 44100, 16)).Data(data).Sampler(info)),
                            true, 44100);
    };
    TWaveFileData d = load(SamplerInfo().Loop(60, 40));  // end before start: no loop
    EXPECT_EQ(d.LoopStart, 0);
    EXPECT_EQ(d.LoopEnd, 99);
    d = load(SamplerInfo().Loop(20, 60));
    EXPECT_EQ(d.LoopStart, 20);
    EXPECT_EQ(d.LoopEnd, 60);
    d = load(SamplerInfo().Loop(20, 5000));
    EXPECT_EQ(d.LoopStart, 20);
    EXPECT_EQ(d.LoopEnd, 99);
}

TEST_F(LoadWave, FailuresGiveNoFrames) {
    const std::string data = test::Pcm16(std::vector<int16_t>(300, 7));
    const std::string files[] = {
        (dir_.path() / "missing.wav").string(),
        Write("text.wav", WaveWriter().FormType("TEXT")),
        Write("order.wav", WaveWriter().Data(data).Format(WaveFormat::Pcm(1, 44100, 16))),
        Write("3ch.wav", WaveWriter().Format(WaveFormat::Pcm(3, 44100, 16)).Data(data)),
        Write("empty.wav", WaveWriter().Format(WaveFormat::Pcm(1, 44100, 16)).Data("").Chunk("junk", "xx")),
        // A rate of 0 Hz makes the conversion fail; no conversion, no failure.
        Write("zero.wav", WaveWriter().Format(WaveFormat::Pcm(1, 0, 16)).Data(data)),
    };
    for (const std::string& file : files) {
        const TWaveFileData d = LoadWaveFile(file, true, 48000);
        EXPECT_EQ(d.Frames, 0) << file;
        EXPECT_EQ(d.LoopStart, 0);
        EXPECT_EQ(d.LoopEnd, 0);
        EXPECT_FALSE(d.Stereo);
        EXPECT_TRUE(d.Data.Empty());
    }
    EXPECT_EQ(LoadWaveFile(files[5], false, 48000).Frames, 300);
}

TEST(LoadRaw, WholeFileAsLittleEndianValues) {
    test::TempDir dir;
    const std::string bytes("\x01\x80\xff\x7f\x00\x00\x34\x12\x99", 9);
    const TRawFileData d = LoadRawFile(dir.Write("a.raw", bytes).string());
    ASSERT_EQ(d.Count, 4);  // the odd last byte is dropped
    EXPECT_EQ(std::vector<int16_t>(d.Values(), d.Values() + 4), (std::vector<int16_t>{-32767, 32767, 0, 0x1234}));

    EXPECT_EQ(LoadRawFile(dir.Write("empty.raw", std::string()).string()).Count, 0);
}

TEST(LoadRaw, FilesThatCannotBeOpenedThrow) {
    test::TempDir dir;
    const std::string missing = (dir.path() / "missing.raw").string();
    try {
        LoadRawFile(missing);
        FAIL() << "no error";
    } catch (const FileOpenError& e) {
        EXPECT_EQ(e.FileName(), missing);
        EXPECT_EQ(e.Error(), ENOENT);
        const std::string message = e.what();
        EXPECT_NE(message.find(missing), std::string::npos) << message;
        EXPECT_NE(message.find(std::strerror(ENOENT)), std::string::npos) << message;
    }
    EXPECT_THROW(LoadRawFile(dir.path().string()), FileOpenError);
    // Loaders may catch it as a run-time error.
    EXPECT_THROW(LoadRawFile(missing), std::runtime_error);
}

TEST(ConvertFormat, BothDirections) {
    TWAVSample s;
    s.Channels = 1;
    s.Format = TSampleFormat::Int16;
    s.Frames = 3;
    const int16_t values[] = {-32768, 16384, 32767};
    s.Data = TSampleBlock::CopyOf(values, sizeof values);
    ConvertFormat(s, TSampleFormat::Float32);
    ASSERT_EQ(s.Format, TSampleFormat::Float32);
    const auto* f = static_cast<const float*>(s.Data.Data());
    EXPECT_EQ(f[0], -1.0f);
    EXPECT_EQ(f[1], 0.5f);
    EXPECT_EQ(f[2], 32767.0f / 32768);
    ConvertFormat(s, TSampleFormat::Int16);
    const auto* v = static_cast<const int16_t*>(s.Data.Data());
    // Out by 1/32768 and back by 32767: the asymmetry shows.
    EXPECT_EQ(v[0], -32767);
    EXPECT_EQ(v[1], 16384);
    EXPECT_EQ(v[2], 32766);
}

}  // namespace
}  // namespace norv

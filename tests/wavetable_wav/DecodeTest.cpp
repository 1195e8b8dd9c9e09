#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/WaveWriter.h"
#include "wavetable/WAV.h"
#include "wavetable_wav/ParsedSample.h"

namespace norv {
namespace {

using test::WaveFormat;
using test::WaveWriter;

TEST(DecodeWAV, IntegerPcmBecomesFloat) {
    // 24-bit: full scale 2^23.
    Parsed p = ParseBytes(
        WaveWriter().Format(WaveFormat::Pcm(1, 48000, 24)).Data(test::Pcm24({0x7FFFFF, -0x800000, 1, -1, 0x400000})).Bytes());
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(p.sample.Format, TSampleFormat::Float32);
    EXPECT_EQ(p.sample.FrameSize(), 4);
    EXPECT_EQ(p.sample.SampleRate, 48000.0);
    EXPECT_EQ(Floats(p.sample),
              (std::vector<float>{8388607.0f / 8388608.0f, -1.0f, 1.0f / 8388608.0f, -1.0f / 8388608.0f, 0.5f}));

    // 20-bit samples travel left-aligned in 24-bit containers.
    p = ParseBytes(WaveWriter()
                       .Format(WaveFormat().Channels(2).Bits(20).BlockAlign(6))
                       .Data(test::Pcm24({0x7FFFF0, -0x800000, 0x000010, 0}))
                       .Bytes());
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(p.sample.FrameSize(), 8);
    EXPECT_EQ(Floats(p.sample), (std::vector<float>{0x7FFFF0 / 8388608.0f, -1.0f, 16 / 8388608.0f, 0.0f}));

    // 32-bit: full scale 2^31.
    p = ParseBytes(
        WaveWriter().Format(WaveFormat::Pcm(1, 44100, 32)).Data(test::Pcm32({INT32_MIN, 0x40000000, -0x40000000})).Bytes());
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(Floats(p.sample), (std::vector<float>{-1.0f, 0.5f, -0.5f}));
}

TEST(DecodeWAV, FloatAndSixteenBitAreCopied) {
    const std::vector<float> values{1.5f, -1.5f, 0.25f, -0.0f, 1e-30f, 3.0f};
    Parsed p = ParseBytes(WaveWriter().Format(WaveFormat::Float(2, 96000)).Data(test::Float32(values)).Bytes());
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(p.sample.Format, TSampleFormat::Float32);
    EXPECT_EQ(p.sample.FrameSize(), 8);
    EXPECT_EQ(p.sample.Frames, 3);
    EXPECT_EQ(Floats(p.sample), values);

    p = ParseBytes(WaveWriter().Format(WaveFormat::Pcm(2, 44100, 16)).Data(test::Pcm16({1, -1, 32767, -32768})).Bytes());
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(p.sample.Frames, 2);
    EXPECT_EQ(Values16(p.sample), (std::vector<int16_t>{1, -1, 32767, -32768}));
}

TEST(DecodeWAV, ExtensibleFormats) {
    Parsed p = ParseBytes(
        WaveWriter().Format(WaveFormat::Extensible(1, 1, 44100, 24, 24)).Data(test::Pcm24({0x400000, -0x400000})).Bytes());
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(Floats(p.sample), (std::vector<float>{0.5f, -0.5f}));

    p = ParseBytes(WaveWriter().Format(WaveFormat::Extensible(3, 2, 44100, 32, 32)).Data(test::Float32({0.5f, 2.0f})).Bytes());
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(Floats(p.sample), (std::vector<float>{0.5f, 2.0f}));

    p = ParseBytes(WaveWriter().Format(WaveFormat::Extensible(1, 2, 44100, 16, 16)).Data(test::Pcm16({3, 4})).Bytes());
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(Values16(p.sample), (std::vector<int16_t>{3, 4}));
}

TEST(DecodeWAV, UnusableLayoutsAreRejected) {
    const std::string data = test::Pcm16(std::vector<int16_t>(60, 1000));
    for (uint16_t channels : {0, 3, 6}) {
        for (const WaveFormat& f : {WaveFormat::Pcm(channels, 44100, 16), WaveFormat::Pcm(channels, 44100, 24),
                                    WaveFormat::Float(channels, 44100), WaveFormat::Pcm(channels, 44100, 8)}) {
            const Parsed p = ParseBytes(WaveWriter().Format(f).Data(data).Bytes());
            EXPECT_EQ(p.result, TParseWAV::NotWave) << channels << " channels, " << f.bits << " bits";
            EXPECT_EQ(p.sample.Frames, 0);
            EXPECT_TRUE(p.sample.Data.Empty());
        }
    }
    // A tag nothing here can decode.
    EXPECT_EQ(ParseBytes(WaveWriter().Format(WaveFormat().Tag(0x7777).Channels(1)).Data(data).Bytes()).result,
              TParseWAV::NotWave);
}

// Encodings beyond PCM and float go through libsndfile; the test files are
// written by libsndfile itself.
class SndfileEncodings : public ::testing::Test {
protected:
    std::string Write(const char* name, int format, int channels, const std::vector<double>& values) {
        const std::string path = (dir_.path() / name).string();
        SF_INFO info{};
        info.samplerate = 22050;
        info.channels = channels;
        info.format = SF_FORMAT_WAV | format;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        EXPECT_NE(f, nullptr) << sf_strerror(nullptr);
        if (!f) return path;
        // Values beyond full scale reach the file as they are.
        sf_command(f, SFC_SET_CLIPPING, nullptr, SF_FALSE);
        sf_writef_double(f, values.data(), static_cast<sf_count_t>(values.size() / channels));
        sf_close(f);
        return path;
    }

    // What libsndfile itself reads from the file as 16-bit.
    static std::vector<int16_t> ReadBack(const std::string& path) {
        SF_INFO info{};
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
        std::vector<int16_t> out(static_cast<size_t>(info.frames * info.channels));
        sf_readf_short(f, out.data(), info.frames);
        sf_close(f);
        return out;
    }

    static Parsed Parse(const std::string& path) {
        Parsed p{};
        TParseWAV parser;
        p.result = parser.Parse(p.sample, path);
        return p;
    }

    static std::vector<double> Wave(size_t count, int channels) {
        std::vector<double> v(count * channels);
        for (size_t i = 0; i < v.size(); ++i) v[i] = 0.8 * std::sin(0.01 * static_cast<double>(i * i % 5000));
        return v;
    }

    test::TempDir dir_;
};

TEST_F(SndfileEncodings, EightBitALawMuLawAndAdpcm) {
    struct Case {
        const char* name;
        int format;
        int channels;
    };
    for (const Case& c : {Case{"u8.wav", SF_FORMAT_PCM_U8, 1}, Case{"u8s.wav", SF_FORMAT_PCM_U8, 2},
                          Case{"alaw.wav", SF_FORMAT_ALAW, 1}, Case{"ulaw.wav", SF_FORMAT_ULAW, 2},
                          Case{"ima.wav", SF_FORMAT_IMA_ADPCM, 1}, Case{"ms.wav", SF_FORMAT_MS_ADPCM, 2}}) {
        SCOPED_TRACE(c.name);
        const std::string path = Write(c.name, c.format, c.channels, Wave(3000, c.channels));
        const Parsed p = Parse(path);
        ASSERT_EQ(p.result, TParseWAV::Ok);
        EXPECT_EQ(p.sample.Format, TSampleFormat::Int16);
        EXPECT_EQ(p.sample.Channels, c.channels);
        EXPECT_EQ(p.sample.SampleRate, 22050.0);
        const std::vector<int16_t> expected = ReadBack(path);
        EXPECT_EQ(p.sample.Frames, static_cast<int32_t>(expected.size() / c.channels));
        EXPECT_EQ(Values16(p.sample), expected);
    }

    // Eight-bit values are exact in 16 bits.
    const std::string path = (dir_.path() / "exact.wav").string();
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    const std::vector<int16_t> exact{0, 16384, -32768, 32512, -256};
    sf_writef_short(f, exact.data(), static_cast<sf_count_t>(exact.size()));
    sf_close(f);
    EXPECT_EQ(Values16(Parse(path).sample), exact);
}

TEST_F(SndfileEncodings, DoubleFloatUsesOurScale) {
    const std::string path = Write("double.wav", SF_FORMAT_DOUBLE, 1, {1.5, -1.5, 0.5, -0.5, 1.0, 0.0, 0.25, -2.0});
    const Parsed p = Parse(path);
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(p.sample.Format, TSampleFormat::Int16);
    // Limited to -1 ... 1, times 32767, ties to even (16383.5 -> 16384).
    EXPECT_EQ(Values16(p.sample), (std::vector<int16_t>{32767, -32767, 16384, -16384, 32767, 0, 8192, -32767}));
}

TEST_F(SndfileEncodings, DecodesTheChunksTheWalkChose) {
    // libsndfile sees only our format and data: a leading decoy data chunk and
    // a second format do not reach it.
    const std::string path = Write("alaw.wav", SF_FORMAT_ALAW, 1, Wave(500, 1));
    const std::vector<int16_t> expected = ReadBack(path);

    // The same a-law bytes with extra chunks around them.
    std::ifstream in(path, std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t dataAt = raw.find("data");
    ASSERT_NE(dataAt, std::string::npos);
    const std::string body = raw.substr(dataAt + 8, 500);
    const std::string bytes = WaveWriter()
                                  .Data(test::Pcm16({1, 2, 3}))
                                  .Format(WaveFormat().Tag(6).Channels(1).Rate(22050).Bits(8))
                                  .Format(WaveFormat::Pcm(2, 8000, 16))
                                  .Data(body)
                                  .Bytes();
    const Parsed p = ParseBytes(bytes);
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(p.sample.Channels, 1);
    EXPECT_EQ(Values16(p.sample), expected);
}

}  // namespace
}  // namespace norv

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/WaveWriter.h"
#include "wavetable/WAV.h"
#include "wavetable_wav/ParsedSample.h"

namespace norv {
namespace {

using test::Pcm16;
using test::SamplerInfo;
using test::WaveFormat;
using test::WaveWriter;

const WaveFormat Mono16 = WaveFormat::Pcm(1, 44100, 16);
const std::string FourFrames = Pcm16({100, -200, 300, -400});

TEST(ParseWAV, PlainFileAndSampleDefaults) {
    const Parsed p = ParseBytes(WaveWriter().Format(Mono16).Data(FourFrames).Bytes());
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(p.sample.Channels, 1);
    EXPECT_EQ(p.sample.Format, TSampleFormat::Int16);
    EXPECT_EQ(p.sample.FrameSize(), 2);
    EXPECT_EQ(p.sample.Frames, 4);
    EXPECT_EQ(p.sample.SampleRate, 44100.0);
    EXPECT_EQ(Values16(p.sample), (std::vector<int16_t>{100, -200, 300, -400}));
    EXPECT_FALSE(p.sample.HasLoop());
    EXPECT_EQ(p.sample.LoopStart, -1);
    EXPECT_EQ(p.sample.LoopEnd, INT32_MAX);
    EXPECT_EQ(p.sample.RootNote, 60);

    TWAVSample fresh;
    EXPECT_EQ(fresh.Channels, 2);
    EXPECT_EQ(fresh.Format, TSampleFormat::Int16);
    EXPECT_EQ(fresh.FrameSize(), 4);
    EXPECT_EQ(fresh.SampleRate, 44100.0);
    EXPECT_EQ(fresh.Frames, 0);
    EXPECT_EQ(fresh.LoopStart, -1);
    EXPECT_EQ(fresh.LoopEnd, INT32_MAX);
    EXPECT_EQ(fresh.RootNote, 60);
}

TEST(ParseWAV, ResultCodesForFiles) {
    test::TempDir dir;
    TParseWAV parser;
    TWAVSample s;
    EXPECT_EQ(parser.Parse(s, (dir.path() / "missing.wav").string()), TParseWAV::CannotOpen);
    EXPECT_EQ(parser.Parse(s, dir.path().string()), TParseWAV::CannotOpen);
    EXPECT_EQ(parser.Parse(s, dir.Write("empty.wav", std::string()).string()), TParseWAV::CannotMap);
    EXPECT_EQ(parser.Parse(s, dir.Write("text.wav", std::string("just some text here")).string()), TParseWAV::NotWave);

    const auto good = WaveWriter().Format(Mono16).Data(FourFrames).Write(dir.path() / "good.wav");
    ASSERT_EQ(parser.Parse(s, good.string()), TParseWAV::Ok);
    EXPECT_EQ(Values16(s), (std::vector<int16_t>{100, -200, 300, -400}));

    // A failed parse leaves an empty sample behind.
    EXPECT_EQ(parser.Parse(s, (dir.path() / "missing.wav").string()), TParseWAV::CannotOpen);
    EXPECT_EQ(s.Frames, 0);
    EXPECT_TRUE(s.Data.Empty());
}

TEST(ParseWAV, HeaderAndMissingChunksGiveResult2) {
    EXPECT_EQ(ParseBytes(WaveWriter().Format(Mono16).Data(FourFrames).FormType("AVI ").Bytes()).result,
              TParseWAV::NotWave);
    std::string rifx = WaveWriter().Format(Mono16).Data(FourFrames).Bytes();
    rifx[3] = 'X';
    EXPECT_EQ(ParseBytes(rifx).result, TParseWAV::NotWave);
    EXPECT_EQ(ParseBytes("RIFF\x04\0\0\0WAV").result, TParseWAV::NotWave);
    EXPECT_EQ(ParseBytes(WaveWriter().Bytes()).result, TParseWAV::NotWave);
    EXPECT_EQ(ParseBytes(WaveWriter().Format(Mono16).Bytes()).result, TParseWAV::NotWave);
    EXPECT_EQ(ParseBytes(WaveWriter().Data(FourFrames).Bytes()).result, TParseWAV::NotWave);
}

TEST(ParseWAV, DataIsTakenOnlyAfterAFormat) {
    // Before the format: ignored, so the file has no data.
    EXPECT_EQ(ParseBytes(WaveWriter().Data(FourFrames).Format(Mono16).Bytes()).result, TParseWAV::NotWave);

    // A data chunk after the format counts; the earlier one is ignored.
    Parsed p = ParseBytes(WaveWriter().Data(Pcm16({1, 2})).Format(Mono16).Data(FourFrames).Bytes());
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(p.sample.Frames, 4);

    // Only the first data chunk after the format.
    p = ParseBytes(WaveWriter().Format(Mono16).Data(FourFrames).Data(Pcm16({7})).Bytes());
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(Values16(p.sample), (std::vector<int16_t>{100, -200, 300, -400}));
}

TEST(ParseWAV, OddChunksAreFollowedByAPadByte) {
    // An odd-sized chunk before the format: the walk must skip its pad byte.
    Parsed p = ParseBytes(WaveWriter().Chunk("junk", "abc").Format(Mono16).Data(FourFrames).Bytes());
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(p.sample.Frames, 4);

    // Without the pad byte the walk lands one byte off and finds nothing.
    EXPECT_EQ(ParseBytes(WaveWriter().Chunk("junk", "abc").WithoutPad().Format(Mono16).Data(FourFrames).Bytes()).result,
              TParseWAV::NotWave);

    // An odd data chunk: whole frames only, and the chunk after its pad byte is read.
    p = ParseBytes(WaveWriter()
                       .Format(Mono16)
                       .Data(Pcm16({5, 6}) + "\x07")
                       .Sampler(SamplerInfo().Unity(72).Loop(0, 1))
                       .Bytes());
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(p.sample.Frames, 2);
    EXPECT_EQ(p.sample.RootNote, 72);
    EXPECT_EQ(p.sample.LoopEnd, 1);
}

TEST(ParseWAV, FormatChunkForms) {
    // The 16-byte form, the 18-byte form and a form with extra bytes read alike.
    for (const WaveFormat& f : {WaveFormat::Pcm(2, 22050, 16),
                                WaveFormat().Rate(22050).Extra(""),
                                WaveFormat().Rate(22050).Extra("xyz")}) {
        const Parsed p = ParseBytes(WaveWriter().Format(f).Data(FourFrames).Bytes());
        ASSERT_EQ(p.result, TParseWAV::Ok);
        EXPECT_EQ(p.sample.Channels, 2);
        EXPECT_EQ(p.sample.Frames, 2);
        EXPECT_EQ(p.sample.SampleRate, 22050.0);
    }

    // Only the first format counts.
    const Parsed p =
        ParseBytes(WaveWriter().Format(Mono16).Format(WaveFormat::Pcm(2, 22050, 16)).Data(FourFrames).Bytes());
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(p.sample.Channels, 1);
    EXPECT_EQ(p.sample.SampleRate, 44100.0);
    EXPECT_EQ(p.sample.Frames, 4);

    // A format chunk too short to name a layout is still the format: its data cannot be decoded.
    EXPECT_EQ(ParseBytes(WaveWriter().Chunk("fmt ", "\x01\0").Data(FourFrames).Bytes()).result, TParseWAV::NotWave);
}

TEST(ParseWAV, ListsAreWalked) {
    TParseWAV parser;
    TWAVSample s;
    const std::string bytes =
        WaveWriter()
            .Format(Mono16)
            .List("INFO", WaveWriter().Chunk("INAM", "piano").Chunk("ICMT", "odd sized"))
            .Data(FourFrames)
            .List("adtl", WaveWriter().Chunk("labl", std::string(4, '\0') + "start").Sampler(SamplerInfo().Unity(50)))
            .Bytes();
    ASSERT_EQ(parser.Parse(s, bytes.data(), bytes.size()), TParseWAV::Ok);
    EXPECT_EQ(s.Frames, 4);
    EXPECT_EQ(s.RootNote, 50);  // the sampler chunk inside the list was read
    EXPECT_EQ(parser.ListType(), "adtl");

    // Format and data inside a list are found like any other chunk.
    const std::string nested = WaveWriter().List("wavl", WaveWriter().Format(Mono16).Data(FourFrames)).Bytes();
    ASSERT_EQ(parser.Parse(s, nested.data(), nested.size()), TParseWAV::Ok);
    EXPECT_EQ(s.Frames, 4);
    EXPECT_EQ(parser.ListType(), "wavl");

    // A list whose size runs past the file is cut to the file.
    const std::string cut =
        WaveWriter().Format(Mono16).Data(FourFrames).List("INFO", WaveWriter().Chunk("INAM", "x")).SizeField(500).Bytes();
    EXPECT_EQ(ParseBytes(cut).result, TParseWAV::Ok);

    // Lists nested far deeper than any real file are skipped, not followed.
    WaveWriter deep = WaveWriter().Format(Mono16).Data(FourFrames);
    for (int i = 0; i < 100; ++i) deep = WaveWriter().List("deep", deep);
    EXPECT_EQ(ParseBytes(deep.Bytes()).result, TParseWAV::NotWave);
    WaveWriter shallow = WaveWriter().Format(Mono16).Data(FourFrames);
    for (int i = 0; i < 10; ++i) shallow = WaveWriter().List("deep", shallow);
    EXPECT_EQ(ParseBytes(shallow.Bytes()).result, TParseWAV::Ok);
}

TEST(ParseWAV, SamplerChunk) {
    auto parse = [](const SamplerInfo& info, const std::string& data = Pcm16(std::vector<int16_t>(100))) {
        return ParseBytes(WaveWriter().Format(Mono16).Data(data).Sampler(info).Bytes()).sample;
    };
    TWAVSample s = parse(SamplerInfo().Unity(64).Fraction(0x80000000u).Loop(10, 89));
    EXPECT_EQ(s.RootNote, 64);
    EXPECT_EQ(s.FineTune, 0x80000000u);
    EXPECT_EQ(s.LoopStart, 10);
    EXPECT_EQ(s.LoopEnd, 89);
    EXPECT_FALSE(s.Alternating);

    s = parse(SamplerInfo().Loop(10, 89, 1).Loop(0, 5));
    EXPECT_TRUE(s.Alternating);
    EXPECT_EQ(s.LoopStart, 10);  // the first loop only

    // End before start: no loop. A one-frame loop is a loop.
    s = parse(SamplerInfo().Loop(50, 49));
    EXPECT_FALSE(s.HasLoop());
    s = parse(SamplerInfo().Loop(50, 50));
    EXPECT_EQ(s.LoopStart, 50);
    EXPECT_EQ(s.LoopEnd, 50);

    // A unity note outside 0 ... 127 gives 60.
    EXPECT_EQ(parse(SamplerInfo().Unity(128)).RootNote, 60);
    EXPECT_EQ(parse(SamplerInfo().Unity(0)).RootNote, 0);

    // Loops past the data are made consistent with it.
    s = parse(SamplerInfo().Loop(10, 1000));
    EXPECT_EQ(s.LoopStart, 10);
    EXPECT_EQ(s.LoopEnd, 99);
    s = parse(SamplerInfo().Loop(500, 1000));
    EXPECT_EQ(s.LoopStart, 99);
    EXPECT_EQ(s.LoopEnd, 99);
    s = parse(SamplerInfo().Loop(0, 0xFFFFFFFFu));
    EXPECT_EQ(s.LoopStart, 0);
    EXPECT_EQ(s.LoopEnd, 99);

    // A count of zero, or a chunk cut before the loop, gives no loop.
    EXPECT_FALSE(parse(SamplerInfo().Loop(1, 5).LoopCount(0)).HasLoop());
    TWAVSample cut = ParseBytes(WaveWriter()
                                    .Format(Mono16)
                                    .Data(FourFrames)
                                    .Chunk("smpl", SamplerInfo().Loop(1, 2).Bytes().substr(0, 50))
                                    .Bytes())
                         .sample;
    EXPECT_FALSE(cut.HasLoop());

    // Without frames a loop has nothing to stand on.
    EXPECT_FALSE(parse(SamplerInfo().Loop(0, 5), std::string()).HasLoop());
}

TEST(ParseWAV, RiffSizeField) {
    const WaveWriter file = WaveWriter().Format(Mono16).Data(FourFrames);
    // -8 (a writer that never came back to fill the size): the file size counts.
    EXPECT_EQ(ParseBytes(WaveWriter(file).RiffSize(0xFFFFFFF8u).Bytes()).sample.Frames, 4);
    // Larger than the file: the file size counts.
    EXPECT_EQ(ParseBytes(WaveWriter(file).RiffSize(100000).Bytes()).sample.Frames, 4);
    EXPECT_EQ(ParseBytes(WaveWriter(file).RiffSize(0xFFFFFFFFu).Bytes()).sample.Frames, 4);
    // Smaller: chunks after the end are not seen; the data chunk cut at the end.
    const int32_t fmtEnd = 4 + 8 + 16;
    EXPECT_EQ(ParseBytes(WaveWriter(file).RiffSize(fmtEnd).Bytes()).result, TParseWAV::NotWave);
    EXPECT_EQ(ParseBytes(WaveWriter(file).RiffSize(fmtEnd + 8 + 4).Bytes()).sample.Frames, 2);
    // A chunk header ending exactly at the end is not read.
    EXPECT_EQ(ParseBytes(WaveWriter(file).RiffSize(fmtEnd + 8).Bytes()).result, TParseWAV::NotWave);

    // A file cut short: whatever data is there.
    const std::string bytes = file.Bytes();
    const Parsed p = ParseBytes(bytes.substr(0, bytes.size() - 3));
    ASSERT_EQ(p.result, TParseWAV::Ok);
    EXPECT_EQ(Values16(p.sample), (std::vector<int16_t>{100, -200}));
}

TEST(ParseWAV, ChunkSizes) {
    // A negative size stops the walk: the data after it is never seen ...
    EXPECT_EQ(ParseBytes(WaveWriter().Format(Mono16).Chunk("junk", "ab").SizeField(0x80000000u).Data(FourFrames).Bytes())
                  .result,
              TParseWAV::NotWave);
    // ... while what came before stays.
    EXPECT_EQ(ParseBytes(WaveWriter().Format(Mono16).Data(FourFrames).Chunk("junk", "ab").SizeField(0xFFFFFFFFu).Bytes())
                  .sample.Frames,
              4);
    // A size past the end is cut to the end.
    EXPECT_EQ(ParseBytes(WaveWriter().Format(Mono16).Data(FourFrames).SizeField(0x7FFFFFFF).Bytes()).sample.Frames, 4);
    // A format chunk claiming more than the file reads what is there.
    EXPECT_EQ(ParseBytes(WaveWriter().Format(Mono16).SizeField(1000).Bytes()).result, TParseWAV::NotWave);
    // Empty data: parsed, no frames.
    const Parsed empty = ParseBytes(WaveWriter().Format(Mono16).Data("").Chunk("junk", "xx").Bytes());
    EXPECT_EQ(empty.result, TParseWAV::Ok);
    EXPECT_EQ(empty.sample.Frames, 0);
}

TEST(ParseWAV, BorrowedDataStaysWithTheParser) {
    test::TempDir dir;
    const auto file = WaveWriter().Format(Mono16).Data(FourFrames).Write(dir.path() / "a.wav");
    TWAVSample s;
    {
        TParseWAV parser;
        parser.SetBorrowInt16(true);
        ASSERT_EQ(parser.Parse(s, file.string()), TParseWAV::Ok);
        EXPECT_FALSE(s.Data.Owned());
        EXPECT_EQ(Values16(s), (std::vector<int16_t>{100, -200, 300, -400}));
        s.Data.MakeOwned();
    }
    EXPECT_TRUE(s.Data.Owned());
    EXPECT_EQ(Values16(s), (std::vector<int16_t>{100, -200, 300, -400}));

    const std::string bytes = WaveWriter().Format(Mono16).Data(FourFrames).Bytes();
    TParseWAV parser;
    parser.SetBorrowInt16(true);
    ASSERT_EQ(parser.Parse(s, bytes.data(), bytes.size()), TParseWAV::Ok);
    EXPECT_EQ(s.Data.Data(), bytes.data() + bytes.size() - 8);
}

}  // namespace
}  // namespace norv

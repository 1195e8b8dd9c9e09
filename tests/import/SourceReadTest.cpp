// The SoundFont and SFZ readers: what they take from a source, and how they
// turn down what they cannot read.
#include <gtest/gtest.h>

#include <span>

#include "engine/VoiceStart.h"
#include "support/TempDir.h"
#include "support/TestPiano.h"
#include "support/WaveWriter.h"
#include "import/ErrorOf.h"
#include "tools/import/ImportError.h"
#include "tools/import/SfzReader.h"
#include "tools/import/SfzRegions.h"
#include "tools/import/SoundFontFile.h"
#include "tools/import/SoundFontPreset.h"
#include "tools/import/VelocityMeasure.h"

namespace norv::test {
namespace {

using namespace norv::import;

std::span<const uint8_t> Bytes(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

TEST(ImportVelocity, IsTheInstrumentsVelocityOfTheHostsLevel) {
    for (int v = 0; v <= 127; ++v) EXPECT_EQ(InstrumentVelocity(v), EngineVelocity(static_cast<float>(v) / 100.0f)) << v;
    EXPECT_EQ(InstrumentVelocity(100), 100);
    EXPECT_EQ(InstrumentVelocity(50), 75);
    EXPECT_EQ(InstrumentVelocity(10), 29);
    EXPECT_EQ(InstrumentVelocity(127), 109);
    EXPECT_EQ(InstrumentVelocity(126), 109);  // two MIDI velocities, one limit
}

TEST(SoundFontRead, PresetBecomesRegionsWithStereoPairsJoined) {
    const std::string bytes = BuildSoundFont(TestPianoRecipe());
    const SoundFontFile sf = ParseSoundFont(Bytes(bytes), "p.sf2");
    EXPECT_EQ(sf.VersionMajor, 2);
    EXPECT_EQ(sf.Engineer, "Test Engineer");
    ASSERT_EQ(sf.Presets.size(), 2u);
    EXPECT_EQ(FindPreset(sf, "", "p.sf2"), 1u);
    EXPECT_EQ(FindPreset(sf, "128:0", "p.sf2"), 0u);
    EXPECT_EQ(FindPreset(sf, " test PIANO ", "p.sf2"), 1u);
    EXPECT_NE(ErrorOf([&] { FindPreset(sf, "3:9", "p.sf2"); }).find("p.sf2: has no preset 3:9"), std::string::npos);

    LeftOutList leftOut;
    const PresetRegions r = ResolvePreset(sf, 1, leftOut, "p.sf2");
    ASSERT_EQ(r.Regions.size(), 4u);  // five zones, the stereo pair's two as one
    ASSERT_EQ(r.Voices.size(), 4u);
    EXPECT_EQ(r.Voices[3], (SoundFontVoice{3, 4}));
    EXPECT_EQ(r.Regions[1].LoVel, 81);
    EXPECT_DOUBLE_EQ(r.Regions[1].GainDb, -0.4 * 6.0);  // players apply 0.4 of a zone's attenuation
    EXPECT_EQ(*r.Regions[1].Looped, true);
    EXPECT_EQ(*r.Regions[2].Looped, false);
    EXPECT_DOUBLE_EQ(r.Regions[3].TuneCents, 37.0);
    EXPECT_EQ(*r.Regions[3].RootKey, 72);
    EXPECT_EQ(r.Regions[3].LoKey, 60);

    LeftOutList drums;
    EXPECT_TRUE(ResolvePreset(sf, 0, drums, "p.sf2").Regions.empty());
    EXPECT_EQ(drums.Lines(), std::vector<std::string>{"zones that play one pitch on every key (drum-like) (1 zone)"});
}

TEST(SoundFontRead, MalformedFilesAreTurnedDownNamingWhatIsWrong) {
    const std::string good = BuildSoundFont(TestPianoRecipe());
    const auto error = [](const std::string& bytes) {
        return ErrorOf([&] {
            const SoundFontFile sf = ParseSoundFont(Bytes(bytes), "bad.sf2");
            LeftOutList l;
            ResolvePreset(sf, sf.Presets.size() - 1, l, "bad.sf2");
        });
    };
    EXPECT_NE(error(good.substr(0, good.size() / 2)).find("bad.sf2: the RIFF header claims"), std::string::npos);
    EXPECT_NE(error("RIFF\x04\0\0\0WAVE").find("not a SoundFont"), std::string::npos);

    std::string badRecords = good;
    const size_t pbag = badRecords.find("pbag");
    badRecords[pbag + 4] = 7;  // seven bytes: not whole records, and the chunks after it misplaced
    EXPECT_NE(error(badRecords).find("bad.sf2: "), std::string::npos);

    SoundFontRecipe recipe = TestPianoRecipe();
    recipe.Instruments[0].Zones[0].Gens[1] = SfGen::Range(44, 90, 20);
    EXPECT_NE(error(BuildSoundFont(recipe)).find("instrument 'Piano' zone 1: generator velRange 90-20 is an empty range"),
              std::string::npos);
    recipe = TestPianoRecipe();
    recipe.Presets[1].Zones[0].Gens[0] = SfGen::Value(41, 9);
    EXPECT_NE(error(BuildSoundFont(recipe)).find("preset 'Test Piano' zone 1: generator instrument names instrument 9"),
              std::string::npos);
    recipe = TestPianoRecipe();
    recipe.Instruments[0].Zones[2].Gens.back() = SfGen::Value(53, 77);
    EXPECT_NE(error(BuildSoundFont(recipe)).find("zone 3: generator sampleID names sample 77"), std::string::npos);
    std::string noPresets = good;
    noPresets.replace(noPresets.find("phdr"), 4, "xhdr");
    EXPECT_NE(error(noPresets).find("lacks its 'phdr' chunk"), std::string::npos);
}

TEST(SfzRead, OpcodesInheritDefinesApplyAndBadValuesAreNamed) {
    TempDir dir;
    const std::string wave = WaveWriter().Format(WaveFormat::Pcm(1, 44100, 16)).Data(Pcm16(std::vector<int16_t>(100, 1000)))
                                 .Sampler(SamplerInfo().Unity(62).Loop(10, 59)).Bytes();
    dir.Write("samples/Soft Note.wav", wave);
    const std::string text =
        "<control> default_path=samples/\n"
        "#define $SOFT Soft Note.wav\n"
        "/* a comment\n over lines */ <global> volume=-3 ampeg_release=1\n"
        "<group> lovel=1 hivel=64 // the soft layer\n"
        "<region> sample=$SOFT lokey=c4 hikey=c#4 pitch_keycenter=c4 tune=37\n"
        "<region> sample=soft note.WAV key=62 pitch_keycenter=sample loop_mode=no_loop volume=-6\n"
        "<group> lovel=65 trigger=release <region> sample=$SOFT\n"
        "<group> seq_length=2 seq_position=2 <region> sample=$SOFT\n"
        "<group> <region> sample=$SOFT locc64=64\n";
    const SfzText sfz = ParseSfz(text, "p.sfz", dir.path().string());
    ASSERT_EQ(sfz.Regions.size(), 5u);
    EXPECT_EQ(sfz.Regions[0].At, "line 6");
    EXPECT_EQ(sfz.Regions[0].Opcodes.at("sample").Text, "Soft Note.wav");
    EXPECT_EQ(sfz.Regions[0].Opcodes.at("volume").Text, "-3");

    LeftOutList leftOut;
    const SfzRegions r = ConvertSfz(sfz, "p.sfz", dir.path().string(), leftOut);
    ASSERT_EQ(r.Regions.size(), 2u);
    ASSERT_EQ(r.Files.size(), 1u);  // one file, however spelt
    EXPECT_EQ(r.Regions[0].LoKey, 60);
    EXPECT_EQ(r.Regions[0].HiKey, 61);
    EXPECT_EQ(r.Regions[0].HiVel, 64);
    EXPECT_DOUBLE_EQ(r.Regions[0].TuneCents, 37);
    EXPECT_DOUBLE_EQ(r.Regions[0].GainDb, -3);
    EXPECT_FALSE(r.Regions[1].RootKey.has_value());  // the file's unity note
    EXPECT_DOUBLE_EQ(r.Regions[1].GainDb, -6);
    EXPECT_EQ(*r.Regions[1].Looped, false);
    EXPECT_EQ(leftOut.Lines(), (std::vector<std::string>{"release triggers (1 region)", "round robins (1 region)",
                                                         "pedal-down samples (1 region)"}));
    EXPECT_EQ(ParseSfzKey("Db4"), 61);
    EXPECT_EQ(ParseSfzKey("c-1"), 0);
    EXPECT_EQ(ParseSfzKey("h4"), -1);
    EXPECT_EQ(ParseSfzKey("128"), -1);

    const auto error = [&](const std::string& t) {
        return ErrorOf([&] {
            LeftOutList l;
            ConvertSfz(ParseSfz(t, "p.sfz", dir.path().string()), "p.sfz", dir.path().string(), l);
        });
    };
    EXPECT_EQ(error("<region> sample=samples/Soft Note.wav lovel=90 hivel=20"),
              "p.sfz: region 1 (line 1): the velocity range 90-20 is empty");
    EXPECT_EQ(error("\n<region> sample=samples/Soft Note.wav tune=sharp"),
              "p.sfz: region 1 (line 2): line 2: tune=sharp: not a number");
    EXPECT_EQ(error("<region> lokey=q9 sample=x.wav"),
              "p.sfz: region 1 (line 1): line 1: lokey=q9: not a MIDI key (0..127 or a note name such as c4)");
    EXPECT_NE(error("<region> sample=missing.wav").find("p.sfz: region 1 (line 1): sample 'missing.wav': no such file"),
              std::string::npos);
    EXPECT_EQ(error("<region sample=x.wav"), "p.sfz: line 1: header '<region sample=x.wav' lacks its '>'");
    EXPECT_EQ(error("<region> /* open"), "p.sfz: line 1: a /* comment is never closed");
    EXPECT_EQ(error("<region> what is this"), "p.sfz: line 1: cannot read 'what': expected <header> or opcode=value");
    EXPECT_NE(error("#include \"none.sfz\"").find("p.sfz: line 1: #include \"none.sfz\": cannot read"), std::string::npos);
}

}  // namespace
}  // namespace norv::test

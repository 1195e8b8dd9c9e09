// The saved state: its bytes, and restores of every kind of state.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "editor/SynthForm.h"
#include "host/StateStream.h"
#include "support/PluginFixture.h"
#include "support/TestSets.h"
#include "wavetable/WavTables.h"

namespace norv::test {
namespace {

class State : public PluginFixture {
protected:
    // Two sets: "Alpha" (entry 0: default.wti points at it) and "Piano".
    void WriteSets(const std::string& secondName = "Piano") {
        TestSetOptions a;
        a.Name = "Alpha";
        a.FileBase = "alpha";
        a.Parameters = "8=0.75";
        WriteTestSet(dir.path() / "WavTables", a);
        TestSetOptions b;
        b.Name = secondName;
        b.FileBase = "piano";
        b.Frames = 2000;
        WriteTestSet(dir.path() / "WavTables", b);
        std::ofstream(dir.path() / "WavTables" / "default.wti") << "[default]\nfile=alpha.wti\n";
    }
    std::vector<uint8_t> Save(TTestPlug* p) {
        host::ByteStateStream s;
        p->ExchangeState(&s, 1);
        return s.Bytes();
    }
    void Restore(TTestPlug* p, std::vector<uint8_t> bytes) {
        host::ByteStateStream s(std::move(bytes));
        p->ExchangeState(&s, 0);
    }
    static std::vector<uint8_t> StateOf(int32_t version, const std::string& name, const std::vector<int32_t>& values) {
        std::vector<uint8_t> b;
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(version) >> (8 * i)));
        b.push_back(static_cast<uint8_t>(name.size()));
        b.insert(b.end(), name.begin(), name.end());
        for (int32_t v : values)
            for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
        return b;
    }
};

TEST_F(State, SavedBytes) {
    WriteSets();
    TTestPlug* p = NewInstance();
    ASSERT_EQ(p->CurrentTable()->Name, "Alpha");
    // The preset moved tune; the rest are the knobs' initial values.
    EXPECT_EQ(p->ParamValues[8], 500);
    EXPECT_EQ(p->ParamValues[3], -1000);
    p->HandleParameter(0, -12345, ParamFlag::Set);
    std::vector<uint8_t> bytes = Save(p);
    ASSERT_EQ(bytes.size(), 70u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 10),
              (std::vector<uint8_t>{1, 0, 0, 0, 5, 'A', 'l', 'p', 'h', 'a'}));
    for (size_t i = 0; i < 15; ++i) {
        int32_t v;
        std::memcpy(&v, bytes.data() + 10 + 4 * i, 4);
        EXPECT_EQ(v, p->ParamValues[i]) << i;
    }
}

TEST_F(State, RestoreFindsTheSetAndKeepsTheValues) {
    WriteSets();
    TTestPlug* p = NewInstance();
    p->HostCommand(PlugCommand::SetSampleRate, 0, 44100);
    std::vector<int32_t> values(15, 0);
    values[8] = 5000;  // outside the knob's range: kept as it is
    values[13] = 65536;
    host->StartVoice(p, 0, 60, 1, 1, 0, 0);

    Restore(p, StateOf(1, "PIANO", values));  // letter case does not matter
    EXPECT_EQ(p->CurrentTable()->Name, "Piano");
    EXPECT_EQ(p->Engine.VoiceCount(), 0);
    EXPECT_TRUE(host->Voices(p).empty());
    EXPECT_EQ(p->ParamValues[8], 5000);
    EXPECT_EQ(p->Form()->Wheels[8]->Value(), 1000);
    EXPECT_FLOAT_EQ(p->Engine.Level(8), 3.0f);
    EXPECT_FLOAT_EQ(p->Engine.W.FineTune.load(), 5.0f);
    EXPECT_EQ(p->Form()->WavetableCombo->SelectedEntryIndex(), 1);
    EXPECT_TRUE(p->Form()->WavetableCombo->Visible());  // loading display off again

    // A set that is no longer installed: entry 0 with the saved values.
    values[8] = 250;
    Restore(p, StateOf(0, "Gone", values));  // version 0 reads like 1
    EXPECT_EQ(p->CurrentTable()->Name, "Alpha");
    EXPECT_EQ(p->ParamValues[8], 250);
    EXPECT_EQ(p->Form()->WavetableCombo->SelectedEntryIndex(), 0);
}

TEST_F(State, RefusedStatesChangeNothingButTheVoices) {
    WriteSets();
    TTestPlug* p = NewInstance();
    p->HostCommand(PlugCommand::SetSampleRate, 0, 44100);
    const auto values = p->ParamValues;
    std::vector<int32_t> other(15, 7);

    host->StartVoice(p, 0, 60, 1, 1, 0, 0);
    Restore(p, StateOf(2, "Piano", other));
    EXPECT_EQ(p->Engine.VoiceCount(), 0);
    EXPECT_EQ(p->CurrentTable()->Name, "Alpha");
    EXPECT_EQ(p->ParamValues, values);

    // Ending early, anywhere: refused like a newer version.
    std::vector<uint8_t> whole = StateOf(1, "Piano", other);
    for (size_t cut : {size_t{0}, size_t{3}, size_t{4}, size_t{7}, whole.size() - 1}) {
        host->StartVoice(p, 0, 62, 1, 1, 0, 200);
        Restore(p, std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)));
        EXPECT_EQ(p->Engine.VoiceCount(), 0) << cut;
        EXPECT_EQ(p->CurrentTable()->Name, "Alpha") << cut;
        EXPECT_EQ(p->ParamValues, values) << cut;
    }
}

TEST_F(State, NamelessSetAndRoundTrip) {
    TestSetOptions a;
    a.Name = "";
    a.FileBase = "anon";
    WriteTestSet(dir.path() / "WavTables", a);
    TTestPlug* p = NewInstance();
    EXPECT_EQ(p->CurrentTable()->Name, "");
    std::vector<uint8_t> bytes = Save(p);
    ASSERT_EQ(bytes.size(), 65u);
    EXPECT_EQ(bytes[4], 0);

    // Saved, restored into a fresh instance, saved again: the same bytes.
    p->HandleParameter(2, 321, ParamFlag::Set);
    bytes = Save(p);
    TTestPlug* q = NewInstance();
    Restore(q, bytes);
    EXPECT_EQ(Save(q), bytes);
    EXPECT_EQ(q->ParamValues, p->ParamValues);
}

}  // namespace
}  // namespace norv::test

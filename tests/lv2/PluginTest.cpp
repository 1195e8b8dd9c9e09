// The instrument as an LV2 host plays it: lilv loads the bundle, the test
// drives the ports, the worker and the state interface.
#include <gtest/gtest.h>

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <chrono>
#include <map>
#include <thread>
#include <memory>
#include <optional>

#include "host/StateStream.h"
#include "lv2/LilvRig.h"
#include "lv2/Protocol.h"
#include "lv2/Signal.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace norv::test {
namespace {

constexpr double kRate = Lv2Instance::kRate;
constexpr size_t kSecond = static_cast<size_t>(kRate);

struct Stereo {
    std::vector<float> left, right;
};

class Lv2PluginTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        bundle_ = new TestBundle;
        world_ = new Lv2World(bundle_->Path());
    }
    static void TearDownTestSuite() {
        delete world_;
        delete bundle_;
    }
    void SetUp() override { ASSERT_NE(world_->Plugin(), nullptr) << "lilv found no plug-in in " << bundle_->Path(); }

    // An instance that times its runs into `file` (NORV_LV2_STATS).
    static std::unique_ptr<Lv2Instance> MakeTimed(const std::string& file) {
        const ScopedEnv stats("NORV_LV2_STATS", file.c_str());
        return Make();
    }
    static std::unique_ptr<Lv2Instance> Make(Lv2Features f = {}) {
        auto i = std::make_unique<Lv2Instance>(*world_, f);
        EXPECT_TRUE(i->Ok());
        return i;
    }

    // A note of `key`, velocity 100, from frame 100 for `hold` frames, then
    // `tail` frames more; blocks of `block` frames.
    static Stereo PlayNote(Lv2Instance& in, uint8_t key, size_t hold, size_t tail, uint32_t block = 256) {
        Stereo s;
        in.Midi(100, 0x90, key, 100);
        in.Render(static_cast<uint32_t>(100 + hold), block, s.left, s.right);
        in.Midi(0, 0x80, key, 0);
        in.Render(static_cast<uint32_t>(tail), block, s.left, s.right);
        return s;
    }

    // The instance's state as its save function stores it.
    struct Stored {
        uint32_t key = 0, type = 0, flags = 0, calls = 0;
        std::vector<uint8_t> bytes;
    };
    static LV2_State_Status Store(LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type,
                                  uint32_t flags) {
        auto* s = static_cast<Stored*>(h);
        ++s->calls;
        s->key = key, s->type = type, s->flags = flags;
        s->bytes.assign(static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
        return LV2_STATE_SUCCESS;
    }
    static Stored Save(Lv2Instance& in) {
        const auto* iface = static_cast<const LV2_State_Interface*>(
            lilv_instance_get_extension_data(in.Get(), LV2_STATE__interface));
        Stored s;
        EXPECT_EQ(iface->save(lilv_instance_get_handle(in.Get()), Store, &s, 0, nullptr), LV2_STATE_SUCCESS);
        return s;
    }
    // Restores whatever `offered` holds under the instrument's key (nothing when null).
    static LV2_State_Status Restore(Lv2Instance& in, const Stored* offered) {
        const auto* iface = static_cast<const LV2_State_Interface*>(
            lilv_instance_get_extension_data(in.Get(), LV2_STATE__interface));
        auto retrieve = [](LV2_State_Handle h, uint32_t, size_t* size, uint32_t* type, uint32_t* flags) -> const void* {
            const auto* s = static_cast<const Stored*>(h);
            if (!s) return nullptr;
            *size = s->bytes.size(), *type = s->type, *flags = s->flags;
            return s->bytes.data();
        };
        return iface->restore(lilv_instance_get_handle(in.Get()), retrieve,
                              const_cast<Stored*>(offered), 0, nullptr);
    }

    static uint32_t Urid(const char* uri) { return world_->Urids().Map(uri); }

    static TestBundle* bundle_;
    static Lv2World* world_;
};
TestBundle* Lv2PluginTest::bundle_ = nullptr;
Lv2World* Lv2PluginTest::world_ = nullptr;

TEST_F(Lv2PluginTest, NotesSoundAtTheirPitchThenDieAway) {
    auto in = Make();
    for (const auto& [key, hz] : {std::pair<uint8_t, double>{69, 440.0}, {57, 220.0}}) {
        SCOPED_TRACE(int(key));
        const Stereo s = PlayNote(*in, key, kSecond, 4 * kSecond);
        EXPECT_EQ(Peak(s.left, 0, 100), 0.0) << "sound before the note";
        const double peak = std::max(Peak(s.left, 100, kSecond), Peak(s.right, 100, kSecond));
        EXPECT_GT(peak, 0.02);
        EXPECT_LT(peak, 2.0);
        const size_t from = kSecond / 10, to = kSecond / 2;
        const double measured = PitchHz(s.left, from, to, kRate, 0.7 * hz, 1.4 * hz);
        EXPECT_NEAR(Cents(measured, hz), 0.0, 15.0) << measured << " Hz";
        // Not the octave above: half the period must not repeat the wave.
        EXPECT_LT(Correlation(s.left, from, to, kRate, 2 * hz), 0.5 * Correlation(s.left, from, to, kRate, hz));
        // Released: the last half second is (nearly) silent.
        EXPECT_LT(Rms(s.left, s.left.size() - kSecond / 2, s.left.size()), 1e-4);
    }
}

TEST_F(Lv2PluginTest, ARestartedInstanceHasNoNoteNorPedalLeft) {
    auto in = Make();
    Stereo s;
    in->Midi(0, 0xB0, 64, 127);
    in->Midi(1, 0x90, 60, 100);
    in->Render(kSecond / 4, 256, s.left, s.right);
    in->Restart();
    in->Midi(0, 0x90, 67, 100);
    in->Render(kSecond / 4, 256, s.left, s.right);
    in->Midi(0, 0x80, 67, 0);
    in->Render(kSecond / 2, 256, s.left, s.right);
    const double held = Rms(s.left, kSecond / 2 - kSecond / 10, kSecond / 2);
    const double after = Rms(s.left, s.left.size() - kSecond / 10, s.left.size());
    EXPECT_GT(held, 0.01);
    // Released, it is a few thousandths of that; held by a pedal, a tenth.
    EXPECT_LT(after, 0.03 * held) << "the pedal held on past the restart";
}

TEST_F(Lv2PluginTest, AMovedControlPortChangesTheSoundFromThatBlockOn) {
    auto steady = Make();
    auto moved = Make();
    Stereo a, b;
    steady->Midi(0, 0x90, 69, 100);
    moved->Midi(0, 0x90, 69, 100);
    steady->Render(kSecond / 2, 256, a.left, a.right);
    moved->Render(kSecond / 2, 256, b.left, b.right);
    EXPECT_EQ(MaxDifference(a.left, b.left), 0.0) << "two instances with the same ports play alike";

    // The tune acts on the notes that start after it moved.
    moved->SetControl("tune", 1000.0f);  // +100 cents
    for (Lv2Instance* in : {steady.get(), moved.get()}) {
        in->Midi(0, 0x80, 69, 0);
        in->Midi(1, 0x90, 69, 100);
    }
    steady->Render(kSecond / 2, 256, a.left, a.right);
    moved->Render(kSecond / 2, 256, b.left, b.right);
    const size_t from = kSecond / 2 + kSecond / 10, to = kSecond;
    EXPECT_NEAR(Cents(PitchHz(a.left, from, to, kRate, 300, 600), 440.0), 0.0, 15.0);
    EXPECT_NEAR(Cents(PitchHz(b.left, from, to, kRate, 300, 600), 440.0), 100.0, 15.0);

    // Out of range and between steps: held to the port's range and rounded.
    moved->SetControl("tune", 5000.4f);
    moved->Render(256, 256, b.left, b.right);
    const std::optional<host::SavedState> state = host::ParseState(Save(*moved).bytes);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->Values[kTune], 1000);
}

TEST_F(Lv2PluginTest, StateIsTheInstrumentsOwnBytesAndRestoresBeforeAnyRun) {
    auto original = Make();
    original->SetControl("decay", 700.0f);
    original->SetControl("tune", -300.0f);
    Stereo unused;
    original->Render(256, 256, unused.left, unused.right);

    const Stored stored = Save(*original);
    EXPECT_EQ(stored.calls, 1u);
    EXPECT_EQ(stored.key, Urid(lv2::kStateKey));
    EXPECT_EQ(stored.type, Urid(LV2_ATOM__Chunk));
    EXPECT_EQ(stored.flags, uint32_t(LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE));
    const std::optional<host::SavedState> state = host::ParseState(stored.bytes);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->Name, "Norv Grand");
    ASSERT_EQ(state->Values.size(), size_t(kParamCount));
    EXPECT_EQ(state->Values[kDecay], 700);
    EXPECT_EQ(state->Values[kTune], -300);

    // Through lilv: saved with the port values, restored into a new instance
    // before its first run, once with the ports set by lilv and once with
    // stale ports that must not overwrite the restored values.
    UridMap& u = world_->Urids();
    auto portValue = [](const char* symbol, void* user, uint32_t* size, uint32_t* type) -> const void* {
        auto* in = static_cast<Lv2Instance*>(user);
        static float value;
        value = in->Control(symbol);
        *size = sizeof value;
        *type = world_->Urids().Map(LV2_ATOM__Float);
        return &value;
    };
    LilvState* saved = lilv_state_new_from_instance(world_->Plugin(), original->Get(), u.MapFeature(), nullptr,
                                                    nullptr, nullptr, nullptr, portValue, original.get(),
                                                    LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, nullptr);
    ASSERT_NE(saved, nullptr);
    auto setValue = [](const char* symbol, void* user, const void* value, uint32_t, uint32_t) {
        static_cast<Lv2Instance*>(user)->SetControl(symbol, *static_cast<const float*>(value));
    };
    auto withPorts = Make();
    auto stalePorts = Make();
    auto fresh = Make();
    lilv_state_restore(saved, withPorts->Get(), setValue, withPorts.get(), 0, nullptr);
    lilv_state_restore(saved, stalePorts->Get(), nullptr, nullptr, 0, nullptr);
    lilv_state_free(saved);
    EXPECT_EQ(withPorts->Control("decay"), 700.0f);
    EXPECT_EQ(stalePorts->Control("decay"), 0.0f);

    const Stereo expected = PlayNote(*original, 64, kSecond / 2, kSecond / 2);
    const Stereo a = PlayNote(*withPorts, 64, kSecond / 2, kSecond / 2);
    const Stereo b = PlayNote(*stalePorts, 64, kSecond / 2, kSecond / 2);
    const Stereo d = PlayNote(*fresh, 64, kSecond / 2, kSecond / 2);
    EXPECT_LE(MaxDifference(expected.left, a.left), 1e-6);
    EXPECT_LE(MaxDifference(expected.right, a.right), 1e-6);
    EXPECT_LE(MaxDifference(expected.left, b.left), 1e-6);
    EXPECT_GT(MaxDifference(expected.left, d.left), 1e-3) << "the state made no difference";
    EXPECT_EQ(Save(*stalePorts).bytes, stored.bytes);

    // A port moved after the restore wins.
    stalePorts->SetControl("decay", -200.0f);
    stalePorts->Render(256, 256, unused.left, unused.right);
    EXPECT_EQ(host::ParseState(Save(*stalePorts).bytes)->Values[kDecay], -200);
}

// One preset per set of the library: a host's preset menu picks the set and
// the values choosing it gives.
TEST_F(Lv2PluginTest, PresetsChooseTheirSets) {
    LilvWorld* world = world_->World();
    LilvNode* presetClass = lilv_new_uri(world, LV2_PRESETS__Preset);
    LilvNode* label = lilv_new_uri(world, LILV_NS_RDFS "label");
    LilvNodes* presets = lilv_plugin_get_related(world_->Plugin(), presetClass);
    std::map<std::string, const LilvNode*> byLabel;
    LILV_FOREACH(nodes, i, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, i);
        lilv_world_load_resource(world, preset);
        if (LilvNode* text = lilv_world_get(world, preset, label, nullptr)) {
            byLabel[lilv_node_as_string(text)] = preset;
            lilv_node_free(text);
        }
    }
    ASSERT_EQ(byLabel.size(), 2u);  // Norv Grand and the test set
    ASSERT_TRUE(byLabel.count("Test Set"));

    auto setValue = [](const char* symbol, void* user, const void* value, uint32_t, uint32_t) {
        static_cast<Lv2Instance*>(user)->SetControl(symbol, *static_cast<const float*>(value));
    };
    auto in = Make();
    in->SetControl("tune", 300.0f);  // a value the preset puts back to its default
    LilvState* state = lilv_state_new_from_world(world, world_->Urids().MapFeature(), byLabel["Test Set"]);
    ASSERT_NE(state, nullptr);
    lilv_state_restore(state, in->Get(), setValue, in.get(), 0, nullptr);
    lilv_state_free(state);
    Stereo unused;
    in->Render(256, 256, unused.left, unused.right);
    const std::optional<host::SavedState> now = host::ParseState(Save(*in).bytes);
    ASSERT_TRUE(now);
    EXPECT_EQ(now->Name, "Test Set");
    EXPECT_EQ(now->Values[kTune], 0);
    EXPECT_EQ(in->Control("tune"), 0.0f);
    lilv_nodes_free(presets);
    lilv_node_free(label);
    lilv_node_free(presetClass);
}

TEST_F(Lv2PluginTest, EmptyOrForeignStatesLeaveTheInstanceAsItWas) {
    auto in = Make();
    in->SetControl("muffle", 100.0f);
    Stereo unused;
    in->Render(256, 256, unused.left, unused.right);
    const Stored before = Save(*in);

    EXPECT_EQ(Restore(*in, nullptr), LV2_STATE_SUCCESS);
    EXPECT_EQ(Save(*in).bytes, before.bytes);

    Stored other = before;
    host::SavedState changed = *host::ParseState(before.bytes);
    changed.Values[kMuffle] = 900;
    other.bytes = host::StateBytes(changed);
    other.type = Urid(LV2_ATOM__String);
    EXPECT_NE(Restore(*in, &other), LV2_STATE_SUCCESS) << "not a chunk";

    other.type = Urid(LV2_ATOM__Chunk);
    Stored cut = other;
    cut.bytes.resize(cut.bytes.size() - 3);
    EXPECT_NE(Restore(*in, &cut), LV2_STATE_SUCCESS) << "a parameter block cut short";
    cut.bytes.resize(3);
    EXPECT_NE(Restore(*in, &cut), LV2_STATE_SUCCESS) << "shorter than its header";
    Stored newer = other;
    newer.bytes[0] = 2;
    EXPECT_NE(Restore(*in, &newer), LV2_STATE_SUCCESS) << "a later version";
    EXPECT_EQ(Save(*in).bytes, before.bytes);

    // The same bytes as a chunk are taken.
    EXPECT_EQ(Restore(*in, &other), LV2_STATE_SUCCESS);
    EXPECT_EQ(host::ParseState(Save(*in).bytes)->Values[kMuffle], 900);
}

TEST_F(Lv2PluginTest, SetsSwitchThroughTheWorkerWhileNotesPlay) {
    auto in = Make();
    Stereo s;
    in->Render(256, 256, s.left, s.right);
    in->SettleWorker(s.left, s.right);
    ASSERT_FALSE(in->SetsHeard().empty()) << "the first run tells the set";
    EXPECT_EQ(in->SetsHeard().back(), "Norv Grand");

    // A held note and the pedal down while the set changes under them; the
    // note-off and the pedal lift most likely come while the set loads.
    in->Midi(0, 0xB0, 64, 127);
    in->Midi(10, 0x90, 60, 100);
    in->PatchSet("test set");
    in->Render(256, 256, s.left, s.right);
    in->Midi(0, 0x80, 60, 0);
    in->Midi(5, 0xB0, 64, 0);
    in->Render(kSecond / 4, 256, s.left, s.right);
    in->SettleWorker(s.left, s.right);
    EXPECT_EQ(in->SetsHeard().back(), "Test Set");

    // The new set plays: its samples are looped sines at their root (key 72
    // here), which ring for as long as a key or the pedal holds them.
    const size_t start = s.left.size();
    in->Midi(0, 0x90, 72, 100);
    in->Render(kSecond / 2, 256, s.left, s.right);
    const double hz = 440.0 * std::pow(2.0, 3.0 / 12.0);
    EXPECT_NEAR(Cents(PitchHz(s.left, start + kSecond / 10, s.left.size(), kRate, 0.7 * hz, 1.4 * hz), hz), 0.0, 10.0);
    const double held = Rms(s.left, s.left.size() - kSecond / 10, s.left.size());
    in->Midi(0, 0x80, 72, 0);
    in->Render(kSecond, 256, s.left, s.right);
    EXPECT_LT(Rms(s.left, s.left.size() - kSecond / 10, s.left.size()), 0.01 * held) << "a pedal stayed down";

    // Asking tells; an unknown name keeps the set; a selector label is a name too.
    in->PatchGet();
    in->Render(256, 256, s.left, s.right);
    in->SettleWorker(s.left, s.right);
    EXPECT_EQ(in->SetsHeard().back(), "Test Set");
    const size_t heard = in->SetsHeard().size();
    in->PatchSet("No Such Set");
    in->Render(256, 256, s.left, s.right);
    in->SettleWorker(s.left, s.right);
    ASSERT_EQ(in->SetsHeard().size(), heard + 1);
    EXPECT_EQ(in->SetsHeard().back(), "Test Set");
    in->PatchSet("Grand (Norv)");
    in->Render(256, 256, s.left, s.right);
    in->SettleWorker(s.left, s.right);
    EXPECT_EQ(in->SetsHeard().back(), "Norv Grand");
    EXPECT_EQ(host::ParseState(Save(*in).bytes)->Name, "Norv Grand");
}

TEST_F(Lv2PluginTest, MalformedEventsAreIgnored) {
    auto in = Make();
    Stereo s;
    in->Render(256, 256, s.left, s.right);
    in->SettleWorker(s.left, s.right);
    const size_t heard = in->SetsHeard().size();

    // A set whose value is a number, a set of another property, MIDI of no
    // and of five bytes: nothing happens.
    const LV2_URID midi = Urid(LV2_MIDI__MidiEvent);
    const uint8_t five[5] = {0x90, 60, 100, 0, 0};
    in->RawEvent(0, midi, five, 0);
    in->RawEvent(1, midi, five, 5);
    struct {
        LV2_Atom_Object_Body head;
        LV2_Atom_Property_Body propertyKey;
        uint32_t property;
        uint32_t pad;
        LV2_Atom_Property_Body valueKey;
        int32_t value;
        uint32_t pad2;
    } numberSet = {{0, Urid(LV2_PATCH__Set)},
                   {Urid(LV2_PATCH__property), 0, {sizeof(uint32_t), Urid(LV2_ATOM__URID)}},
                   Urid(lv2::kSetProperty), 0,
                   {Urid(LV2_PATCH__value), 0, {sizeof(int32_t), Urid(LV2_ATOM__Int)}},
                   7, 0};
    in->RawEvent(2, Urid(LV2_ATOM__Object), &numberSet, sizeof numberSet);
    numberSet.property = Urid("urn:norvkeys:elsewhere");
    in->RawEvent(3, Urid(LV2_ATOM__Object), &numberSet, sizeof numberSet);
    // An event that claims more than the sequence holds ends the reading.
    in->RawEvent(4, midi, five, 3, 1u << 20);
    in->Midi(5, 0x90, 60, 100);
    in->Render(kSecond / 2, 256, s.left, s.right);
    in->SettleWorker(s.left, s.right);
    EXPECT_EQ(in->SetsHeard().size(), heard);
    EXPECT_EQ(Peak(s.left, 0, s.left.size()), 0.0) << "a note from a broken event";

    in->Midi(0, 0x90, 60, 100);
    in->Render(kSecond / 4, 256, s.left, s.right);
    EXPECT_GT(Peak(s.left, 0, s.left.size()), 0.02) << "the next run reads its events again";
}

TEST_F(Lv2PluginTest, PolyphonyPortLimitsTheVoices) {
    auto one = Make();
    auto many = Make();
    one->SetControl("polyphony", 1.0f);
    Stereo a, b;
    for (Lv2Instance* in : {one.get(), many.get()}) in->Midi(0, 0x90, 57, 100);
    one->Render(kSecond / 4, 256, a.left, a.right);
    many->Render(kSecond / 4, 256, b.left, b.right);
    EXPECT_EQ(MaxDifference(a.left, b.left), 0.0) << "one note is one voice";
    for (Lv2Instance* in : {one.get(), many.get()}) in->Midi(0, 0x90, 64, 100);
    one->Render(3 * kSecond / 4, 256, a.left, a.right);
    many->Render(3 * kSecond / 4, 256, b.left, b.right);
    const size_t after = kSecond / 2;
    // One voice: the first note gave way to the second, so its 220 Hz is gone.
    EXPECT_NEAR(Cents(PitchHz(a.left, after, kSecond, kRate, 300, 400), 329.63), 0.0, 15.0);
    // Both notes: at the lag of 220 Hz the two voices pull against each other.
    EXPECT_LT(Correlation(a.left, after, kSecond, kRate, 220.0), Correlation(b.left, after, kSecond, kRate, 220.0) - 0.2);
}

// The figures of the line the instance wrote at cleanup, by name; "label"
// is 1 when the line begins with "lv2".
std::map<std::string, double> ReadRunStats(const std::string& file) {
    std::ifstream text(file);
    std::string label, key;
    text >> label;
    std::map<std::string, double> values{{"label", label == "lv2" ? 1 : 0}};
    double value;
    while (text >> key >> value) values[key] = value;
    return values;
}

TEST_F(Lv2PluginTest, RunStatisticsGoToTheNamedFileAtCleanup) {
    TempDir dir;
    const std::string file = (dir.path() / "runs.txt").string();
    auto in = MakeTimed(file);
    Stereo s;
    in->Midi(0, 0x90, 60, 100);
    in->Render(100 * 64, 64, s.left, s.right);
    in.reset();

    std::map<std::string, double> values = ReadRunStats(file);
    EXPECT_EQ(values["label"], 1);
    ASSERT_EQ(values.size(), 8u) << "callbacks, p50, p99, p99.9, worst, skipped, longest";
    EXPECT_EQ(values["callbacks"], 100);
    EXPECT_EQ(values["skipped"], 0);
    EXPECT_EQ(values["longest"], 0);
    EXPECT_GT(values["p50"], 0.0);
    EXPECT_LE(values["p50"], values["p99"]);
    EXPECT_LE(values["p99"], values["p99.9"]);
    EXPECT_LE(values["p99.9"], values["worst"]);
}

// The new set loads while the old one plays; only the swap stops run().
// Periods come a millisecond apart, so the ones skipped measure how long the
// processing lock was held against how long the switch took.
TEST_F(Lv2PluginTest, ASetSwitchSkipsOnlyTheSwapsPeriods) {
    TempDir dir;
    const std::string file = (dir.path() / "runs.txt").string();
    auto in = MakeTimed(file);
    auto identity = [](auto&& call) { call(); };
    int periods = 0;
    auto switchTo = [&](const char* name) {
        in->PatchSet(name);
        for (int i = 0; i < 100000 && (in->SetsHeard().empty() || in->SetsHeard().back() != name); ++i) {
            in->Midi(0, 0x90, static_cast<uint8_t>(48 + i % 24), 90);
            in->RunOnce(256, identity);
            ++periods;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(in->SetsHeard().back(), name);
    };
    // Away from the default set, which is then no longer held, and back:
    // the bigger set is decoded again while notes play.
    switchTo("Test Set");
    switchTo("Norv Grand");
    in.reset();

    const std::map<std::string, double> values = ReadRunStats(file);
    ASSERT_TRUE(values.count("skipped")) << "no count of skipped periods in " << file;
    const double skipped = values.at("skipped");
    EXPECT_LE(skipped, std::max(4.0, 0.1 * periods)) << periods << " periods while the sets loaded";
}

TEST_F(Lv2PluginTest, RefusesCleanlyWithoutTheFeaturesItNeeds) {
    Lv2Instance noMap(*world_, {.Map = false, .Worker = true});
    EXPECT_FALSE(noMap.Ok());
    Lv2Instance noWorker(*world_, {.Map = true, .Worker = false});
    EXPECT_FALSE(noWorker.Ok());
}

}  // namespace
}  // namespace norv::test

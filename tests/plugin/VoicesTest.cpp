// Voices through an instance: key notices, stealing, the end-of-voice sweep,
// ending them all, and the block sequence around them.
#include <gtest/gtest.h>

#include <bit>
#include <vector>

#include "editor/SynthForm.h"
#include "support/PluginFixture.h"
#include "support/TestSets.h"
#include "toolkit/Application.h"
#include "wavetable/WavTables.h"

namespace norv::test {
namespace {

class Voices : public PluginFixture {
protected:
    TTestPlug* NewPlayingInstance() {
        WriteTestSet(dir.path() / "WavTables");
        TTestPlug* p = NewInstance();
        p->HostCommand(PlugCommand::SetSampleRate, 0, 44100);
        return p;
    }
    static TPianoVoice& V(host::HostVoice* hv) { return *reinterpret_cast<TPianoVoice*>(hv->Handle); }
    std::vector<float> Render(TTestPlug* p, int32_t frames) {
        std::vector<float> out(2 * static_cast<size_t>(frames));
        host->RenderBlock(p, out.data(), frames);
        return out;
    }
};

TEST_F(Voices, KeyNotices) {
    TTestPlug* p = NewPlayingInstance();
    ASSERT_TRUE(p->CurrentTable()->Loaded);
    auto& kb = *p->Form()->MIDIKb;
    host::HostVoice* a = host->StartVoice(p, 0, 60, 1.0f, 1.0f, 0, 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(V(a).ShownKey, 60);
    tk::Application().ProcessMessages();
    EXPECT_TRUE(kb.IsPressed(60));

    // Released, then killed: exactly one key-off.
    host->ReleaseVoice(a);
    tk::Application().ProcessMessages();
    EXPECT_FALSE(kb.IsPressed(60));
    kb.PressKey(60);  // a mouse press of the same key stays
    host->KillVoice(a);
    tk::Application().ProcessMessages();
    EXPECT_TRUE(kb.IsPressed(60));
    kb.ReleaseKey(60);

    // No keyboard shown: nothing lit, nothing posted.
    p->Engine.KeyboardNotify = false;
    host::HostVoice* b = host->StartVoice(p, 0, 64, 1.0f, 1.0f, 0, 400);
    EXPECT_EQ(V(b).ShownKey, kNoShownKey);
    host->ReleaseVoice(b);
    host->KillVoice(b);
    tk::Application().ProcessMessages();
    EXPECT_TRUE(kb.PressedKeys().empty());
    EXPECT_EQ(p->VoiceEvent(0, 1, 2, 3), 0);
}

TEST_F(Voices, StealingTheQuietest) {
    TTestPlug* p = NewPlayingInstance();
    p->HandleEvent(PlugEvent::SetPolyphony, 2, 0);
    host::HostVoice* a = host->StartVoice(p, 0, 60, 1, 1, 0, 0);
    host::HostVoice* b = host->StartVoice(p, 0, 62, 1, 1, 0, 200);
    V(a).Level = 0.5f;
    V(b).Level = 0.25f;
    host::HostVoice* c = host->StartVoice(p, 0, 64, 1, 1, 0, 400);
    ASSERT_NE(c, nullptr);  // starts regardless
    EXPECT_FALSE(V(a).Ended);
    EXPECT_TRUE(V(b).Ended);
    EXPECT_EQ(p->Engine.VoiceCount(), 3);

    // Ended voices are neither counted nor chosen; equal levels: the earlier one.
    V(c).Level = V(a).Level;
    host::HostVoice* d = host->StartVoice(p, 0, 65, 1, 1, 0, 500);
    EXPECT_TRUE(V(a).Ended);
    EXPECT_FALSE(V(c).Ended);
    EXPECT_FALSE(V(d).Ended);

    // A level of 2.0 or more is never stolen.
    V(c).Level = 2.0f;
    V(d).Level = 3.0f;
    host::HostVoice* e = host->StartVoice(p, 0, 67, 1, 1, 0, 700);
    EXPECT_FALSE(V(c).Ended);
    EXPECT_FALSE(V(d).Ended);
    EXPECT_FALSE(V(e).Ended);

    // No limit: nothing stolen.
    p->HandleEvent(PlugEvent::SetPolyphony, 0, 0);
    host::HostVoice* f = host->StartVoice(p, 0, 69, 1, 1, 0, 900);
    EXPECT_FALSE(V(e).Ended);
    EXPECT_FALSE(V(f).Ended);
}

TEST_F(Voices, SweepAndEndingThemAll) {
    TTestPlug* p = NewPlayingInstance();
    host::HostVoice* a = host->StartVoice(p, 0, 60, 1, 1, 0, 0);
    host::HostVoice* b = host->StartVoice(p, 0, 72, 1, 1, 0, 1200);
    V(a).DecayCoef = 1.0f;
    V(b).DecayCoef = 1.0f;
    V(a).Level = std::bit_cast<float>(0x38D1B717u);  // 0.0001: not below it
    V(b).Level = std::bit_cast<float>(0x38D1B716u);
    V(a).Step = V(b).Step = 0;
    Render(p, 16);
    // b was reported with -1 and the host killed it inside the call.
    ASSERT_EQ(host->Voices(p).size(), 1u);
    EXPECT_EQ(host->Voices(p)[0], a);
    EXPECT_EQ(p->Engine.VoiceCount(), 1);

    // EndAllVoices marks every voice under the host's lock; the next block reports them.
    int locks = host->ProcessingLocks;
    EXPECT_EQ(p->HostCommand(PlugCommand::EndAllVoices, 0, 0), 0);
    EXPECT_EQ(host->ProcessingLocks, locks + 1);
    EXPECT_TRUE(V(a).Ended);
    Render(p, 16);
    EXPECT_TRUE(host->Voices(p).empty());
    EXPECT_EQ(p->Engine.VoiceCount(), 0);

    // KillAllVoices reports code 0 and frees the voices itself.
    host->StartVoice(p, 0, 60, 1, 1, 0, 0);
    host->StartVoice(p, 0, 61, 1, 1, 0, 100);
    p->KillAllVoices();
    EXPECT_EQ(p->Engine.VoiceCount(), 0);
    EXPECT_TRUE(host->Voices(p).empty());
    p->KillAllVoices();  // an empty list calls nothing
}

TEST_F(Voices, BlockSequence) {
    TTestPlug* p = NewPlayingInstance();
    // No voices: the host's buffer stays exactly as it was.
    std::vector<float> buffer(64, 0.5f);
    int32_t n = 32;
    p->RenderMix(buffer.data(), &n);
    EXPECT_EQ(buffer, std::vector<float>(64, 0.5f));

    host::HostVoice* a = host->StartVoice(p, 0, 60, 1, 1, 0, 0);
    // An empty block changes nothing.
    TPianoVoice before = V(a);
    n = 0;
    p->RenderMix(buffer.data(), &n);
    EXPECT_EQ(V(a).Pos, before.Pos);

    // The gain rises at no more than 0.001 a frame from silence.
    host::HostVoice* b = host->StartVoice(p, 0, 62, 1, 1, 0, 200);
    Render(p, 256);
    EXPECT_FLOAT_EQ(V(b).GainEndL, 0.256f);
    EXPECT_FLOAT_EQ(V(b).GainIncL, 0.001f);
}

// Records the reports instead of killing, so the ended voice can be looked at.
struct ReportingHost : host::Host {
    using host::Host::Host;
    void NotifyVoiceEnded(intptr_t voiceTag, intptr_t code) override { Reports.push_back({voiceTag, code}); }
    std::vector<std::pair<intptr_t, intptr_t>> Reports;
};

TEST_F(Voices, AnEndedVoiceIsOnlyReported) {
    WriteTestSet(dir.path() / "WavTables");
    ReportingHost h(&CreateInstanceChecked);
    h.Status.Quiet = true;
    auto* p = static_cast<TTestPlug*>(h.CreateInstance());
    p->HostCommand(PlugCommand::SetSampleRate, 0, 44100);
    host::HostVoice* a = h.StartVoice(p, 0, 60, 1, 1, 0, 0);
    TPianoVoice& v = *reinterpret_cast<TPianoVoice*>(a->Handle);
    v.Ended = true;
    const TPianoVoice frozen = v;
    std::vector<float> out(64);
    h.RenderBlock(p, out.data(), 32);
    h.RenderBlock(p, out.data(), 32);
    EXPECT_EQ(v.Pos, frozen.Pos);
    EXPECT_EQ(v.GainEndL, frozen.GainEndL);
    EXPECT_EQ(v.Level, frozen.Level);
    ASSERT_EQ(h.Reports.size(), 2u);  // after every block until the host kills it
    EXPECT_EQ(h.Reports[0].first, reinterpret_cast<intptr_t>(a));
    EXPECT_EQ(h.Reports[0].second, -1);
    h.KillVoice(a);
    h.DestroyInstance(p);
}

TEST_F(Voices, PitchChangeRecomputesTheStepOnly) {
    TTestPlug* p = NewPlayingInstance();
    p->HandleParameter(kDetune, 0, ParamFlag::Set);  // no per-key detune pattern
    host::HostVoice* a = host->StartVoice(p, 0, 60, 0.5f, 1, 0, 0);
    Render(p, 8);
    TPianoVoice was = V(a);
    a->CurPitch = 1200;  // an octave up, same zone search key
    Render(p, 8);
    EXPECT_EQ(V(a).PitchCents, 7200.0f);
    EXPECT_EQ(V(a).Key, was.Key);
    EXPECT_NEAR(static_cast<double>(V(a).Step) / was.Step, 2.0, 1e-4);
    EXPECT_EQ(V(a).LoopEnd, was.LoopEnd);
    EXPECT_EQ(V(a).FilterCoef, was.FilterCoef);
}

}  // namespace
}  // namespace norv::test

namespace norv::test {
namespace {

// Voices the host never killed go with the instance (the sanitizer build
// would report them as leaks otherwise).
TEST_F(Voices, DestroyFreesVoicesStillListed) {
    WriteTestSet(dir.path() / "WavTables");
    auto* p = static_cast<TTestPlug*>(CreateInstanceChecked(host.get(), 99));
    ASSERT_NE(p, nullptr);
    THostVoiceRecord record{};
    record.InitVolume = 1;
    record.InitPitch = 6000;
    record.CurVolume = 1;
    EXPECT_NE(p->StartVoice(&record, 1), -1);
    EXPECT_NE(p->StartVoice(&record, 2), -1);
    EXPECT_EQ(p->Engine.VoiceCount(), 2);
    p->DestroyInstance();
    EXPECT_TRUE(Process().Instances.Empty());
}

}  // namespace
}  // namespace norv::test

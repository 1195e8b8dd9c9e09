// The engine on its own: voice records from its pool, and blocks longer than
// its work buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/AudioRenderer.h"
#include "engine/Engine.h"
#include "engine/MixFast.h"
#include "wavetable/WavTables.h"

namespace norv {
namespace {

struct QuietHost : IEngineHost {
    void ComputeVoiceGains(float* left, float* right, float pan, float volume) override {
        *left = volume * (1 - std::max(pan, 0.0f));
        *right = volume * (1 + std::min(pan, 0.0f));
    }
    void VoiceEnded(intptr_t) override { ++ended; }
    void LockMixOutput() override { ++locks; }
    void UnlockMixOutput() override {}
    void KeyNotice(int32_t, bool) override {}
    int ended = 0;
    int locks = 0;
};

// One looping zone of a decaying sine, and the controls of a few notes.
struct Rig {
    QuietHost host;
    TPianoWaveTable table{"/nonexistent/", kParamCount};
    std::vector<int16_t> data;
    float controls[8][4] = {};  // init volume, pan, volume, pitch

    Rig() {
        for (int i = 0; i < 4001; ++i) data.push_back(static_cast<int16_t>(12000 * std::sin(i * 0.05)));
        TWaveTableSample s;
        s.Root = 60;
        s.High = 999;
        s.StartFrame = 0;
        s.EndFrame = 3999;
        s.LoopLength = 2000;
        table.Samples = {s};
        table.VelocityLimits = {0};
        table.SampleData = data.data();
        table.SampleDataSize = static_cast<int32_t>(data.size() * 2);
        table.SampleRate = 44100;
    }
    ~Rig() { table.SampleData = nullptr; }

    void SetUp(TEngine& e) {
        TAudioRenderer rate;
        rate.SetRate(44100);
        for (int i = 0; i < kParamCount; ++i) e.SetLevel(i, 0.5f);
        e.SetSampleRate(rate);
        e.SetTable(&table);
    }
    THostVoiceLink Link(int i) {
        float* c = controls[i];
        c[0] = 0.4f + 0.1f * static_cast<float>(i);
        c[1] = 0.25f * static_cast<float>(i % 3) - 0.25f;
        c[2] = 0.9f;
        c[3] = 100.0f * static_cast<float>(i) - 300.0f;
        return {&c[0], &c[1], &c[2], &c[3]};
    }
};

TEST(Engine, LongBlocksGoInPiecesAndSoundTheSame) {
    // The literal renderer, whose every frame is the same however the block is cut.
    const TVoiceRenderer saved = ActiveVoiceRenderer();
    SetVoiceRenderer(TVoiceRenderer::Reference);
    Rig rig;
    TEngine whole(rig.host), pieces(rig.host, TEngine::kVoiceCapacity, 64);
    std::vector<float> a(2 * 5000, 0.25f), b(a);
    for (TEngine* e : {&whole, &pieces}) {
        rig.SetUp(*e);
        for (int i = 0; i < 5; ++i) ASSERT_NE(e->StartVoice(rig.Link(i), 6000, i, 32), nullptr);
    }
    for (int n : {5000, 1, 64, 65, 3000}) {
        rig.host.locks = 0;
        whole.RenderBlock(a.data(), n);
        EXPECT_EQ(rig.host.locks, 1);
        pieces.RenderBlock(b.data(), n);
        EXPECT_EQ(rig.host.locks, 1 + (n + 63) / 64);
        ASSERT_EQ(a, b) << n;
    }
    EXPECT_GT(*std::max_element(a.begin(), a.end()), 0.3f);
    SetVoiceRenderer(saved);
}

TEST(Engine, VoiceRecordsComeFromAPoolOfFixedSize) {
    Rig rig;
    TEngine e(rig.host, 4);
    rig.SetUp(e);
    std::vector<TPianoVoice*> v;
    for (int i = 0; i < 4; ++i) v.push_back(e.StartVoice(rig.Link(i), 6000, i, 0));
    for (TPianoVoice* x : v) EXPECT_TRUE(e.Holds(x));
    // Exhausted: no voice, and nothing else changes.
    EXPECT_EQ(e.StartVoice(rig.Link(4), 6000, 4, 0), nullptr);
    EXPECT_EQ(e.VoiceCount(), 4);
    e.KillVoice(*v[1]);
    EXPECT_FALSE(e.Holds(v[1]));
    EXPECT_EQ(e.VoiceCount(), 3);
    TPianoVoice* again = e.StartVoice(rig.Link(5), 6000, 5, 0);
    EXPECT_EQ(again, v[1]);  // the record comes back, cleared and set up anew
    EXPECT_EQ(again->VoiceTag, 5);
    EXPECT_FALSE(again->Ended);
    // Nothing outside the pool counts as a voice.
    TPianoVoice stray;
    EXPECT_FALSE(e.Holds(&stray));
    EXPECT_FALSE(e.Holds(reinterpret_cast<TPianoVoice*>(reinterpret_cast<char*>(v[0]) + 4)));
    EXPECT_FALSE(e.Holds(nullptr));
}

}  // namespace
}  // namespace norv

// Whole instances, one per renderer path, fed the same notes and host
// changes block after block: every fast path must sound like the reference
// and leave its voices in the same state.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "RenderCompare.h"
#include "TestSet.h"
#include "support/PluginFixture.h"
#include "base/QuickList.h"
#include "wavetable/WavTables.h"

namespace norv::test {
namespace {

struct Scenario {
    SetShape Shape;
    unsigned Seed;
    int Rate;  // the host's
    int Polyphony;
};

class RenderScenario : public PluginFixture, public testing::WithParamInterface<Scenario> {};

TEST_P(RenderScenario, FastPathsMatchTheReference) {
    const Scenario sc = GetParam();
    std::mt19937 rng(sc.Seed);
    WriteSet(dir.path() / "WavTables", sc.Shape, rng);
    RendererScope restore;

    // Instance 0 renders with the reference, the others with the fast paths.
    std::vector<TVoiceRenderer> paths = {TVoiceRenderer::Reference};
    for (TVoiceRenderer p : FastPaths()) paths.push_back(p);
    std::vector<TTestPlug*> plugs;
    std::uniform_int_distribution<int> hostValue(0, 65536);
    std::vector<int> params(15);
    for (int& v : params) v = hostValue(rng);
    for (size_t i = 0; i < paths.size(); ++i) {
        TTestPlug* p = NewInstance();
        ASSERT_NE(p, nullptr);
        ASSERT_NE(p->CurrentTable(), nullptr);
        ASSERT_EQ(p->CurrentTable()->Stereo, sc.Shape.Channels == 2);
        ASSERT_EQ(static_cast<int>(p->CurrentTable()->Samples.size()), sc.Shape.Zones * sc.Shape.Layers);
        p->HostCommand(PlugCommand::SetSampleRate, 0, sc.Rate);
        p->HandleEvent(1, sc.Polyphony, 0);
        for (int k = 0; k < 15; ++k) {
            p->HandleParameter(k, params[static_cast<size_t>(k)], ParamFlag::Set | ParamFlag::HostScale);
            // Every parameter away from its default.
            if (p->ParamValues[static_cast<size_t>(k)] == p->ParamDefaults[static_cast<size_t>(k)])
                p->HandleParameter(k, (params[static_cast<size_t>(k)] + 20000) % 65537, ParamFlag::Set | ParamFlag::HostScale);
            ASSERT_NE(p->ParamValues[static_cast<size_t>(k)], p->ParamDefaults[static_cast<size_t>(k)]) << k;
        }
        plugs.push_back(p);
    }
    ASSERT_NE(plugs[0]->Engine.W.OverdriveAmount.load(), 0.0f);

    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_int_distribution<int> key(21, 108), velocity(1, 127), small(0, 9);
    std::vector<SignalDiff> diffs(paths.size());
    std::vector<std::vector<float>> out(paths.size());
    int64_t voiceFrames = 0;
    for (int block = 0; block < 160; ++block) {
        // Host changes between blocks, the same on every instance.
        const int starts = small(rng) < 4 ? 1 + small(rng) / 3 : 0;
        for (int s = 0; s < starts; ++s) {
            const int k = key(rng);
            const float init = static_cast<float>(velocity(rng)) / 100.0f;
            const float level = init * (0.3f + 0.7f * unit(rng));
            const float pan = 2.0f * unit(rng) - 1.0f;
            const float pitch = 100.0f * static_cast<float>(k - 60) + (small(rng) == 0 ? 50.0f * unit(rng) : 0.0f);
            for (TTestPlug* p : plugs) ASSERT_NE(host->StartVoice(p, 0, k, init, level, pan, pitch), nullptr);
        }
        std::vector<std::vector<host::HostVoice*>> held;
        for (TTestPlug* p : plugs) held.push_back(host->Voices(p));
        for (size_t i = 0; i < held[0].size(); ++i) {
            const int what = small(rng);
            const float amount = unit(rng);
            for (auto& h : held) {
                ASSERT_EQ(h.size(), held[0].size());
                host::HostVoice* v = h[i];
                switch (what) {
                    case 0: v->CurPan = 2.0f * amount - 1.0f; break;
                    case 1: v->CurVolume = v->InitVolume * amount; break;
                    case 2: v->CurPitch += 300.0f * amount - 150.0f; break;
                    case 3:
                        if (!v->Released) host->ReleaseVoice(v);
                        break;
                    default: break;
                }
            }
        }

        const int n = block % 17 == 0 ? 4096 : (block % 5 == 0 ? 1 + small(rng) : 1 + static_cast<int>(unit(rng) * 700));
        for (size_t i = 0; i < plugs.size(); ++i) {
            ASSERT_TRUE(SetVoiceRenderer(paths[i]));
            out[i].assign(2 * static_cast<size_t>(n), 0.0f);
            host->RenderBlock(plugs[i], out[i].data(), n);
        }
        voiceFrames += static_cast<int64_t>(plugs[0]->Engine.VoiceCount()) * n;
        for (size_t i = 1; i < plugs.size(); ++i) {
            SCOPED_TRACE(testing::Message() << VoiceRendererName(paths[i]) << ", block " << block);
            diffs[i].Add(out[0].data(), out[i].data(), out[0].size());
            const TEngine& expected = plugs[0]->Engine;
            const TEngine& actual = plugs[i]->Engine;
            ASSERT_EQ(expected.VoiceCount(), actual.VoiceCount());
            for (int32_t v = 0; v < expected.VoiceCount(); ++v) ExpectSameVoice(*expected.VoiceAt(v), *actual.VoiceAt(v));
            if (HasFailure()) return;
        }
    }
    // Enough sound went through to mean something.
    EXPECT_GT(diffs.size() > 1 ? diffs[1].Peak : 1.0, 0.01);
    EXPECT_GT(voiceFrames, 500000);
    for (size_t i = 1; i < paths.size(); ++i) {
        SCOPED_TRACE(VoiceRendererName(paths[i]));
        ExpectWithinTolerance(diffs[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(Sets, RenderScenario,
                         testing::Values(Scenario{{1, 6, 3, 44100}, 1, 44100, 32},
                                         Scenario{{2, 5, 2, 44100}, 2, 48000, 24},
                                         Scenario{{1, 3, 1, 32000}, 3, 96000, 0},
                                         Scenario{{2, 8, 4, 22050}, 4, 44100, 40}));

}  // namespace
}  // namespace norv::test

// The render path allocates nothing once its work buffer has grown: every
// allocation made on this thread while RenderMix runs is counted.
#include <gtest/gtest.h>

#include <vector>

#include "host/LivePlayer.h"
#include "support/AllocationCounter.h"
#include "support/PluginFixture.h"
#include "support/TestSets.h"

namespace norv::test {
namespace {

using Realtime = PluginFixture;

// Everything the audio thread calls, from the first note on.
TEST_F(Realtime, TheNotePathAndTheRenderAllocateNothing) {
    if (!NORV_COUNT_ALLOCATIONS) GTEST_SKIP() << "the sanitizers own the allocator in this build";
    TestSetOptions stereo;
    stereo.Channels = 2;
    WriteTestSet(dir.path() / "WavTables", stereo);
    TTestPlug* p = NewInstance();
    p->HostCommand(PlugCommand::SetSampleRate, 0, 48000);
    p->HandleEvent(PlugEvent::SetPolyphony, 32, 0);
    for (int i = 0; i < 15; ++i) p->HandleParameter(i, 20000 + 2000 * i, ParamFlag::Set | ParamFlag::HostScale);
    // The host's records and tags, made before counting starts.
    std::vector<THostVoiceRecord> records(300);
    std::vector<intptr_t> handles;
    handles.reserve(records.size());
    std::vector<float> out(2 * 20000);
    auto counted = [](auto&& f) {
        tCounting = true;
        f();
        tCounting = false;
    };

    tAllocations = 0;
    for (size_t k = 0; k < records.size(); ++k) {
        THostVoiceRecord& r = records[k];
        r.InitVolume = 0.3f + static_cast<float>(k % 80) / 80.0f;
        r.InitPitch = 100.0f * static_cast<float>(30 + k % 60);
        r.CurPitch = r.InitPitch - 6000.0f;
        r.CurVolume = 1;
        counted([&] { handles.push_back(p->StartVoice(&r, static_cast<intptr_t>(k))); });
        if (k % 3 == 0) counted([&] { p->ReleaseVoice(handles[k / 2]); });
        if (k % 7 == 0) {
            r.CurPitch += 7;  // step recomputation
            r.CurPan = static_cast<float>(k % 5) / 5.0f;
        }
        // Longer blocks than the work buffer holds go in pieces.
        int32_t n = k % 50 == 0 ? 20000 : 1 + static_cast<int32_t>(k * 37 % 4096);
        counted([&] { p->RenderMix(out.data(), &n); });
        if (k % 11 == 0) counted([&] { p->KillVoice(handles[k / 3]); });
    }
    counted([&] { p->KillVoice(handles.back()); });
    counted([&] { p->KillVoice(-1); });
    EXPECT_EQ(tAllocations, 0);
    EXPECT_GT(p->Engine.VoiceCount(), 32);  // stolen voices wait for the host's kill
    p->KillAllVoices();
}

// A live host's periods: MIDI in, the note side, the pieces of the render.
TEST_F(Realtime, LivePeriodsAllocateNothing) {
    if (!NORV_COUNT_ALLOCATIONS) GTEST_SKIP() << "the sanitizers own the allocator in this build";
    WriteTestSet(dir.path() / "WavTables", TestSetOptions{});
    TTestPlug* p = NewInstance();
    p->HostCommand(PlugCommand::SetSampleRate, 0, 48000);
    p->HandleEvent(PlugEvent::SetPolyphony, 64, 0);
    host::LivePlayer player(*host, p);
    std::vector<float> left(4096), right(4096);
    const uint8_t warm[3] = {0x90, 60, 100};
    player.Begin(left.data(), right.data(), 4096);
    player.Midi(0, warm, 3);
    player.End();

    tAllocations = 0;
    tCounting = true;
    for (int k = 0; k < 400; ++k) {
        const int32_t frames = k % 9 == 0 ? 1500 : 64;
        const auto key = static_cast<uint8_t>(30 + k * 7 % 60);
        const uint8_t on[3] = {static_cast<uint8_t>(0x90 | (k % 3)), key, static_cast<uint8_t>(20 + k % 100)};
        const uint8_t off[3] = {static_cast<uint8_t>(0x80 | (k % 3)), static_cast<uint8_t>(30 + (k + 20) * 7 % 60), 0};
        const uint8_t pedal[3] = {0xB0, 64, static_cast<uint8_t>(k % 40 < 20 ? 127 : 0)};
        const uint8_t bend[3] = {0xE1, static_cast<uint8_t>(k % 128), 0x50};
        const uint8_t volume[3] = {0xB2, 7, static_cast<uint8_t>(k % 128)};
        const uint8_t allOff[3] = {0xB1, 123, 0};
        if (k % 5 == 0) player.PanelNote(72 + k % 12, k % 10 == 0 ? 90 : 0);
        player.Begin(left.data(), right.data(), frames);
        player.Midi(0, on, 3);
        player.Midi(10, off, 3);
        player.Midi(20, pedal, 3);
        player.Midi(30, bend, 3);
        player.Midi(40, volume, 3);
        if (k % 50 == 49) player.Midi(50, allOff, 3);
        player.End();
        host::MidiMessage m;
        while (player.PopControl(m)) {
        }
    }
    tCounting = false;
    EXPECT_EQ(tAllocations, 0);
    EXPECT_GT(player.Notes().VoicesStarted(), 400);
    EXPECT_GT(player.Notes().PeakVoices(), 32u);
}

}  // namespace
}  // namespace norv::test

// One thread renders while another moves parameters, changes the rate and
// switches sets the way the editor does, under the host's processing lock.
// Run under ThreadSanitizer by `make test`.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "editor/SynthForm.h"
#include "host/LivePlayer.h"
#include "support/PluginFixture.h"
#include "support/TestSets.h"
#include "support/WaitUntil.h"
#include "wavetable/WavTables.h"

namespace norv::test {
namespace {

using Threads = PluginFixture;

TEST_F(Threads, RenderWhileTheEditorChangesThings) {
    TestSetOptions a;
    WriteTestSet(dir.path() / "WavTables", a);
    TestSetOptions b;
    b.Name = "Second";
    b.FileBase = "second";
    b.Channels = 2;
    b.Frames = 2000;
    WriteTestSet(dir.path() / "WavTables", b);
    TTestPlug* p = NewInstance();
    p->HostCommand(PlugCommand::SetSampleRate, 0, 44100);
    ASSERT_EQ(p->WaveTableFiles.size(), 2u);

    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        std::vector<float> out(2 * 128);
        int key = 0;
        while (!stop.load()) {
            {
                std::lock_guard lock(host->ProcessingMutex());
                if (host->Voices(p).size() < 24) host->StartVoice(p, 0, 36 + key % 60, 0.8f, 1, 0, 100.0f * (key % 60 - 24));
                ++key;
                auto voices = host->Voices(p);
                if (voices.size() > 12) host->ReleaseVoice(voices.front());
            }
            host->RenderBlock(p, out.data(), 128);
            blocks.fetch_add(1);
        }
    });

    // The GUI thread, once the audio thread runs: knob changes, rate
    // changes, ending voices, set switches.
    ASSERT_TRUE(WaitUntil([&] { return blocks.load() > 0; }));
    for (int round = 0; round < 200 && !HasFailure(); ++round) {
        for (int i = 0; i < 15; ++i) p->HandleParameter(i, (round * 977 + i * 311) % 65537, ParamFlag::Set | ParamFlag::HostScale);
        if (round % 7 == 3) p->HostCommand(PlugCommand::SetSampleRate, 0, round % 2 ? 48000 : 44100);
        if (round % 9 == 4) p->HostCommand(PlugCommand::EndAllVoices, 0, 0);
        if (round % 5 == 0) p->Form()->WavetableCombo->ChooseEntry(round % 2);
        std::this_thread::yield();
    }
    stop = true;
    audio.join();
    EXPECT_TRUE(p->CurrentTable()->Loaded);
}

// A live host: the audio thread only tries the lock, the GUI thread switches
// sets, plays the panel's keys and reads controllers back.
TEST_F(Threads, LivePeriodsWhileTheEditorSwitchesSets) {
    TestSetOptions a;
    WriteTestSet(dir.path() / "WavTables", a);
    TestSetOptions b;
    b.Name = "Second";
    b.FileBase = "second";
    b.Frames = 3000;
    WriteTestSet(dir.path() / "WavTables", b);
    TTestPlug* p = NewInstance();
    p->HostCommand(PlugCommand::SetSampleRate, 0, 48000);
    host::LivePlayer player(*host, p);

    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> left(300), right(300);
        for (int k = 0; !stop.load(); ++k) {
            const uint8_t on[3] = {0x90, static_cast<uint8_t>(36 + k % 48), 90};
            const uint8_t off[3] = {0x80, static_cast<uint8_t>(36 + (k + 40) % 48), 0};
            const uint8_t cc[3] = {0xB0, 1, static_cast<uint8_t>(k % 128)};
            player.Begin(left.data(), right.data(), 64 + k % 200);
            player.Midi(3, on, 3);
            player.Midi(9, off, 3);
            player.Midi(20, cc, 3);
            player.End();
        }
    });
    int controls = 0;
    ASSERT_TRUE(WaitUntil([&] { return player.Periods() > 0; }));
    for (int round = 0; round < 120 && !HasFailure(); ++round) {
        player.PanelNote(60 + round % 12, round % 2 ? 0 : 80);
        if (round % 6 == 0) p->Form()->WavetableCombo->ChooseEntry(round / 6 % 2);
        host::MidiMessage m;
        while (player.PopControl(m)) ++controls;
        std::this_thread::yield();
    }
    // The controllers the audio thread passed on reach the GUI side.
    EXPECT_TRUE(WaitUntil([&] {
        host::MidiMessage m;
        while (player.PopControl(m)) ++controls;
        return controls > 0;
    }));
    stop = true;
    audio.join();
    EXPECT_TRUE(p->CurrentTable()->Loaded);
}

}  // namespace
}  // namespace norv::test

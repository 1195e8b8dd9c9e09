// One thread renders while another moves parameters, changes the rate and
// switches sets the way the editor does, under the host's processing lock.
// Run under ThreadSanitizer by `make test`.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "editor/SynthForm.h"
#include "support/PluginFixture.h"
#include "support/TestSets.h"
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

    // The GUI thread: knob changes, rate changes, ending voices, set switches.
    for (int round = 0; round < 200 && !HasFailure(); ++round) {
        for (int i = 0; i < 15; ++i) p->HandleParameter(i, (round * 977 + i * 311) % 65537, ParamFlag::Set | ParamFlag::HostScale);
        if (round % 7 == 3) p->HostCommand(PlugCommand::SetSampleRate, 0, round % 2 ? 48000 : 44100);
        if (round % 9 == 4) p->HostCommand(PlugCommand::EndAllVoices, 0, 0);
        if (round % 5 == 0) p->Form()->WavetableCombo->ChooseEntry(round % 2);
        std::this_thread::yield();
    }
    stop = true;
    audio.join();
    EXPECT_GT(blocks.load(), 0);
    EXPECT_TRUE(p->CurrentTable()->Loaded);
}

}  // namespace
}  // namespace norv::test

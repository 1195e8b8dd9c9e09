// norvkeys play on a display of its own (Xvfb): the window shows the panel
// as the off-screen drawing does, the panel's keyboard is heard at the
// player's outputs, and a knob's menu links it to a controller, which the
// state file keeps.
#include <gtest/gtest.h>

#include <cairo.h>

#include <memory>
#include <string>
#include <thread>

#include "engine/Parameters.h"
#include "support/jack/JackRig.h"
#include "support/TempDir.h"
#include "support/XSession.h"
#include "tools/play/StateFile.h"

namespace norv {
namespace {

using namespace std::chrono_literals;
using test::ChildProgram;
using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

TEST(PlayWindow, ShowsThePanelItsKeysSoundAndItsKnobsLearn) {
    if (!test::FindProgram("Xvfb") || !test::FindProgram("xdotool")) GTEST_SKIP() << "Xvfb or xdotool missing";
    test::XvfbServer display;
    ASSERT_FALSE(display.Display().empty()) << "Xvfb did not start";
    test::JackServer server;
    ASSERT_FALSE(server.Name().empty()) << "jackd did not start";
    test::TempDir dir;

    const std::string state = (dir.path() / "player.state").string();
    ChildProgram player(
        {NORV_BUILD_DIR "/norvkeys", "play", "--no-connect", "--server", server.Name(), "--state", state},
        display.Display());
    const auto client = player.WaitForLine("client ", std::chrono::seconds(30));
    ASSERT_TRUE(client) << "the player did not come up";
    const auto panelLine = player.WaitForLine("panel ");
    ASSERT_TRUE(panelLine);
    const unsigned long panel = std::stoul(panelLine->substr(6), nullptr, 16);

    const std::string png = (dir.path() / "shot.png").string();
    ChildProgram shot({NORV_BUILD_DIR "/norvkeys", "editor", "--screenshot", png}, "");
    ASSERT_EQ(shot.Wait(), 0);
    Surface offscreen(cairo_image_surface_create_from_png(png.c_str()), cairo_surface_destroy);
    ASSERT_EQ(cairo_surface_status(offscreen.get()), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(test::PixelsLeftToPaint(display.Display(), panel, offscreen.get()), 0);

    // Key 48 under the mouse (the first C of the keyboard well at 29, 160), held while listening.
    test::JackProbe probe(server.Name());
    ASSERT_TRUE(probe.ConnectTo(client->substr(7)));
    EXPECT_EQ(probe.ListenPeak(4800), 0.0f);
    ASSERT_TRUE(test::Xdotool(display.Display(), {"mousemove", "34", "170", "mousedown", "1"}));
    ASSERT_TRUE(player.WaitForLine("note-on 48 "));
    // Struck near the top of the key: softly.
    EXPECT_GT(probe.ListenPeak(24000), 0.001f);
    ASSERT_TRUE(test::Xdotool(display.Display(), {"mouseup", "1"}));
    EXPECT_EQ(player.WaitForLine("note-"), "note-off 48");

    // The decay knob's menu: the reset item, a separator, then "MIDI learn".
    ASSERT_TRUE(test::Xdotool(display.Display(), {"mousemove", "34", "82", "click", "3"}));
    ASSERT_TRUE(test::WaitForMenu(display.Display()));
    ASSERT_TRUE(test::Xdotool(display.Display(), {"mousemove", "53", "121", "click", "1"}));
    ASSERT_EQ(player.WaitForLine("learning "), "learning 0");
    // The controller at 0 turns the knob to its minimum: away from where
    // the set's preset or the knob's own default put it.
    probe.Send(0xB0, 74, 0);
    EXPECT_EQ(player.WaitForLine("learn "), "learn 0 1 74");
    EXPECT_EQ(player.WaitForLine("param 0 "), "param 0 " + std::to_string(kParams[kDecay].Min));
    EXPECT_EQ(player.Stop(), 0);
    const auto saved = play::ReadPlayStateFile(state, kParamCount);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->Links, (std::vector<play::MidiLink>{{kDecay, 0, 74}}));
}

}  // namespace
}  // namespace norv

// norvkeys play end to end against a JACK server of the test's own: notes
// from a JACK MIDI client are heard at the player's outputs, a missing
// server and a malformed state file are refused with a message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "engine/Parameters.h"
#include "support/jack/JackRig.h"
#include "support/TempDir.h"
#include "support/XSession.h"
#include "tools/ToolRunner.h"
#include "tools/play/StateFile.h"

namespace norv {
namespace {

namespace fs = std::filesystem;
using test::ChildProgram;

std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

constexpr int64_t kHalfSecond = 24000;

TEST(PlayCommand, ANoteFromJackMidiIsHeardAndNothingBeforeIt) {
    test::JackServer server;
    ASSERT_FALSE(server.Name().empty()) << "jackd did not start";
    test::TempDir dir;
    const fs::path state = dir.path() / "player.state";
    ChildProgram player({NORV_BUILD_DIR "/norvkeys", "play", "--headless", "--no-connect", "--server", server.Name(),
                         "--state", state.string()},
                        "");
    const auto client = player.WaitForLine("client ", std::chrono::seconds(30));
    ASSERT_TRUE(client) << "the player did not come up";
    ASSERT_TRUE(player.WaitForLine("set ", std::chrono::seconds(30)));

    test::JackProbe probe(server.Name());
    ASSERT_TRUE(probe.ConnectTo(client->substr(7)));
    EXPECT_EQ(probe.ListenPeak(kHalfSecond), 0.0f);
    probe.Send(0x90, 60, 100);
    EXPECT_GT(probe.ListenPeak(kHalfSecond), 0.01f);
    probe.Send(0x80, 60, 0);

    // Ended cleanly: the missing state file is written at exit.
    EXPECT_EQ(player.Stop(), 0);
    const auto saved = play::ReadPlayStateFile(state.string(), kParamCount);
    ASSERT_TRUE(saved);
    EXPECT_FALSE(saved->Instance.empty());
    EXPECT_TRUE(saved->Links.empty());
}

TEST(PlayCommand, AServerThatGoesAwayEndsItWithAnErrorAndTheStateKept) {
    auto server = std::make_unique<test::JackServer>();
    ASSERT_FALSE(server->Name().empty()) << "jackd did not start";
    test::TempDir dir;
    const fs::path state = dir.path() / "player.state";
    ChildProgram player({NORV_BUILD_DIR "/norvkeys", "play", "--headless", "--no-connect", "--server", server->Name(),
                         "--state", state.string()},
                        "");
    ASSERT_TRUE(player.WaitForLine("set ", std::chrono::seconds(30))) << "the player did not come up";
    server.reset();
    EXPECT_EQ(player.Wait(), 1);
    EXPECT_TRUE(play::ReadPlayStateFile(state.string(), kParamCount));
}

TEST(PlayCommand, WithoutAServerSaysSoAndNamesIt) {
    test::TempDir dir;
    const std::string missing = test::UnusedServerName();
    const test::ToolResult viaOption = test::RunTool({"play", "--headless", "--server", missing}, dir);
    EXPECT_NE(viaOption.Exit, 0);
    EXPECT_NE(viaOption.Err.find("no JACK server is running"), std::string::npos) << viaOption.Err;
    EXPECT_NE(viaOption.Err.find("\"" + missing + "\""), std::string::npos) << viaOption.Err;

    const char* before = std::getenv("JACK_DEFAULT_SERVER");
    const std::string saved = before ? before : "";
    setenv("JACK_DEFAULT_SERVER", missing.c_str(), 1);
    const test::ToolResult viaEnvironment = test::RunTool({"play", "--headless"}, dir);
    if (before)
        setenv("JACK_DEFAULT_SERVER", saved.c_str(), 1);
    else
        unsetenv("JACK_DEFAULT_SERVER");
    EXPECT_NE(viaEnvironment.Exit, 0);
    EXPECT_NE(viaEnvironment.Err.find("\"" + missing + "\""), std::string::npos) << viaEnvironment.Err;
}

TEST(PlayCommand, AMalformedStateFileIsRefusedAndLeftAsItWas) {
    test::TempDir dir;
    const std::string text = "norvkeys-play-state 1\ninstance 01zz\n";
    const fs::path state = dir.Write("broken.state", text);
    // Refused before any server is looked for.
    const test::ToolResult r =
        test::RunTool({"play", "--headless", "--server", test::UnusedServerName(), "--state", state.string()}, dir);
    EXPECT_NE(r.Exit, 0);
    EXPECT_NE(r.Err.find(state.string() + ": line 2: "), std::string::npos) << r.Err;
    EXPECT_EQ(r.Err.find("JACK"), std::string::npos) << r.Err;
    EXPECT_EQ(Slurp(state), text);
}

}  // namespace
}  // namespace norv

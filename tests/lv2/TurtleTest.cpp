// The bundle's Turtle files pass lv2_validate, which checks them against
// the installed LV2 vocabularies; and they say what the ports are.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "engine/Parameters.h"
#include "lv2/Protocol.h"
#include "plugin/TestPlug.h"
#include "support/TempDir.h"
#include "support/XSession.h"

namespace norv::test {
namespace {

// lv2_validate's closing line: "Found N errors among ...". Its exit status says nothing.
std::string ValidationLine(const std::vector<std::filesystem::path>& files) {
    std::string command = "lv2_validate";
    for (const auto& f : files) command += " '" + f.string() + "'";
    command += " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "";
    std::string line, found;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        line = buffer;
        if (line.rfind("Found ", 0) == 0) found = line;
    }
    pclose(pipe);
    return found;
}

std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Lv2Turtle, BundleFilesValidateWithoutErrors) {
    ASSERT_TRUE(FindProgram("lv2_validate")) << "lv2_validate is not installed (lilv-utils)";
    const std::filesystem::path bundle = NORV_LV2_BUNDLE;
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(bundle))
        if (e.path().extension() == ".ttl") files.push_back(e.path());
    ASSERT_EQ(files.size(), 3u);  // the manifest, the plug-in's description, its presets
    EXPECT_EQ(ValidationLine(files).rfind("Found 0 errors", 0), 0u) << ValidationLine(files);

    // The check can fail: a port index that is no number is an error.
    TempDir dir;
    std::string broken = ReadAll(bundle / "norv-keys.ttl");
    broken.replace(broken.find("lv2:index 0 ;"), 13, "lv2:index \"zero\" ;");
    const std::string line = ValidationLine({dir.Write("broken.ttl", broken)});
    EXPECT_NE(line.find("Found "), std::string::npos);
    EXPECT_EQ(line.find("Found 0 errors"), std::string::npos) << line;
}

TEST(Lv2Turtle, PortsFollowTheTableAndTheProtocol) {
    const std::string ttl = ReadAll(std::filesystem::path(NORV_LV2_BUNDLE) / "norv-keys.ttl");
    // A host may read the sound set as well as write it; the licence is a real one.
    EXPECT_NE(ttl.find("patch:readable <" + std::string(lv2::kSetProperty) + ">"), std::string::npos);
    EXPECT_NE(ttl.find("patch:writable <" + std::string(lv2::kSetProperty) + ">"), std::string::npos);
    EXPECT_NE(ttl.find("doap:license <http://opensource.org/licenses/MIT>"), std::string::npos);
    for (int i = 0; i < kParamCount; ++i) {
        const TParamInfo& p = kParams[static_cast<size_t>(i)];
        const std::regex port("lv2:index " + std::to_string(lv2::kFirstParam + static_cast<uint32_t>(i)) +
                              " ;\\s*lv2:symbol \"" + p.ShortName + "\" ;\\s*lv2:name \"" + p.ShortName +
                              "\" ;\\s*lv2:default " + std::to_string(p.Initial) + " ;\\s*lv2:minimum " +
                              std::to_string(p.Min) + " ;\\s*lv2:maximum " + std::to_string(p.Max) +
                              " ;\\s*lv2:portProperty lv2:integer");
        EXPECT_TRUE(std::regex_search(ttl, port)) << p.ShortName;
    }
    // The polyphony's default is the plug-in's own, as its record gives it.
    const std::regex polyphony("lv2:index " + std::to_string(lv2::kPolyphony) +
                               " ;\\s*lv2:symbol \"polyphony\" ;\\s*lv2:name \"Polyphony\" ;\\s*lv2:default " +
                               std::to_string(gPlugInfo.DefaultPolyphony) + " ;\\s*lv2:minimum 1 ;\\s*lv2:maximum 256 ;");
    EXPECT_TRUE(std::regex_search(ttl, polyphony));
}

}  // namespace
}  // namespace norv::test

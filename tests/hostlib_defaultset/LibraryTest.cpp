// The bundle's library: the recorded grand imported where its package is
// installed, once, and default.wti naming it, else Norv Grand.
#include <gtest/gtest.h>

#include <filesystem>

#include "Library.h"
#include "SetFiles.h"
#include "support/SoundFontBuilder.h"
#include "support/TempDir.h"
#include "support/TestPiano.h"

namespace fs = std::filesystem;

namespace {

std::string DefaultFile(const fs::path& wavTables) {
    return norv::test::ParseProfile(norv::test::ReadText(wavTables / "default.wti")).at("default").at("file");
}

TEST(Library, RecordedGrandIsTheDefaultWhereItsPackageIsInstalled) {
    norv::test::TempDir dir;
    norv::library::LibraryOptions o;
    o.WavTables = dir.path() / "WavTables";
    fs::create_directories(o.WavTables);
    o.Source = dir.path() / "package" / "piano.sf2";
    o.Name = "Recorded Grand";
    o.Importer = dir.Write("importer", std::string("build 1"));

    // No package: Norv Grand.
    EXPECT_EQ(norv::library::UpdateLibrary(o).Default, "NorvGrand.wti");
    EXPECT_EQ(DefaultFile(o.WavTables), "NorvGrand.wti");

    // The package installed: imported once, and the default.
    dir.Write("package/piano.sf2", norv::test::BuildSoundFont(norv::test::TestPianoRecipe()));
    norv::library::LibraryReport r = norv::library::UpdateLibrary(o);
    EXPECT_TRUE(r.Imported);
    EXPECT_EQ(DefaultFile(o.WavTables), "Recorded Grand.wti");
    EXPECT_TRUE(fs::is_directory(o.WavTables / "Recorded Grand"));
    EXPECT_FALSE(norv::library::UpdateLibrary(o).Imported);
    // A new importer imports again.
    fs::last_write_time(o.Importer, fs::last_write_time(o.Importer) + std::chrono::seconds(5));
    EXPECT_TRUE(norv::library::UpdateLibrary(o).Imported);

    // The package removed: so is what came from it.
    fs::remove(o.Source);
    EXPECT_EQ(norv::library::UpdateLibrary(o).Default, "NorvGrand.wti");
    EXPECT_EQ(DefaultFile(o.WavTables), "NorvGrand.wti");
    EXPECT_FALSE(fs::exists(o.WavTables / "Recorded Grand.wti"));
    EXPECT_FALSE(fs::exists(o.WavTables / "Recorded Grand"));
}

// This build's bundle chose by the same rule.
TEST(Library, TheBuildsBundleNamesItsDefault) {
    const fs::path wavTables = NORV_BUILD_DIR "/NorvKeys/WavTables";
    const bool installed = fs::is_regular_file(NORV_RECORDED_GRAND_SOURCE);
    EXPECT_EQ(DefaultFile(wavTables), installed ? "MuseScore Grand.wti" : "NorvGrand.wti");
    EXPECT_EQ(fs::exists(wavTables / "MuseScore Grand.wti"), installed);
}

}  // namespace

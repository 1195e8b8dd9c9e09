#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "support/TempDir.h"
#include "base/FileSystem.h"

namespace norv {
namespace {

namespace fs = std::filesystem;

TEST(FileSystem, BackslashesBecomeFolderSeparators) {
    EXPECT_EQ(ToNativePath("grand\\soft\\c3.wav"), "grand/soft/c3.wav");
    EXPECT_EQ(ToNativePath("\\\\x/y\\"), "//x/y/");
    EXPECT_EQ(ToNativePath("plain.wav"), "plain.wav");
    EXPECT_EQ(ToNativePath(""), "");
}

TEST(FileSystem, FindsLooselySpelledPathsFolderByFolder) {
    test::TempDir dir;
    const fs::path& root = dir.path();
    dir.Write("Grand/Soft/C3.wav", "x");
    dir.Write("Grand/Hard/C3.wav", "y");
    dir.Write("ab.wav", "1");
    dir.Write("AB.wav", "2");
    // "Sub" is a file; only the folder "sub" can hold the rest of the path.
    dir.Write("Sub", "file");
    dir.Write("sub/x.wav", "in folder");

    EXPECT_EQ(ResolveCaseInsensitive(root / "grand/soft/c3.WAV"), root / "Grand/Soft/C3.wav");
    EXPECT_EQ(ResolveCaseInsensitive(root / "GRAND/hard/c3.wav"), root / "Grand/Hard/C3.wav");
    EXPECT_EQ(ResolveCaseInsensitive(root / "Grand/Soft/C3.wav"), root / "Grand/Soft/C3.wav");
    EXPECT_EQ(ResolveCaseInsensitive(root / "grand/Soft"), root / "Grand/Soft");
    // Several spellings: the first in sorted order.
    EXPECT_EQ(ResolveCaseInsensitive(root / "Ab.wav"), root / "AB.wav");
    EXPECT_EQ(ResolveCaseInsensitive(root / "ab.wav"), root / "ab.wav");
    EXPECT_EQ(ResolveCaseInsensitive(root / "SUB/X.WAV"), root / "sub/x.wav");
    // Nothing matches: the path comes back as it was.
    EXPECT_EQ(ResolveCaseInsensitive(root / "grand/soft/d3.wav"), root / "grand/soft/d3.wav");
    EXPECT_EQ(ResolveCaseInsensitive(root / "nowhere/c3.wav"), root / "nowhere/c3.wav");
    EXPECT_EQ(ResolveCaseInsensitive(root / "grand/../grand/soft/c3.wav"), root / "Grand/../Grand/Soft/C3.wav");
    EXPECT_EQ(ResolveCaseInsensitive(fs::path()), fs::path());

    EXPECT_TRUE(FileExists(root / "grand/soft/c3.wav"));
    EXPECT_FALSE(FileExists(root / "grand/soft"));  // a folder is not a file
    EXPECT_FALSE(FileExists(root / "grand/soft/d3.wav"));
    EXPECT_EQ(FileSizeOf(root / "SUB/x.wav"), 9);
}

TEST(FileSystem, SizesAndWholeFiles) {
    test::TempDir dir;
    const fs::path file = dir.Write("Set/Piano.wav", std::string(1536, 'p'));
    dir.Write("Set/empty.raw", "");
    fs::create_directories(dir.path() / "folder.wti");
    const fs::path fifo = dir.path() / "pipe.wti";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    EXPECT_EQ(FileSizeOf(file), 1536);
    EXPECT_EQ(FileSizeOf(dir.path() / "set/piano.WAV"), 1536);
    EXPECT_EQ(FileSizeOf(dir.path() / "Set/empty.raw"), 0);
    EXPECT_EQ(FileSizeOf(dir.path() / "Set/missing.wav"), 0);
    EXPECT_EQ(FileSizeOf(dir.path() / "folder.wti"), 0);
    EXPECT_EQ(FileSizeOf(fifo), 0);  // and it must not wait for a writer
    EXPECT_FALSE(FileExists(fifo));
    EXPECT_FALSE(FileExists(dir.path() / "folder.wti"));

    EXPECT_EQ(ReadWholeFile(file, 1536), std::string(1536, 'p'));
    EXPECT_EQ(ReadWholeFile(file, 1535), std::nullopt);
    EXPECT_EQ(ReadWholeFile(dir.path() / "Set/empty.raw", 0), std::string());
    EXPECT_EQ(ReadWholeFile(dir.path() / "folder.wti", 100), std::nullopt);
    EXPECT_EQ(ReadWholeFile(fifo, 100), std::nullopt);
    EXPECT_EQ(ReadWholeFile(dir.path() / "missing", 100), std::nullopt);
}

TEST(FileSystem, UnreadableFileCountsAsMissing) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    test::TempDir dir;
    const fs::path file = dir.Write("locked.wav", "data");
    fs::permissions(file, fs::perms::none);
    EXPECT_EQ(FileSizeOf(file), 0);
    TMappedFile mapped;
    EXPECT_EQ(mapped.Open(file), TMapResult::CannotOpen);
}

TEST(FileSystem, MapsWholeFilesReadOnly) {
    test::TempDir dir;
    std::string content(100000, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
    const fs::path file = dir.Write("Wave/Long.wav", content);
    const fs::path empty = dir.Write("Wave/empty.wav", "");
    fs::create_directories(dir.path() / "Wave/dir.wav");

    TMappedFile mapped;
    EXPECT_FALSE(mapped.IsOpen());
    ASSERT_EQ(mapped.Open(dir.path() / "wave/long.WAV"), TMapResult::Ok);
    ASSERT_EQ(mapped.size(), content.size());
    EXPECT_EQ(std::memcmp(mapped.data(), content.data(), content.size()), 0);
    EXPECT_EQ(mapped.bytes().size(), content.size());

    TMappedFile moved(std::move(mapped));
    EXPECT_FALSE(mapped.IsOpen());
    EXPECT_EQ(mapped.size(), 0u);
    ASSERT_TRUE(moved.IsOpen());
    EXPECT_EQ(moved.data()[99999], static_cast<uint8_t>(99999 * 7));

    TMappedFile other;
    ASSERT_EQ(other.Open(empty), TMapResult::Ok);
    EXPECT_TRUE(other.IsOpen());
    EXPECT_EQ(other.size(), 0u);
    EXPECT_TRUE(other.bytes().empty());
    other = std::move(moved);  // the empty view is released, the mapping taken over
    EXPECT_EQ(other.size(), content.size());
    EXPECT_EQ(other.data()[1], 7);

    // A failed open leaves the object empty, also when it held a mapping.
    EXPECT_EQ(other.Open(dir.path() / "Wave/missing.wav"), TMapResult::CannotOpen);
    EXPECT_FALSE(other.IsOpen());
    EXPECT_EQ(other.data(), nullptr);
    EXPECT_EQ(other.Open(dir.path() / "Wave/dir.wav"), TMapResult::CannotOpen);
    ASSERT_EQ(other.Open(file), TMapResult::Ok);
    other.Close();
    EXPECT_EQ(other.size(), 0u);
}

}  // namespace
}  // namespace norv

// File services for sound sets and settings files: path spelling, size queries,
// whole-file reads and read-only mappings.
//
// Sets are often authored on file systems that ignore letter case and name
// their files loosely ("Piano.WAV" for piano.wav). Every function here that
// takes a path therefore looks the path up with ResolveCaseInsensitive when
// it does not exist under its exact name.
//
// Only regular files count as files: a directory, a FIFO or a device under a
// definition's or sample's name is "not a file" (it exists for nothing,
// has size 0, cannot be opened). Nothing here ever blocks on a FIFO.
//
// Thread safety: every function is safe to call from any thread; a
// TMappedFile object is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace norv {

// Definitions spell folders with backslashes; here they become '/'.
std::string ToNativePath(std::string_view path);

// The path itself when it exists; otherwise the same path with each
// component that does not exist replaced by the entry of its folder that
// matches it without regard to ASCII letter case. Where several entries
// match, they are tried in sorted (byte) order and the first one through
// which the whole path resolves wins. Returns the path unchanged when no
// spelling exists.
std::filesystem::path ResolveCaseInsensitive(const std::filesystem::path& path);

// True for a regular file (symbolic links followed); false for directories,
// other special files and missing paths.
bool FileExists(const std::filesystem::path& path);

// Size in bytes of a regular file that can be opened for reading; 0 when it
// cannot be opened or is not a regular file.
int64_t FileSizeOf(const std::filesystem::path& path);

// The whole content of a regular file of at most maxBytes bytes;
// std::nullopt when it cannot be opened or read, is not a regular file, or is
// larger.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path, int64_t maxBytes);

enum class TMapResult {
    Ok,
    CannotOpen,  // missing, unreadable, or not a regular file
    CannotMap,   // opened, but the mapping failed (or the file is too large)
};

// A whole file mapped read-only. An empty file is an empty view without a
// mapping. The file must not be shortened by others while it is mapped.
class TMappedFile {
public:
    TMappedFile() = default;
    ~TMappedFile();
    TMappedFile(TMappedFile&& other) noexcept;
    TMappedFile& operator=(TMappedFile&& other) noexcept;
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;

    // Releases any earlier mapping first; on failure the object is empty.
    TMapResult Open(const std::filesystem::path& path);
    void Close();

    bool IsOpen() const { return open_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    std::span<const uint8_t> bytes() const { return {data_, size_}; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool mapped_ = false;  // data_ came from mmap (false for an empty file)
    bool open_ = false;
};

}  // namespace norv

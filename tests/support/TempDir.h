// A temporary folder for test data, removed with everything in it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace norv::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes a file (creating folders on the way) and returns its full path.
    std::filesystem::path Write(std::string_view relative, std::string_view bytes) const;
    std::filesystem::path Write(std::string_view relative, const std::vector<unsigned char>& bytes) const;

private:
    std::filesystem::path path_;
};

}  // namespace norv::test

// Writes a set so that it is never seen half-written: everything goes to a
// hidden temporary folder beside the target, which is moved into place when
// complete (the samples first, then the definition). An existing set of the
// same file name is replaced only when asked; until the end it stays as it
// was, and it is put back when the move fails.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace norv::import {

class SetFolder {
public:
    // Throws ImportError when `folder/fileBase.wti` or `folder/fileBase/`
    // exists and `replace` is false, or the temporary folder cannot be made.
    SetFolder(const std::filesystem::path& folder, const std::string& fileBase, bool replace);
    // Removes the temporary folder (with the old set after Commit).
    ~SetFolder();
    SetFolder(const SetFolder&) = delete;
    SetFolder& operator=(const SetFolder&) = delete;

    void WriteSample(const std::string& name, std::span<const uint8_t> bytes);
    // The definition as it will be moved into place, for checking before Commit.
    std::filesystem::path WriteDefinition(const std::string& text);
    void Commit();

    std::filesystem::path Definition() const { return folder_ / (fileBase_ + ".wti"); }

private:
    void WriteFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);

    std::filesystem::path folder_;
    std::string fileBase_;
    bool replace_;
    std::filesystem::path temp_;
};

// A set name made safe as a file name: '/' and control characters become
// '_', leading dots go; never empty.
std::string FileBaseFor(const std::string& name);

}  // namespace norv::import

#include "tools/import/SetFolder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "tools/import/ImportError.h"

namespace norv::import {
namespace fs = std::filesystem;
namespace {

bool Exists(const fs::path& p) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec));
}

}  // namespace

SetFolder::SetFolder(const fs::path& folder, const std::string& fileBase, bool replace)
    : folder_(folder), fileBase_(fileBase), replace_(replace) {
    std::error_code ec;
    if (!fs::is_directory(folder_, ec)) {
        fs::create_directories(folder_, ec);
        if (ec) throw ImportError(folder_.string() + ": cannot create the folder: " + ec.message());
    }
    for (const fs::path& p : {Definition(), folder_ / fileBase_}) {
        if (Exists(p) && !replace_)
            throw ImportError(p.string() + ": exists already (--force replaces it)");
    }
    std::string name = (folder_ / ("." + fileBase_ + ".import-XXXXXX")).string();
    if (!mkdtemp(name.data()))
        throw ImportError(name + ": cannot make a temporary folder: " + std::strerror(errno));
    temp_ = name;
    fs::create_directory(temp_ / fileBase_, ec);
    if (ec) throw ImportError((temp_ / fileBase_).string() + ": cannot create: " + ec.message());
}

SetFolder::~SetFolder() {
    std::error_code ec;
    if (!temp_.empty()) fs::remove_all(temp_, ec);
}

void SetFolder::WriteFile(const fs::path& path, std::span<const uint8_t> bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    int error = fd < 0 ? errno : 0;
    size_t done = 0;
    while (!error && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        else done += static_cast<size_t>(n);
    }
    if (fd >= 0 && ::close(fd) != 0 && !error) error = errno;
    if (error) throw ImportError(path.string() + ": cannot write: " + std::strerror(error));
}

void SetFolder::WriteSample(const std::string& name, std::span<const uint8_t> bytes) {
    WriteFile(temp_ / fileBase_ / name, bytes);
}

fs::path SetFolder::WriteDefinition(const std::string& text) {
    const fs::path path = temp_ / (fileBase_ + ".wti");
    WriteFile(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    return path;
}

void SetFolder::Commit() {
    const fs::path samples = folder_ / fileBase_, definition = Definition();
    const fs::path oldSamples = temp_ / ".old", oldDefinition = temp_ / ".old.wti";
    std::error_code ec;
    // The old set goes aside first (the definition first, so the library
    // never lists a set without its samples) and comes back on failure.
    bool movedDefinition = false, movedSamples = false;
    if (Exists(definition)) {
        fs::rename(definition, oldDefinition, ec);
        movedDefinition = !ec;
    }
    if (!ec && Exists(samples)) {
        fs::rename(samples, oldSamples, ec);
        movedSamples = !ec;
    }
    bool placedSamples = false;
    if (!ec) {
        fs::rename(temp_ / fileBase_, samples, ec);
        placedSamples = !ec;
    }
    if (!ec) fs::rename(temp_ / (fileBase_ + ".wti"), definition, ec);
    if (ec) {
        const std::string reason = ec.message();
        std::error_code ignored;
        if (placedSamples) fs::rename(samples, temp_ / fileBase_, ignored);
        if (movedSamples) fs::rename(oldSamples, samples, ignored);
        if (movedDefinition) fs::rename(oldDefinition, definition, ignored);
        throw ImportError(definition.string() + ": cannot move the new set into place: " + reason);
    }
}

std::string FileBaseFor(const std::string& name) {
    std::string base;
    for (char c : name) base += (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    while (!base.empty() && base.front() == '.') base.erase(base.begin());
    return base.empty() ? "Imported" : base;
}

}  // namespace norv::import

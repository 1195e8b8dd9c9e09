#include "tools/norvkeys/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace norv::tool {
namespace {

[[noreturn]] void Fail(const std::string& file, int error) {
    throw std::runtime_error(file + ": cannot write: " + std::strerror(error));
}

}  // namespace

void WriteFileAtomically(const std::string& file, const void* data, size_t size) {
    const std::filesystem::path target(file);
    if (target.filename().empty()) Fail(file, EISDIR);
    // Same folder as the target, so the rename never crosses file systems.
    std::string temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temp.data());
    if (fd < 0) Fail(file, errno);

    const auto* bytes = static_cast<const char*>(data);
    size_t done = 0;
    int error = 0;
    while (done < size && !error) {
        const ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        else done += static_cast<size_t>(n);
    }
    // mkstemp makes the file private; the result gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    if (!error && fchmod(fd, 0666 & ~mask) != 0) error = errno;
    if (!error && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && !error) error = errno;
    if (!error && std::rename(temp.c_str(), file.c_str()) != 0) error = errno;
    if (error) {
        unlink(temp.c_str());
        Fail(file, error);
    }
}

}  // namespace norv::tool

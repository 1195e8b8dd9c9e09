#include "base/FileSystem.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <system_error>
#include <utility>
#include <vector>

namespace norv {

namespace fs = std::filesystem;

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return FoldAscii(x) == FoldAscii(y);
           });
}

bool Exists(const fs::path& p) {
    std::error_code ec;
    return fs::exists(fs::status(p, ec));
}

fs::path Join(const fs::path& base, const fs::path& component) {
    return base.empty() ? component : base / component;
}

// Components that exist under their exact name are taken as they are; a
// missing one is replaced by its case variants in sorted order until the
// rest of the path resolves below one of them.
bool ResolveFrom(const fs::path& base, fs::path::const_iterator it, fs::path::const_iterator end, fs::path& out) {
    if (it == end) {
        out = base;
        return true;
    }
    const fs::path& component = *it;
    const fs::path exact = Join(base, component);
    if (Exists(exact)) return ResolveFrom(exact, std::next(it), end, out);

    const std::string wanted = component.string();
    if (wanted.empty() || wanted == "." || wanted == "..") return false;
    std::vector<std::string> candidates;
    std::error_code ec;
    for (fs::directory_iterator dir(base.empty() ? fs::path(".") : base, ec), last; !ec && dir != last;
         dir.increment(ec)) {
        std::string name = dir->path().filename().string();
        if (EqualIgnoringAsciiCase(name, wanted)) candidates.push_back(std::move(name));
    }
    std::sort(candidates.begin(), candidates.end());
    for (const std::string& name : candidates) {
        const fs::path next = Join(base, name);
        if (Exists(next) && ResolveFrom(next, std::next(it), end, out)) return true;
    }
    return false;
}

int OpenForReading(const fs::path& path) {
    int fd;
    do {
        // O_NONBLOCK: opening a FIFO must not wait for a writer.
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// An open descriptor of a regular file, found case-insensitively, and its size.
class TRegularFile {
public:
    explicit TRegularFile(const fs::path& path) {
        fd_ = OpenForReading(ResolveCaseInsensitive(path));
        if (fd_ < 0) return;
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
            Reset();
            return;
        }
        size_ = static_cast<int64_t>(st.st_size);
    }
    ~TRegularFile() { Reset(); }
    TRegularFile(const TRegularFile&) = delete;
    TRegularFile& operator=(const TRegularFile&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    int64_t size() const { return size_; }

private:
    void Reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        size_ = 0;
    }
    int fd_ = -1;
    int64_t size_ = 0;
};

}  // namespace

std::string ToNativePath(std::string_view path) {
    std::string result(path);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

fs::path ResolveCaseInsensitive(const fs::path& path) {
    if (path.empty() || Exists(path)) return path;
    fs::path resolved;
    if (ResolveFrom(fs::path(), path.begin(), path.end(), resolved)) return resolved;
    return path;
}

bool FileExists(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(ResolveCaseInsensitive(path), ec);
}

int64_t FileSizeOf(const fs::path& path) {
    TRegularFile file(path);
    return file.ok() ? file.size() : 0;
}

std::optional<std::string> ReadWholeFile(const fs::path& path, int64_t maxBytes) {
    TRegularFile file(path);
    if (!file.ok() || file.size() > maxBytes) return std::nullopt;
    std::string content;
    content.resize(static_cast<size_t>(file.size()));
    size_t done = 0;
    // The file may change while it is read: stop at its real end, and refuse
    // it when it has grown beyond the limit.
    for (;;) {
        if (done == content.size()) {
            if (static_cast<int64_t>(content.size()) > maxBytes) return std::nullopt;
            content.resize(content.size() + 4096);
        }
        ssize_t n = ::read(file.fd(), content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    if (static_cast<int64_t>(done) > maxBytes) return std::nullopt;
    content.resize(done);
    return content;
}

TMappedFile::~TMappedFile() { Close(); }

TMappedFile::TMappedFile(TMappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, false)),
      open_(std::exchange(other.open_, false)) {}

TMappedFile& TMappedFile::operator=(TMappedFile&& other) noexcept {
    if (this != &other) {
        Close();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_ = std::exchange(other.mapped_, false);
        open_ = std::exchange(other.open_, false);
    }
    return *this;
}

TMapResult TMappedFile::Open(const fs::path& path) {
    Close();
    TRegularFile file(path);
    if (!file.ok()) return TMapResult::CannotOpen;
    if (file.size() == 0) {
        open_ = true;
        return TMapResult::Ok;
    }
    if (static_cast<uint64_t>(file.size()) > std::numeric_limits<size_t>::max()) return TMapResult::CannotMap;
    const size_t length = static_cast<size_t>(file.size());
    void* p = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, file.fd(), 0);
    if (p == MAP_FAILED) return TMapResult::CannotMap;
    data_ = static_cast<const uint8_t*>(p);
    size_ = length;
    mapped_ = true;
    open_ = true;
    return TMapResult::Ok;
}

void TMappedFile::Close() {
    if (mapped_) ::munmap(const_cast<uint8_t*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
    open_ = false;
}

}  // namespace norv

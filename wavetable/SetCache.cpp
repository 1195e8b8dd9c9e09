#include "wavetable/SetCache.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "wavetable/WavTables.h"

namespace norv {
namespace {

// Some file systems keep times to the second or two; a file written within
// this of a load could be written again without its stamp changing.
constexpr time_t kRacySeconds = 2;

bool Earlier(const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec < b.tv_sec : a.tv_nsec < b.tv_nsec;
}

std::string IdOf(const TSetKey& key) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.17g", key.Rate);
    return key.Definition + '\n' + rate + '\n' + std::to_string(key.ParamCount);
}

struct TEntry {
    std::string Id;
    TSetKey Key;
    std::weak_ptr<const SetCache::TImage> Image;
    uint64_t Serial = 0;
};

struct TClaim {
    std::string Id;
    std::thread::id Owner;
    int Depth = 0;
};

struct TCache {
    std::mutex Mutex;
    std::condition_variable Released;
    std::vector<TEntry> Entries;
    std::vector<TClaim> Claims;
    uint64_t Serial = 0;

    // Entries whose sets nobody holds any more.
    void Prune() {
        std::erase_if(Entries, [](const TEntry& e) { return e.Image.expired(); });
    }
};

// Destroyed with the library (a host may unload it); tables that outlive it
// only drop their images, which never reach back into it.
TCache& Cache() {
    static TCache cache;
    return cache;
}

bool Unchanged(const std::vector<TFileStamp>& files) {
    for (const TFileStamp& f : files)
        if (!(TFileStamp::Of(f.Path) == f)) return false;
    return true;
}

}  // namespace

TFileStamp TFileStamp::Of(const std::string& path) {
    TFileStamp s;
    s.Path = path;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return s;
    s.Device = st.st_dev;
    s.Inode = st.st_ino;
    s.Size = st.st_size;
    s.Modified = st.st_mtim;
    s.Changed = st.st_ctim;
    return s;
}

bool TFileStamp::operator==(const TFileStamp& o) const {
    auto same = [](const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; };
    return Path == o.Path && Size >= 0 && Device == o.Device && Inode == o.Inode && Size == o.Size &&
           same(Modified, o.Modified) && same(Changed, o.Changed);
}

namespace SetCache {

TImage::~TImage() = default;

Image Find(const TSetKey& key, bool anyRate) {
    TCache& cache = Cache();
    std::lock_guard lock(cache.Mutex);
    cache.Prune();
    const std::string id = IdOf(key);
    Image best;
    uint64_t bestSerial = 0;
    for (auto it = cache.Entries.begin(); it != cache.Entries.end();) {
        const bool candidate = anyRate ? it->Key.Definition == key.Definition && it->Key.ParamCount == key.ParamCount
                                       : it->Id == id;
        Image image = candidate ? it->Image.lock() : nullptr;
        if (image && !Unchanged(image->Files)) {
            // Tables that play it keep it; no new load is served from it.
            it = cache.Entries.erase(it);
            continue;
        }
        if (image && (!best || it->Serial > bestSerial)) {
            best = std::move(image);
            bestSerial = it->Serial;
        }
        ++it;
    }
    return best;
}

Image Publish(const TSetKey& key, std::vector<TFileStamp> files, timespec loadStarted,
              std::unique_ptr<const TPianoWaveTable> loaded) {
    auto image = std::make_shared<TImage>();
    image->Key = key;
    image->Table = std::move(loaded);
    const timespec settled{loadStarted.tv_sec - kRacySeconds, loadStarted.tv_nsec};
    bool shareable = true;
    for (const TFileStamp& f : files)
        if (f.Size < 0 || !Earlier(f.Modified, settled)) shareable = false;
    image->Files = std::move(files);
    if (!shareable) return image;

    TCache& cache = Cache();
    std::lock_guard lock(cache.Mutex);
    cache.Prune();
    const std::string id = IdOf(key);
    std::erase_if(cache.Entries, [&](const TEntry& e) { return e.Id == id; });
    cache.Entries.push_back(TEntry{id, key, image, ++cache.Serial});
    return image;
}

size_t HeldCount() {
    TCache& cache = Cache();
    std::lock_guard lock(cache.Mutex);
    cache.Prune();
    return cache.Entries.size();
}

TLoadClaim::TLoadClaim(const TSetKey& key) : id_(IdOf(key)) {
    TCache& cache = Cache();
    std::unique_lock lock(cache.Mutex);
    const std::thread::id self = std::this_thread::get_id();
    for (;;) {
        auto held = std::find_if(cache.Claims.begin(), cache.Claims.end(), [&](const TClaim& c) { return c.Id == id_; });
        if (held == cache.Claims.end()) {
            cache.Claims.push_back(TClaim{id_, self, 1});
            return;
        }
        // A load that runs the host's messages may start the same load again
        // on its own thread; waiting for itself would never end.
        if (held->Owner == self) {
            ++held->Depth;
            return;
        }
        cache.Released.wait(lock);
    }
}

TLoadClaim::~TLoadClaim() {
    TCache& cache = Cache();
    {
        std::lock_guard lock(cache.Mutex);
        auto held = std::find_if(cache.Claims.begin(), cache.Claims.end(), [&](const TClaim& c) { return c.Id == id_; });
        if (held != cache.Claims.end() && --held->Depth == 0) cache.Claims.erase(held);
    }
    cache.Released.notify_all();
}

}  // namespace SetCache
}  // namespace norv

// The sets this process holds: a loaded set's decoded, rate-converted data
// is immutable, so every table that plays the same files at the same rate
// shares one copy, freed with the last table that uses it.
//
// Threads: any thread but the audio thread (lookups lock a mutex).
#pragma once

#include <sys/stat.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace norv {

class TPianoWaveTable;

// A file as it was when a load read it. Any write to the file since then
// changes its size, times or identity.
struct TFileStamp {
    std::string Path;
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = -1;
    timespec Modified{};
    timespec Changed{};

    // The file at `path` now; Size -1 when it cannot be seen.
    static TFileStamp Of(const std::string& path);
    bool operator==(const TFileStamp& other) const;
};

// What identifies a held set: the definition actually read (after its
// default redirection), the rate its samples were converted for, and the
// preset's length.
struct TSetKey {
    std::string Definition;
    double Rate = 0;
    size_t ParamCount = 0;
};

namespace SetCache {

// One held set: a loaded table that nobody plays directly, and the files it
// was built from.
struct TImage {
    TSetKey Key;
    std::vector<TFileStamp> Files;
    std::unique_ptr<const TPianoWaveTable> Table;
    ~TImage();
};
using Image = std::shared_ptr<const TImage>;

// The held set for `key` whose files are all unchanged; with `anyRate`,
// the one loaded last at any rate. Null when there is none.
Image Find(const TSetKey& key, bool anyRate);

// Hands `loaded` (a table that finished loading, data and all) to the cache
// and returns the image that now holds it. Files written so shortly before
// the load that a later write could leave their stamps unchanged make the
// image private: it is not offered to other loads.
Image Publish(const TSetKey& key, std::vector<TFileStamp> files, timespec loadStarted,
              std::unique_ptr<const TPianoWaveTable> loaded);

// While one thread loads a key, another asking for it waits for that load
// instead of decoding the same files twice. Destruction ends the claim.
class TLoadClaim {
public:
    explicit TLoadClaim(const TSetKey& key);
    ~TLoadClaim();
    TLoadClaim(const TLoadClaim&) = delete;
    TLoadClaim& operator=(const TLoadClaim&) = delete;

private:
    std::string id_;
};

// Sets held now (for tests and benchmarks).
size_t HeldCount();

}  // namespace SetCache
}  // namespace norv

#include "wavetable/WavTables.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>

#include "base/TextCase.h"
#include "wavetable/AbcString.h"
#include "base/FileSystem.h"
#include "base/IniFile.h"
#include "wavetable/SampleFiles.h"
#include "wavetable/SetCache.h"

namespace norv {
namespace {

// More entries than any real set has; a definition asking for more is broken,
// and honouring it would only exhaust memory.
constexpr int32_t kMaxEntries = 1 << 16;

// Far louder than any set needs; beyond it a voice's level could overflow
// (a float holds no more than about 3e38) and the host would get no numbers.
constexpr double kMaxVelocityFactor = 1000.0;

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string FileNamePart(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string BaseNameWithoutExtension(const std::string& path) {
    return std::filesystem::path(FileNamePart(path)).stem().string();
}

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

// The folder that holds a definition's samples.
std::string SampleFolder(const std::string& definition, const TIniFile& ini) {
    std::string folder = WithSlash(FolderOf(definition));
    std::string sub = ToNativePath(ini.ReadString("info", "path", ""));
    if (!sub.empty()) folder = WithSlash(folder + sub);
    return folder;
}

int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

std::string FormatSize(int64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " bytes";
    if (bytes < 1048576) return std::to_string(bytes / 1024) + " KB";
    return std::to_string(bytes / 1024 / 1024) + " MB";
}

TPianoWaveTable::TPianoWaveTable(std::string folder, int32_t paramCount)
    : Folder(WithSlash(std::move(folder))), Parameters(static_cast<size_t>(std::max(paramCount, 0)), 0.0f) {}

TPianoWaveTable::~TPianoWaveTable() { FreeData(); }

void TPianoWaveTable::FreeData() {
    if (shared_)
        shared_.reset();
    else
        std::free(SampleData);
    SampleData = nullptr;
    SampleDataSize = 0;
}

std::string TPianoWaveTable::ResolveDefault(const std::string& fileName) const {
    const std::string name = ToNativePath(fileName);
    TIniFile ini{std::filesystem::path(name)};
    return FolderOf(name) + ToNativePath(ini.ReadString("default", "file", FileNamePart(name)));
}

TPianoWaveTable::Summary TPianoWaveTable::ReadSummary(const std::string& fileName) const {
    const std::string path = ToNativePath(fileName);
    TIniFile ini{std::filesystem::path(path)};
    TAbcStringlist seen;
    Summary s;
    const std::string base = BaseNameWithoutExtension(path);
    s.Name = ini.ReadString("info", "name", base);
    s.ShortName = ini.ReadString("info", "shortname", base);
    s.IsStandard = ini.ReadInteger("info", "isstandard", 0) == 1;
    const std::string folder = SampleFolder(path, ini);
    const int32_t samples = ini.ReadInteger("info", "samples", 0);
    const std::string sampleFile = ini.ReadString("info", "samplefile", "");
    if (samples <= 0) return s;
    if (!sampleFile.empty()) {
        s.SampleBytes = FileSizeOf(folder + ToNativePath(sampleFile));
        return s;
    }
    for (int32_t n = 0; n < std::min(samples, kMaxEntries); ++n) {
        std::string name = ini.ReadString("sample" + std::to_string(n), "name", "");
        if (name.empty()) continue;
        std::string lower = LowerCase(name);
        if (seen.Find(lower) >= 0) continue;
        seen.Add(lower);
        s.SampleBytes += FileSizeOf(folder + ToNativePath(name));
    }
    return s;
}

void TPianoWaveTable::Clamp() {
    const int32_t frames = SampleDataSize / FrameSize();
    for (TWaveTableSample& r : Samples) {
        r.Root = std::min(std::max(r.Root, 0), 127);
        r.High = std::min(std::max(r.High, 0), 999);
        r.StartFrame = std::min(std::max(r.StartFrame, 0), frames - 1);
        r.EndFrame = std::min(std::max(r.EndFrame, r.StartFrame), frames - 1);
        r.LoopLength = std::min(std::max(r.LoopLength, 0), frames - r.StartFrame);
    }
}

namespace {

// Makes room for `needed` frames (the spare frame after the counted ones
// included), growing by half again at least, so a set of many files is not
// copied once per file. New room is not cleared: callers write it.
bool GrowFrames(int16_t*& data, int64_t& capacity, int64_t needed, int channels) {
    if (needed <= capacity) return true;
    const int64_t frames = std::max(needed, capacity + capacity / 2);
    const size_t bytes = static_cast<size_t>(frames) * static_cast<size_t>(channels) * sizeof(int16_t);
    void* p = std::realloc(data, bytes);
    if (!p) return false;
    data = static_cast<int16_t*>(p);
    capacity = frames;
    return true;
}

void ClearFrames(int16_t* data, int channels, int64_t from, int64_t count) {
    std::memset(data + from * channels, 0, static_cast<size_t>(count) * static_cast<size_t>(channels) * sizeof(int16_t));
}

void CopyFrame(int16_t* data, int channels, int64_t to, int64_t from) {
    for (int c = 0; c < channels; ++c) data[to * channels + c] = data[from * channels + c];
}

}  // namespace

// What one load carries from step to step.
struct TPianoWaveTable::TLoad {
    std::string File;    // the definition actually read
    TIniFile Ini;
    std::string Folder;  // where its samples are
    std::string InfoName, InfoShort, SampleFile;
    int32_t Entries = 0;
    int32_t LayerCount = 1;
    bool Resample = true;
    bool Raw = false;
    bool Riff = false;
    bool SingleFile = false;
    double HostRate = 0;
    int Channels = 0;      // fixed by the first file read
    int64_t Capacity = 0;  // frames the data block has room for
    int32_t DefaultLoop = 0;
    int32_t LastLoopEnd = 0;
    float LastRateScale = 1.0f;
    int64_t Running = 0;    // frames of data so far
    int64_t LastNamed = 0;  // where the last named entry's data starts
    int32_t PrevRoot = 60;
    int32_t PrevHigh = 999;
    timespec Started{};             // before any file was read
    std::vector<TFileStamp> Files;  // every file read, as it was before reading
};

bool TPianoWaveTable::LoadFromFile(double hostRate, const std::string& fileName, const std::function<void()>& pump,
                                   bool provisional) {
    FreeData();
    Stereo = false;
    SampleDataSize = 0;
    Loaded = false;
    TLoad load;
    load.HostRate = hostRate;
    clock_gettime(CLOCK_REALTIME, &load.Started);
    try {
        if (!OpenDefinition(load, fileName)) return false;
        const TSetKey key{load.File, hostRate, Parameters.size()};
        const SetCache::TLoadClaim claim(key);
        if (SetCache::Image held = SetCache::Find(key, provisional)) {
            Adopt(held);
            if (OnProgress && !Samples.empty()) OnProgress(this, static_cast<int32_t>(Samples.size()) - 1,
                                                           static_cast<int32_t>(Samples.size()) - 1);
            return true;
        }
        // Read only when the set is not held: a held set's switch happens
        // under the host's processing lock.
        load.Ini = TIniFile{std::filesystem::path(load.File)};
        load.Folder = SampleFolder(load.File, load.Ini);
        ReadInfo(load);
        if (load.Entries <= 0) return false;
        if (load.Entries > kMaxEntries) return Fail(load.File + ": too many sample entries", false);
        if (load.SingleFile && !ReadSingleFile(load)) return false;
        if (pump) pump();
        Samples.assign(static_cast<size_t>(load.Entries), TWaveTableSample{});
        for (int32_t n = 0; n < load.Entries; ++n) {
            if (!ReadEntry(load, n)) return false;
            if (OnProgress) OnProgress(this, n, load.Entries - 1);
            if (pump) pump();
        }
        if (!Finish(load)) return false;
        Clamp();
        Share(load);
        Loaded = true;
    } catch (const FileOpenError& e) {
        return Fail(e.what(), false);
    } catch (const std::bad_alloc&) {
        return Fail(load.File + ": out of memory", false);
    }
    return Loaded;
}

void TPianoWaveTable::CopySet(const TPianoWaveTable& from) {
    Name = from.Name;
    ShortName = from.ShortName;
    Author = from.Author;
    Samples = from.Samples;
    VelocityLimits = from.VelocityLimits;
    LayerCount = from.LayerCount;
    SampleRate = from.SampleRate;
    VelocityFactor = from.VelocityFactor;
    ReleaseHighNotes = from.ReleaseHighNotes;
    FileSize = from.FileSize;
    IsStandard = from.IsStandard;
    Parameters = from.Parameters;
    Stereo = from.Stereo;
    SampleData = from.SampleData;
    SampleDataSize = from.SampleDataSize;
    Loaded = true;
}

void TPianoWaveTable::Adopt(const std::shared_ptr<const SetCache::TImage>& image) {
    CopySet(*image->Table);
    shared_ = image;
}

void TPianoWaveTable::Share(TLoad& load) {
    // The frames move to a table of the cache's; this one keeps its fields
    // and points at them, as every later table of the same set will.
    auto copy = std::make_unique<TPianoWaveTable>(Folder, static_cast<int32_t>(Parameters.size()));
    copy->CopySet(*this);
    SampleData = nullptr;
    try {
        shared_ = SetCache::Publish(TSetKey{load.File, load.HostRate, Parameters.size()}, std::move(load.Files),
                                    load.Started, std::move(copy));
    } catch (...) {
        SampleDataSize = 0;  // the frames went with the copy
        throw;
    }
    SampleData = shared_->Table->SampleData;
}

bool TPianoWaveTable::Fail(const std::string& detail, bool clearAll) {
    if (clearAll) {
        Samples.clear();
        FreeData();
    }
    if (OnError) OnError(detail);
    Clamp();
    return false;
}

bool TPianoWaveTable::OpenDefinition(TLoad& load, const std::string& fileNameIn) {
    std::string fileName = ToNativePath(fileNameIn);
    if (fileName.empty()) fileName = DefaultFileName();
    if (fileName.find('/') == std::string::npos) fileName = Folder + fileName;
    if (!FileExists(fileName)) return Fail(fileName + ": no such set definition", true);
    load.File = ResolveDefault(fileName);
    load.Files.push_back(TFileStamp::Of(load.File));
    SampleRate = 44100.0f;
    FileSize = 0;
    return true;
}

void TPianoWaveTable::ReadInfo(TLoad& load) {
    const TIniFile& ini = load.Ini;
    load.InfoName = ini.ReadString("info", "name", "");
    load.InfoShort = ini.ReadString("info", "shortname", "");
    load.Entries = ini.ReadInteger("info", "samples", 0);
    load.SampleFile = ToNativePath(ini.ReadString("info", "samplefile", ""));
    const std::string fileType = LowerCase(ini.ReadString("info", "filetype", "riff"));
    VelocityFactor = static_cast<float>(
        std::clamp(ini.ReadFloat("info", "velocityfactor", 1.0), -kMaxVelocityFactor, kMaxVelocityFactor));
    ReleaseHighNotes = ini.ReadBool("info", "releasehighnotes", false);
    IsStandard = ini.ReadInteger("info", "isstandard", 0) == 1;
    load.LayerCount = ini.ReadInteger("velocitylayers", "count", 1);
    load.Resample = UpperCase(ini.ReadString("info", "resample", "true")) == "TRUE";
    load.Raw = fileType == "raw";
    load.Riff = fileType == "riff";
    load.SingleFile = !load.SampleFile.empty();
}

bool TPianoWaveTable::SameChannels(TLoad& load, bool stereo, const std::string& path) {
    const int c = stereo ? 2 : 1;
    if (load.Channels == 0) load.Channels = c;
    Stereo = load.Channels == 2;
    if (c == load.Channels) return true;
    Fail(path + ": has " + std::to_string(c) + " channel(s), the set's other files " + std::to_string(load.Channels),
         false);
    return false;
}

// Decoding writes straight into the set's block, after `offset` frames,
// with room for the guard frame and the spare frame behind it.
TFrameMemory TPianoWaveTable::PlaceAt(TLoad& load, int64_t offset) {
    return [this, &load, offset](int32_t frames, int fileChannels) -> int16_t* {
        if (load.Channels != 0 && fileChannels != load.Channels) return nullptr;  // refused after decoding
        if (!GrowFrames(SampleData, load.Capacity, offset + frames + 2, fileChannels)) return nullptr;
        return SampleData + offset * fileChannels;
    };
}

bool TPianoWaveTable::ReadSingleFile(TLoad& load) {
    const std::string path = load.Folder + load.SampleFile;
    load.Files.push_back(TFileStamp::Of(ResolveCaseInsensitive(path).string()));
    FileSize = static_cast<int32_t>(std::min<int64_t>(FileSizeOf(path), INT32_MAX));
    int64_t frames = 0;
    if (load.Raw) {
        TRawFileData rawData = LoadRawFile(ResolveCaseInsensitive(path).string());
        frames = rawData.Count;
        load.Channels = 1;
        if (frames > 0 && GrowFrames(SampleData, load.Capacity, frames + 1, 1)) {
            std::memcpy(SampleData, rawData.Values(), static_cast<size_t>(frames) * 2);
            ClearFrames(SampleData, 1, frames, 1);
        } else {
            frames = 0;
        }
    } else if (load.Riff) {
        TWaveFileData wave =
            LoadWaveFile(ResolveCaseInsensitive(path).string(), load.Resample, load.HostRate, PlaceAt(load, 0));
        frames = wave.Frames;
        if (frames > 0) {
            SameChannels(load, wave.Stereo, path);
            load.LastLoopEnd = wave.LoopEnd;
            load.LastRateScale = static_cast<float>(wave.RateScale);
            const int channels = load.Channels;
            if (!GrowFrames(SampleData, load.Capacity, frames + 1, channels)) return Fail(path + ": out of memory", false);
            if (wave.Values() != SampleData)
                std::memcpy(SampleData, wave.Values(), static_cast<size_t>(frames) * channels * 2);
            ClearFrames(SampleData, channels, frames, 1);
        }
    }
    SampleDataSize = static_cast<int32_t>(std::min<int64_t>(frames * (Stereo ? 4 : 2), INT32_MAX - 8));
    if (SampleDataSize <= 0) {
        FreeData();
        return false;
    }
    return true;
}

bool TPianoWaveTable::ReadEntryFile(TLoad& load, TWaveTableSample& r, const std::string& path, int64_t& frameCount) {
    load.Files.push_back(TFileStamp::Of(ResolveCaseInsensitive(path).string()));
    FileSize = static_cast<int32_t>(std::min<int64_t>(FileSize + FileSizeOf(path), INT32_MAX));
    const int64_t at = load.Running;
    if (load.Raw) {
        TRawFileData rawData = LoadRawFile(ResolveCaseInsensitive(path).string());
        frameCount = rawData.Count;
        if (frameCount >= 1) {
            if (!SameChannels(load, false, path)) return false;
            if (!GrowFrames(SampleData, load.Capacity, at + frameCount + 2, load.Channels))
                return Fail(path + ": out of memory", false);
            std::memcpy(SampleData + at, rawData.Values(), static_cast<size_t>(frameCount) * 2);
            ClearFrames(SampleData, load.Channels, at + frameCount, 2);
        }
    } else {
        TWaveFileData wave =
            LoadWaveFile(ResolveCaseInsensitive(path).string(), load.Resample, load.HostRate, PlaceAt(load, at));
        frameCount = wave.Frames;
        if (frameCount >= 1) {
            if (!SameChannels(load, wave.Stereo, path)) return false;
            const int channels = load.Channels;
            load.LastLoopEnd = wave.LoopEnd;
            load.LastRateScale = static_cast<float>(wave.RateScale);
            load.DefaultLoop = wave.LoopEnd - wave.LoopStart + 1;
            if (!GrowFrames(SampleData, load.Capacity, at + frameCount + 2, channels))
                return Fail(path + ": out of memory", false);
            if (wave.Values() != SampleData + at * channels)
                std::memcpy(SampleData + at * channels, wave.Values(), static_cast<size_t>(frameCount) * channels * 2);
            ClearFrames(SampleData, channels, at + frameCount, 2);
        }
    }
    if (frameCount < 1) return Fail(path + ": cannot be read as a sample file", false);
    if (at + frameCount + 1 > INT32_MAX / 4) return Fail(path + ": the set is too large", false);
    r.OwnsData = true;
    r.DataOffset = static_cast<int32_t>(load.Running);
    if (load.Raw) load.LastRateScale = 1.0f;
    SampleDataSize = static_cast<int32_t>((load.Running + frameCount + 1) * load.Channels * 2);
    return true;
}

void TPianoWaveTable::ReadPositions(TLoad& load, TWaveTableSample& r, const std::string& section, bool named) {
    const TIniFile& ini = load.Ini;
    r.RateScale = load.LastRateScale;
    const int64_t pos = ini.ReadInteger(section, "pos", 0);
    const int64_t end = ini.ReadInteger(section, "end", 0);
    if (load.Riff) {
        const int64_t base = named ? load.Running : load.LastNamed;
        r.StartOffset = static_cast<int32_t>(pos);
        r.StartFrame = Saturate(pos + base);
        if (load.SingleFile || r.DataOffset == -1) r.DataOffset = r.StartFrame;
        int64_t endFrame = end + base;
        if (endFrame == base) endFrame = base + load.LastLoopEnd;
        r.EndFrame = Saturate(endFrame);
        r.FrameCount = Saturate(static_cast<int64_t>(r.EndFrame) - r.DataOffset + 1);
        r.LoopLength = ini.ReadInteger(section, "loop", load.DefaultLoop);
        if (!load.SingleFile && named && load.Channels > 0) {
            // The guard frame after the block continues the loop.
            const int64_t frames = SampleDataSize / (load.Channels * 2);
            const int64_t to = static_cast<int64_t>(r.EndFrame) + 1;
            const int64_t from = to - r.LoopLength;
            if (to >= 0 && to < frames && from >= 0 && from < frames) CopyFrame(SampleData, load.Channels, to, from);
        }
    } else {
        r.StartFrame = Saturate(pos);
        if (load.SingleFile || r.DataOffset == -1) r.DataOffset = r.StartFrame;
        r.EndFrame = Saturate(end);
        r.FrameCount = Saturate(static_cast<int64_t>(r.EndFrame) - r.DataOffset + 1);
        r.LoopLength = ini.ReadInteger(section, "loop", 0);
    }
}

bool TPianoWaveTable::ReadEntry(TLoad& load, int32_t n) {
    const std::string section = "sample" + std::to_string(n);
    TWaveTableSample& r = Samples[static_cast<size_t>(n)];
    int64_t frameCount = 0;
    bool repeat = false;
    r.OwnsData = load.SingleFile;
    r.DataOffset = -1;
    r.StartOffset = 0;
    r.FrameCount = 0;
    const std::string name = ToNativePath(load.Ini.ReadString(section, "name", ""));
    const std::string lowerPart = LowerCase(FileNamePart(name)).substr(0, 255);

    if (!load.SingleFile && !name.empty()) {
        // A file named before is not read again: the entry takes that one's data.
        for (int32_t k = 0; k < n && !repeat; ++k) {
            if (Samples[static_cast<size_t>(k)].FileName != lowerPart) continue;
            r = Samples[static_cast<size_t>(k)];
            r.OwnsData = false;
            repeat = true;
        }
        if (!repeat && !ReadEntryFile(load, r, load.Folder + name, frameCount)) return false;
    }

    const int32_t root = load.Ini.ReadInteger(section, "root", -1);
    r.Root = root == -1 ? load.PrevRoot : root;
    const int32_t high = load.Ini.ReadInteger(section, "high", 0);
    r.High = high == -1 ? load.PrevHigh : high;
    r.FileName = lowerPart;
    load.PrevRoot = r.Root;
    load.PrevHigh = r.High;
    if (repeat) return true;

    ReadPositions(load, r, section, !name.empty());
    if (n > 0 && r.StartFrame == Samples[static_cast<size_t>(n - 1)].StartFrame) {
        r.OwnsData = false;
        r.DataOffset = Samples[static_cast<size_t>(n - 1)].DataOffset;
    }
    if (!name.empty()) {
        load.LastNamed = load.Running;
        load.Running += frameCount + (load.SingleFile ? 0 : 1);
    }
    return true;
}

bool TPianoWaveTable::Finish(TLoad& load) {
    const TIniFile& ini = load.Ini;
    // A set that names no readable data could never sound.
    if (!SampleData || SampleDataSize <= 0) return Fail(load.File + ": no sample data", false);
    LayerCount = static_cast<uint8_t>(load.LayerCount & 0xFF);
    if (LayerCount == 0) LayerCount = 1;
    VelocityLimits.assign(LayerCount, 0);
    for (int i = 0; i < LayerCount; ++i)
        VelocityLimits[static_cast<size_t>(i)] = ini.ReadInteger("velocitylayers", std::to_string(i), 128);
    VelocityLimits[0] = 0;
    for (size_t i = 0; i < Parameters.size(); ++i)
        Parameters[i] = static_cast<float>(ini.ReadFloat("parameters", std::to_string(i), -1.0));
    if (load.SingleFile && !Compact()) return Fail(load.File + ": out of memory", false);
    SampleRate = static_cast<float>(ini.ReadFloat("info", "samplerate", 44100.0));
    Author = ini.ReadString("info", "author", "");
    Name = load.InfoName;
    ShortName = load.InfoShort.empty() ? load.InfoName : load.InfoShort;
    return true;
}

bool TPianoWaveTable::Compact() {
    const int channels = Stereo ? 2 : 1;
    const int64_t oldFrames = SampleDataSize / (2 * channels);
    // Blocks are bounded to the file first, so no copy leaves the old data;
    // overlapping blocks get room of their own.
    int64_t owned = 0;
    for (TWaveTableSample& r : Samples) {
        if (!r.OwnsData) continue;
        if (r.DataOffset < 0 || r.DataOffset >= oldFrames || r.FrameCount < 0)
            r.FrameCount = 0;
        else
            r.FrameCount = static_cast<int32_t>(std::min<int64_t>(r.FrameCount, oldFrames - r.DataOffset));
        owned += r.FrameCount + 1;
    }
    const int64_t newFrames = std::max<int64_t>(oldFrames + static_cast<int64_t>(Samples.size()), owned);
    if (newFrames * 2 * channels > INT32_MAX - 8) return false;
    // Zeroed, so room the owned blocks leave unused reads as silence.
    auto* block = static_cast<int16_t*>(std::calloc(static_cast<size_t>(newFrames + 1) * channels, sizeof(int16_t)));
    if (!block) return false;

    int64_t w = 0;
    int32_t previousOffset = 0;
    for (TWaveTableSample& r : Samples) {
        const int32_t d = r.StartFrame - r.DataOffset;
        if (r.OwnsData) {
            if (r.FrameCount > 0)
                std::memcpy(block + w * channels, SampleData + static_cast<int64_t>(r.DataOffset) * channels,
                            static_cast<size_t>(r.FrameCount) * channels * 2);
            r.DataOffset = static_cast<int32_t>(w);
            r.StartFrame = Saturate(w + d);
            r.EndFrame = static_cast<int32_t>(w + r.FrameCount - 1);
            const int64_t to = static_cast<int64_t>(r.EndFrame) + 1;
            const int64_t from = to - r.LoopLength;
            if (from >= 0 && from < newFrames) CopyFrame(block, channels, to, from);
            w += r.FrameCount + 1;
        } else {
            r.DataOffset = previousOffset;
            r.StartFrame = Saturate(static_cast<int64_t>(r.DataOffset) + d);
            r.EndFrame = Saturate(static_cast<int64_t>(r.DataOffset) + r.FrameCount - 1);
        }
        previousOffset = r.DataOffset;
    }
    std::free(SampleData);
    SampleData = block;
    SampleDataSize = static_cast<int32_t>(newFrames * 2 * channels);
    return true;
}

}  // namespace norv

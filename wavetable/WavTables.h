// One loaded sound set: the in-memory model the engine plays from, built
// from a .wti definition and its sample files.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace norv {

namespace SetCache {
struct TImage;
}

struct TWaveTableSample {
    int32_t Root = 0;        // root key, 0..127 after loading
    int32_t High = 0;        // highest key of the zone, 0..999 after loading
    int32_t StartFrame = 0;  // frame index in SampleData
    int32_t EndFrame = 0;    // last frame, inclusive
    int32_t LoopLength = 0;  // playback past EndFrame steps back by this
    bool OwnsData = false;
    int32_t DataOffset = 0;
    int32_t FrameCount = 0;
    int32_t StartOffset = 0;
    std::string FileName;    // lower case, without folder, at most 255 bytes
    // Host rate / file rate when the file was converted on loading, else 1.
    // SampleRate describes the data as the files hold it; converted data
    // plays this much faster per frame to keep its pitch.
    float RateScale = 1.0f;
};

class TPianoWaveTable {
public:
    using ProgressEvent = std::function<void(TPianoWaveTable* table, int32_t current, int32_t last)>;

    // `folder` ends with '/'.
    TPianoWaveTable(std::string folder, int32_t paramCount);
    ~TPianoWaveTable();
    TPianoWaveTable(const TPianoWaveTable&) = delete;
    TPianoWaveTable& operator=(const TPianoWaveTable&) = delete;

    // Loads a definition; false (Loaded false) on any failure. WAVE samples
    // are converted to `hostRate` where the definition asks for it; `pump`
    // runs between entries. A set this process already holds, from the same
    // unchanged files at the same rate, is shared instead of decoded; while
    // the rate is `provisional` (the host has not said it yet), a copy held
    // at any rate will do. The calling thread, never the audio thread.
    bool LoadFromFile(double hostRate, const std::string& fileName, const std::function<void()>& pump = {},
                      bool provisional = false);

    std::string DefaultFileName() const { return Folder + "default.wti"; }
    // The folder of `fileName` plus its [default] file key (itself by default).
    std::string ResolveDefault(const std::string& fileName) const;

    struct Summary {
        std::string Name;
        std::string ShortName;
        bool IsStandard = false;
        int64_t SampleBytes = 0;
    };
    Summary ReadSummary(const std::string& fileName) const;

    int32_t FrameSize() const { return Stereo ? 4 : 2; }
    int32_t FrameCountTotal() const { return SampleDataSize / FrameSize(); }
    // Frames reachable by the engine, guard frames included.
    const int16_t* Frames() const { return SampleData; }
    // The frames belong to a copy the process shares, not to this table.
    bool SharesData() const { return shared_ != nullptr; }

    ProgressEvent OnProgress;
    // Called when a load fails in a way the user must see; `detail` names the
    // file and the reason.
    std::function<void(const std::string& detail)> OnError;
    std::string Folder;
    std::string Name;
    std::string ShortName;
    std::string Author;
    std::vector<TWaveTableSample> Samples;
    std::vector<int32_t> VelocityLimits;
    uint8_t LayerCount = 1;
    int16_t* SampleData = nullptr;
    int32_t SampleDataSize = 0;  // bytes
    bool Stereo = false;
    float SampleRate = 22050.0f;
    float VelocityFactor = 1.0f;
    bool ReleaseHighNotes = false;
    int32_t FileSize = 0;
    bool IsStandard = false;
    bool Loaded = false;
    std::vector<float> Parameters;

    // The message of every load failure the user must see.
    static constexpr const char* kLoadErrorText = "Something went wrong loading the wavetable - stopped";

private:
    struct TLoad;
    // The steps of a load; each false stops it.
    bool OpenDefinition(TLoad& load, const std::string& fileName);
    void ReadInfo(TLoad& load);
    bool ReadSingleFile(TLoad& load);
    bool ReadEntry(TLoad& load, int32_t n);
    bool ReadEntryFile(TLoad& load, TWaveTableSample& r, const std::string& path, int64_t& frameCount);
    void ReadPositions(TLoad& load, TWaveTableSample& r, const std::string& section, bool named);
    bool Finish(TLoad& load);
    // Shows the failure; the set stays unloaded.
    bool Fail(const std::string& detail, bool clearAll);
    bool SameChannels(TLoad& load, bool stereo, const std::string& path);
    std::function<int16_t*(int32_t frames, int channels)> PlaceAt(TLoad& load, int64_t offset);

    // Every field of a loaded set, the frames' address included (not who owns them).
    void CopySet(const TPianoWaveTable& from);
    // A held copy's fields and frames, or handing our own to the cache.
    void Adopt(const std::shared_ptr<const SetCache::TImage>& image);
    void Share(TLoad& load);

    void FreeData();
    void Clamp();
    // Single-file sets: every owned block followed by its guard frame.
    bool Compact();

    std::shared_ptr<const SetCache::TImage> shared_;
};

// "%d bytes", "%d KB", "%d MB".
std::string FormatSize(int64_t bytes);

}  // namespace norv

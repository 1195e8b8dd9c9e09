// Arbitrary bytes as a SoundFont (SF2 or SF3): the RIFF structure, every
// preset's regions, and the samples those regions play, as an import reads
// them. Every failure must be an ImportError, never a crash or a read
// outside the bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "tools/import/ImportError.h"
#include "tools/import/SoundFontFile.h"
#include "tools/import/SoundFontPreset.h"
#include "tools/import/SoundFontSource.h"

namespace {

using namespace norv::import;

// Caps keep one input from asking for minutes of decoding.
constexpr size_t kMaxPresets = 8;
constexpr size_t kMaxSamples = 4;

void ReadPreset(const SoundFontFile& sf, size_t preset) {
    const std::string file = "fuzz.sf2";
    LeftOutList leftOut;
    PresetRegions r = ResolvePreset(sf, preset, leftOut, file);
    SoundFontSource source(sf, r.Voices, file);
    for (size_t i = 0; i < r.Regions.size() && i < kMaxSamples; ++i) {
        SourceRegion& region = r.Regions[i];
        const SampleInfo info = source.Info(region.Sample);
        CompleteRegion(region, info, file);
        if (info.Frames <= (1 << 16) && source.Decode(region.Sample).size() != static_cast<size_t>(info.Frames * info.Channels))
            __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const SoundFontFile sf = ParseSoundFont(std::span<const uint8_t>(data, size), "fuzz.sf2");
        for (size_t p = 0; p < sf.Presets.size() && p < kMaxPresets; ++p) {
            try {
                ReadPreset(sf, p);
            } catch (const ImportError&) {
            }
        }
    } catch (const ImportError&) {
    }
    return 0;
}

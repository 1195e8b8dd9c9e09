#include "DefaultSet.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>
#include <string>

#include "NoteSynth.h"
#include "PianoModel.h"
#include "WaveFile.h"

namespace norv::defaultset {

namespace {

// The loudest sample of the set peaks here (-1 dBFS).
constexpr double kPeakCeiling = 0.891;

// Loudness aimed at over the first half second, in dB: the hard layer a
// little louder (the engine scales by velocity as well, so a big step would
// jump at the split), the top of the keyboard a little softer.
double TargetLevelDb(int key, Layer layer) {
    double db = layer == Layer::Hard ? 0.0 : -4.5;
    if (key > 64) db -= 4.0 * (key - 64) / double(kHighestKey - 64);
    return db;
}

double EarlyRms(const std::vector<double>& x, int loopStart) {
    const size_t n = std::min<size_t>(static_cast<size_t>(std::min(loopStart, kSampleRate / 2)), x.size());
    double sum = 0;
    for (size_t i = 0; i < n; ++i) sum += x[i] * x[i];
    return n ? std::sqrt(sum / n) : 0.0;
}

struct Rendered {
    int root;
    Layer layer;
    int loopStart;
    std::vector<double> frames;
    double gain;
};

std::string AsText(const std::vector<uint8_t>& bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

SetReport GenerateDefaultSet(const std::filesystem::path& wavTables) {
    const std::vector<Zone> zones = ZoneLayout();
    const std::filesystem::path sampleFolder = wavTables / kSampleFolder;
    std::error_code ec;
    std::filesystem::create_directories(sampleFolder, ec);
    if (ec) throw std::runtime_error("cannot create " + sampleFolder.string() + ": " + ec.message());

    // Render everything first: one scale for the whole set keeps the
    // balance between notes and layers.
    std::vector<Rendered> notes;
    double loudest = 0;
    for (const Zone& zone : zones) {
        for (Layer layer : {Layer::Soft, Layer::Hard}) {
            NoteModel model = BuildNoteModel(zone.root, layer);
            Rendered r{zone.root, layer, model.loopStart, RenderNote(model), 0.0};
            const double rms = EarlyRms(r.frames, r.loopStart);
            r.gain = rms > 0 ? std::pow(10.0, TargetLevelDb(zone.root, layer) / 20) / rms : 0.0;
            double peak = 0;
            for (double v : r.frames) peak = std::max(peak, std::abs(v));
            loudest = std::max(loudest, peak * r.gain);
            notes.push_back(std::move(r));
        }
    }
    const double scale = loudest > 0 ? kPeakCeiling / loudest : 0.0;

    SetReport report;
    std::set<std::string> written;
    for (const Rendered& r : notes) {
        std::vector<int16_t> pcm(r.frames.size());
        int peak = 0;
        for (size_t i = 0; i < pcm.size(); ++i) {
            const double v = std::nearbyint(r.frames[i] * r.gain * scale * 32768.0);
            pcm[i] = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
            peak = std::max(peak, std::abs(int(pcm[i])));
        }
        const std::string name = SampleFileName(r.root, r.layer);
        const auto last = static_cast<uint32_t>(pcm.size() - 1);
        const std::vector<uint8_t> bytes =
            EncodeLoopedWave(pcm, kSampleRate, r.root, static_cast<uint32_t>(r.loopStart), last);
        WriteFileAtomically(sampleFolder / name, AsText(bytes));
        written.insert(name);
        report.totalBytes += bytes.size();
        report.samples.push_back({r.root, r.layer, static_cast<int>(pcm.size()), r.loopStart, peak / 32768.0});
    }

    // Samples of an older layout would only take space in the bundle.
    for (const auto& entry : std::filesystem::directory_iterator(sampleFolder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && entry.path().extension() == ".wav" && !written.count(name)) {
            std::filesystem::remove(entry.path(), ec);
        }
    }

    const std::string definition = DefinitionText(zones);
    WriteFileAtomically(wavTables / kDefinitionFile, definition);
    report.totalBytes += definition.size();
    return report;
}

}  // namespace norv::defaultset

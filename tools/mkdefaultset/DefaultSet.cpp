#include "DefaultSet.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "NoteSynth.h"
#include "PianoModel.h"
#include "Playback.h"
#include "WaveFile.h"

namespace norv::defaultset {

namespace {

// The loudest sample of the set peaks here (-3.5 dBFS): the loudest layer
// is the loudest sample, and pedalled chords played hard add up.
constexpr double kPeakCeiling = 0.668;

// The early tone, where the layers are compared: past the first knock,
// before the prompt sound has gone.
constexpr size_t kEarlyBegin = kSampleRate / 20;
constexpr size_t kEarlyEnd = kSampleRate * 3 / 10;

// The largest level step a split may make from one MIDI velocity to the
// next, the voice curve's own step included.
constexpr double kLargestSplitStepDb = 1.3;

// Loudness of the loudest layer over its first half second, in dB: the top
// of the keyboard a little softer.
double LoudestLevelDb(int key) { return key > 64 ? -4.0 * (key - 64) / double(kHighestKey - 64) : 0.0; }

// The level a note of MIDI velocity m should sound at, in dB re velocity
// 127: a grand's 36 log10(m / 127), -22 dB at 30 and -11 at 64. Below 13
// that would step by more than 1.2 dB a velocity; there it steps by 1.2.
double DynamicsDb(int midiVelocity) {
    constexpr int kBend = 13;
    const double bend = 36 * std::log10(kBend / 127.0);
    return midiVelocity >= kBend ? 36 * std::log10(midiVelocity / 127.0) : bend - 1.2 * (kBend - midiVelocity);
}

double Db(double ratio) { return 20 * std::log10(ratio); }
double Ratio(double db) { return std::pow(10.0, db / 20); }

double Rms(const std::vector<double>& x, size_t begin, size_t end) {
    end = std::min(end, x.size());
    double sum = 0;
    for (size_t i = begin; i < end; ++i) sum += x[i] * x[i];
    return end > begin ? std::sqrt(sum / double(end - begin)) : 0.0;
}

// The early tone's RMS as a voice of MIDI velocity m plays it, before the
// sample's own gain.
double PlayedRms(const std::vector<double>& x, int key, int midiVelocity) {
    const double coefficient = MuffleCoefficient(EngineVelocity(midiVelocity), key, kSampleRate);
    const std::vector<double> y = Muffled(x, 0, kEarlyEnd, coefficient);
    return VoiceLevel(midiVelocity) * Rms(y, kEarlyBegin, kEarlyEnd);
}

struct Rendered {
    int loopStart = 0;
    std::vector<double> frames;
    double gain = 0;
};

// Every layer of one zone, with gains that put each layer on the dynamics
// curve at its middle velocity, as far as the step at each split allows:
// the voice curve alone rises too slowly above the softest velocities.
std::vector<Rendered> RenderZone(int root) {
    std::vector<Rendered> layers(kLayerCount);
    const std::array<double, kLayerCount> blows = LayerBlows(root);
    for (int i = 0; i < kLayerCount; ++i) {
        const NoteModel model = BuildNoteModel(root, blows[static_cast<size_t>(i)]);
        layers[static_cast<size_t>(i)].loopStart = model.loopStart;
        layers[static_cast<size_t>(i)].frames = RenderNote(model);
    }
    auto middle = [](int layer) {
        const int lowest = layer > 0 ? HighestMidiVelocity(layer - 1) + 1 : 1;
        return static_cast<int>(std::lround(std::sqrt(double(lowest) * HighestMidiVelocity(layer))));
    };
    // Where the loudest layer sits against the curve: the others follow it.
    Rendered& top = layers.back();
    top.gain = 1.0;
    const int topMiddle = middle(kLayerCount - 1);
    const double offset = Db(PlayedRms(top.frames, root, topMiddle)) - DynamicsDb(topMiddle);
    for (int i = kLayerCount - 2; i >= 0; --i) {
        auto& below = layers[static_cast<size_t>(i)];
        const auto& above = layers[static_cast<size_t>(i) + 1];
        const int m = HighestMidiVelocity(i);
        const int mid = middle(i);
        const double onCurve = Ratio(DynamicsDb(mid) + offset) / PlayedRms(below.frames, root, mid);
        const double from = Db(above.gain * PlayedRms(above.frames, root, m + 1));
        const double to = Db(onCurve * PlayedRms(below.frames, root, m));
        const double step = std::clamp(from - to, 0.0, kLargestSplitStepDb);
        below.gain = Ratio(from - step) / PlayedRms(below.frames, root, m);
    }
    const double topRms = top.gain * Rms(top.frames, 0, kSampleRate / 2);
    const double scale = topRms > 0 ? Ratio(LoudestLevelDb(root)) / topRms : 0.0;
    for (Rendered& r : layers) r.gain *= scale;
    return layers;
}

// Zones rendered on every core; each zone's numbers depend only on the
// zone, so the bytes do not depend on the threads.
std::vector<std::vector<Rendered>> RenderAll(const std::vector<Zone>& zones) {
    std::vector<std::vector<Rendered>> all(zones.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t z = next++; z < zones.size(); z = next++) all[z] = RenderZone(zones[z].root);
    };
    const unsigned count = std::clamp(std::thread::hardware_concurrency(), 1u, 16u);
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < count; ++i) threads.emplace_back(work);
    work();
    for (std::thread& t : threads) t.join();
    return all;
}

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
    const std::vector<std::vector<Rendered>> notes = RenderAll(zones);
    double loudest = 0;
    for (const auto& zone : notes) {
        for (const Rendered& r : zone) {
            for (double v : r.frames) loudest = std::max(loudest, std::abs(v) * r.gain);
        }
    }
    const double scale = loudest > 0 ? kPeakCeiling / loudest : 0.0;

    SetReport report;
    std::set<std::string> written;
    for (size_t z = 0; z < zones.size(); ++z) {
        for (int layer = 0; layer < kLayerCount; ++layer) {
            const Rendered& r = notes[z][static_cast<size_t>(layer)];
            std::vector<int16_t> pcm(r.frames.size());
            int peak = 0;
            for (size_t i = 0; i < pcm.size(); ++i) {
                const double v = std::nearbyint(r.frames[i] * r.gain * scale * 32768.0);
                pcm[i] = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
                peak = std::max(peak, std::abs(int(pcm[i])));
            }
            const int root = zones[z].root;
            const std::string name = SampleFileName(root, layer);
            const auto last = static_cast<uint32_t>(pcm.size() - 1);
            const std::vector<uint8_t> bytes =
                EncodeLoopedWave(pcm, kSampleRate, root, static_cast<uint32_t>(r.loopStart), last);
            WriteFileAtomically(sampleFolder / name, AsText(bytes));
            written.insert(name);
            report.totalBytes += bytes.size();
            report.samples.push_back({root, layer, static_cast<int>(pcm.size()), r.loopStart, peak / 32768.0});
        }
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

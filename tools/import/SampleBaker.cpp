#include "tools/import/SampleBaker.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/import/Resample.h"

namespace norv::import {
namespace {

// Frames [from, to) of the source in `channels` channels; past the loop's
// end the loop repeats.
std::vector<float> Take(const std::vector<float>& source, int sourceChannels, int64_t from, int64_t to,
                        const FrameRange* loop, int channels) {
    std::vector<float> out(static_cast<size_t>(to - from) * static_cast<size_t>(channels));
    for (int64_t f = from; f < to; ++f) {
        int64_t at = f;
        if (loop && at >= loop->End) at = loop->Start + (at - loop->Start) % loop->Length();
        for (int c = 0; c < channels; ++c)
            out[static_cast<size_t>((f - from) * channels + c)] =
                source[static_cast<size_t>(at * sourceChannels + std::min(c, sourceChannels - 1))];
    }
    return out;
}

void ApplyGain(std::vector<float>& frames, double gainDb) {
    if (gainDb == 0) return;
    const float gain = static_cast<float>(std::pow(10.0, gainDb / 20.0));
    for (float& v : frames) v *= gain;
}

void FadeEnd(BakedSample& s, double rate) {
    const int64_t frames = s.FrameCount();
    const int64_t n = std::min<int64_t>(frames, std::llround(kEndFadeSeconds * rate));
    for (int64_t i = 0; i < n; ++i) {
        const double g = 0.5 * (1.0 + std::cos(std::numbers::pi * static_cast<double>(i + 1) / static_cast<double>(n)));
        for (int c = 0; c < s.Channels; ++c) s.Frames[static_cast<size_t>((frames - n + i) * s.Channels + c)] *= static_cast<float>(g);
    }
}

}  // namespace

double CarriedFallDb(const NoteShape& envelope, double loopSeconds, double seconds) {
    return envelope.FallDb(std::min(seconds, loopSeconds));
}

void ApplyEnvelope(BakedSample& sample, const NoteShape& envelope, double rate) {
    const int64_t frames = sample.FrameCount();
    const double loop = sample.Looped ? static_cast<double>(sample.LoopStart) / rate : 1e300;
    if (envelope.FallDb(std::min(loop, static_cast<double>(frames) / rate)) <= 0) return;
    const auto gainAt = [&](int64_t i) { return std::pow(10.0, -CarriedFallDb(envelope, loop, static_cast<double>(i) / rate) / 20.0); };
    // The gain moves smoothly: exact every 64 frames, straight between.
    constexpr int64_t kStep = 64;
    for (int64_t b = 0; b < frames; b += kStep) {
        const int64_t n = std::min(kStep, frames - b);
        const double g0 = gainAt(b), g1 = gainAt(b + kStep);
        for (int64_t i = 0; i < n; ++i) {
            const float gain = static_cast<float>(g0 + (g1 - g0) * static_cast<double>(i) / kStep);
            for (int c = 0; c < sample.Channels; ++c) sample.Frames[static_cast<size_t>((b + i) * sample.Channels + c)] *= gain;
        }
    }
}

double OnePoleCoefficient(double cutoffHz, double rate) { return 1.0 - std::exp(-2.0 * std::numbers::pi * cutoffHz / rate); }

void ApplyLowPass(BakedSample& sample, double cutoffHz, double rate) {
    if (cutoffHz <= 0) return;
    const double a = OnePoleCoefficient(cutoffHz, rate);
    const int64_t frames = sample.FrameCount();
    const int64_t loopStart = sample.Looped ? sample.LoopStart : frames;
    for (int c = 0; c < sample.Channels; ++c) {
        const auto at = [&](int64_t i) -> float& { return sample.Frames[static_cast<size_t>(i * sample.Channels + c)]; };
        double y = 0;
        for (int64_t i = 0; i < loopStart; ++i) at(i) = static_cast<float>(y += a * (at(i) - y));
        if (loopStart >= frames) continue;
        // Twice through the loop, keeping the second pass: its end leads into
        // its start exactly as the loop will play it.
        std::vector<double> loop;
        for (int64_t i = loopStart; i < frames; ++i) loop.push_back(at(i));
        double z = y;
        for (double x : loop) z += a * (x - z);
        for (size_t i = 0; i < loop.size(); ++i) at(loopStart + static_cast<int64_t>(i)) = static_cast<float>(z += a * (loop[i] - z));
    }
}

BakedSample BakeSample(const std::vector<float>& source, int sourceChannels, const BakeRequest& request) {
    BakedSample out;
    out.Channels = request.Channels;
    out.Looped = request.Looped;
    const double ratio = request.Rate / (request.SourceRate * std::exp2(request.ShiftCents / 1200.0));
    const bool resample = std::fabs(ratio - 1.0) > 1e-9;
    const FrameRange& f = request.Frames;

    if (!request.Looped) {
        out.Frames = Take(source, sourceChannels, f.Start, f.End, nullptr, out.Channels);
        if (resample) out.Frames = Resample(out.Frames, out.Channels, ratio);
        ApplyGain(out.Frames, request.GainDb);
        FadeEnd(out, request.Rate);
        return out;
    }

    // The data ends with the loop's last frame, so the instrument's own rate
    // conversion and its guard frame both carry on at the loop's start.
    const FrameRange loop{request.Loop.Start - f.Start, request.Loop.End - f.Start};
    if (!resample) {
        out.Frames = Take(source, sourceChannels, f.Start, request.Loop.End, &request.Loop, out.Channels);
        out.LoopStart = loop.Start;
        out.LoopEnd = loop.End - 1;
    } else {
        // Whole repeats of the loop, resampled at the ratio that makes them a
        // whole number of frames; the new loop starts well inside the
        // repeating part, where the filter sees nothing but the loop.
        const int64_t repeats = std::max<int64_t>(
            1, static_cast<int64_t>(std::ceil(static_cast<double>(kMinResampledLoop) / (static_cast<double>(loop.Length()) * ratio))));
        const int64_t loopOut = std::max<int64_t>(1, std::llround(static_cast<double>(repeats * loop.Length()) * ratio));
        const double r = static_cast<double>(loopOut) / static_cast<double>(repeats * loop.Length());
        const int64_t margin = std::min<int64_t>(512, 4 * loop.Length()) + 64;
        const int64_t startOut = static_cast<int64_t>(std::ceil(static_cast<double>(loop.Start + margin) * r));
        const int64_t endIn = static_cast<int64_t>(std::ceil(static_cast<double>(startOut + loopOut) / r)) + 2 * margin + 256;
        const std::vector<float> extended =
            Take(source, sourceChannels, f.Start, f.Start + endIn, &request.Loop, out.Channels);
        out.Frames = Resample(extended, out.Channels, r);
        out.Frames.resize(static_cast<size_t>((startOut + loopOut) * out.Channels));
        out.LoopStart = startOut;
        out.LoopEnd = startOut + loopOut - 1;
    }
    ApplyGain(out.Frames, request.GainDb);
    return out;
}

}  // namespace norv::import

#include "tools/import/SoundFontSource.h"

#include <algorithm>

#include "tools/import/ImportError.h"
#include "tools/import/SoundFileReader.h"

namespace norv::import {

SoundFontSource::SoundFontSource(const SoundFontFile& sf, std::vector<SoundFontVoice> voices,
                                 const std::string& file)
    : sf_(sf), voices_(std::move(voices)), file_(file) {}

std::string SoundFontSource::Describe(int header) const {
    return file_ + ": sample " + std::to_string(header) + " '" + sf_.Samples[static_cast<size_t>(header)].Name + "'";
}

SampleInfo SoundFontSource::HeaderInfo(int header) {
    const SfSampleHeader& s = sf_.Samples[static_cast<size_t>(header)];
    SampleInfo info;
    info.Name = s.Name;
    info.Rate = s.Rate;
    if (s.Rate < 1000 || s.Rate > 384000)
        throw ImportError(Describe(header) + ": its sample rate " + std::to_string(s.Rate) + " Hz is out of range");
    if (s.End <= s.Start)
        throw ImportError(Describe(header) + ": its end " + std::to_string(s.End) + " is not after its start " +
                          std::to_string(s.Start));
    if (s.Vorbis()) {
        if (s.End > sf_.Smpl.size())
            throw ImportError(Describe(header) + ": its bytes " + std::to_string(s.Start) + ".." + std::to_string(s.End) +
                              " run past the sample data's " + std::to_string(sf_.Smpl.size()));
        SoundFileReader reader = SoundFileReader::OpenBytes(sf_.Smpl.subspan(s.Start, s.End - s.Start), Describe(header));
        info.Frames = reader.Frames();
        info.SourceBytes = s.End - s.Start;
        // SF3 counts loops from the stream's first frame.
        info.Loop = FrameRange{s.LoopStart, s.LoopEnd};
    } else {
        const size_t points = sf_.Smpl.size() / 2;
        if (s.End > points)
            throw ImportError(Describe(header) + ": its points " + std::to_string(s.Start) + ".." + std::to_string(s.End) +
                              " run past the sample data's " + std::to_string(points));
        info.Frames = s.End - s.Start;
        info.SourceBytes = info.Frames * (sf_.Sm24.empty() ? 2 : 3);
        info.Loop = FrameRange{int64_t{s.LoopStart} - s.Start, int64_t{s.LoopEnd} - s.Start};
    }
    return info;
}

SampleInfo SoundFontSource::Info(int sample) {
    const SoundFontVoice& v = voices_.at(static_cast<size_t>(sample));
    SampleInfo info = HeaderInfo(v.Left);
    if (v.Right < 0) return info;
    const SampleInfo right = HeaderInfo(v.Right);
    if (right.Rate != info.Rate)
        throw ImportError(Describe(v.Left) + ": its stereo partner '" + right.Name + "' has another sample rate (" +
                          std::to_string(static_cast<int>(right.Rate)) + " Hz, not " +
                          std::to_string(static_cast<int>(info.Rate)) + ")");
    info.Name += " + " + right.Name;
    info.Channels = 2;
    info.Frames = std::min(info.Frames, right.Frames);
    info.SourceBytes += right.SourceBytes;
    return info;
}

std::vector<float> SoundFontSource::DecodeHeader(int header, int64_t frames) {
    const SfSampleHeader& s = sf_.Samples[static_cast<size_t>(header)];
    std::vector<float> out;
    if (s.Vorbis()) {
        SoundFileReader reader = SoundFileReader::OpenBytes(sf_.Smpl.subspan(s.Start, s.End - s.Start), Describe(header));
        out = reader.ReadAll();
        if (reader.Channels() == 2) {  // one side of a stream that holds both
            for (size_t i = 0; i < out.size() / 2; ++i) out[i] = out[2 * i];
        }
    } else {
        out.resize(static_cast<size_t>(frames));
        const uint8_t* p = sf_.Smpl.data() + 2 * size_t{s.Start};
        if (sf_.Sm24.empty()) {
            for (size_t i = 0; i < out.size(); ++i)
                out[i] = static_cast<float>(static_cast<int16_t>(p[2 * i] | (p[2 * i + 1] << 8))) * (1.0f / 32768.0f);
        } else {
            const uint8_t* low = sf_.Sm24.data() + s.Start;
            for (size_t i = 0; i < out.size(); ++i) {
                const int32_t v = static_cast<int16_t>(p[2 * i] | (p[2 * i + 1] << 8)) * 256 + low[i];
                out[i] = static_cast<float>(v) * (1.0f / 8388608.0f);
            }
        }
    }
    out.resize(static_cast<size_t>(frames));
    return out;
}

std::vector<float> SoundFontSource::Decode(int sample) {
    const SoundFontVoice& v = voices_.at(static_cast<size_t>(sample));
    const SampleInfo info = Info(sample);
    std::vector<float> left = DecodeHeader(v.Left, info.Frames);
    if (v.Right < 0) return left;
    const std::vector<float> right = DecodeHeader(v.Right, info.Frames);
    std::vector<float> both(left.size() * 2);
    for (size_t i = 0; i < left.size(); ++i) {
        both[2 * i] = left[i];
        both[2 * i + 1] = right[i];
    }
    return both;
}

}  // namespace norv::import

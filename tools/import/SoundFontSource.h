// The samples of a SoundFont preset's regions: 16- or 24-bit points from
// the smpl chunk (SF2), or Ogg Vorbis streams decoded with libsndfile (SF3).
#pragma once

#include <string>
#include <vector>

#include "tools/import/SampleSource.h"
#include "tools/import/SoundFontFile.h"
#include "tools/import/SoundFontPreset.h"

namespace norv::import {

class SoundFontSource : public SampleSource {
public:
    // Keeps references to `sf` and `file`.
    SoundFontSource(const SoundFontFile& sf, std::vector<SoundFontVoice> voices, const std::string& file);

    SampleInfo Info(int sample) override;
    std::vector<float> Decode(int sample) override;

private:
    SampleInfo HeaderInfo(int header);
    std::vector<float> DecodeHeader(int header, int64_t frames);
    std::string Describe(int header) const;

    const SoundFontFile& sf_;
    std::vector<SoundFontVoice> voices_;
    const std::string& file_;
};

}  // namespace norv::import

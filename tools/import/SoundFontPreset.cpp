#include "tools/import/SoundFontPreset.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <set>
#include <tuple>

#include "base/TextCase.h"
#include "tools/import/ImportError.h"
#include "tools/import/SoundFontNote.h"

namespace norv::import {
namespace {

struct KeyVel {
    int LoKey = 0, HiKey = 127, LoVel = 0, HiVel = 127;
};

// The zone's own value, else the global zone's, else `fallback`.
int Value(const SfZone* global, const SfZone& local, SfGenerator g, int fallback) {
    if (local.Set[g]) return local.Amount[g];
    if (global && global->Set[g]) return global->Amount[g];
    return fallback;
}

bool AnySet(const SfZone* global, const SfZone& local, std::initializer_list<int> gens) {
    for (int g : gens)
        if (local.Set[g] || (global && global->Set[g])) return true;
    return false;
}

// Offsets come as a fine and a coarse (32768 points) generator.
int64_t Offset(const SfZone* global, const SfZone& local, SfGenerator fine, SfGenerator coarse) {
    return Value(global, local, fine, 0) + int64_t{32768} * Value(global, local, coarse, 0);
}

void ReadRange(const SfZone* global, const SfZone& local, SfGenerator g, int& lo, int& hi,
               const std::string& where) {
    const SfZone* from = local.Set[g] ? &local : (global && global->Set[g]) ? global : nullptr;
    if (!from) return;
    const int zoneLo = from->Word(g) & 0xff, zoneHi = from->Word(g) >> 8;
    const char* name = g == kKeyRange ? "keyRange" : "velRange";
    if (zoneLo > zoneHi || zoneLo > 127)
        throw ImportError(where + ": generator " + name + " " + std::to_string(zoneLo) + "-" + std::to_string(zoneHi) +
                          " is an empty range");
    lo = std::max(lo, zoneLo);
    hi = std::min(hi, std::min(zoneHi, 127));
}

KeyVel Ranges(const SfZone* global, const SfZone& local, const std::string& where) {
    KeyVel r;
    ReadRange(global, local, kKeyRange, r.LoKey, r.HiKey, where);
    ReadRange(global, local, kVelRange, r.LoVel, r.HiVel, where);
    return r;
}

class Resolver {
public:
    Resolver(const SoundFontFile& sf, LeftOutList& leftOut, const std::string& file)
        : sf_(sf), leftOut_(leftOut), file_(file) {}

    PresetRegions Resolve(const SfPreset& preset);

private:
    void AddInstrument(const SfPreset& preset, const SfZone* pGlobal, const SfZone& pZone, const KeyVel& pRange,
                       const std::string& presetWhere);
    void AddZone(const SfZone* pGlobal, const SfZone& pZone, const SfZone* iGlobal, const SfZone& iZone,
                 const KeyVel& range, const std::string& where, int voice);
    void NoteLeftOut(const SfZone* pGlobal, const SfZone& pZone, const SfZone* iGlobal, const SfZone& iZone);
    struct ZoneFacts {
        const SfZone* Zone;
        std::string Where;
        KeyVel Range;  // the instrument's own
        size_t Header;
    };
    int VoiceFor(const ZoneFacts& f, const std::vector<ZoneFacts>& zones);

    const SoundFontFile& sf_;
    LeftOutList& leftOut_;
    const std::string& file_;
    PresetRegions out_;
    std::set<std::tuple<int, int, int, int, int>> pairsSeen_;
};

PresetRegions Resolver::Resolve(const SfPreset& preset) {
    const std::string where = "preset '" + preset.Name + "'";
    const SfZone* pGlobal = nullptr;
    for (size_t z = 0; z < preset.Zones.size(); ++z) {
        const SfZone& zone = preset.Zones[z];
        if (zone.Global) {
            pGlobal = &zone;
            continue;
        }
        const std::string zoneWhere = where + " zone " + std::to_string(z + 1);
        const KeyVel range = Ranges(pGlobal, zone, file_ + ": " + zoneWhere);
        AddInstrument(preset, pGlobal, zone, range, zoneWhere);
    }
    return std::move(out_);
}

void Resolver::AddInstrument(const SfPreset&, const SfZone* pGlobal, const SfZone& pZone, const KeyVel& pRange,
                             const std::string& presetWhere) {
    const size_t index = pZone.Word(kInstrument);
    if (index >= sf_.Instruments.size())
        throw ImportError(file_ + ": " + presetWhere + ": generator instrument names instrument " +
                          std::to_string(index) + ", the file has " + std::to_string(sf_.Instruments.size()));
    const SfInstrument& inst = sf_.Instruments[index];
    const SfZone* iGlobal = nullptr;
    std::vector<ZoneFacts> facts;
    for (size_t z = 0; z < inst.Zones.size(); ++z) {
        const SfZone& zone = inst.Zones[z];
        if (zone.Global) {
            iGlobal = &zone;
            continue;
        }
        ZoneFacts f{&zone, presetWhere + ", instrument '" + inst.Name + "' zone " + std::to_string(z + 1), {}, 0};
        f.Range = Ranges(iGlobal, zone, file_ + ": " + f.Where);
        f.Header = zone.Word(kSampleId);
        if (f.Header >= sf_.Samples.size())
            throw ImportError(file_ + ": " + f.Where + ": generator sampleID names sample " + std::to_string(f.Header) +
                              ", the file has " + std::to_string(sf_.Samples.size()));
        facts.push_back(std::move(f));
    }
    for (const ZoneFacts& f : facts) {
        KeyVel range = f.Range;
        range.LoKey = std::max(range.LoKey, pRange.LoKey);
        range.HiKey = std::min(range.HiKey, pRange.HiKey);
        range.LoVel = std::max(range.LoVel, pRange.LoVel);
        range.HiVel = std::min(range.HiVel, pRange.HiVel);
        // Where the preset's range leaves none of the instrument's, the zone never plays.
        if (range.LoKey > range.HiKey || range.LoVel > range.HiVel) continue;
        AddZone(pGlobal, pZone, iGlobal, *f.Zone, range, f.Where, VoiceFor(f, facts));
    }
}

// A left or right sample plays with its partner: the one its link names,
// or else the instrument's zone of the same ranges with the other side.
int Resolver::VoiceFor(const ZoneFacts& f, const std::vector<ZoneFacts>& zones) {
    const auto side = [this](size_t header) { return sf_.Samples[header].Type & (kLeftSample | kRightSample); };
    const uint16_t mine = side(f.Header);
    SoundFontVoice voice{static_cast<int>(f.Header), -1};
    if (mine == kLeftSample || mine == kRightSample) {
        const uint16_t other = mine == kLeftSample ? kRightSample : kLeftSample;
        size_t partner = sf_.Samples[f.Header].Link;
        if (partner >= sf_.Samples.size() || side(partner) != other) {
            partner = sf_.Samples.size();
            for (const ZoneFacts& g : zones)
                if (side(g.Header) == other && g.Range.LoKey == f.Range.LoKey && g.Range.HiKey == f.Range.HiKey &&
                    g.Range.LoVel == f.Range.LoVel && g.Range.HiVel == f.Range.HiVel) {
                    partner = g.Header;
                    break;
                }
        }
        if (partner < sf_.Samples.size())
            voice = mine == kLeftSample ? SoundFontVoice{static_cast<int>(f.Header), static_cast<int>(partner)}
                                        : SoundFontVoice{static_cast<int>(partner), static_cast<int>(f.Header)};
    }
    const auto found = std::find(out_.Voices.begin(), out_.Voices.end(), voice);
    if (found != out_.Voices.end()) return static_cast<int>(found - out_.Voices.begin());
    out_.Voices.push_back(voice);
    return static_cast<int>(out_.Voices.size() - 1);
}

void Resolver::NoteLeftOut(const SfZone* pGlobal, const SfZone& pZone, const SfZone* iGlobal, const SfZone& iZone) {
    const std::initializer_list<int> lfoOnly = {5, 6, 10, 13, 21, 22, 23, 24};
    if (AnySet(iGlobal, iZone, lfoOnly) || AnySet(pGlobal, pZone, lfoOnly)) leftOut_.Add("LFOs (vibrato, tremolo)", "zone");
    const auto byController = [](const SfZone* z) {
        return z && std::any_of(z->Mods.begin(), z->Mods.end(), [](const SfModulator& m) {
                   const auto controller = [](uint16_t src) { return (src & 0x80) && (src & 0x7F) != 7 && (src & 0x7F) != 11; };
                   return controller(m.Source) || controller(m.AmountSource);
               });
    };
    if (byController(&iZone) || byController(&pZone) || byController(iGlobal) || byController(pGlobal))
        leftOut_.Add("modulators driven by controllers", "zone");
}

void Resolver::AddZone(const SfZone* pGlobal, const SfZone& pZone, const SfZone* iGlobal, const SfZone& iZone,
                       const KeyVel& range, const std::string& where, int voice) {
    const SfSampleHeader& s = sf_.Samples[iZone.Word(kSampleId)];
    if (s.Type & kRomSample) {
        leftOut_.Add("samples in a synthesiser's ROM", "zone");
        return;
    }
    const int scale = Value(iGlobal, iZone, kScaleTuning, 100) + Value(pGlobal, pZone, kScaleTuning, 0);
    if (scale == 0) {
        leftOut_.Add("zones that play one pitch on every key (drum-like)", "zone");
        return;
    }
    if (scale != 100) leftOut_.Add("scale tunings other than 100 cents a key", "zone");
    NoteLeftOut(pGlobal, pZone, iGlobal, iZone);

    const SoundFontVoice& v = out_.Voices[static_cast<size_t>(voice)];
    // A stereo pair comes as two zones, one for each side: the first makes the region.
    if (v.Right >= 0 && !pairsSeen_.insert({voice, range.LoKey, range.HiKey, range.LoVel, range.HiVel}).second) return;

    SourceRegion r;
    r.Where = where;
    r.LoKey = range.LoKey;
    r.HiKey = range.HiKey;
    r.LoVel = std::max(range.LoVel, 1);
    r.HiVel = range.HiVel;
    if (r.LoVel > r.HiVel) return;  // only velocity 0, which is a note-off
    r.Sample = voice;
    const int rootOverride = Value(iGlobal, iZone, kOverridingRootKey, -1);
    r.RootKey = rootOverride >= 0 && rootOverride <= 127 ? rootOverride : (s.OriginalPitch <= 127 ? s.OriginalPitch : 60);
    const int coarse = Value(iGlobal, iZone, kCoarseTune, 0) + Value(pGlobal, pZone, kCoarseTune, 0);
    const int fine = Value(iGlobal, iZone, kFineTune, 0) + Value(pGlobal, pZone, kFineTune, 0);
    r.TuneCents = 100.0 * coarse + fine + s.Correction;
    const int attenuation =
        std::clamp(Value(iGlobal, iZone, kInitialAttenuation, 0), 0, 1440) + Value(pGlobal, pZone, kInitialAttenuation, 0);
    // Players apply 0.4 of a zone's attenuation; the note shape counts it so too.
    r.GainDb = -0.4 * std::clamp(attenuation, 0, 1440) / 10.0;
    r.StartOffset = Offset(iGlobal, iZone, kStartAddrsOffset, kStartAddrsCoarseOffset);
    r.EndOffset = Offset(iGlobal, iZone, kEndAddrsOffset, kEndAddrsCoarseOffset);
    r.LoopStartOffset = Offset(iGlobal, iZone, kStartloopAddrsOffset, kStartloopAddrsCoarseOffset);
    r.LoopEndOffset = Offset(iGlobal, iZone, kEndloopAddrsOffset, kEndloopAddrsCoarseOffset);
    const int modes = Value(iGlobal, iZone, kSampleModes, 0) & 3;
    r.Looped = modes == 1 || modes == 3;
    r.Shape = [recipe = CombineZones(pGlobal, pZone, iGlobal, iZone)](int key, int vel) {
        return ShapeSoundFontNote(recipe, key, vel);
    };
    out_.Regions.push_back(std::move(r));
}

std::optional<std::pair<int, int>> BankProgram(const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return std::nullopt;
    int bank = 0, program = 0;
    const char* end = text.data() + text.size();
    const auto b = std::from_chars(text.data(), text.data() + colon, bank);
    const auto p = std::from_chars(text.data() + colon + 1, end, program);
    if (b.ec != std::errc() || b.ptr != text.data() + colon || p.ec != std::errc() || p.ptr != end) return std::nullopt;
    return std::pair{bank, program};
}

}  // namespace

PresetRegions ResolvePreset(const SoundFontFile& sf, size_t preset, LeftOutList& leftOut, const std::string& file) {
    return Resolver(sf, leftOut, file).Resolve(sf.Presets.at(preset));
}

size_t FindPreset(const SoundFontFile& sf, const std::string& choice, const std::string& file) {
    if (sf.Presets.empty()) throw ImportError(file + ": holds no presets");
    const std::string wanted(TrimBlanks(choice));
    if (wanted.empty()) {
        for (size_t i = 0; i < sf.Presets.size(); ++i)
            if (sf.Presets[i].Bank == 0 && sf.Presets[i].Program == 0) return i;
        return 0;
    }
    const auto number = BankProgram(wanted);
    for (size_t i = 0; i < sf.Presets.size(); ++i) {
        const SfPreset& p = sf.Presets[i];
        if (number ? (p.Bank == number->first && p.Program == number->second) : EqualsIgnoreCase(p.Name, wanted))
            return i;
    }
    throw ImportError(file + ": has no preset " + (number ? wanted : "named '" + wanted + "'") +
                      " (--list shows its presets)");
}

}  // namespace norv::import

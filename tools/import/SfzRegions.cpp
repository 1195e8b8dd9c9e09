#include "tools/import/SfzRegions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <optional>
#include <set>

#include "base/TextCase.h"
#include "tools/import/ImportError.h"
#include "tools/import/SfzNote.h"
#include "tools/import/SoundFileReader.h"
#include "base/FileSystem.h"

namespace norv::import {
namespace {

std::optional<double> ParseNumber(std::string_view text) {
    text = TrimBlanks(text);
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

// Opcodes read here; every other one is left out and counted.
const std::set<std::string, std::less<>> kUsed = {
    "sample", "lokey", "hikey", "key", "pitch_keycenter", "lovel", "hivel", "tune", "transpose", "volume",
    "amp_veltrack", "offset", "end", "loop_mode", "loopmode", "loop_start", "loopstart", "loop_end", "loopend",
    "trigger", "seq_length", "seq_position", "lorand", "hirand", "locc64", "hicc64", "pitch_keytrack",
    "amplitude", "ampeg_delay", "ampeg_attack", "ampeg_hold", "ampeg_decay", "ampeg_sustain", "ampeg_release",
    "cutoff", "resonance", "fil_veltrack", "fil_keytrack", "fil_keycenter", "fil_type",
};
constexpr std::string_view kVelocityCurve = "amp_velcurve_";

std::string Category(const std::string& opcode) {
    for (const char* p : {"ampeg_", "fileg_", "pitcheg_", "eg0", "eg1"})
        if (opcode.rfind(p, 0) == 0) return "envelopes";
    for (const char* p : {"fil_", "fil1", "fil2", "cutoff", "resonance"})
        if (opcode.rfind(p, 0) == 0) return "filters";
    for (const char* p : {"amplfo_", "pitchlfo_", "fillfo_", "lfo"})
        if (opcode.rfind(p, 0) == 0) return "LFOs (vibrato, tremolo)";
    return "opcode '" + opcode + "'";
}

class Converter {
public:
    Converter(const SfzText& sfz, const std::string& file, const std::string& folder, LeftOutList& leftOut)
        : sfz_(sfz), file_(file), folder_(folder), leftOut_(leftOut) {}

    SfzRegions Convert();

private:
    struct Region {
        const SfzRegionText& Text;
        const std::string& File;
        const SfzValue* Find(const char* a, const char* b = nullptr) const {
            auto it = Text.Opcodes.find(a);
            if (it == Text.Opcodes.end() && b) it = Text.Opcodes.find(b);
            return it == Text.Opcodes.end() ? nullptr : &it->second;
        }
        std::string Where() const { return "region " + std::to_string(Text.Number) + " (" + Text.At + ")"; }
        [[noreturn]] void Fail(const SfzValue& v, const std::string& opcode, const std::string& why) const {
            throw ImportError(File + ": " + Where() + ": " + v.At + ": " + opcode + "=" + v.Text + ": " + why);
        }
        std::optional<double> Number(const char* opcode, double lo, double hi, const char* alias = nullptr) const {
            const SfzValue* v = Find(opcode, alias);
            if (!v) return std::nullopt;
            const auto n = ParseNumber(v->Text);
            if (!n) Fail(*v, opcode, "not a number");
            if (*n < lo || *n > hi) Fail(*v, opcode, "out of range");
            return n;
        }
        std::optional<int> Key(const char* opcode) const {
            const SfzValue* v = Find(opcode);
            if (!v) return std::nullopt;
            const int k = ParseSfzKey(v->Text);
            if (k < 0) Fail(*v, opcode, "not a MIDI key (0..127 or a note name such as c4)");
            return k;
        }
    };

    bool Playable(const Region& r);
    SourceRegion Make(const Region& r);
    SfzVoice Voice(const Region& r);
    int FileIndex(const Region& r);

    const SfzText& sfz_;
    const std::string& file_;
    const std::string& folder_;
    LeftOutList& leftOut_;
    SfzRegions out_;
};

bool Converter::Playable(const Region& r) {
    for (const auto& [name, value] : r.Text.Opcodes)
        if (!kUsed.count(name) && name.rfind(kVelocityCurve, 0) != 0) leftOut_.Add(Category(name), "region");
    const SfzValue* trigger = r.Find("trigger");
    const std::string kind = trigger ? LowerCase(TrimBlanks(trigger->Text)) : "attack";
    if (kind == "release" || kind == "release_key") {
        leftOut_.Add("release triggers", "region");
        return false;
    }
    if (r.Number("seq_length", 1, 1e9).value_or(1) > 1 && r.Number("seq_position", 1, 1e9).value_or(1) > 1) {
        leftOut_.Add("round robins", "region");
        return false;
    }
    if (r.Number("lorand", 0, 1).value_or(0) > 0) {
        leftOut_.Add("round robins (random)", "region");
        return false;
    }
    // A region that plays only while the pedal is down.
    if (r.Number("locc64", 0, 127).value_or(0) >= 64) {
        leftOut_.Add("pedal-down samples", "region");
        return false;
    }
    if (r.Number("pitch_keytrack", -1200, 1200).value_or(100) == 0) {
        leftOut_.Add("regions that play one pitch on every key (drum-like)", "region");
        return false;
    }
    const SfzValue* sample = r.Find("sample");
    if (sample && !sample->Text.empty() && sample->Text[0] == '*') {
        leftOut_.Add("built-in waveforms (sample=*...)", "region");
        return false;
    }
    return true;
}

int Converter::FileIndex(const Region& r) {
    const SfzValue* sample = r.Find("sample");
    if (!sample || TrimBlanks(sample->Text).empty())
        throw ImportError(file_ + ": " + r.Where() + ": has no sample opcode");
    const SfzValue* defaultPath = nullptr;
    if (auto it = sfz_.Control.find("default_path"); it != sfz_.Control.end()) defaultPath = &it->second;
    const std::string relative =
        ToNativePath((defaultPath ? std::string(TrimBlanks(defaultPath->Text)) : "") + std::string(TrimBlanks(sample->Text)));
    const std::string path = ResolveCaseInsensitive(std::filesystem::path(folder_) / relative).string();
    if (!FileExists(path))
        throw ImportError(file_ + ": " + r.Where() + ": sample '" + relative + "': no such file (" + path + ")");
    const auto found = std::find(out_.Files.begin(), out_.Files.end(), path);
    if (found != out_.Files.end()) return static_cast<int>(found - out_.Files.begin());
    out_.Files.push_back(path);
    return static_cast<int>(out_.Files.size() - 1);
}

SourceRegion Converter::Make(const Region& r) {
    SourceRegion s;
    s.Where = r.Where();
    if (const auto key = r.Key("key")) s.LoKey = s.HiKey = *key, s.RootKey = *key;
    if (const auto lo = r.Key("lokey")) s.LoKey = *lo;
    if (const auto hi = r.Key("hikey")) s.HiKey = *hi;
    if (s.LoKey > s.HiKey)
        throw ImportError(file_ + ": " + s.Where + ": the key range " + std::to_string(s.LoKey) + "-" +
                          std::to_string(s.HiKey) + " is empty");
    s.LoVel = static_cast<int>(std::max(1.0, r.Number("lovel", 0, 127).value_or(1)));
    s.HiVel = static_cast<int>(r.Number("hivel", 0, 127).value_or(127));
    if (s.LoVel > s.HiVel)
        throw ImportError(file_ + ": " + s.Where + ": the velocity range " + std::to_string(s.LoVel) + "-" +
                          std::to_string(s.HiVel) + " is empty");
    if (const SfzValue* center = r.Find("pitch_keycenter")) {
        if (LowerCase(TrimBlanks(center->Text)) == "sample")
            s.RootKey.reset();
        else
            s.RootKey = r.Key("pitch_keycenter");
    } else if (!s.RootKey) {
        s.RootKey = 60;
    }
    s.TuneCents = r.Number("tune", -9600, 9600).value_or(0) + 100 * r.Number("transpose", -127, 127).value_or(0);
    s.GainDb = r.Number("volume", -144, 48).value_or(0);
    s.StartOffset = static_cast<int64_t>(r.Number("offset", 0, 4e9).value_or(0));
    if (const auto end = r.Number("end", 0, 4e9)) s.End = static_cast<int64_t>(*end) + 1;
    if (const SfzValue* mode = r.Find("loop_mode", "loopmode")) {
        const std::string m = LowerCase(TrimBlanks(mode->Text));
        if (m == "no_loop" || m == "one_shot")
            s.Looped = false;
        else if (m == "loop_continuous" || m == "loop_sustain")
            s.Looped = true;
        else
            r.Fail(*mode, "loop_mode", "not no_loop, one_shot, loop_continuous or loop_sustain");
    }
    if (const auto start = r.Number("loop_start", 0, 4e9, "loopstart")) s.LoopStart = static_cast<int64_t>(*start);
    if (const auto end = r.Number("loop_end", 0, 4e9, "loopend")) s.LoopEnd = static_cast<int64_t>(*end) + 1;
    s.Sample = FileIndex(r);
    const SfzVoice voice = Voice(r);
    s.Shape = [voice](int key, int vel) { return ShapeSfzNote(voice, key, vel); };
    return s;
}

SfzVoice Converter::Voice(const Region& r) {
    SfzVoice v;
    v.VolumeDb = r.Number("volume", -144, 48).value_or(0);
    v.Amplitude = r.Number("amplitude", 0, 100).value_or(100) / 100.0;
    v.AmpVeltrack = r.Number("amp_veltrack", -100, 100).value_or(100) / 100.0;
    for (const auto& [name, value] : r.Text.Opcodes) {
        if (name.rfind(kVelocityCurve, 0) != 0) continue;
        const auto velocity = ParseNumber(std::string_view(name).substr(kVelocityCurve.size()));
        if (!velocity || *velocity < 0 || *velocity > 127 || *velocity != std::floor(*velocity))
            r.Fail(value, name, "names no velocity 0..127");
        v.VelocityCurve[static_cast<int>(*velocity)] = r.Number(name.c_str(), 0, 1).value_or(0);
    }
    v.Delay = r.Number("ampeg_delay", 0, 100).value_or(0);
    v.Attack = r.Number("ampeg_attack", 0, 100).value_or(0);
    v.Hold = r.Number("ampeg_hold", 0, 100).value_or(0);
    v.Decay = r.Number("ampeg_decay", 0, 100).value_or(0);
    v.Sustain = r.Number("ampeg_sustain", 0, 100).value_or(100) / 100.0;
    v.Release = r.Number("ampeg_release", 0, 100).value_or(0.001);
    if (const auto cutoff = r.Number("cutoff", 0, 1e5)) {
        const SfzValue* type = r.Find("fil_type");
        const std::string kind = type ? LowerCase(TrimBlanks(type->Text)) : "lpf_2p";
        if (kind == "lpf_1p" || kind == "lpf_2p") {
            v.CutoffHz = *cutoff;
            v.OnePole = kind == "lpf_1p";
            v.ResonanceDb = r.Number("resonance", 0, 40).value_or(0);
            v.VeltrackCents = r.Number("fil_veltrack", -9600, 9600).value_or(0);
            v.KeytrackCents = r.Number("fil_keytrack", 0, 1200).value_or(0);
            v.KeyCenter = r.Key("fil_keycenter").value_or(60);
        } else {
            leftOut_.Add("filters other than low-pass", "region");
        }
    }
    return v;
}

SfzRegions Converter::Convert() {
    for (const SfzRegionText& text : sfz_.Regions) {
        const Region r{text, file_};
        if (!Playable(r)) continue;
        out_.Regions.push_back(Make(r));
    }
    return std::move(out_);
}

}  // namespace

SfzRegions ConvertSfz(const SfzText& sfz, const std::string& file, const std::string& folder, LeftOutList& leftOut) {
    return Converter(sfz, file, folder, leftOut).Convert();
}

int ParseSfzKey(const std::string& text) {
    const std::string t = LowerCase(TrimBlanks(text));
    if (const auto n = ParseNumber(t)) return *n >= 0 && *n <= 127 && *n == std::floor(*n) ? static_cast<int>(*n) : -1;
    static const int kSteps[] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
    if (t.empty() || t[0] < 'a' || t[0] > 'g') return -1;
    int key = kSteps[t[0] - 'a'];
    size_t i = 1;
    if (i < t.size() && (t[i] == '#' || t[i] == 'b')) key += t[i++] == '#' ? 1 : -1;
    int octave = 0;
    const auto r = std::from_chars(t.data() + i, t.data() + t.size(), octave);
    if (i == t.size() || r.ec != std::errc() || r.ptr != t.data() + t.size()) return -1;
    key += (octave + 1) * 12;
    return key >= 0 && key <= 127 ? key : -1;
}

SampleInfo SfzSource::Info(int sample) {
    const std::string& path = files_.at(static_cast<size_t>(sample));
    const SoundFileReader reader = SoundFileReader::OpenFile(path);
    SampleInfo info;
    info.Name = std::filesystem::path(path).filename().string();
    info.Rate = reader.Rate();
    info.Channels = reader.Channels();
    info.Frames = reader.Frames();
    info.Loop = reader.Loop();
    info.RootKey = reader.RootKey();
    info.SourceBytes = FileSizeOf(path);
    return info;
}

std::vector<float> SfzSource::Decode(int sample) {
    return SoundFileReader::OpenFile(files_.at(static_cast<size_t>(sample))).ReadAll();
}

}  // namespace norv::import

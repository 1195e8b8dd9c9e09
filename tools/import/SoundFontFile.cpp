#include "tools/import/SoundFontFile.h"

#include <cstring>

#include "tools/import/ImportError.h"

namespace norv::import {
namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return U16(p) | (static_cast<uint32_t>(U16(p + 2)) << 16); }
bool IdIs(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

std::string IdText(const uint8_t* p) {
    std::string s(reinterpret_cast<const char*>(p), 4);
    for (char& c : s)
        if (c < 0x20 || c > 0x7e) c = '?';
    return s;
}

// A fixed-size name field: up to the first zero, printable ASCII kept,
// anything else shown as '?', trailing blanks dropped.
std::string NameField(const uint8_t* p, size_t size) {
    std::string s;
    for (size_t i = 0; i < size && p[i]; ++i) s += (p[i] >= 0x20 && p[i] < 0x7f) ? static_cast<char>(p[i]) : '?';
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

struct Chunk {
    const uint8_t* Id;
    std::span<const uint8_t> Body;
};

class Reader {
public:
    Reader(std::span<const uint8_t> bytes, const std::string& file) : bytes_(bytes), file_(file) {}

    SoundFontFile Read();

private:
    [[noreturn]] void Fail(const std::string& what) const { throw ImportError(file_ + ": " + what); }

    std::vector<Chunk> Chunks(std::span<const uint8_t> body, const std::string& inside) const;
    void ReadInfo(std::span<const uint8_t> body);
    void ReadSampleData(std::span<const uint8_t> body);
    void ReadPresetData(std::span<const uint8_t> body);
    std::span<const uint8_t> Records(const std::vector<Chunk>& chunks, const char* id, size_t size, size_t least) const;
    std::vector<SfZone> Zones(size_t firstBag, size_t endBag, std::span<const uint8_t> bags,
                              std::span<const uint8_t> gens, std::span<const uint8_t> mods, SfGenerator terminal,
                              const std::string& owner) const;

    std::span<const uint8_t> bytes_;
    const std::string& file_;
    SoundFontFile sf_;
    bool haveInfo_ = false, haveSamples_ = false, havePresets_ = false;
};

std::vector<Chunk> Reader::Chunks(std::span<const uint8_t> body, const std::string& inside) const {
    std::vector<Chunk> chunks;
    size_t at = 0;
    while (at + 8 <= body.size()) {
        const uint8_t* head = body.data() + at;
        const uint32_t size = U32(head + 4);
        if (size > body.size() - at - 8)
            Fail("chunk '" + IdText(head) + "' in " + inside + " claims " + std::to_string(size) + " bytes, only " +
                 std::to_string(body.size() - at - 8) + " follow (the file is truncated or damaged)");
        chunks.push_back({head, body.subspan(at + 8, size)});
        at += 8 + size;
        // Odd chunks are followed by a zero pad byte, except where a writer
        // forgot it (some SF3 files): then the next chunk starts right away.
        if ((size & 1) && at < body.size() && body[at] == 0) ++at;
    }
    return chunks;
}

void Reader::ReadInfo(std::span<const uint8_t> body) {
    haveInfo_ = true;
    for (const Chunk& c : Chunks(body, "LIST INFO")) {
        if (IdIs(c.Id, "ifil")) {
            if (c.Body.size() < 4) Fail("the version chunk 'ifil' is shorter than 4 bytes");
            sf_.VersionMajor = U16(c.Body.data());
            sf_.VersionMinor = U16(c.Body.data() + 2);
        } else if (IdIs(c.Id, "INAM")) {
            sf_.BankName = NameField(c.Body.data(), c.Body.size());
        } else if (IdIs(c.Id, "IENG")) {
            sf_.Engineer = NameField(c.Body.data(), c.Body.size());
        }
    }
    if (sf_.VersionMajor != 2 && sf_.VersionMajor != 3)
        Fail("SoundFont version " + std::to_string(sf_.VersionMajor) + "." + std::to_string(sf_.VersionMinor) +
             " is not 2.x (SF2) or 3.x (SF3)");
}

void Reader::ReadSampleData(std::span<const uint8_t> body) {
    haveSamples_ = true;
    for (const Chunk& c : Chunks(body, "LIST sdta")) {
        if (IdIs(c.Id, "smpl")) sf_.Smpl = c.Body;
        if (IdIs(c.Id, "sm24")) sf_.Sm24 = c.Body;
    }
    // A 24-bit part that does not match the 16-bit part is ignored, as the format asks.
    const size_t points = sf_.Smpl.size() / 2;
    if (sf_.Sm24.size() != points && sf_.Sm24.size() != points + (points & 1)) sf_.Sm24 = {};
}

std::span<const uint8_t> Reader::Records(const std::vector<Chunk>& chunks, const char* id, size_t size,
                                         size_t least) const {
    for (const Chunk& c : chunks) {
        if (!IdIs(c.Id, id)) continue;
        if (c.Body.size() % size != 0)
            Fail("the '" + std::string(id) + "' chunk's " + std::to_string(c.Body.size()) +
                 " bytes are not whole records of " + std::to_string(size));
        if (c.Body.size() / size < least)
            Fail("the '" + std::string(id) + "' chunk has " + std::to_string(c.Body.size() / size) +
                 " records, at least " + std::to_string(least) + " are needed");
        return c.Body;
    }
    Fail("the preset data lacks its '" + std::string(id) + "' chunk");
}

std::vector<SfZone> Reader::Zones(size_t firstBag, size_t endBag, std::span<const uint8_t> bags,
                                  std::span<const uint8_t> gens, std::span<const uint8_t> mods,
                                  SfGenerator terminal, const std::string& owner) const {
    const size_t bagCount = bags.size() / 4, genCount = gens.size() / 4, modCount = mods.size() / 10;
    if (firstBag > endBag || endBag >= bagCount)
        Fail(owner + ": its zones " + std::to_string(firstBag) + ".." + std::to_string(endBag) +
             " do not lie within the " + std::to_string(bagCount - 1) + " zone records");
    std::vector<SfZone> zones;
    for (size_t b = firstBag; b < endBag; ++b) {
        const uint8_t* bag = bags.data() + 4 * b;
        const size_t g0 = U16(bag), g1 = U16(bag + 4), m0 = U16(bag + 2), m1 = U16(bag + 6);
        const std::string zoneName = owner + " zone " + std::to_string(b - firstBag + 1);
        if (g0 > g1 || g1 > genCount) Fail(zoneName + ": its generators do not lie within the generator records");
        if (m0 > m1 || m1 > modCount) Fail(zoneName + ": its modulators do not lie within the modulator records");
        SfZone zone;
        for (size_t m = m0; m < m1; ++m) {
            const uint8_t* r = mods.data() + 10 * m;
            zone.Mods.push_back({U16(r), U16(r + 2), static_cast<int16_t>(U16(r + 4)), U16(r + 6), U16(r + 8)});
        }
        bool terminated = false;
        for (size_t g = g0; g < g1 && !terminated; ++g) {
            const uint16_t oper = U16(gens.data() + 4 * g);
            if (oper >= kGeneratorCount) continue;
            zone.Amount[oper] = static_cast<int16_t>(U16(gens.data() + 4 * g + 2));
            zone.Set[oper] = true;
            terminated = oper == terminal;
        }
        // A first zone without the terminal generator holds defaults for the
        // others; any other such zone is ignored.
        if (!terminated) {
            if (b != firstBag) continue;
            zone.Global = true;
        }
        zones.push_back(zone);
    }
    return zones;
}

void Reader::ReadPresetData(std::span<const uint8_t> body) {
    havePresets_ = true;
    const std::vector<Chunk> chunks = Chunks(body, "LIST pdta");
    const auto phdr = Records(chunks, "phdr", 38, 1), pbag = Records(chunks, "pbag", 4, 1);
    const auto pmod = Records(chunks, "pmod", 10, 1), pgen = Records(chunks, "pgen", 4, 1);
    const auto inst = Records(chunks, "inst", 22, 1), ibag = Records(chunks, "ibag", 4, 1);
    const auto imod = Records(chunks, "imod", 10, 1), igen = Records(chunks, "igen", 4, 1);
    const auto shdr = Records(chunks, "shdr", 46, 1);

    // Each list ends with a terminal record that only bounds the one before.
    for (size_t i = 0; i + 1 < inst.size() / 22; ++i) {
        const uint8_t* r = inst.data() + 22 * i;
        SfInstrument in;
        in.Name = NameField(r, 20);
        in.Zones = Zones(U16(r + 20), U16(r + 42), ibag, igen, imod, kSampleId,
                         "instrument " + std::to_string(i) + " '" + in.Name + "'");
        sf_.Instruments.push_back(std::move(in));
    }
    for (size_t i = 0; i + 1 < phdr.size() / 38; ++i) {
        const uint8_t* r = phdr.data() + 38 * i;
        SfPreset p;
        p.Name = NameField(r, 20);
        p.Program = U16(r + 20);
        p.Bank = U16(r + 22);
        p.Zones = Zones(U16(r + 24), U16(r + 62), pbag, pgen, pmod, kInstrument, "preset '" + p.Name + "'");
        sf_.Presets.push_back(std::move(p));
    }
    for (size_t i = 0; i + 1 < shdr.size() / 46; ++i) {
        const uint8_t* r = shdr.data() + 46 * i;
        SfSampleHeader s;
        s.Name = NameField(r, 20);
        s.Start = U32(r + 20);
        s.End = U32(r + 24);
        s.LoopStart = U32(r + 28);
        s.LoopEnd = U32(r + 32);
        s.Rate = U32(r + 36);
        s.OriginalPitch = r[40];
        s.Correction = static_cast<int8_t>(r[41]);
        s.Link = U16(r + 42);
        s.Type = U16(r + 44);
        sf_.Samples.push_back(std::move(s));
    }
}

SoundFontFile Reader::Read() {
    if (!LooksLikeSoundFont(bytes_)) Fail("not a SoundFont (no RIFF 'sfbk' header)");
    const uint32_t riffSize = U32(bytes_.data() + 4);
    if (riffSize < 4 || riffSize > bytes_.size() - 8)
        Fail("the RIFF header claims " + std::to_string(riffSize) + " bytes, the file holds " +
             std::to_string(bytes_.size() - 8) + " (the file is truncated or damaged)");
    for (const Chunk& c : Chunks(bytes_.subspan(12, riffSize - 4), "the file")) {
        if (!IdIs(c.Id, "LIST") || c.Body.size() < 4) continue;
        const auto body = c.Body.subspan(4);
        if (IdIs(c.Body.data(), "INFO")) ReadInfo(body);
        if (IdIs(c.Body.data(), "sdta")) ReadSampleData(body);
        if (IdIs(c.Body.data(), "pdta")) ReadPresetData(body);
    }
    if (!haveInfo_) Fail("the 'INFO' list is missing");
    if (!haveSamples_) Fail("the sample data list 'sdta' is missing");
    if (!havePresets_) Fail("the preset data list 'pdta' is missing");
    return std::move(sf_);
}

}  // namespace

bool LooksLikeSoundFont(std::span<const uint8_t> bytes) {
    return bytes.size() >= 12 && IdIs(bytes.data(), "RIFF") && IdIs(bytes.data() + 8, "sfbk");
}

SoundFontFile ParseSoundFont(std::span<const uint8_t> bytes, const std::string& file) {
    return Reader(bytes, file).Read();
}

}  // namespace norv::import

#include "support/SoundFontBuilder.h"

#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>

namespace norv::test {
namespace {

std::string Le16(uint32_t v) { return {static_cast<char>(v), static_cast<char>(v >> 8)}; }
std::string Le32(uint32_t v) { return Le16(v) + Le16(v >> 16); }

std::string Chunk(const char* id, const std::string& body) {
    std::string c = std::string(id, 4) + Le32(static_cast<uint32_t>(body.size())) + body;
    if (body.size() & 1) c += '\0';
    return c;
}

std::string Name20(const std::string& name) {
    std::string n = name.substr(0, 19);
    n.resize(20, '\0');
    return n;
}

// An Ogg Vorbis stream of the points, made with libsndfile in memory.
struct Sink {
    std::string Bytes;
    sf_count_t At = 0;
};
sf_count_t SinkLength(void* u) { return static_cast<sf_count_t>(static_cast<Sink*>(u)->Bytes.size()); }
sf_count_t SinkSeek(sf_count_t off, int whence, void* u) {
    Sink& s = *static_cast<Sink*>(u);
    s.At = whence == SEEK_SET ? off : whence == SEEK_CUR ? s.At + off : SinkLength(u) + off;
    return s.At;
}
sf_count_t SinkRead(void* out, sf_count_t n, void* u) {
    Sink& s = *static_cast<Sink*>(u);
    const sf_count_t k = std::max<sf_count_t>(0, std::min<sf_count_t>(n, SinkLength(u) - s.At));
    std::memcpy(out, s.Bytes.data() + s.At, static_cast<size_t>(k));
    s.At += k;
    return k;
}
sf_count_t SinkWrite(const void* in, sf_count_t n, void* u) {
    Sink& s = *static_cast<Sink*>(u);
    if (s.Bytes.size() < static_cast<size_t>(s.At + n)) s.Bytes.resize(static_cast<size_t>(s.At + n));
    std::memcpy(s.Bytes.data() + s.At, in, static_cast<size_t>(n));
    s.At += n;
    return n;
}
sf_count_t SinkTell(void* u) { return static_cast<Sink*>(u)->At; }

std::string Vorbis(const SfSampleRecipe& s) {
    SF_VIRTUAL_IO io = {SinkLength, SinkSeek, SinkRead, SinkWrite, SinkTell};
    Sink sink;
    SF_INFO info{};
    info.samplerate = s.Rate;
    info.channels = 1;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    SNDFILE* f = sf_open_virtual(&io, SFM_WRITE, &info, &sink);
    if (!f) throw std::runtime_error(std::string("cannot encode Vorbis: ") + sf_strerror(nullptr));
    double quality = 0.9;
    sf_command(f, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    sf_writef_short(f, s.Points.data(), static_cast<sf_count_t>(s.Points.size()));
    sf_close(f);
    return sink.Bytes;
}

std::string Gens(const std::vector<SfZoneRecipe>& zones, std::string& bags, uint32_t& genIndex, std::string& mods,
                 uint32_t& modIndex) {
    std::string gens;
    for (const SfZoneRecipe& z : zones) {
        bags += Le16(genIndex) + Le16(modIndex);
        for (const SfGen& g : z.Gens) gens += Le16(g.Oper) + Le16(g.Amount), ++genIndex;
        for (const SfModRecipe& m : z.Mods)
            mods += Le16(m.Source) + Le16(m.Dest) + Le16(static_cast<uint16_t>(m.Amount)) + Le16(m.AmountSource) +
                    Le16(m.Transform),
                ++modIndex;
    }
    return gens;
}

}  // namespace

std::vector<int16_t> SinePoints(double hz, int rate, int frames, double amplitude) {
    std::vector<int16_t> p(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        p[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate)));
    return p;
}

std::string BuildSoundFont(const SoundFontRecipe& recipe) {
    std::string smpl, shdr;
    for (const SfSampleRecipe& s : recipe.Samples) {
        uint32_t start, end, loopStart = s.LoopStart, loopEnd = s.LoopEnd;
        if (recipe.Vorbis) {
            start = static_cast<uint32_t>(smpl.size());
            smpl += Vorbis(s);
            end = static_cast<uint32_t>(smpl.size());
        } else {
            start = static_cast<uint32_t>(smpl.size() / 2);
            for (int16_t v : s.Points) smpl += Le16(static_cast<uint16_t>(v));
            end = static_cast<uint32_t>(smpl.size() / 2);
            smpl += std::string(92, '\0');  // the 46 zero points the format asks after each sample
            loopStart += start;
            loopEnd += start;
        }
        shdr += Name20(s.Name) + Le32(start) + Le32(end) + Le32(loopStart) + Le32(loopEnd) + Le32(static_cast<uint32_t>(s.Rate)) +
                std::string(1, static_cast<char>(s.Root)) + std::string(1, static_cast<char>(s.Correction)) +
                Le16(s.Link) + Le16(static_cast<uint16_t>(s.Type | (recipe.Vorbis ? 0x10 : 0)));
    }
    shdr += Name20("EOS") + std::string(26, '\0');

    std::string inst, ibag, igen, imod;
    uint32_t bag = 0, gen = 0, mod = 0;
    for (const SfInstrumentRecipe& in : recipe.Instruments) {
        inst += Name20(in.Name) + Le16(bag);
        igen += Gens(in.Zones, ibag, gen, imod, mod);
        bag += static_cast<uint32_t>(in.Zones.size());
    }
    inst += Name20("EOI") + Le16(bag);
    ibag += Le16(gen) + Le16(mod);
    igen += std::string(4, '\0');
    imod += std::string(10, '\0');

    std::string phdr, pbag, pgen, pmod;
    bag = gen = mod = 0;
    for (const SfPresetRecipe& p : recipe.Presets) {
        phdr += Name20(p.Name) + Le16(static_cast<uint16_t>(p.Program)) + Le16(static_cast<uint16_t>(p.Bank)) + Le16(bag) +
                std::string(12, '\0');
        pgen += Gens(p.Zones, pbag, gen, pmod, mod);
        bag += static_cast<uint32_t>(p.Zones.size());
    }
    phdr += Name20("EOP") + Le16(0) + Le16(0) + Le16(bag) + std::string(12, '\0');
    pbag += Le16(gen) + Le16(mod);
    pgen += std::string(4, '\0');
    pmod += std::string(10, '\0');

    const std::string info = "INFO" + Chunk("ifil", Le16(recipe.Vorbis ? 3 : 2) + Le16(recipe.Vorbis ? 1 : 4)) +
                             Chunk("INAM", "Test Bank") + Chunk("IENG", "Test Engineer");
    const std::string sdta = "sdta" + Chunk("smpl", smpl);
    const std::string pdta = "pdta" + Chunk("phdr", phdr) + Chunk("pbag", pbag) + Chunk("pmod", pmod) +
                             Chunk("pgen", pgen) + Chunk("inst", inst) + Chunk("ibag", ibag) + Chunk("imod", imod) +
                             Chunk("igen", igen) + Chunk("shdr", shdr);
    const std::string body = "sfbk" + Chunk("LIST", info) + Chunk("LIST", sdta) + Chunk("LIST", pdta);
    return "RIFF" + Le32(static_cast<uint32_t>(body.size())) + body;
}

}  // namespace norv::test

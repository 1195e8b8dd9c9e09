#include "tools/play/StateFile.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "host/StateStream.h"

namespace norv::play {
namespace {

constexpr const char* kMagic = "norvkeys-play-state";
constexpr uintmax_t kMaxFileBytes = 1 << 20;

std::string Hex(const std::vector<uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::vector<uint8_t>> FromHex(const std::string& text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return bytes;
}

// A whole decimal number in lo..hi, else nullopt.
std::optional<int> Number(const std::string& word, int lo, int hi) {
    if (word.empty() || word.size() > 6 || word.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const int n = std::stoi(word);
    if (n < lo || n > hi) return std::nullopt;
    return n;
}

class Parser {
public:
    Parser(const std::string& name, int paramCount) : name_(name), paramCount_(paramCount) {}

    PlayState Parse(const std::string& text) {
        std::istringstream in(text);
        std::string line;
        bool headerSeen = false;
        bool instanceSeen = false;
        MidiLinks links(paramCount_);
        while (std::getline(in, line)) {
            ++lineNo_;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == '#') continue;
            std::istringstream words(line);
            std::vector<std::string> w;
            for (std::string s; words >> s;) w.push_back(s);
            if (w.empty()) continue;
            if (!headerSeen) {
                Header(w);
                headerSeen = true;
            } else if (w[0] == "instance") {
                if (instanceSeen) Fail("a second instance line");
                state_.Instance = Instance(w);
                instanceSeen = true;
            } else if (w[0] == "link") {
                const MidiLink link = Link(w);
                if (links.LinkOf(link.Param)) Fail("knob " + std::to_string(link.Param) + " is linked twice");
                for (const MidiLink& l : links.All())
                    if (l.Channel == link.Channel && l.Controller == link.Controller)
                        Fail("controller " + w[3] + " on channel " + w[2] + " is linked twice");
                links.Link(link);
            } else {
                Fail("unknown item \"" + w[0] + "\"");
            }
        }
        lineNo_ = 0;
        if (!headerSeen) Fail("empty; not a player state file");
        if (!instanceSeen) Fail("no instance line");
        state_.Links = links.All();
        return state_;
    }

private:
    [[noreturn]] void Fail(const std::string& reason) const {
        const std::string where = lineNo_ > 0 ? ": line " + std::to_string(lineNo_) : "";
        throw std::runtime_error(name_ + where + ": " + reason);
    }

    void Header(const std::vector<std::string>& w) {
        if (w[0] != kMagic || w.size() != 2) Fail(std::string("not a player state file (it starts with \"") + kMagic + " 1\")");
        const std::optional<int> version = Number(w[1], 1, 999999);
        if (!version) Fail("the version \"" + w[1] + "\" is not a number");
        if (*version > kStateFileVersion)
            Fail("version " + w[1] + " is newer than this program reads (" + std::to_string(kStateFileVersion) + ")");
    }

    std::vector<uint8_t> Instance(const std::vector<std::string>& w) {
        if (w.size() != 2) Fail("the instance line holds one run of hex digits");
        std::optional<std::vector<uint8_t>> bytes = FromHex(w[1]);
        if (!bytes) Fail("the instance's state is not whole bytes in hex");
        const std::optional<host::SavedState> state = host::ParseState(*bytes);
        if (!state) Fail("the instance's state is not a saved state of this instrument");
        if (state->Version > 1)
            Fail("the instance's state has version " + std::to_string(state->Version) +
                 ", newer than this instrument reads");
        if (state->Values.size() != static_cast<size_t>(paramCount_))
            Fail("the instance's state holds " + std::to_string(state->Values.size()) +
                 " parameter values; the instrument has " + std::to_string(paramCount_));
        return *bytes;
    }

    MidiLink Link(const std::vector<std::string>& w) {
        if (w.size() != 4) Fail("a link line is \"link KNOB CHANNEL CONTROLLER\"");
        const std::optional<int> param = Number(w[1], 0, paramCount_ - 1);
        if (!param) Fail("knob \"" + w[1] + "\" is not 0.." + std::to_string(paramCount_ - 1));
        const std::optional<int> channel = Number(w[2], 1, 16);
        if (!channel) Fail("channel \"" + w[2] + "\" is not 1..16");
        const std::optional<int> controller = Number(w[3], 0, 127);
        if (!controller) Fail("controller \"" + w[3] + "\" is not 0..127");
        if (!LinkableController(*controller)) Fail("controller " + w[3] + " cannot be linked to a knob");
        return {*param, *channel - 1, *controller};
    }

    const std::string& name_;
    int paramCount_;
    int lineNo_ = 0;
    PlayState state_;
};

}  // namespace

std::string FormatPlayState(const PlayState& state) {
    std::string out = std::string(kMagic) + " " + std::to_string(kStateFileVersion) + "\n";
    out += "instance " + Hex(state.Instance) + "\n";
    for (const MidiLink& l : state.Links)
        out += "link " + std::to_string(l.Param) + " " + std::to_string(l.Channel + 1) + " " +
               std::to_string(l.Controller) + "\n";
    return out;
}

PlayState ParsePlayState(const std::string& text, const std::string& name, int paramCount) {
    return Parser(name, paramCount).Parse(text);
}

std::optional<PlayState> ReadPlayStateFile(const std::string& path, int paramCount) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) return std::nullopt;
    if (ec) throw std::runtime_error(path + ": cannot read: " + ec.message());
    if (!std::filesystem::is_regular_file(status)) throw std::runtime_error(path + ": not a file");
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) throw std::runtime_error(path + ": cannot read: " + ec.message());
    if (size > kMaxFileBytes) throw std::runtime_error(path + ": not a player state file (too large)");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot read");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw std::runtime_error(path + ": cannot read");
    return ParsePlayState(text.str(), path, paramCount);
}

}  // namespace norv::play

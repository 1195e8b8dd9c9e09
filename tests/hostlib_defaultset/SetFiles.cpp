#include "SetFiles.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>

namespace norv::test {

namespace {

uint32_t U32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}

uint16_t U16(const std::string& b, size_t at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<WaveContents> ReadWave(const std::filesystem::path& path) {
    const std::string b = ReadText(path);
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) return std::nullopt;
    WaveContents w;
    bool haveFormat = false, haveData = false;
    size_t at = 12;
    while (at + 8 <= b.size()) {
        const std::string id = b.substr(at, 4);
        const size_t size = U32(b, at + 4);
        const size_t body = at + 8;
        if (body + size > b.size()) return std::nullopt;
        if (id == "fmt " && size >= 16) {
            w.formatTag = U16(b, body);
            w.channels = U16(b, body + 2);
            w.sampleRate = static_cast<int>(U32(b, body + 4));
            w.blockAlign = U16(b, body + 12);
            w.bitsPerSample = U16(b, body + 14);
            haveFormat = true;
        } else if (id == "data") {
            w.frames.resize(size / 2);
            for (size_t i = 0; i < w.frames.size(); ++i) w.frames[i] = static_cast<int16_t>(U16(b, body + 2 * i));
            haveData = true;
        } else if (id == "smpl" && size >= 36) {
            w.unityNote = U32(b, body + 12);
            w.loopCount = static_cast<int>(U32(b, body + 28));
            if (w.loopCount > 0 && size >= 60) {
                w.loopType = U32(b, body + 40);
                w.loopStart = U32(b, body + 44);
                w.loopEnd = U32(b, body + 48);
            }
        }
        at = body + size + (size & 1);
    }
    if (!haveFormat || !haveData) return std::nullopt;
    return w;
}

Profile ParseProfile(const std::string& text) {
    Profile profile;
    std::istringstream lines(text);
    std::string line, section;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section = Lower(line.substr(1, line.size() - 2));
            profile[section];
        } else if (const size_t eq = line.find('='); eq != std::string::npos) {
            profile[section][Lower(Trim(line.substr(0, eq)))] = Trim(line.substr(eq + 1));
        }
    }
    return profile;
}

}  // namespace norv::test

#include "EmbedSource.h"

namespace norv::mkartwork {
namespace {

constexpr size_t kLineColumns = 100;

void AppendByte(std::string& line, uint8_t b) {
    // Three-digit octal escapes: a following digit can never join the escape.
    static const char* const kDigits = "01234567";
    const bool plain = b >= 0x20 && b < 0x7F && b != '"' && b != '\\' && b != '?';
    if (plain) {
        line += static_cast<char>(b);
        return;
    }
    line += '\\';
    line += kDigits[(b >> 6) & 7];
    line += kDigits[(b >> 3) & 7];
    line += kDigits[b & 7];
}

std::string DataName(const TEmbeddedList& list, size_t scaleIndex) {
    return list.Symbol + "_" + std::to_string(scaleIndex + 1) + "x";
}

}  // namespace

std::string StringLiteral(const std::vector<uint8_t>& bytes) {
    std::string out;
    std::string line;
    for (uint8_t b : bytes) {
        AppendByte(line, b);
        if (line.size() >= kLineColumns) {
            out += "    \"" + line + "\"\n";
            line.clear();
        }
    }
    if (!line.empty() || out.empty()) out += "    \"" + line + "\"\n";
    return out;
}

std::string EmbeddedListsSource(const std::vector<TEmbeddedList>& lists) {
    std::string out =
        "// Generated at build time by mkartwork from resources/: do not edit.\n"
        "#include \"resources/EmbeddedLists.h\"\n\n"
        "namespace norv::res {\nnamespace {\n\n";
    for (const TEmbeddedList& list : lists) {
        for (size_t s = 0; s < list.FilesByScale.size(); ++s) {
            out += "const unsigned char " + DataName(list, s) + "[] =\n";
            out += StringLiteral(list.FilesByScale[s]);
            out += ";\n\n";
        }
    }
    out += "}  // namespace\n\n";
    for (const TEmbeddedList& list : lists) {
        out += "const TEmbeddedBitmap " + list.Symbol + "[" + std::to_string(list.FilesByScale.size()) +
               "] = {\n";
        for (size_t s = 0; s < list.FilesByScale.size(); ++s) {
            const std::string name = DataName(list, s);
            // The literal's terminating zero is not part of the file.
            out += "    {" + name + ", sizeof(" + name + ") - 1, " + std::to_string(list.Count) + "},\n";
        }
        out += "};\n";
    }
    out += "\n}  // namespace norv::res\n";
    return out;
}

}  // namespace norv::mkartwork

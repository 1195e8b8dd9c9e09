#include "tools/import/SfzReader.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

#include "tools/import/ImportError.h"
#include "base/FileSystem.h"

namespace norv::import {
namespace {

constexpr int kMaxIncludeDepth = 8;
constexpr int64_t kMaxSfzBytes = 16 << 20;

struct Line {
    std::string Text;
    std::string At;
};

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

class Preprocessor {
public:
    Preprocessor(const std::string& file, const std::string& folder) : file_(file), folder_(folder) {}

    // Lines without comments, #define applied, #include expanded.
    void Add(const std::string& text, const std::string& shownName, bool top, int depth);
    std::vector<Line> Lines;

private:
    std::string Substitute(const std::string& text) const;
    void Directive(const std::string& text, const std::string& at, int depth);

    const std::string& file_;
    const std::string& folder_;
    std::vector<std::pair<std::string, std::string>> defines_;  // longest name first
};

std::string Preprocessor::Substitute(const std::string& text) const {
    if (text.find('$') == std::string::npos) return text;
    std::string out;
    for (size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '$') {
            for (const auto& [name, value] : defines_) {
                if (text.compare(i, name.size(), name) == 0) {
                    out += value;
                    i += name.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out += text[i++];
    }
    return out;
}

void Preprocessor::Directive(const std::string& text, const std::string& at, int depth) {
    const auto fail = [&](const std::string& why) { throw ImportError(file_ + ": " + at + ": " + why); };
    if (text.rfind("#define", 0) == 0) {
        const size_t name = text.find('$');
        if (name == std::string::npos) fail("#define needs a $NAME and a value");
        size_t nameEnd = name + 1;
        while (nameEnd < text.size() && IsNameChar(text[nameEnd])) ++nameEnd;
        const size_t valueStart = text.find_first_not_of(" \t", nameEnd);
        const std::string value = valueStart == std::string::npos ? "" : text.substr(valueStart);
        defines_.emplace_back(text.substr(name, nameEnd - name), value.substr(0, value.find_last_not_of(" \t") + 1));
        std::stable_sort(defines_.begin(), defines_.end(),
                         [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
    } else if (text.rfind("#include", 0) == 0) {
        const size_t open = text.find('"'), close = text.rfind('"');
        if (open == std::string::npos || close <= open) fail("#include needs a file name in double quotes");
        if (depth >= kMaxIncludeDepth) fail("#include nested more than " + std::to_string(kMaxIncludeDepth) + " deep");
        const std::string name = ToNativePath(text.substr(open + 1, close - open - 1));
        const auto path = ResolveCaseInsensitive(std::filesystem::path(folder_) / name);
        const auto content = ReadWholeFile(path, kMaxSfzBytes);
        if (!content) fail("#include \"" + name + "\": cannot read " + path.string());
        Add(*content, name, false, depth + 1);
    } else {
        fail("unknown directive '" + text.substr(0, text.find_first_of(" \t")) + "'");
    }
}

void Preprocessor::Add(const std::string& text, const std::string& shownName, bool top, int depth) {
    int lineNo = 1;
    bool inBlock = false;
    std::string current;
    int blockStart = 0;
    const auto at = [&](int n) { return "line " + std::to_string(n) + (top ? "" : " of " + shownName); };
    const auto finishLine = [&]() {
        const std::string trimmed = current.substr(std::min(current.size(), current.find_first_not_of(" \t\r")));
        if (!trimmed.empty() && trimmed[0] == '#')
            Directive(Substitute(trimmed), at(lineNo), depth);
        else
            Lines.push_back({Substitute(current), at(lineNo)});
        current.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inBlock) {
            if (c == '*' && i + 1 < text.size() && text[i + 1] == '/') {
                inBlock = false;
                ++i;
            } else if (c == '\n') {
                finishLine();
                ++lineNo;
            }
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            while (i + 1 < text.size() && text[i + 1] != '\n') ++i;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            inBlock = true;
            blockStart = lineNo;
            current += ' ';
            ++i;
        } else if (c == '\n') {
            finishLine();
            ++lineNo;
        } else {
            current += c == '\t' || c == '\r' ? ' ' : c;
        }
    }
    if (inBlock) throw ImportError(file_ + ": " + at(blockStart) + ": a /* comment is never closed");
    finishLine();
}

enum class Level { None, Control, Global, Master, Group, Region, Other };

Level LevelOf(const std::string& header) {
    if (header == "control") return Level::Control;
    if (header == "global") return Level::Global;
    if (header == "master") return Level::Master;
    if (header == "group") return Level::Group;
    if (header == "region") return Level::Region;
    return Level::Other;
}

class Parser {
public:
    Parser(const std::string& file) : file_(file) {}
    SfzText Parse(const std::vector<Line>& lines);

private:
    void Header(const std::string& name, const std::string& at);
    void Opcode(const std::string& name, SfzValue value);
    void CloseRegion();

    const std::string& file_;
    SfzText out_;
    Level level_ = Level::None;
    std::map<std::string, SfzValue> global_, master_, group_;
    std::optional<SfzRegionText> region_;
    int regions_ = 0;
};

void Parser::CloseRegion() {
    if (!region_) return;
    std::map<std::string, SfzValue> all = global_;
    for (const auto* level : {&master_, &group_, &region_->Opcodes})
        for (const auto& [k, v] : *level) all[k] = v;
    region_->Opcodes = std::move(all);
    out_.Regions.push_back(std::move(*region_));
    region_.reset();
}

void Parser::Header(const std::string& name, const std::string& at) {
    CloseRegion();
    level_ = LevelOf(name);
    // Each header starts afresh below it.
    if (level_ == Level::Global) global_.clear(), master_.clear(), group_.clear();
    if (level_ == Level::Master) master_.clear(), group_.clear();
    if (level_ == Level::Group) group_.clear();
    if (level_ == Level::Region) region_ = SfzRegionText{++regions_, at, {}};
}

void Parser::Opcode(const std::string& name, SfzValue value) {
    switch (level_) {
        case Level::Control: out_.Control[name] = std::move(value); break;
        case Level::None:  // opcodes before any header act as a global
        case Level::Global: global_[name] = std::move(value); break;
        case Level::Master: master_[name] = std::move(value); break;
        case Level::Group: group_[name] = std::move(value); break;
        case Level::Region: region_->Opcodes[name] = std::move(value); break;
        case Level::Other: break;
    }
}

SfzText Parser::Parse(const std::vector<Line>& lines) {
    for (const Line& line : lines) {
        const std::string& t = line.Text;
        size_t i = 0;
        while (true) {
            while (i < t.size() && t[i] == ' ') ++i;
            if (i >= t.size()) break;
            if (t[i] == '<') {
                const size_t close = t.find('>', i);
                if (close == std::string::npos)
                    throw ImportError(file_ + ": " + line.At + ": header '" + t.substr(i) + "' lacks its '>'");
                Header(t.substr(i + 1, close - i - 1), line.At);
                i = close + 1;
                continue;
            }
            size_t nameEnd = i;
            while (nameEnd < t.size() && IsNameChar(t[nameEnd])) ++nameEnd;
            if (nameEnd == i || nameEnd >= t.size() || t[nameEnd] != '=')
                throw ImportError(file_ + ": " + line.At + ": cannot read '" + t.substr(i, t.find(' ', i) - i) +
                                  "': expected <header> or opcode=value");
            // The value runs up to the next "name=" or header.
            size_t end = nameEnd + 1;
            while (end < t.size()) {
                if (t[end] == '<') break;
                if (t[end] == ' ') {
                    size_t j = end;
                    while (j < t.size() && t[j] == ' ') ++j;
                    size_t k = j;
                    while (k < t.size() && IsNameChar(t[k])) ++k;
                    if (j == t.size() || t[j] == '<' || (k > j && k < t.size() && t[k] == '=')) break;
                }
                ++end;
            }
            Opcode(t.substr(i, nameEnd - i), {t.substr(nameEnd + 1, end - nameEnd - 1), line.At});
            i = end;
        }
    }
    CloseRegion();
    return std::move(out_);
}

}  // namespace

SfzText ParseSfz(const std::string& text, const std::string& file, const std::string& folder) {
    Preprocessor pre(file, folder);
    pre.Add(text, file, true, 0);
    return Parser(file).Parse(pre.Lines);
}

}  // namespace norv::import

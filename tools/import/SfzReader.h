// The SFZ text format, as far as a piano needs it: headers <control>
// <global> <master> <group> <region> (others skipped with their opcodes),
// opcode=value pairs (a value runs to the next opcode or the end of the
// line, so sample paths may hold blanks), // and /* */ comments, #define
// and #include. Each region comes out with every opcode that applies to it.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace norv::import {

struct SfzValue {
    std::string Text;
    std::string At;  // "line 12", or "line 3 of keys.sfz" inside an included file
};

struct SfzRegionText {
    int Number = 0;  // 1-based, in file order
    std::string At;
    // Opcodes of the enclosing <global>, <master> and <group> and the
    // region's own; the innermost wins.
    std::map<std::string, SfzValue> Opcodes;
};

struct SfzText {
    std::map<std::string, SfzValue> Control;
    std::vector<SfzRegionText> Regions;
};

// `text` is the content of `file`; #include names files relative to
// `folder`. Throws ImportError naming the file and line.
SfzText ParseSfz(const std::string& text, const std::string& file, const std::string& folder);

}  // namespace norv::import

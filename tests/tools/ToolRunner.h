// Runs the built norvkeys program and collects what it printed.
#pragma once

#include <string>
#include <vector>

#include "support/TempDir.h"

namespace norv::test {

struct ToolResult {
    int Exit = -1;  // exit status; -1 when it did not exit normally
    std::string Out;
    std::string Err;
};

// The norvkeys binary of this build.
const std::string& ToolPath();

// Runs norvkeys with `args`; its output goes through files in `scratch`.
ToolResult RunTool(const std::vector<std::string>& args, const TempDir& scratch);

// Runs `argv[0]` (a path, or a name looked up in PATH) with exactly the
// environment `env` ("NAME=value" each); output as RunTool's.
ToolResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                      const TempDir& scratch);

// CRC-32 as zlib computes it (reflected polynomial 0xEDB88320).
uint32_t Crc32(const std::string& bytes);

}  // namespace norv::test

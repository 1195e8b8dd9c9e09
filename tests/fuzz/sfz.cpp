// Arbitrary bytes as an SFZ file: the text, its headers and opcodes, and the
// conversion of its regions, as an import reads them. Sample files and
// #include files are looked for in a folder that does not exist, so every
// region that gets that far fails cleanly. Every failure must be an
// ImportError, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/import/ImportError.h"
#include "tools/import/SfzReader.h"
#include "tools/import/SfzRegions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace norv::import;
    const std::string folder = "/nonexistent-norvkeys-fuzz";
    try {
        const SfzText sfz = ParseSfz(std::string(reinterpret_cast<const char*>(data), size), "fuzz.sfz", folder);
        for (const SfzRegionText& region : sfz.Regions)
            for (const auto& [name, value] : region.Opcodes) {
                const int key = ParseSfzKey(value.Text);
                if (key < -1 || key > 127) __builtin_trap();
            }
        LeftOutList leftOut;
        ConvertSfz(sfz, "fuzz.sfz", folder, leftOut);
    } catch (const ImportError&) {
    }
    return 0;
}

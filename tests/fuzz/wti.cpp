// Arbitrary bytes as a .wti definition: every key that the loader and the
// library scan read, through every read function, with the reader's own
// promises checked. To drive more of the set code, add a stage below.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "wavetable/AbcString.h"
#include "base/IniFile.h"

namespace {

using norv::TIniFile;

void Check(bool condition) {
    if (!condition) std::abort();
}

// Reads one key in every way and checks that the readings agree.
void ReadKey(const TIniFile& ini, std::string_view section, std::string_view key) {
    const std::string text = ini.ReadString(section, key, "");
    const std::string withDefault = ini.ReadString(section, key, "?");
    Check(text.size() <= TIniFile::kMaxValueLength);
    Check(text.empty() ? withDefault == "?" : withDefault == text);

    const auto integer = TIniFile::ParseInteger(text);
    Check(ini.ReadInteger(section, key, -7) == integer.value_or(-7));
    Check(ini.ReadBool(section, key, true) == (integer ? *integer != 0 : true));

    const double number = ini.ReadFloat(section, key, -1.0);
    Check(std::isfinite(number));
    if (const auto parsed = TIniFile::ParseFloat(text)) Check(number == *parsed);
}

void ReadDefinition(const TIniFile& ini) {
    for (const char* key : {"name", "shortname", "author", "path", "samples", "samplefile", "filetype", "resample",
                            "samplerate", "velocityfactor", "releasehighnotes", "isstandard"})
        ReadKey(ini, "info", key);
    ReadKey(ini, "default", "file");

    ReadKey(ini, "velocitylayers", "count");
    const int lowBits = ini.ReadInteger("velocitylayers", "count", 1) & 0xFF;
    const int layers = lowBits == 0 ? 1 : lowBits;
    for (int i = 0; i < layers; ++i) ReadKey(ini, "velocitylayers", std::to_string(i));
    for (int i = 0; i < 15; ++i) ReadKey(ini, "parameters", std::to_string(i));

    // The library scan counts each named file once; cap the entries so one
    // input cannot ask for millions of lookups.
    norv::TAbcStringlist files;
    const int samples = ini.ReadInteger("info", "samples", 0);
    for (int n = 0; n < samples && n < 256; ++n) {
        const std::string section = "sample" + std::to_string(n);
        for (const char* key : {"name", "root", "high", "pos", "end", "loop"}) ReadKey(ini, section, key);
        const std::string name = ini.ReadString(section, "name", "");
        const int before = files.Count();
        const bool known = files.Find(name) >= 0;
        const int index = files.Add(name);
        Check(name.empty() || known ? index == -1 && files.Count() == before
                                    : index >= 0 && files.Count() == before + 1 && files.Find(name) == index);
    }
    for (int i = 1; i < files.Count(); ++i) Check(files[i - 1] < files[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TIniFile ini = TIniFile::FromText(std::string_view(reinterpret_cast<const char*>(data), size));
    ReadDefinition(ini);
    return 0;
}

#include "Library.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "tools/import/Importer.h"
#include "tools/import/SetFolder.h"

namespace norv::library {
namespace {

namespace fs = std::filesystem;

// What the import was made from: the source's and the importer's sizes and times.
std::string Fingerprint(const LibraryOptions& o) {
    std::ostringstream s;
    for (const fs::path& p : {o.Source, o.Importer}) {
        std::error_code ec;
        const auto size = fs::file_size(p, ec);
        const auto time = fs::last_write_time(p, ec).time_since_epoch().count();
        s << p.string() << ' ' << (ec ? 0 : size) << ' ' << (ec ? 0 : time) << '\n';
    }
    s << o.Preset << '\n' << o.Name << '\n';
    return s.str();
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAtomically(const fs::path& path, const std::string& text) {
    const fs::path temp = path.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) throw std::runtime_error(temp.string() + ": cannot be written");
    }
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) throw std::runtime_error(path.string() + ": cannot be written: " + ec.message());
}

}  // namespace

LibraryReport UpdateLibrary(const LibraryOptions& o) {
    LibraryReport report;
    const std::string base = import::FileBaseFor(o.Name);
    const fs::path definition = o.WavTables / (base + ".wti");
    const fs::path stamp = o.WavTables / ("." + base + ".stamp");
    std::error_code ec;
    if (fs::is_regular_file(o.Source, ec)) {
        const std::string made = Fingerprint(o);
        if (!fs::is_regular_file(definition, ec) || ReadAll(stamp) != made) {
            import::ImportOptions io;
            io.Source = o.Source.string();
            io.Folder = o.WavTables.string();
            io.Preset = o.Preset;
            io.Name = o.Name;
            io.ShortName = o.ShortName;
            io.Force = true;
            import::ImportSet(io);
            WriteAtomically(stamp, made);
            report.Imported = true;
        }
        report.Default = definition.filename().string();
    } else {
        // The package went: so does what was imported from it.
        fs::remove(definition, ec);
        fs::remove_all(o.WavTables / base, ec);
        fs::remove(stamp, ec);
        report.Default = o.Fallback;
    }
    const std::string redirection = "[default]\nfile=" + report.Default + "\n";
    if (ReadAll(o.WavTables / "default.wti") != redirection) WriteAtomically(o.WavTables / "default.wti", redirection);
    return report;
}

}  // namespace norv::library

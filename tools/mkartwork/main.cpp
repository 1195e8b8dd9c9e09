// mkartwork: draws the editor's artwork at build time.
//   mkartwork ARTWORK_DIR LISTS_CPP   back.bmp, about.bmp (and @2x) into the folder,
//                                     the bitmap lists as C++ source into LISTS_CPP
//   mkartwork --preview PREFIX        PREFIX@1x.png, PREFIX@2x.png and enlarged
//                                     tiles PREFIX@1x-zoom3-r*c*.png to look at
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "EmbedSource.h"
#include "Preview.h"
#include "resources/Artwork.h"
#include "resources/BmpWriter.h"

// fontconfig (under pango) keeps its font cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using namespace norv;

void WriteArtwork(const std::string& dir, const std::string& listsCpp) {
    for (const res::TArtworkFile& f : res::kArtworkFiles)
        for (int scale : res::kScales)
            res::WriteFileAtomically(dir + "/" + res::ArtworkFileName(f.BaseName, scale),
                                     res::EncodeBmp24(f.Draw(scale)));

    std::vector<mkartwork::TEmbeddedList> lists;
    for (const res::TListArt& l : res::kListArt) {
        mkartwork::TEmbeddedList list{l.Symbol, l.Count, {}};
        for (int scale : res::kScales) list.FilesByScale.push_back(res::EncodeBmp32(l.Draw(scale)));
        lists.push_back(std::move(list));
    }
    const std::string source = mkartwork::EmbeddedListsSource(lists);
    res::WriteFileAtomically(listsCpp, std::vector<uint8_t>(source.begin(), source.end()));
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0] == "--preview") {
            for (int scale : res::kScales)
                mkartwork::WritePreview(args[1] + "@" + std::to_string(scale) + "x.png", scale, scale == 1 ? 3 : 1);
        } else if (args.size() == 2 && args[0][0] != '-') {
            WriteArtwork(args[0], args[1]);
        } else {
            std::fprintf(stderr, "usage: mkartwork ARTWORK_DIR LISTS_CPP | mkartwork --preview PREFIX\n");
            return 2;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mkartwork: %s\n", e.what());
        return 1;
    }
    return 0;
}

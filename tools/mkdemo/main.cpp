// Composes the bundled demo song and writes it as a standard MIDI file.
#include <cstdio>
#include <exception>

#include "tools/mkdemo/Composer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.mid\n", argv[0]);
        return 2;
    }
    try {
        norv::demo::ComposeDemo().Save(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "norv_mkdemo: %s\n", e.what());
        return 1;
    }
    return 0;
}

// A PNG sheet for looking at the artwork: the panel, the panel with the
// information panel over it, and the bitmap lists.
#pragma once

#include <string>

namespace norv::mkartwork {

// With zoom > 1 also tiles of it with each pixel enlarged zoom times, named
// with "-zoomN-rRcC" before the extension.
void WritePreview(const std::string& pngPath, int scale, int zoom);

}  // namespace norv::mkartwork

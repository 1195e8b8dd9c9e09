// The test keyboard's bitmap list: one octave at rest, then the same octave
// with every key drawn pressed, side by side.
#pragma once

#include "resources/Image.h"

namespace norv::res {

TImage DrawTestKeyboard(int scale);

}  // namespace norv::res

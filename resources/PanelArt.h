// back.bmp: the editor panel's background, 400 x 237 logical units.
#pragma once

#include "resources/Image.h"

namespace norv::res {

TImage DrawPanel(int scale);

}  // namespace norv::res

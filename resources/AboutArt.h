// about.bmp: the information panel's background, 400 x 109 logical units:
// the title at the left (under the version label at 12,2), the captions of
// the set's facts at the right, ending left of the values' column.
#pragma once

#include "resources/Image.h"

namespace norv::res {

TImage DrawAbout(int scale);

}  // namespace norv::res

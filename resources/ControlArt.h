// The bitmap lists of the panel's image buttons and its set selector, each a
// strip of equally sized images: up (or at rest) first, then down (or hovered).
#pragma once

#include "resources/Image.h"

namespace norv::res {

// 2 x (29 x 27); the toolkit centres it on the 25 x 20 button and clips.
TImage DrawKeyboardButton(int scale);
// 2 x (17 x 16): an "i" button.
TImage DrawInfoButton(int scale);
// 2 x (151 x 18): the selector's frame; the toolkit writes the caption at the left.
TImage DrawViewSelector(int scale);

}  // namespace norv::res

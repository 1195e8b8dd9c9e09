// Modal error messages. With a display and an interactive owner window the
// text appears in a dialog with one OK button; otherwise it goes to standard
// error, so a headless process never blocks on it.
#pragma once

#include <string_view>

#include "toolkit/Controls.h"

namespace norv::tk {

// `text` is code page 936. `owner` is the window that owns the dialog; 0 means
// the process is not interactive. Returns true when a dialog was shown.
bool ShowErrorMessage(std::string_view text, WindowId owner);

}  // namespace norv::tk

// The modal message dialog on X11. It opens a display connection of its own,
// so it never reads or disturbs the events of any other connection of the
// process, and it runs its modal loop on that connection alone.
// GUI thread only.
#pragma once

#include <string_view>

#include "toolkit/Controls.h"

namespace norv::tk {

// Shows `utf8Text` in a dialog titled "Norv Keys" with one OK button and
// waits until the user dismisses it: OK, Enter, Escape, space, or closing the
// window. The dialog is transient for the top-level window that holds
// `owner` and centred over it; an owner that is not a window (any more) still
// gets the dialog, centred on the screen. X errors on the dialog's connection
// are caught while it runs, so a bad owner cannot end the process.
// Returns false, having shown nothing, when no display can be opened.
bool RunX11MessageDialog(std::string_view utf8Text, WindowId owner);

}  // namespace norv::tk

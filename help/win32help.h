// The Windows side of the help routing: the HTML Help engine of "hhctrl.ocx", and the chain
// of windows from the focus outwards with the help context each carries.
#pragma once

#include "help/htmlhelp.h"

namespace pelvarn {

// HtmlHelpA, taken from "hhctrl.ocx" at the first call; without it nothing is shown.
THelpEngine& Win32HelpEngine();
// The focused window and its parents (owners, for top-level windows), each with the context
// set by SetWindowContextHelpId.
THelpControls& Win32HelpControls();

} // namespace pelvarn

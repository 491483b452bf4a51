// Console services for the headless front end.
#pragma once

namespace pelvarn {

// Standard output and error pass bytes through unchanged (no LF to CR LF translation),
// so the command-line front end prints the same bytes on every OS.
void UseBinaryStdio();

} // namespace pelvarn

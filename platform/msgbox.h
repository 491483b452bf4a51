// The error box with which the platform layer shows its own failures (error icon, a single OK
// button; on POSIX the text goes to standard error). Tests set a catcher to read the text.
#pragma once

#include <functional>
#include <string>

namespace pelvarn {

// Shows Text and returns when the user has closed the box.
void ErrorBox(const std::string& Text);

using TErrorBoxCatcher = std::function<void(const std::string& Text)>;
// While a catcher is set, ErrorBox hands it the text instead of showing anything. Returns
// the catcher that was set before (empty for none).
TErrorBoxCatcher SetErrorBoxCatcher(TErrorBoxCatcher Catcher);

namespace msgbox_detail {
// The system's own box (or standard error).
void ShowErrorBox(const std::string& Text);
} // namespace msgbox_detail

} // namespace pelvarn

#include "platform/msgbox.h"

#include <utility>

namespace pelvarn {

namespace {

TErrorBoxCatcher& Catcher() {
    static TErrorBoxCatcher catcher;
    return catcher;
}

} // namespace

void ErrorBox(const std::string& Text) {
    if (Catcher())
        Catcher()(Text);
    else
        msgbox_detail::ShowErrorBox(Text);
}

TErrorBoxCatcher SetErrorBoxCatcher(TErrorBoxCatcher Catcher_) {
    return std::exchange(Catcher(), std::move(Catcher_));
}

} // namespace pelvarn

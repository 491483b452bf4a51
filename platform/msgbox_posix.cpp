#include "platform/msgbox.h"

#include <cstdio>

namespace pelvarn::msgbox_detail {

void ShowErrorBox(const std::string& Text) {
    std::fprintf(stderr, "%s\n", Text.c_str());
    std::fflush(stderr);
}

} // namespace pelvarn::msgbox_detail

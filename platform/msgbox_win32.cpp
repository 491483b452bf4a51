#include "platform/msgbox.h"

#include <windows.h>

namespace pelvarn::msgbox_detail {

void ShowErrorBox(const std::string& Text) {
    MessageBoxA(nullptr, Text.c_str(), "Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

} // namespace pelvarn::msgbox_detail

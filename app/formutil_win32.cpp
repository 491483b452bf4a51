#include "app/formutil_win32.h"

#include <utility>

#include "help/htmlhelp.h"

namespace pelvarn {

namespace {

// The context of the message box on screen, for a system that hands the callback none.
int ShownBoxContext = 0;

// The Help button of a message box: the topic of the box's context.
VOID CALLBACK MessageBoxHelp(LPHELPINFO info) {
    try {
        const int context =
            info && info->dwContextId ? static_cast<int>(info->dwContextId) : ShownBoxContext;
        if (context) AppHelp().HelpContext(context);
    } catch (...) {
    }
}

} // namespace

void ShowHelpBox(HWND owner, HINSTANCE instance, const std::string& text, const char* caption,
                 TMsgKind kind, bool withHelp, int helpContext) {
    MSGBOXPARAMSA box{};
    box.cbSize = sizeof box;
    box.hwndOwner = owner;
    box.hInstance = instance;
    box.lpszText = text.c_str();
    box.lpszCaption = caption;
    UINT icon = MB_ICONINFORMATION;
    if (kind == TMsgKind::Warning) icon = MB_ICONWARNING;
    if (kind == TMsgKind::Error) icon = MB_ICONERROR;
    box.dwStyle = MB_OK | icon | (withHelp ? MB_HELP : 0);
    box.dwContextHelpId = static_cast<DWORD_PTR>(helpContext);
    box.lpfnMsgBoxCallback = MessageBoxHelp;
    box.dwLanguageId = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
    const int outer = std::exchange(ShownBoxContext, helpContext);
    MessageBoxIndirectA(&box);
    ShownBoxContext = outer;
}

} // namespace pelvarn

// pelvarn.exe: start-up of the GUI program. Takes the environment snapshot, creates the one
// main window "TForm1" with its run logic, and runs the message loop until it closes.
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <exception>

#include "app/form1.h"
#include "app/mainwindow_win32.h"
#include "base/paths.h"
#include "help/win32help.h"
#include "platform/xwutil.h"

namespace {

std::string ExePath() {
    char buffer[MAX_PATH * 4] = {};
    DWORD got = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    return std::string(buffer, got < sizeof buffer ? got : 0);
}

// The seed of the program's generator: the time of day (UTC) in milliseconds.
std::uint32_t UtcMillisecondsOfDay() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return ((static_cast<std::uint32_t>(now.wHour) * 60 + now.wMinute) * 60 + now.wSecond) * 1000u +
           now.wMilliseconds;
}

int Run(HINSTANCE instance, int showCmd) {
    using namespace pelvarn;
    InitXwUtil();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    if (!TMainWindow::RegisterWindowClass(instance)) return 1;
    TMainWindow window(instance);
    if (!window.Create()) return 1;
    // The help file is the program's own path with the extension ".chm"; the routing stays
    // installed until the main window has gone, and closes the help windows at the end.
    AppHelp().HelpFile = ChangeFileExt(ExePath(), ".chm");
    THelpRouting help(AppHelp(), Win32HelpEngine(), Win32HelpControls());
    struct TCloseHelp {
        ~TCloseHelp() { AppHelp().HelpCommand(HelpCommandQuit, {}); }
    } closeHelp;
    TForm1 form(window, SystemProcessRunner(), DefaultJobCommand(), FileFolder(ExePath()));
    window.Attach(form);
    window.Guard([&] { form.FormCreate(UtcMillisecondsOfDay()); });
    window.ShowCentred(showCmd);
    return window.RunMessageLoop();
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCmd) {
    try {
        return Run(instance, showCmd);
    } catch (const std::exception& e) {
        MessageBoxA(nullptr, e.what(), pelvarn::ApplicationTitle, MB_OK | MB_ICONERROR);
    } catch (...) {
        MessageBoxA(nullptr, "Unexpected error", pelvarn::ApplicationTitle, MB_OK | MB_ICONERROR);
    }
    return 1;
}

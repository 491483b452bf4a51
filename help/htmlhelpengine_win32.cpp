#include <windows.h>

#include "help/win32help.h"

namespace pelvarn {

namespace {

class TWin32HelpEngine : public THelpEngine {
  public:
    void HtmlHelp(THhCommand command, const std::string& file, std::uint32_t number,
                  const std::string& keyword) override {
        using THtmlHelpA = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
        static const THtmlHelpA htmlHelp = [] {
            HMODULE lib = LoadLibraryA("hhctrl.ocx");
            return lib ? reinterpret_cast<THtmlHelpA>(
                             reinterpret_cast<void*>(GetProcAddress(lib, "HtmlHelpA")))
                       : nullptr;
        }();
        if (!htmlHelp) return;
        const DWORD_PTR data = command == THhCommand::DisplayIndex
                                   ? reinterpret_cast<DWORD_PTR>(keyword.c_str())
                                   : static_cast<DWORD_PTR>(number);
        htmlHelp(nullptr, command == THhCommand::CloseAll ? nullptr : file.c_str(),
                 static_cast<UINT>(command), data);
    }
};

class TWin32HelpControls : public THelpControls {
  public:
    std::vector<THelpControl> ActiveChain() override {
        std::vector<THelpControl> chain;
        for (HWND wnd = GetFocus(); wnd && chain.size() < 64; wnd = GetParent(wnd)) {
            THelpControl control;
            control.Context = static_cast<int>(GetWindowContextHelpId(wnd));
            RECT frame{};
            GetWindowRect(wnd, &frame);
            control.Left = frame.left;
            control.Top = frame.top;
            chain.push_back(control);
        }
        return chain;
    }
};

} // namespace

THelpEngine& Win32HelpEngine() {
    static TWin32HelpEngine engine;
    return engine;
}

THelpControls& Win32HelpControls() {
    static TWin32HelpControls controls;
    return controls;
}

} // namespace pelvarn

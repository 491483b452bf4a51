// The Win32 main window: layout, messages, the view operations and the early tick.
#include "app/mainwindow_win32.h"

#include <commctrl.h>
#include <commdlg.h>

#include <utility>
#include <vector>

#include "app/aboutbox_win32.h"
#include "app/formutil_win32.h"
#include "app/menuids.h"
#include "base/paths.h"
#include "help/htmlhelp.h"
#include "platform/xwutil.h"
#include "resids.h"

namespace pelvarn {

namespace {

constexpr UINT_PTR JobTimerId = 1;
constexpr int DefaultTimerIntervalMs = 500;
// Posted by the registered wait when the job's process ends; wParam is the wait's generation.
constexpr UINT WmJobEnded = WM_APP + 1;

// Child-window ids: above IDOK/IDCANCEL, which the dialog keyboard handling sends for Enter
// and Esc, and below the menu command ids.
constexpr int FirstControlId = 100;
constexpr int FirstOrderRadioId = 200;
constexpr int FirstIncludeRadioId = 210;

// Group boxes take their caption's height at the top; the items share the rest evenly.
constexpr int GroupCaptionHeight = 14;

enum class TKind { Label, Button, GlyphButton, Memo, Group, CheckBox, Picture };

struct TControlSpec {
    TControlId Id;
    TKind Kind;
    const char* Caption;
    int Left, Top, Width, Height;
    DWORD Extra; // additional window styles
};

// Created in the keyboard focus order: the z-order is the order in which Tab moves.
// Labels and the picture are no tab stops and follow.
constexpr TControlSpec Layout[] = {
    {TControlId::StartBtn, TKind::GlyphButton, "START", 2, 310, 75, 21, 0},
    {TControlId::Memo1, TKind::Memo, "", 2, 91, 356, 214, 0},
    {TControlId::OrderRadioGroup, TKind::Group, " Substitution order ", 369, 71, 176, 85, 0},
    {TControlId::IncludeRadioGroup, TKind::Group, " Include substitutions ", 369, 3, 176, 65, 0},
    {TControlId::PauseBtn, TKind::GlyphButton, "PAUSE", 81, 310, 75, 21, 0},
    {TControlId::RESTARTBtn, TKind::GlyphButton, "RESUME", 161, 310, 85, 21, 0},
    {TControlId::StayOnTopCheckBox, TKind::CheckBox, "Stay on top", 378, 161, 156, 17, 0},
    {TControlId::RunMinimizedCheckBox, TKind::CheckBox, "Run model minimized", 378, 185, 156, 17,
     0},
    {TControlId::BatchBtn, TKind::Button, "Change", 299, 0, 57, 19, 0},
    {TControlId::HelpBtn, TKind::GlyphButton, "HELP", 485, 310, 59, 21, 0},
    {TControlId::CopyLogBtn, TKind::GlyphButton, "COPY LOG", 251, 310, 94, 21, 0},
    {TControlId::BatchLabel, TKind::Label, "Batch file:", 1, 0, 296, 15, SS_RIGHT},
    {TControlId::JobLabel, TKind::Label, "", 2, 15, 366, 15, SS_LEFTNOWORDWRAP},
    {TControlId::BestJobLabel, TKind::Label, "", 2, 28, 366, 15, SS_LEFTNOWORDWRAP},
    {TControlId::WorstJobLabel, TKind::Label, "", 2, 43, 366, 16, SS_LEFTNOWORDWRAP},
    {TControlId::InitialTimeLabel, TKind::Label, "", 2, 58, 366, 15, SS_LEFTNOWORDWRAP},
    {TControlId::InfoLabel, TKind::Label, "", 370, 213, 175, 35, SS_LEFT},
    {TControlId::Image1, TKind::Picture, "", 433, 298, 32, 32, 0},
};

constexpr const char* OrderItemCaptions[] = {"Order unchanged ", "Exchange random pair",
                                             "Complete shuffle"};
constexpr const char* IncludeItemCaptions[] = {"Leave unchanged", "Alter one at a time"};
constexpr int OrderItemSelected = 2;
constexpr int IncludeItemSelected = 0;
constexpr const char* OrderHint = "Controls the order in which substitutions are performed";
constexpr const char* IncludeHint = "Controls which substitutions are performed";

// Glyph strip order in the resource: START, PAUSE, RESUME, COPY LOG, HELP.
int GlyphIndex(TControlId id) {
    switch (id) {
    case TControlId::StartBtn:
        return 0;
    case TControlId::PauseBtn:
        return 1;
    case TControlId::RESTARTBtn:
        return 2;
    case TControlId::CopyLogBtn:
        return 3;
    case TControlId::HelpBtn:
        return 4;
    default:
        return -1;
    }
}

// Memo1 keeps the keys it needs for reading (arrows, page keys, Ctrl+C), but Tab and
// Shift+Tab move the focus on, as everywhere else in the window.
LRESULT CALLBACK MemoKeys(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    try {
        if (msg == WM_GETDLGCODE) {
            LRESULT code = DefSubclassProc(wnd, msg, wParam, lParam);
            const MSG* key = reinterpret_cast<const MSG*>(lParam);
            if (key && key->message == WM_KEYDOWN && key->wParam == VK_TAB)
                code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB);
            return code;
        }
        if (msg == WM_NCDESTROY) RemoveWindowSubclass(wnd, MemoKeys, 0);
    } catch (...) {
    }
    return DefSubclassProc(wnd, msg, wParam, lParam);
}

// "name|pattern|name|pattern" as the NUL-separated, doubly terminated list of the dialog.
std::string DialogFilter(const std::string& filter) {
    std::string result = filter;
    for (char& c : result)
        if (c == '|') c = '\0';
    result.push_back('\0');
    result.push_back('\0');
    return result;
}

} // namespace

TMainWindow::TMainWindow(HINSTANCE instance) : Instance(instance) {
    char value[8] = {};
    DWORD got = GetEnvironmentVariableA("PELVARN_NO_EARLY_TICK", value, sizeof value);
    EarlyTickWanted = !(got == 1 && value[0] == '1');
}

TMainWindow::~TMainWindow() {
    DisarmEarlyTick();
    if (Wnd) DestroyWindow(Wnd);
    for (HIMAGELIST& list : Glyphs) {
        if (list) ImageList_Destroy(list);
        list = nullptr;
    }
}

bool TMainWindow::RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PELVARN));
    wc.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_PELVARN), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = MainWindowClassName;
    return RegisterClassExA(&wc) != 0;
}

bool TMainWindow::Create() {
    HDC screen = GetDC(nullptr);
    if (screen) {
        Dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    if (Dpi <= 0) Dpi = 96;

    HMENU bar = CreateMenu();
    if (bar) AppendMenuA(bar, MF_STRING, IdmOvernight, "&Overnight search...");
    if (bar) AppendMenuA(bar, MF_STRING, IdmQuit, "Quit");
    ToolsMenu.Reset(CreatePopupMenu());
    if (ToolsMenu.Get()) {
        AppendMenuA(ToolsMenu.Get(), MF_STRING, IdmMoveCondensations,
                    "Move Condensations to end of  KSX file");
        AppendMenuA(ToolsMenu.Get(), MF_STRING, IdmMakeInitialSti,
                    "Make Initial.STI file from KSX file");
    }

    // The designed client area; FormCreate cuts it down.
    // No WS_CLIPCHILDREN: group boxes leave their inside to the parent's painting.
    const DWORD style = WS_OVERLAPPEDWINDOW;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    RECT frame{0, 0, Scale(814), Scale(507)};
    AdjustWindowRectEx(&frame, style, TRUE, exStyle);
    HWND wnd = CreateWindowExA(exStyle, MainWindowClassName, " Pelvarn", style, CW_USEDEFAULT,
                               CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                               nullptr, bar, Instance, this);
    if (!wnd) {
        if (bar) DestroyMenu(bar);
        return false;
    }
    return true;
}

void TMainWindow::CreateControls() {
    Font.Reset(CreateFontA(-Scale(12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_SWISS, "Arial"));
    Picture.Reset(static_cast<HBITMAP>(LoadImageA(Instance, MAKEINTRESOURCEA(IDB_PICTURE),
                                                  IMAGE_BITMAP, Scale(32), Scale(32), 0)));

    auto make = [&](const char* cls, const char* text, DWORD style, DWORD exStyle, int left,
                    int top, int width, int height, int id) {
        HWND child =
            CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, Scale(left),
                            Scale(top), Scale(width), Scale(height), Wnd,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance, nullptr);
        if (child && Font.Get())
            SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(Font.Get()), FALSE);
        return child;
    };

    for (const TControlSpec& c : Layout) {
        const int id = FirstControlId + static_cast<int>(c.Id);
        HWND child = nullptr;
        switch (c.Kind) {
        case TKind::Label:
            child = make("STATIC", c.Caption, SS_NOPREFIX | c.Extra, 0, c.Left, c.Top, c.Width,
                         c.Height, id);
            break;
        case TKind::Button:
        case TKind::GlyphButton:
            child = make("BUTTON", c.Caption, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, c.Left,
                         c.Top, c.Width, c.Height, id);
            break;
        case TKind::CheckBox:
            child = make("BUTTON", c.Caption, BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 0, c.Left,
                         c.Top, c.Width, c.Height, id);
            break;
        case TKind::Memo:
            child = make("EDIT", "",
                         ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_NOHIDESEL | WS_VSCROLL |
                             WS_TABSTOP | WS_GROUP,
                         WS_EX_CLIENTEDGE, c.Left, c.Top, c.Width, c.Height, id);
            // The log of a long run outgrows the default limit of an edit control.
            if (child) {
                SendMessageA(child, EM_SETLIMITTEXT, 0, 0);
                SetWindowSubclass(child, MemoKeys, 0, 0);
            }
            break;
        case TKind::Picture:
            child = make("STATIC", "", SS_BITMAP | SS_NOTIFY | SS_CENTERIMAGE, 0, c.Left, c.Top,
                         c.Width, c.Height, id);
            if (child && Picture.Get())
                SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP,
                             reinterpret_cast<LPARAM>(Picture.Get()));
            // SS_BITMAP sizes the control to the image; keep the designed box.
            if (child)
                SetWindowPos(child, nullptr, Scale(c.Left), Scale(c.Top), Scale(c.Width),
                             Scale(c.Height), SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        case TKind::Group: {
            child = make("BUTTON", c.Caption, BS_GROUPBOX | WS_GROUP, 0, c.Left, c.Top, c.Width,
                         c.Height, id);
            const bool order = c.Id == TControlId::OrderRadioGroup;
            const size_t count = order ? OrderItems : IncludeItems;
            const int selected = order ? OrderItemSelected : IncludeItemSelected;
            const int room = c.Height - GroupCaptionHeight - 5;
            const int itemHeight = room / static_cast<int>(count);
            const int topMargin = GroupCaptionHeight + 1 + (room % static_cast<int>(count)) / 2;
            for (size_t i = 0; i < count; ++i) {
                const DWORD first = i == 0 ? (WS_GROUP | WS_TABSTOP) : 0;
                HWND item = make(
                    "BUTTON", order ? OrderItemCaptions[i] : IncludeItemCaptions[i],
                    BS_AUTORADIOBUTTON | first, 0, c.Left + 8,
                    c.Top + topMargin + static_cast<int>(i) * itemHeight, c.Width - 16, itemHeight,
                    (order ? FirstOrderRadioId : FirstIncludeRadioId) + static_cast<int>(i));
                if (item && static_cast<int>(i) == selected)
                    SendMessageA(item, BM_SETCHECK, BST_CHECKED, 0);
                (order ? OrderRadios[i] : IncludeRadios[i]) = item;
            }
            break;
        }
        }
        Controls[static_cast<size_t>(c.Id)] = child;
    }
    CreateGlyphs();
    CreateHints();
}

void TMainWindow::CreateGlyphs() {
    const int size = Scale(16);
    const int count = 10; // five glyphs, each normal then disabled
    TBitmapHandle strip(static_cast<HBITMAP>(
        LoadImageA(Instance, MAKEINTRESOURCEA(IDB_GLYPHS), IMAGE_BITMAP, size * count, size, 0)));
    if (!strip.Get()) return;
    HDC screen = GetDC(nullptr);
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    HGDIOBJ oldFrom = SelectObject(from, strip.Get());
    for (const TControlSpec& c : Layout) {
        const int glyph = GlyphIndex(c.Id);
        if (c.Kind != TKind::GlyphButton || glyph < 0) continue;
        // One image per button state: normal, hot, pressed, disabled, defaulted, stylus-hot.
        TBitmapHandle states(CreateCompatibleBitmap(screen, size * 6, size));
        if (!states.Get()) continue;
        HGDIOBJ oldTo = SelectObject(to, states.Get());
        for (int state = 0; state < 6; ++state) {
            const int source = 2 * glyph + (state == 3 ? 1 : 0);
            BitBlt(to, state * size, 0, size, size, from, source * size, 0, SRCCOPY);
        }
        SelectObject(to, oldTo);
        HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 6, 0);
        if (!list) continue;
        ImageList_AddMasked(list, states.Get(), RGB(255, 0, 255));
        BUTTON_IMAGELIST image{};
        image.himl = list;
        image.margin = RECT{Scale(3), 0, 0, 0};
        image.uAlign = BUTTON_IMAGELIST_ALIGN_LEFT;
        HWND button = Control(c.Id);
        if (button && SendMessageA(button, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&image)))
            Glyphs[static_cast<size_t>(glyph)] = list;
        else
            ImageList_Destroy(list);
    }
    SelectObject(from, oldFrom);
    DeleteDC(to);
    DeleteDC(from);
    ReleaseDC(nullptr, screen);
}

void TMainWindow::CreateHints() {
    Tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Wnd,
                              nullptr, Instance, nullptr);
    if (!Tooltip) return;
    SendMessageA(Tooltip, TTM_SETMAXTIPWIDTH, 0, Scale(400));
    auto addTool = [&](HWND tool, const char* text, const RECT* area, UINT_PTR id) {
        TTTOOLINFOA info{};
        info.cbSize = sizeof info;
        info.hwnd = Wnd;
        info.lpszText = const_cast<char*>(text);
        if (area) {
            info.uFlags = TTF_SUBCLASS;
            info.uId = id;
            info.rect = *area;
        } else {
            info.uFlags = TTF_SUBCLASS | TTF_IDISHWND;
            info.uId = reinterpret_cast<UINT_PTR>(tool);
        }
        SendMessageA(Tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
    };
    // A group box lets the mouse through to its parent: its frame is a rectangle of the
    // main window; its items are tools of their own.
    for (TControlId group : {TControlId::IncludeRadioGroup, TControlId::OrderRadioGroup}) {
        const bool order = group == TControlId::OrderRadioGroup;
        const char* hint = order ? OrderHint : IncludeHint;
        HWND box = Control(group);
        if (box) {
            RECT area;
            GetWindowRect(box, &area);
            MapWindowPoints(nullptr, Wnd, reinterpret_cast<POINT*>(&area), 2);
            addTool(nullptr, hint, &area, static_cast<UINT_PTR>(group) + 1);
        }
        if (order) {
            for (HWND item : OrderRadios)
                if (item) addTool(item, hint, nullptr, 0);
        } else {
            for (HWND item : IncludeRadios)
                if (item) addTool(item, hint, nullptr, 0);
        }
    }
}

void TMainWindow::ShowCentred(int showCmd) {
    RECT frame;
    GetWindowRect(Wnd, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(Wnd, nullptr, left > 0 ? left : 0, top > 0 ? top : 0, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(Wnd, showCmd);
    UpdateWindow(Wnd);
}

int TMainWindow::RunMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (Wnd && IsDialogMessageA(Wnd, &msg)) continue;
        if (Overnight && Overnight->Handle() && IsDialogMessageA(Overnight->Handle(), &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK TMainWindow::WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return RouteToOwner(wnd, msg, wParam, lParam, &TMainWindow::Wnd, &TMainWindow::HandleMessage);
}

LRESULT TMainWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND wnd = Wnd;
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == JobTimerId) {
            if (TimerOn) RunTick();
            return 0;
        }
        break;
    case WmJobEnded:
        // A tick brought forward; a message from an earlier wait, or one arriving while
        // the timer is off, is dropped.
        if (static_cast<UINT>(wParam) == WaitGeneration && WaitHandle) {
            DisarmEarlyTick();
            if (TimerOn) RunTick();
        }
        return 0;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == Control(TControlId::Image1)) {
            SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649))); // IDC_HAND
            return TRUE;
        }
        break;
    case WM_HELP: {
        // F1: the topic of the control that carries a help context; none of the main
        // window's controls does, but a window made to carry one is served.
        const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
        if (info && info->iContextType == HELPINFO_WINDOW && info->dwContextId)
            AppHelp().HelpContext(static_cast<int>(info->dwContextId));
        return TRUE;
    }
    case WM_CLOSE:
        // A running overnight search is asked first; it may quit the program later itself.
        if (Overnight && !Overnight->QueryQuit()) return 0;
        DestroyWindow(wnd);
        return 0;
    case WM_DESTROY:
        // A job still running is left running.
        KillTimer(wnd, JobTimerId);
        TimerOn = false;
        DisarmEarlyTick();
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
        Wnd = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

void TMainWindow::OnCommand(int id, int code, HWND control) {
    if (!Form) return;
    TForm1& f = *Form;
    if (!control) {
        // Menu commands (code 0) and accelerators (code 1).
        switch (id) {
        case IdmQuit:
            Guard([&] { f.Quit1Click(); });
            break;
        case IdmOvernight:
            Guard([&] { ShowOvernight(); });
            break;
        case IdmMoveCondensations:
            Guard([&] { f.MoveCondensationsClick(); });
            break;
        case IdmMakeInitialSti:
            Guard([&] { f.MakeInitialSTIClick(); });
            break;
        default:
            break;
        }
        return;
    }
    if (id == FirstControlId + static_cast<int>(TControlId::Image1)) {
        if (code == STN_CLICKED) Guard([&] { f.Image1Click(); });
        return;
    }
    if (code != BN_CLICKED) return;
    switch (static_cast<TControlId>(id - FirstControlId)) {
    case TControlId::StartBtn:
        Guard([&] { f.StartBtnClick(); });
        break;
    case TControlId::PauseBtn:
        Guard([&] { f.PauseBtnClick(); });
        break;
    case TControlId::RESTARTBtn:
        Guard([&] { f.RESTARTBtnClick(); });
        break;
    case TControlId::BatchBtn:
        Guard([&] { f.BatchBtnClick(); });
        break;
    case TControlId::CopyLogBtn:
        Guard([&] { f.CopyLogBtnClick(); });
        break;
    case TControlId::HelpBtn:
        Guard([&] { f.HelpBtnClick(); });
        break;
    default:
        break;
    }
}

void TMainWindow::ShowOvernight() {
    if (!Overnight) {
        search::TSearchCommand command;
        command.Interpreter = Form->Command.Interpreter;
        command.BatchFileName = Form->Command.BatchFileName;
        std::string params = Form->Command.ParamsPrefix;
        for (std::size_t at = 0; at < params.size();) {
            const std::size_t end = std::min(params.find(' ', at), params.size());
            if (end > at) command.Params.push_back(params.substr(at, end - at));
            at = end + 1;
        }
        Overnight = std::make_unique<TOvernightWindow>(Instance, Wnd, command);
    }
    Overnight->Show(Form->JobFolder);
}

void TMainWindow::RunTick() {
    if (Form) Guard([&] { Form->DosJobTimerTimer(); });
}

void TMainWindow::ShowErrorText(const std::string& text) noexcept {
    try {
        MessageBoxA(Wnd, text.c_str(), ApplicationTitle, MB_OK | MB_ICONERROR);
    } catch (...) {
    }
}

// ---- the early tick

VOID CALLBACK TMainWindow::JobEndedCallback(PVOID context, BOOLEAN timedOut) {
    // On a thread of the system's pool: only post. The fields read here are written only
    // while no wait is registered.
    auto* self = static_cast<TMainWindow*>(context);
    if (!timedOut && self->Wnd) PostMessageA(self->Wnd, WmJobEnded, self->WaitGeneration, 0);
}

void TMainWindow::ArmEarlyTick() {
    DisarmEarlyTick();
    if (!EarlyTickWanted || !Form || !Wnd || !Form->JobProcess.hProcess) return;
    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), static_cast<HANDLE>(Form->JobProcess.hProcess),
                         GetCurrentProcess(), &duplicate, SYNCHRONIZE, FALSE, 0))
        return; // the timer alone still sees the job's end
    ++WaitGeneration;
    HANDLE wait = nullptr;
    if (!RegisterWaitForSingleObject(&wait, duplicate, JobEndedCallback, this, INFINITE,
                                     WT_EXECUTEONLYONCE)) {
        CloseHandle(duplicate);
        return;
    }
    WaitHandle = wait;
    WaitProcess = duplicate;
}

void TMainWindow::DisarmEarlyTick() {
    if (WaitHandle) {
        // Waits for a callback in progress, so none runs after this.
        UnregisterWaitEx(WaitHandle, INVALID_HANDLE_VALUE);
        WaitHandle = nullptr;
    }
    if (WaitProcess) {
        CloseHandle(WaitProcess);
        WaitProcess = nullptr;
    }
}

// ---- TForm1View

void TMainWindow::SetCaption(TControlId id, const std::string& text) {
    if (HWND wnd = Control(id)) SetWindowTextA(wnd, text.c_str());
}

std::string TMainWindow::GetCaption(TControlId id) {
    HWND wnd = Control(id);
    return wnd ? WindowText(wnd) : std::string();
}

void TMainWindow::SetEnabled(TControlId id, bool enabled) {
    HWND wnd = Control(id);
    if (!wnd) return;
    std::vector<HWND> windows{wnd};
    if (id == TControlId::OrderRadioGroup)
        windows.insert(windows.end(), OrderRadios.begin(), OrderRadios.end());
    if (id == TControlId::IncludeRadioGroup)
        windows.insert(windows.end(), IncludeRadios.begin(), IncludeRadios.end());
    for (HWND w : windows) {
        if (!w) continue;
        // A control losing its enabled state while it has the focus hands the focus on, so
        // the keyboard keeps working (START disables itself when the run starts).
        if (!enabled && GetFocus() == w) {
            HWND next = GetNextDlgTabItem(Wnd, w, FALSE);
            SetFocus(next && next != w ? next : Wnd);
        }
        EnableWindow(w, enabled ? TRUE : FALSE);
    }
}

bool TMainWindow::IsEnabled(TControlId id) {
    HWND wnd = Control(id);
    return wnd && IsWindowEnabled(wnd);
}

int TMainWindow::GetRadioIndex(TControlId group) {
    auto find = [](const auto& items) {
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i] && SendMessageA(items[i], BM_GETCHECK, 0, 0) == BST_CHECKED)
                return static_cast<int>(i);
        return -1;
    };
    if (group == TControlId::OrderRadioGroup) return find(OrderRadios);
    if (group == TControlId::IncludeRadioGroup) return find(IncludeRadios);
    return -1;
}

bool TMainWindow::IsChecked(TControlId box) {
    HWND wnd = Control(box);
    return wnd && SendMessageA(wnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TMainWindow::ClearLog() {
    SetCaption(TControlId::Memo1, "");
}

void TMainWindow::AppendLog(const std::string& line) {
    HWND memo = Control(TControlId::Memo1);
    if (!memo) return;
    const std::string added = line + "\r\n";
    const LRESULT end = SendMessageA(memo, WM_GETTEXTLENGTH, 0, 0);
    SendMessageA(memo, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
    SendMessageA(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(added.c_str()));
    SendMessageA(memo, EM_SCROLLCARET, 0, 0);
}

void TMainWindow::CopyLogToClipboard() {
    HWND memo = Control(TControlId::Memo1);
    if (!memo) return;
    SendMessageA(memo, EM_SETSEL, 0, -1);
    SendMessageA(memo, WM_COPY, 0, 0);
}

void TMainWindow::SetTimerEnabled(bool enabled) {
    if (enabled) {
        // DosJobTimer ticks at the interval that the run logic counts per tick.
        const int interval =
            Form && Form->TimerIntervalMs > 0 ? Form->TimerIntervalMs : DefaultTimerIntervalMs;
        if (!TimerOn && Wnd)
            TimerOn = SetTimer(Wnd, JobTimerId, static_cast<UINT>(interval), nullptr) != 0;
        // Enabled after a launch: watch the job just started.
        if (TimerOn) ArmEarlyTick();
    } else {
        if (TimerOn && Wnd) KillTimer(Wnd, JobTimerId);
        TimerOn = false;
        DisarmEarlyTick();
    }
}

void TMainWindow::ShowMessage(const std::string& text, TMsgKind kind, TMsgButtons buttons,
                              int helpContext) {
    ShowHelpBox(Wnd, Instance, text, ApplicationTitle, kind, buttons == TMsgButtons::OkHelp,
                helpContext);
}

bool TMainWindow::ChooseFile(const std::string& fileName, const std::string& filter,
                             std::string& chosenPath) {
    std::vector<char> file(32768, '\0');
    fileName.copy(file.data(), file.size() - 1);
    const std::string filterList = DialogFilter(filter);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Wnd;
    dialog.hInstance = Instance;
    dialog.lpstrFilter = filterList.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = " Choose a file named PELVRN.BAT";
    // Given no folder of its own, the dialog opens in the current folder (not in the one the
    // system remembers). The current folder is left alone (OFN_NOCHANGEDIR), so the program
    // never holds the chosen folder open and every dialog opens in the start-up folder.
    const std::string initialDir = DialogInitialFolder("");
    dialog.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
    dialog.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_EXPLORER |
                   OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameA(&dialog)) return false;
    chosenPath = file.data();
    return true;
}

void TMainWindow::BringToFront() {
    if (!Wnd) return;
    SetForegroundWindow(Wnd);
    BringWindowToTop(Wnd);
}

void TMainWindow::SetClientSize(int width, int height) {
    if (!Wnd) return;
    RECT frame{0, 0, Scale(width), Scale(height)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(Wnd, GWL_STYLE)), TRUE,
                       static_cast<DWORD>(GetWindowLongPtrA(Wnd, GWL_EXSTYLE)));
    SetWindowPos(Wnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar that wraps onto a second line takes client height: correct once.
    RECT client;
    GetClientRect(Wnd, &client);
    const int missing = Scale(height) - (client.bottom - client.top);
    if (missing != 0) {
        GetWindowRect(Wnd, &frame);
        SetWindowPos(Wnd, nullptr, 0, 0, frame.right - frame.left,
                     frame.bottom - frame.top + missing,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TMainWindow::ShowAbout() {
    HICON icon = LoadIconA(Instance, MAKEINTRESOURCEA(IDI_PELVARN));
    ShowAboutBox(Instance, Wnd, icon, "Pelvarn", "", 1.02f, "", "", nullptr, HcAbout, false,
                 [](int context) { AppHelp().HelpContext(context); });
}

void TMainWindow::ShowHelpContents() {
    AppHelp().HelpShowTableOfContents();
}

void TMainWindow::Close() {
    // Posted: the window must outlive the handler that asks for the close.
    if (Wnd) PostMessageA(Wnd, WM_CLOSE, 0, 0);
}

} // namespace pelvarn

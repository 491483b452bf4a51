#include "app/overnightform_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <exception>
#include <thread>
#include <utility>

#include "app/formutil_win32.h"
#include "app/overnightids.h"
#include "help/htmlhelp.h"
#include "platform/KVRegKey.h"
#include "platform/workarea.h"
#include "platform/xwutil.h"
#include "resids.h"
#include "search/plot.h"

namespace pelvarn {

namespace {

constexpr UINT WmSearchReport = WM_APP + 21; // the search's thread has posted reports
const char* const SettingsKey = "Software\\Pelvarn\\Overnight";
const char* const Title = "Pelvarn";

// The client area as laid out at 96 dpi, and the least it may shrink to.
constexpr int DesignWidth = 860, DesignHeight = 620;
constexpr int MinWidth = 700, MinHeight = 460;

int IdOf(TOvernightControl c) {
    return IdcOvernightFirst + static_cast<int>(c);
}

} // namespace

TOvernightWindow::TOvernightWindow(HINSTANCE instance, HWND owner, search::TSearchCommand command)
    : Instance(instance), Owner(owner), Form(*this, command, ProcessEvaluatorFactory(command),
                                             std::max(1u, std::thread::hardware_concurrency())) {}

TOvernightWindow::~TOvernightWindow() {
    WakeTarget = nullptr;
    if (Wnd) {
        SetWindowLongPtrA(Wnd, GWLP_USERDATA, 0);
        DestroyWindow(Wnd);
    }
    if (Font) DeleteObject(Font);
}

template <typename F> void TOvernightWindow::Guard(F&& handler) noexcept {
    try {
        handler();
    } catch (const std::exception& e) {
        try {
            ShowMessage(e.what(), TMsgKind::Error, 0);
        } catch (...) {
        }
    } catch (...) {
        MessageBoxA(Wnd, "Unexpected error", Title, MB_OK | MB_ICONERROR);
    }
}

bool TOvernightWindow::Create() {
    WNDCLASSEXA wc{};
    if (!GetClassInfoExA(Instance, OvernightWindowClassName, &wc)) {
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = Instance;
        wc.hIcon = LoadIconA(Instance, MAKEINTRESOURCEA(IDI_PELVARN));
        wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = OvernightWindowClassName;
        if (!RegisterClassExA(&wc)) return false;
    }
    if (!TPlotView::RegisterWindowClass(Instance)) return false;
    HDC screen = GetDC(nullptr);
    if (screen) {
        Dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    if (Dpi <= 0) Dpi = 96;
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    RECT frame{0, 0, Scale(DesignWidth), Scale(DesignHeight)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    // No larger than the work area of the main window's monitor.
    const TArea work = GetWorkArea(Owner);
    const int width = std::min<int>(frame.right - frame.left, work.Width);
    const int height = std::min<int>(frame.bottom - frame.top, work.Height);
    HWND wnd = CreateWindowExA(exStyle, OvernightWindowClassName, " Overnight search", style,
                               CW_USEDEFAULT, CW_USEDEFAULT, width, height, Owner, nullptr,
                               Instance, this);
    if (!wnd) return false;
    CenterOnMainForm(wnd, Owner);
    return true;
}

void TOvernightWindow::CreateControls() {
    Font = CreateFontA(-Scale(12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, "Arial");
    auto make = [&](DWORD exStyle, const char* cls, const char* text, DWORD style, int id) {
        HWND h =
            CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, Wnd,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance, nullptr);
        if (h && Font) SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
        return h;
    };
    auto label = [&](const char* text) {
        Labels.push_back(make(0, "STATIC", text, SS_LEFT | SS_CENTERIMAGE, -1));
    };
    auto set = [&](TOvernightControl c, HWND h) { Controls[static_cast<size_t>(c)] = h; };
    const DWORD edit = WS_TABSTOP | ES_AUTOHSCROLL;
    using C = TOvernightControl;
    set(C::FolderLabel, make(0, "STATIC", "", SS_LEFT | SS_PATHELLIPSIS, IdOf(C::FolderLabel)));
    label("Strategy:");
    set(C::Strategy,
        make(0, "COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, IdOf(C::Strategy)));
    for (search::TStrategy s : OvernightStrategies())
        SendMessageA(Control(C::Strategy), CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(search::StrategyName(s).c_str()));
    label("Jobs at once:");
    set(C::JobsAtOnce, make(WS_EX_CLIENTEDGE, "EDIT", "", edit, IdOf(C::JobsAtOnce)));
    label("Stop after hours:");
    set(C::StopHours, make(WS_EX_CLIENTEDGE, "EDIT", "", edit, IdOf(C::StopHours)));
    label("Stop after jobs:");
    set(C::StopJobs, make(WS_EX_CLIENTEDGE, "EDIT", "", edit, IdOf(C::StopJobs)));
    label("End a job slower than (x best):");
    set(C::Cap, make(WS_EX_CLIENTEDGE, "EDIT", "", edit, IdOf(C::Cap)));
    label("Time the best again (times):");
    set(C::Verify, make(WS_EX_CLIENTEDGE, "EDIT", "", edit, IdOf(C::Verify)));
    set(C::SkipFailed,
        make(0, "BUTTON", "Skip failed jobs", WS_TABSTOP | BS_AUTOCHECKBOX, IdOf(C::SkipFailed)));
    set(C::ShowJobWindows, make(0, "BUTTON", "Show job windows", WS_TABSTOP | BS_AUTOCHECKBOX,
                                IdOf(C::ShowJobWindows)));
    label("Launcher:");
    set(C::Launcher, make(WS_EX_CLIENTEDGE, "EDIT", "", edit, IdOf(C::Launcher)));
    const std::pair<C, const char*> buttons[] = {
        {C::StartBtn, "&Start"},        {C::StopBtn, "&Stop"},          {C::ResumeBtn, "&Resume"},
        {C::ReportBtn, "Open &report"}, {C::FolderBtn, "Open &folder"}, {C::HelpBtn, "&Help"},
        {C::CloseBtn, "&Close"}};
    for (const auto& [c, caption] : buttons)
        set(c, make(0, "BUTTON", caption, WS_TABSTOP | BS_PUSHBUTTON, IdOf(c)));
    Progress = make(0, PROGRESS_CLASSA, "", 0, IdcOvernightProgress);
    SendMessageA(Progress, PBM_SETRANGE32, 0, 1000);
    set(C::StatusLabel, make(0, "STATIC", "", SS_LEFT | SS_ENDELLIPSIS, IdOf(C::StatusLabel)));
    Plot.Create(Instance, Wnd, IdcOvernightPlot);
    JobList =
        make(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
             WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, IdcOvernightJobList);
    SendMessageA(JobList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    const std::pair<const char*, int> columns[] = {{"Job", 60},    {"Worker", 66},
                                                   {"Status", 56}, {"Seconds", 64},
                                                   {"Wall", 52},   {"Change", 260}};
    int index = 0;
    for (const auto& [name, width] : columns) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = index == 0 || index >= 5 ? LVCFMT_LEFT : LVCFMT_RIGHT;
        column.cx = Scale(width);
        column.pszText = const_cast<char*>(name);
        SendMessageA(JobList, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index++),
                     reinterpret_cast<LPARAM>(&column));
    }
}

// Options above, in three rows; the buttons, the progress bar and the status line; then the
// plot (left) and the job list (right) share what is left, so they take any new space.
void TOvernightWindow::Layout() {
    if (!Wnd || !Control(TOvernightControl::StatusLabel)) return;
    RECT client;
    GetClientRect(Wnd, &client);
    const int w = client.right, h = client.bottom;
    auto place = [&](HWND c, int x, int y, int cw, int ch) {
        if (c) MoveWindow(c, Scale(x), Scale(y), Scale(cw), Scale(ch), FALSE);
    };
    auto placePx = [&](HWND c, int x, int y, int cw, int ch) {
        if (c) MoveWindow(c, x, y, std::max(cw, 1), std::max(ch, 1), FALSE);
    };
    using C = TOvernightControl;
    const int m = 8, rowH = 22;
    placePx(Control(C::FolderLabel), Scale(m), Scale(8), w - Scale(2 * m), Scale(18));
    // Row 1: strategy, jobs at once, the two limits.
    int y = 34;
    place(Labels[0], m, y, 64, rowH);
    place(Control(C::Strategy), 74, y, 120, 200);
    place(Labels[1], 208, y, 80, rowH);
    place(Control(C::JobsAtOnce), 290, y, 44, rowH);
    place(Labels[2], 350, y, 104, rowH);
    place(Control(C::StopHours), 456, y, 56, rowH);
    place(Labels[3], 528, y, 98, rowH);
    place(Control(C::StopJobs), 628, y, 70, rowH);
    // Row 2: cap, verify, the two check boxes.
    y = 62;
    place(Labels[4], m, y, 198, rowH);
    place(Control(C::Cap), 208, y, 48, rowH);
    place(Labels[5], 272, y, 178, rowH);
    place(Control(C::Verify), 452, y, 44, rowH);
    place(Control(C::SkipFailed), 514, y, 128, rowH);
    place(Control(C::ShowJobWindows), 648, y, 150, rowH);
    // Row 3: the launcher.
    y = 90;
    place(Labels[6], m, y, 64, rowH);
    placePx(Control(C::Launcher), Scale(74), Scale(y), w - Scale(74 + m), Scale(rowH));
    // The buttons, Close at the right.
    y = 122;
    int x = m;
    for (C c : {C::StartBtn, C::StopBtn, C::ResumeBtn, C::ReportBtn, C::FolderBtn, C::HelpBtn}) {
        const int bw = c == C::ReportBtn || c == C::FolderBtn ? 92 : 76;
        place(Control(c), x, y, bw, 26);
        x += bw + 8;
    }
    placePx(Control(C::CloseBtn), w - Scale(m + 76), Scale(y), Scale(76), Scale(26));
    y = 158;
    placePx(Progress, Scale(m), Scale(y), w - Scale(2 * m), Scale(16));
    y = 180;
    placePx(Control(C::StatusLabel), Scale(m), Scale(y), w - Scale(2 * m), Scale(18));
    y = 204;
    const int top = Scale(y), bottom = h - Scale(m);
    const int plotW = (w - Scale(3 * m)) / 2;
    placePx(Plot.Handle(), Scale(m), top, plotW, bottom - top);
    placePx(JobList, Scale(2 * m) + plotW, top, w - Scale(3 * m) - plotW, bottom - top);
    if (JobList) {
        // The change takes the rest of the list's width, and at least a readable share.
        RECT inside;
        GetClientRect(JobList, &inside);
        int rest = inside.right - GetSystemMetrics(SM_CXVSCROLL);
        for (int c = 0; c < 5; ++c)
            rest -= static_cast<int>(SendMessageA(JobList, LVM_GETCOLUMNWIDTH, c, 0));
        SendMessageA(JobList, LVM_SETCOLUMNWIDTH, 5, std::max(rest, Scale(160)));
    }
    InvalidateRect(Wnd, nullptr, TRUE);
}

void TOvernightWindow::Show(const std::string& jobFolder) {
    if (!Wnd) {
        if (!Create()) {
            MessageBoxA(Owner, "The overnight search window cannot be created.", Title,
                        MB_OK | MB_ICONERROR);
            return;
        }
        WakeTarget = Wnd;
        Guard([&] {
            Form.FormCreate();
            Form.FormShow(jobFolder);
        });
        ShowWindow(Wnd, SW_SHOWNORMAL);
        UpdateWindow(Wnd);
        return;
    }
    Guard([&] { Form.FormShow(jobFolder); });
    if (IsIconic(Wnd)) ShowWindow(Wnd, SW_RESTORE);
    SetForegroundWindow(Wnd);
    BringWindowToTop(Wnd);
}

bool TOvernightWindow::QueryQuit() {
    if (!Wnd) return true;
    bool may = true;
    Guard([&] { may = Form.CloseQuery(); });
    if (may) {
        DestroyWindow(Wnd);
        return true;
    }
    // Asked and told to stop: the program quits once the search has ended.
    if (Form.ClosingAfterStop()) QuitWhenClosed = true;
    return false;
}

LRESULT CALLBACK TOvernightWindow::WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return RouteToOwner(wnd, msg, wParam, lParam, &TOvernightWindow::Wnd,
                        &TOvernightWindow::HandleMessage);
}

LRESULT TOvernightWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND wnd = Wnd;
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        Layout();
        return 0;
    case WM_SIZE:
        Layout();
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        RECT frame{0, 0, Scale(MinWidth), Scale(MinHeight)};
        AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CONTROLPARENT);
        info->ptMinTrackSize = {frame.right - frame.left, frame.bottom - frame.top};
        return 0;
    }
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WmSearchReport:
        Guard([&] { Form.Deliver(); });
        return 0;
    case WM_HELP:
        Guard([&] { Form.HelpBtnClick(); });
        return TRUE;
    case WM_CLOSE: {
        bool may = false;
        Guard([&] { may = Form.CloseQuery(); });
        if (may) DestroyWindow(wnd);
        return 0;
    }
    case WM_DESTROY:
        WakeTarget = nullptr;
        if (QuitWhenClosed && Owner) PostMessageA(Owner, WM_CLOSE, 0, 0);
        QuitWhenClosed = false;
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
        Wnd = nullptr;
        Controls.fill(nullptr);
        Labels.clear();
        Progress = JobList = nullptr;
        Marquee = false;
        if (Font) {
            DeleteObject(Font);
            Font = nullptr;
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

void TOvernightWindow::OnCommand(int id, int code) {
    if (id == IDCANCEL) { // Esc
        PostMessageA(Wnd, WM_CLOSE, 0, 0);
        return;
    }
    if (code != BN_CLICKED) return;
    switch (static_cast<TOvernightControl>(id - IdcOvernightFirst)) {
    case TOvernightControl::StartBtn:
        Guard([&] { Form.StartBtnClick(); });
        break;
    case TOvernightControl::StopBtn:
        Guard([&] { Form.StopBtnClick(); });
        break;
    case TOvernightControl::ResumeBtn:
        Guard([&] { Form.ResumeBtnClick(); });
        break;
    case TOvernightControl::ReportBtn:
        Guard([&] { Form.ReportBtnClick(); });
        break;
    case TOvernightControl::FolderBtn:
        Guard([&] { Form.FolderBtnClick(); });
        break;
    case TOvernightControl::HelpBtn:
        Guard([&] { Form.HelpBtnClick(); });
        break;
    case TOvernightControl::CloseBtn:
        Guard([&] { Form.CloseBtnClick(); });
        break;
    default:
        break;
    }
}

// ---- TOvernightView

void TOvernightWindow::SetText(TOvernightControl id, const std::string& text) {
    if (HWND c = Control(id)) SetWindowTextA(c, text.c_str());
}

std::string TOvernightWindow::GetText(TOvernightControl id) {
    HWND c = Control(id);
    return c ? WindowText(c) : std::string();
}

void TOvernightWindow::SetIndex(TOvernightControl id, int index) {
    if (HWND c = Control(id)) SendMessageA(c, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int TOvernightWindow::GetIndex(TOvernightControl id) {
    HWND c = Control(id);
    return c ? static_cast<int>(SendMessageA(c, CB_GETCURSEL, 0, 0)) : -1;
}

void TOvernightWindow::SetChecked(TOvernightControl id, bool checked) {
    if (HWND c = Control(id))
        SendMessageA(c, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TOvernightWindow::IsChecked(TOvernightControl id) {
    HWND c = Control(id);
    return c && SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TOvernightWindow::SetEnabled(TOvernightControl id, bool enabled) {
    HWND c = Control(id);
    if (!c) return;
    // A button that is disabled while it has the focus hands it on.
    if (!enabled && GetFocus() == c) SendMessageA(Wnd, WM_NEXTDLGCTL, 0, FALSE);
    EnableWindow(c, enabled);
}

bool TOvernightWindow::IsEnabled(TOvernightControl id) {
    HWND c = Control(id);
    return c && IsWindowEnabled(c);
}

void TOvernightWindow::SetProgress(int permille) {
    if (!Progress) return;
    const bool marquee = permille < 0;
    if (marquee != Marquee) {
        const LONG_PTR style = GetWindowLongPtrA(Progress, GWL_STYLE);
        SetWindowLongPtrA(Progress, GWL_STYLE,
                          marquee ? style | PBS_MARQUEE : style & ~PBS_MARQUEE);
        SendMessageA(Progress, PBM_SETMARQUEE, marquee ? TRUE : FALSE, 40);
        Marquee = marquee;
    }
    if (!marquee) SendMessageA(Progress, PBM_SETPOS, static_cast<WPARAM>(permille), 0);
}

void TOvernightWindow::ClearJobs() {
    if (JobList) SendMessageA(JobList, LVM_DELETEALLITEMS, 0, 0);
}

void TOvernightWindow::AddJob(const std::vector<std::string>& cells) {
    if (!JobList || cells.empty()) return;
    const int row = static_cast<int>(SendMessageA(JobList, LVM_GETITEMCOUNT, 0, 0));
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(cells[0].c_str());
    const int at = static_cast<int>(
        SendMessageA(JobList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (at < 0) return;
    for (size_t i = 1; i < cells.size(); ++i) {
        LVITEMA sub{};
        sub.iSubItem = static_cast<int>(i);
        sub.pszText = const_cast<char*>(cells[i].c_str());
        SendMessageA(JobList, LVM_SETITEMTEXTA, static_cast<WPARAM>(at),
                     reinterpret_cast<LPARAM>(&sub));
    }
    SendMessageA(JobList, LVM_ENSUREVISIBLE, static_cast<WPARAM>(at), FALSE);
}

void TOvernightWindow::ShowPlot(const std::vector<search::TJournalEntry>& entries) {
    const std::string& folder = Form.JobFolder();
    Plot.SetEntries(entries,
                    folder.empty() ? "Search" : "Search of " + search::JobFolderName(folder));
}

void TOvernightWindow::ShowMessage(const std::string& text, TMsgKind kind, int helpContext) {
    ShowHelpBox(Wnd ? Wnd : Owner, Instance, text, Title, kind, helpContext != 0, helpContext);
}

TAnswer TOvernightWindow::Ask(const std::string& text, bool withCancel) {
    const int answer = MessageBoxA(Wnd ? Wnd : Owner, text.c_str(), Title,
                                   (withCancel ? MB_YESNOCANCEL : MB_YESNO) | MB_ICONQUESTION);
    if (answer == IDYES) return TAnswer::Yes;
    if (answer == IDNO) return TAnswer::No;
    return TAnswer::Cancel;
}

void TOvernightWindow::OpenDocument(const std::string& path) {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(Wnd, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) ShowMessage("Cannot open\r\n" + path, TMsgKind::Error, 0);
}

void TOvernightWindow::ShowHelp(int helpContext) {
    AppHelp().HelpContext(helpContext);
}

void TOvernightWindow::CloseWindow() {
    // Posted: the window must outlive the handler that asks for the close.
    if (Wnd) PostMessageA(Wnd, WM_CLOSE, 0, 0);
}

std::string TOvernightWindow::ReadSetting(const std::string& name) {
    return ReadUserRegText(SettingsKey, name);
}

void TOvernightWindow::WriteSetting(const std::string& name, const std::string& value) {
    WriteUserRegText(SettingsKey, name, value);
}

void TOvernightWindow::Wake() {
    // The search's thread: a posted message, nothing else.
    if (HWND target = WakeTarget.load()) PostMessageA(target, WmSearchReport, 0, 0);
}

} // namespace pelvarn

// pelvarn_e2e_driver: drives pelvarn.exe as a user would, from outside its process. It finds
// the main window by its class "TForm1", the controls by class and caption or by their place
// in the layout, clicks with BM_CLICK, reads texts with WM_GETTEXT and answers the message
// boxes (dialog class "#32770"). Every wait has a time-out that fails the run.
//
//   pelvarn_e2e_driver basic    EXE FAKEJOB WORKDIR SCREENSHOT.bmp
//   pelvarn_e2e_driver failures EXE FAKEJOB WORKDIR
//   pelvarn_e2e_driver tools    EXE FAKEJOB WORKDIR
//   pelvarn_e2e_driver about    EXE KESTO WORKDIR SCREENSHOT.bmp
//   pelvarn_e2e_driver overnight EXE KESTO WORKDIR SCREENSHOT.bmp  (PELVARN_E2E_DEMO: the demo)
//   pelvarn_e2e_driver cycle    EXE JOBS
//   pelvarn_e2e_driver soak     EXE JOBS [tidy]
//
// The scenarios build WORKDIR afresh: pelvarn.exe beside a job folder "model" whose
// pelvrn.bat runs fakejob.exe (see fakejob.cpp). "cycle" times a run of JOBS jobs of an
// existing installation for the benchmark and prints "jobs=<JOBS> seconds=<S>". "soak" runs
// JOBS jobs the same way and prints the program's handle count, its working set and the time
// per job every 1000 jobs (see bench/soak); with "tidy" it deletes the jobs' files behind the
// program, so that the job folder stays small.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/menuids.h"
#include "app/overnightids.h"

namespace {

namespace fs = std::filesystem;

// ---- reporting

int Failures = 0;

struct TFatal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
    std::fflush(stdout);
}

std::string Visible(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

// A line of progress with the seconds since the driver started, for the test's log.
void Step(const std::string& what) {
    static const ULONGLONG start = GetTickCount64();
    Say("[%6.1f s] %s", static_cast<double>(GetTickCount64() - start) / 1000.0, what.c_str());
}

void Check(bool ok, const std::string& what) {
    if (ok) return;
    ++Failures;
    Say("FAIL: %s", what.c_str());
}

void CheckEq(const std::string& got, const std::string& want, const std::string& what) {
    if (got == want) return;
    ++Failures;
    Say("FAIL: %s\n  got:  \"%s\"\n  want: \"%s\"", what.c_str(), Visible(got).c_str(),
        Visible(want).c_str());
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() > end) return false;
        Sleep(20);
    }
}

// ---- windows of another process

std::string ClassOf(HWND wnd) {
    char name[256] = {};
    GetClassNameA(wnd, name, sizeof name);
    return name;
}

std::string Text(HWND wnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(wnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        throw TFatal("window does not answer WM_GETTEXTLENGTH");
    std::string text(length + 1, '\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(wnd, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 5000, &got))
        throw TFatal("window does not answer WM_GETTEXT");
    text.resize(got);
    return text;
}

std::vector<HWND> TopWindows(DWORD pid, const std::string& cls) {
    struct TSearch {
        DWORD Pid;
        std::string Class;
        std::vector<HWND> Found;
    } search{pid, cls, {}};
    struct TVisit {
        static BOOL CALLBACK Window(HWND wnd, LPARAM data) {
            auto* s = reinterpret_cast<TSearch*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(wnd, &owner);
            if (owner == s->Pid && IsWindowVisible(wnd) && ClassOf(wnd) == s->Class)
                s->Found.push_back(wnd);
            return TRUE;
        }
    };
    EnumWindows(TVisit::Window, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> found;
    struct TVisit {
        static BOOL CALLBACK Window(HWND wnd, LPARAM data) {
            reinterpret_cast<std::vector<HWND>*>(data)->push_back(wnd);
            return TRUE;
        }
    };
    EnumChildWindows(parent, TVisit::Window, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool SameClass(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
           CSTR_EQUAL;
}

HWND ChildByText(HWND parent, const std::string& cls, const std::string& caption) {
    for (HWND child : Children(parent))
        if (SameClass(ClassOf(child), cls) && Text(child) == caption) return child;
    throw TFatal("no " + cls + " \"" + caption + "\" in the window");
}

int Dpi() {
    static int dpi = [] {
        HDC screen = GetDC(nullptr);
        int value = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen) ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return dpi;
}

int Scale(int pixels) {
    return MulDiv(pixels, Dpi(), 96);
}

RECT ClientRectIn(HWND child, HWND main) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The control of a class whose top-left corner lies at the designed position.
HWND ChildAt(HWND main, const std::string& cls, int left, int top) {
    for (HWND child : Children(main)) {
        if (!SameClass(ClassOf(child), cls)) continue;
        RECT r = ClientRectIn(child, main);
        if (std::abs(r.left - Scale(left)) <= 1 && std::abs(r.top - Scale(top)) <= 1) return child;
    }
    throw TFatal("no " + cls + " at " + std::to_string(left) + "," + std::to_string(top));
}

void Click(HWND button) {
    PostMessageA(button, BM_CLICK, 0, 0);
}

bool Checked(HWND button) {
    DWORD_PTR state = 0;
    SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
    return state == BST_CHECKED;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// ---- the program under test

class TApp {
  public:
    // A program that cannot be started, or ends before its window appears, is started again,
    // twice at most: under a Wine server shared with other X displays, starting a process or
    // its first window can fail (error 1359) when the desktop process of another display is
    // going away at that moment.
    TApp(const std::string& exe, const std::string& folder) {
        for (int attempt = 1;; ++attempt) {
            STARTUPINFOA si{};
            si.cb = sizeof si;
            std::string commandLine = "\"" + exe + "\"";
            if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                nullptr, folder.c_str(), &si, &Process)) {
                const DWORD error = GetLastError();
                if (attempt < 3) {
                    Sleep(1000);
                    continue;
                }
                throw TFatal("cannot start " + exe + " (error " + std::to_string(error) + ")");
            }
            bool ended = false;
            WaitUntil(
                [&] {
                    auto found = TopWindows(Process.dwProcessId, "TForm1");
                    Main = found.empty() ? nullptr : found.front();
                    ended = !Main && Exited(0);
                    return Main != nullptr || ended;
                },
                30000);
            if (Main) return;
            if (!ended) throw TFatal("the window of class TForm1 did not appear");
            DWORD code = 0;
            GetExitCodeProcess(Process.hProcess, &code);
            CloseHandle(Process.hThread);
            CloseHandle(Process.hProcess);
            Process = {};
            if (attempt == 3)
                throw TFatal("pelvarn.exe ended before its window appeared (exit code " +
                             std::to_string(code) + ")");
            Say("pelvarn.exe ended before its window appeared (exit code %lu); starting again",
                static_cast<unsigned long>(code));
            Sleep(2000);
        }
    }
    ~TApp() {
        if (!Process.hProcess) return;
        if (!Exited(0)) {
            TerminateProcess(Process.hProcess, 1);
            WaitForSingleObject(Process.hProcess, 5000);
        }
        CloseHandle(Process.hThread);
        CloseHandle(Process.hProcess);
    }
    TApp(const TApp&) = delete;
    TApp& operator=(const TApp&) = delete;

    HWND Window() const { return Main; }
    DWORD Pid() const { return Process.dwProcessId; }
    HANDLE Handle() const { return Process.hProcess; }
    bool Exited(DWORD waitMs) const {
        return WaitForSingleObject(Process.hProcess, waitMs) == WAIT_OBJECT_0;
    }
    void Command(int id) { PostMessageA(Main, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    void Quit() {
        Command(IdmQuit);
        Check(Exited(10000), "the program ends on Quit");
    }

  private:
    PROCESS_INFORMATION Process{};
    HWND Main = nullptr;
};

// ---- message boxes

struct TBox {
    HWND Wnd = nullptr;
    std::string Caption, Text;
    std::vector<std::string> Buttons;
    bool HasHelp() const {
        for (const auto& b : Buttons)
            if (b == "Help" || b == "&Help") return true;
        return false;
    }
};

std::vector<HWND> Boxes(DWORD pid) {
    return TopWindows(pid, "#32770");
}

// The kind of a box told by the colour of its icon as it appears on the screen: the
// system's error icon is red, the warning icon yellow, the information icon blue.
enum class TIconKind { None, Information, Warning, Error };

const char* KindName(TIconKind k) {
    switch (k) {
    case TIconKind::Information:
        return "information";
    case TIconKind::Warning:
        return "warning";
    case TIconKind::Error:
        return "error";
    default:
        return "no icon";
    }
}

TIconKind IconKind(HWND dlg) {
    HWND icon = nullptr;
    for (HWND child : Children(dlg))
        if (SameClass(ClassOf(child), "Static") &&
            (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child))
            icon = child;
    if (!icon) return TIconKind::None;
    RECT r;
    GetWindowRect(icon, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return TIconKind::None;
    // One copy of the icon's screen area; reading pixel by pixel from the screen is slow.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    int red = 0, yellow = 0, blue = 0;
    const auto* pixel = static_cast<const unsigned char*>(bits);
    for (int i = 0; i < w * h; ++i, pixel += 4) {
        const int B = pixel[0], G = pixel[1], R = pixel[2];
        if (R > 160 && G > 140 && B < 110)
            ++yellow;
        else if (R > 160 && G < 110 && B < 110)
            ++red;
        else if (B > 150 && R < 120)
            ++blue;
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    if (red + yellow + blue < 20) return TIconKind::None;
    if (red >= yellow && red >= blue) return TIconKind::Error;
    if (yellow >= blue) return TIconKind::Warning;
    return TIconKind::Information;
}

TBox ReadBox(HWND dlg) {
    TBox box;
    box.Wnd = dlg;
    box.Caption = Text(dlg);
    for (HWND child : Children(dlg)) {
        const std::string cls = ClassOf(child);
        if (SameClass(cls, "Button")) {
            box.Buttons.push_back(Text(child));
        } else if (SameClass(cls, "Static")) {
            std::string t = Text(child);
            if (!t.empty()) box.Text += box.Text.empty() ? t : "\n" + t;
        }
    }
    return box;
}

TBox WaitBox(const TApp& app, const std::string& why, int timeoutMs = 30000) {
    Step(why);
    HWND dlg = nullptr;
    if (!WaitUntil(
            [&] {
                auto found = Boxes(app.Pid());
                dlg = found.empty() ? nullptr : found.front();
                return dlg != nullptr;
            },
            timeoutMs))
        throw TFatal("no message box appeared: " + why);
    // The box is visible before its controls hold their texts; let it settle.
    Sleep(100);
    return ReadBox(dlg);
}

void PressOk(const TBox& box) {
    HWND ok = GetDlgItem(box.Wnd, IDOK);
    if (ok)
        Click(ok);
    else
        PostMessageA(box.Wnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    if (!WaitUntil([&] { return !IsWindow(box.Wnd) || !IsWindowVisible(box.Wnd); }, 10000))
        throw TFatal("message box did not close on OK");
}

// Waits for a box, checks its caption, text and Help button, and answers OK.
void AnswerBox(const TApp& app, const std::string& text, TIconKind kind, bool help,
               const std::string& why) {
    TBox box = WaitBox(app, why);
    CheckEq(box.Caption, "Pelvarn", why + ": box caption");
    CheckEq(box.Text, text, why + ": box text");
    CheckEq(KindName(IconKind(box.Wnd)), KindName(kind), why + ": kind of box");
    Check(box.HasHelp() == help, why + (help ? ": box has a Help button" : ": box has OK only"));
    PressOk(box);
}

// The open dialog: the file name typed into its name field, then Open (or Cancel).
void AnswerOpenDialog(const TApp& app, const std::string& title, const std::string& path,
                      const std::string& why) {
    TBox dlg = WaitBox(app, why);
    CheckEq(dlg.Caption, title, why + ": dialog title");
    if (path.empty()) {
        PostMessageA(dlg.Wnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    } else {
        HWND name = nullptr;
        for (HWND child : Children(dlg.Wnd)) {
            if (!SameClass(ClassOf(child), "Edit") || !IsWindowVisible(child)) continue;
            HWND parent = GetParent(child);
            const bool inNameCombo = parent != dlg.Wnd && GetDlgCtrlID(parent) == 0x47c;
            if (inNameCombo || GetDlgCtrlID(child) == 0x480 || !name) name = child;
            if (inNameCombo || GetDlgCtrlID(child) == 0x480) break;
        }
        if (!name) throw TFatal(why + ": the dialog has no file name field");
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
                            SMTO_ABORTIFHUNG, 5000, &ignored);
        PostMessageA(dlg.Wnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    if (!WaitUntil([&] { return !IsWindow(dlg.Wnd) || !IsWindowVisible(dlg.Wnd); }, 10000))
        throw TFatal(why + ": the open dialog did not close");
}

void NoBox(const TApp& app, const std::string& why) {
    auto found = Boxes(app.Pid());
    if (found.empty()) return;
    TBox box = ReadBox(found.front());
    Check(false, why + ": unexpected box \"" + Visible(box.Text) + "\"");
    PressOk(box);
}

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(data))) {
            text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// ---- the main window's controls

struct TControls {
    HWND Start, Pause, Resume, CopyLog, Help, Change, StayOnTop, RunMinimized, Memo;
    HWND BatchLabel, JobLabel, BestJobLabel, WorstJobLabel, InitialTimeLabel, InfoLabel, Image1;
    HWND IncludeGroup, OrderGroup;
    HWND Include[2], Order[3];

    explicit TControls(HWND w) {
        Start = ChildByText(w, "Button", "START");
        Pause = ChildByText(w, "Button", "PAUSE");
        Resume = ChildByText(w, "Button", "RESUME");
        CopyLog = ChildByText(w, "Button", "COPY LOG");
        Help = ChildByText(w, "Button", "HELP");
        Change = ChildByText(w, "Button", "Change");
        StayOnTop = ChildByText(w, "Button", "Stay on top");
        RunMinimized = ChildByText(w, "Button", "Run model minimized");
        IncludeGroup = ChildByText(w, "Button", " Include substitutions ");
        OrderGroup = ChildByText(w, "Button", " Substitution order ");
        Include[0] = ChildByText(w, "Button", "Leave unchanged");
        Include[1] = ChildByText(w, "Button", "Alter one at a time");
        Order[0] = ChildByText(w, "Button", "Order unchanged ");
        Order[1] = ChildByText(w, "Button", "Exchange random pair");
        Order[2] = ChildByText(w, "Button", "Complete shuffle");
        Memo = ChildAt(w, "Edit", 2, 91);
        BatchLabel = ChildAt(w, "Static", 1, 0);
        JobLabel = ChildAt(w, "Static", 2, 15);
        BestJobLabel = ChildAt(w, "Static", 2, 28);
        WorstJobLabel = ChildAt(w, "Static", 2, 43);
        InitialTimeLabel = ChildAt(w, "Static", 2, 58);
        InfoLabel = ChildAt(w, "Static", 370, 213);
        Image1 = ChildAt(w, "Static", 433, 298);
    }
};

std::vector<std::string> JobLines(HWND memo) {
    std::vector<std::string> jobs;
    for (const auto& line : Lines(Text(memo)))
        if (StartsWith(line, "Job")) jobs.push_back(line);
    return jobs;
}

// START, RESUME, PAUSE, Change enabled as the state requires.
void CheckButtons(const TControls& c, bool start, bool resume, bool pause, bool change,
                  const std::string& state) {
    Check(!!IsWindowEnabled(c.Start) == start, state + ": START " + (start ? "on" : "off"));
    Check(!!IsWindowEnabled(c.Resume) == resume, state + ": RESUME " + (resume ? "on" : "off"));
    Check(!!IsWindowEnabled(c.Pause) == pause, state + ": PAUSE " + (pause ? "on" : "off"));
    Check(!!IsWindowEnabled(c.Change) == change, state + ": Change " + (change ? "on" : "off"));
}

void WaitText(HWND wnd, const std::string& want, const std::string& what, int timeoutMs = 30000) {
    if (!WaitUntil([&] { return Text(wnd) == want; }, timeoutMs))
        CheckEq(Text(wnd), want, what + " (waited)");
}

// ---- the job folder

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw TFatal("cannot write " + path);
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

const char* const InitialSti = "model.ksx\r\n"
                               "y\r\n"
                               "!pelvarnbegin\r\n"
                               "s\r\nxa\r\neqa\r\n"
                               "b\r\nxb\r\neqb\r\n"
                               "s\r\nxc ! MUSTSUB\r\neqc\r\n"
                               "s\r\nxd\r\neqd\r\n"
                               "!pelvarnend\r\n"
                               "a\r\n";

struct TWorkspace {
    std::string Root, Model, Exe;

    TWorkspace(const std::string& root, const std::string& exe, const std::string& fakejob)
        : Root(root), Model(root + "\\model"), Exe(root + "\\pelvarn.exe") {
        std::error_code ec;
        fs::remove_all(Root, ec);
        fs::create_directories(Model);
        fs::copy_file(exe, Exe);
        fs::copy_file(fakejob, Model + "\\fakejob.exe");
        WriteFile(Model + "\\pelvrn.bat", "@fakejob.exe %1\r\n");
        WriteFile(Model + "\\initial.sti", InitialSti);
    }
    std::string File(const std::string& name) const { return Model + "\\" + name; }
    void JobTimes(const std::string& table) const { WriteFile(File("jobtimes.txt"), table); }
};

// ---- screenshot: the window's screen area as a 24-bit BMP

void SaveScreenshot(HWND wnd, const std::string& path) {
    RECT r;
    GetWindowRect(wnd, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) / 4) * 4;
    const DWORD size = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + size;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(static_cast<const char*>(bits), size);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    Check(static_cast<bool>(out), "screenshot written to " + path);
}

// ---- scenarios

struct TArgs {
    std::string Exe, FakeJob, Work, Screenshot;
};

void Basic(const TArgs& a) {
    TWorkspace ws(a.Work, a.Exe, a.FakeJob);
    // Job 4 equals the best (no mark, no new optimal.sti); job 6 waits for "release".
    ws.JobTimes("Job0 10.0\r\nJob1 12.0\r\nJob2 8.0\r\nJob3 9.0\r\nJob4 8.0\r\nJob5 11.0\r\n"
                "Job6 11.0 hold\r\n* 11.0\r\n");
    TApp app(ws.Exe, ws.Root);
    HWND w = app.Window();
    TControls c(w);

    // The window as created.
    CheckEq(Text(w), " Pelvarn", "window caption");
    RECT client;
    GetClientRect(w, &client);
    Check(client.right == Scale(550) && client.bottom == Scale(336),
          "client area 550 x 336, got " + std::to_string(client.right) + " x " +
              std::to_string(client.bottom));
    CheckEq(Text(c.BatchLabel), "Batch file: " + ws.Model + "\\pelvrn.bat",
            "model folder beside the program taken");
    for (HWND label :
         {c.JobLabel, c.BestJobLabel, c.WorstJobLabel, c.InitialTimeLabel, c.InfoLabel})
        CheckEq(Text(label), "", "labels empty at start");
    CheckEq(Text(c.Memo), "", "log empty at start");
    CheckButtons(c, true, false, false, true, "Ready");
    Check(Checked(c.Include[0]) && !Checked(c.Include[1]), "include item 0 selected");
    Check(Checked(c.Order[2]) && !Checked(c.Order[0]) && !Checked(c.Order[1]),
          "order item 2 selected");
    Check(!Checked(c.StayOnTop) && !Checked(c.RunMinimized), "check boxes unchecked");
    {
        RECT memo = ClientRectIn(c.Memo, w), start = ClientRectIn(c.Start, w);
        Check(memo.right - memo.left == Scale(356) && memo.bottom - memo.top == Scale(214),
              "Memo1 is 356 x 214");
        Check(start.right - start.left == Scale(75) && start.bottom - start.top == Scale(21),
              "START is 75 x 21");
        Check((GetWindowLongA(c.Memo, GWL_STYLE) & (ES_MULTILINE | ES_READONLY | WS_VSCROLL)) ==
                  (ES_MULTILINE | ES_READONLY | WS_VSCROLL),
              "Memo1 is a read-only multi-line edit with a vertical scroll bar");
    }

    // Centred on the screen.
    {
        RECT frame;
        GetWindowRect(w, &frame);
        const int dx = (frame.left + frame.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2;
        const int dy = (frame.top + frame.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2;
        Check(std::abs(dx) <= 2 && std::abs(dy) <= 2,
              "window centred (off by " + std::to_string(dx) + "," + std::to_string(dy) + ")");
    }

    // The tab stops, in the window's z-order, are the designed focus order.
    {
        const std::vector<std::pair<HWND, const char*>> named = {{c.Start, "START"},
                                                                 {c.Memo, "Memo1"},
                                                                 {c.Order[0], "Order"},
                                                                 {c.Include[0], "Include"},
                                                                 {c.Order[1], "Order"},
                                                                 {c.Order[2], "Order"},
                                                                 {c.Include[1], "Include"},
                                                                 {c.Pause, "PAUSE"},
                                                                 {c.Resume, "RESUME"},
                                                                 {c.StayOnTop, "StayOnTop"},
                                                                 {c.RunMinimized, "RunMinimized"},
                                                                 {c.Change, "Change"},
                                                                 {c.Help, "HELP"},
                                                                 {c.CopyLog, "COPY LOG"}};
        // A radio group is one tab stop: the checked item carries it.
        const std::string want = "START Memo1 Order Include PAUSE RESUME StayOnTop "
                                 "RunMinimized Change HELP COPY LOG ";
        std::string got;
        for (HWND child = GetWindow(w, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (!(GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP)) continue;
            std::string name = "?";
            for (const auto& [wnd, n] : named)
                if (wnd == child) name = n;
            got += name + " ";
        }
        CheckEq(got, want, "focus order");
    }

    // Tab leaves the log like any other control.
    {
        const DWORD thread = GetWindowThreadProcessId(w, nullptr);
        auto focus = [&] {
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
        };
        PostMessageA(c.Memo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        PostMessageA(c.Memo, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
        if (WaitUntil([&] { return focus() == c.Memo; }, 5000)) {
            PostMessageA(c.Memo, WM_KEYDOWN, VK_TAB, 1);
            PostMessageA(c.Memo, WM_KEYUP, VK_TAB, 0xC0000001);
            WaitUntil([&] { return focus() != c.Memo; }, 5000);
            HWND now = focus();
            Check(now == c.Order[0] || now == c.Order[1] || now == c.Order[2],
                  "Tab moves from Memo1 to the order group");
        } else {
            Check(false, "a click in Memo1 gives it the focus");
        }
    }

    // Hints: the radio groups show theirs when the mouse rests on them; nothing else has one.
    {
        auto hintAt = [&](HWND control) {
            RECT r;
            GetWindowRect(control, &r);
            SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
            std::string hint;
            WaitUntil(
                [&] {
                    for (HWND tip : TopWindows(app.Pid(), "tooltips_class32"))
                        hint = Text(tip);
                    return !hint.empty();
                },
                3000);
            SetCursorPos(0, 0);
            WaitUntil([&] { return TopWindows(app.Pid(), "tooltips_class32").empty(); }, 3000);
            return hint;
        };
        CheckEq(hintAt(c.Include[1]), "Controls which substitutions are performed",
                "hint of the include group");
        CheckEq(hintAt(c.Order[0]), "Controls the order in which substitutions are performed",
                "hint of the order group");
        CheckEq(hintAt(c.Memo), "", "no hint on Memo1");
    }

    // A run: jobs 0 to 5 are timed; job 6 holds until released.
    Click(c.Start);
    if (!WaitUntil(
            [&] { return JobLines(c.Memo).size() >= 6 && StartsWith(Text(c.JobLabel), "Job6"); },
            60000)) {
        NoBox(app, "run to job 6");
        throw TFatal("jobs 0 to 5 were not timed; log:\n" + Text(c.Memo));
    }
    CheckButtons(c, false, false, true, false, "Running");
    WaitUntil([&] { return ReadFile(ws.File("calls.txt")).find("Job6") != std::string::npos; },
              10000);
    const std::string optimal = ws.File("optimal.sti");
    std::vector<std::string> want = {
        "Job0 10.0 secs original initial.sti ********* best yet",
        "Job1 12.0 secs original initial.sti !!!!!!!!! worst yet",
        "Job2 8.0 secs Complete shuffle ********* best yet",
        "Improved condensation saved as file " + optimal,
        "Job3 9.0 secs Complete shuffle",
        "Job4 8.0 secs Complete shuffle",
        "Job5 11.0 secs Complete shuffle",
    };
    auto lines = Lines(Text(c.Memo));
    CheckEq(std::to_string(lines.size()), std::to_string(want.size()), "log line count");
    for (size_t i = 0; i < want.size() && i < lines.size(); ++i)
        CheckEq(lines[i], want[i], "log line " + std::to_string(i + 1));
    CheckEq(Text(c.BestJobLabel), "Best job is Job2 8.0 secs", "BestJobLabel");
    CheckEq(Text(c.WorstJobLabel), "Worst job is Job1 12.0 secs", "WorstJobLabel");
    CheckEq(Text(c.InitialTimeLabel), "INITIAL.STI time = 12.0 secs", "InitialTimeLabel");
    CheckEq(Text(c.InfoLabel), "Complete shuffle", "InfoLabel shows the change");
    for (int n = 0; n <= 6; ++n) {
        const std::string job = ws.File("Job" + std::to_string(n));
        Check(Exists(job) && Exists(job + ".cnd"), "Job" + std::to_string(n) + " and its .cnd");
    }
    Check(Exists(optimal) && Exists(ws.File("optimal.cnd")), "optimal.sti and optimal.cnd");
    CheckEq(ReadFile(optimal), ReadFile(ws.File("Job2")), "optimal.sti is job 2's file");
    CheckEq(ReadFile(ws.File("initial.sti")), InitialSti, "initial.sti unchanged");
    // What each job saw when it started: its file, and optimal.sti only after job 2.
    CheckEq(ReadFile(ws.File("calls.txt")),
            "Job0 sti=yes optimal=no\r\nJob1 sti=yes optimal=no\r\nJob2 sti=yes optimal=no\r\n"
            "Job3 sti=yes optimal=yes\r\nJob4 sti=yes optimal=yes\r\nJob5 sti=yes optimal=yes\r\n"
            "Job6 sti=yes optimal=yes\r\n",
            "jobs started in order, each with its file");

    SaveScreenshot(w, a.Screenshot);

    // PAUSE while job 6 runs: the box, then the tick after it pauses the run.
    Click(c.Pause);
    AnswerBox(app, "If DOS job is running,\r\nwait for it to finish,\r\nor close it manually.",
              TIconKind::Information, true, "PAUSE");
    WaitText(c.InfoLabel, "Paused", "InfoLabel after PAUSE");
    CheckButtons(c, true, true, false, true, "Paused");

    // START while the job still runs is refused.
    Click(c.Start);
    AnswerBox(app, "DOS job is still running.\r\nWait for it to finish,\r\nor close it manually.",
              TIconKind::Information, true, "START while the job runs");

    // Let job 6 end, then RESUME: the numbers continue, job 6's result is never read.
    WriteFile(ws.File("release"), "");
    if (!WaitUntil([&] { return Exists(ws.File("Job6.done")); }, 30000))
        throw TFatal("job 6 did not end after its release");
    bool resumed = WaitUntil(
        [&] {
            Click(c.Resume);
            Sleep(300);
            auto boxes = Boxes(app.Pid());
            if (boxes.empty()) return true;
            TBox box = ReadBox(boxes.front());
            CheckEq(box.Text,
                    "DOS job is still running.\r\nWait for it to finish,\r\nor close it manually.",
                    "RESUME refused only while the job ends");
            PressOk(box);
            return false;
        },
        20000);
    Check(resumed, "RESUME accepted once the job has ended");
    if (!WaitUntil([&] { return JobLines(c.Memo).size() >= 7; }, 30000))
        throw TFatal("no job timed after RESUME; log:\n" + Text(c.Memo));
    auto jobs = JobLines(c.Memo);
    CheckEq(jobs[6].substr(0, 5), "Job7 ", "RESUME continues with the next job number");
    for (const auto& line : jobs)
        Check(!StartsWith(line, "Job6 "), "job 6's result is not read");

    Click(c.Pause);
    AnswerBox(app, "If DOS job is running,\r\nwait for it to finish,\r\nor close it manually.",
              TIconKind::Information, true, "second PAUSE");
    WaitText(c.InfoLabel, "Paused", "InfoLabel after the second PAUSE");

    // COPY LOG puts the whole log on the clipboard.
    const std::string log = Text(c.Memo);
    Click(c.CopyLog);
    std::string copied;
    WaitUntil(
        [&] {
            copied = ClipboardText();
            return copied == log;
        },
        10000);
    CheckEq(copied, log, "COPY LOG copies the log");

    // Quit leaves a running job running: the next job holds, the program ends, and the job
    // still finishes afterwards.
    ws.JobTimes("* 11.0 hold\r\n");
    DeleteFileA(ws.File("release").c_str());
    const size_t started = Lines(ReadFile(ws.File("calls.txt"))).size();
    WaitUntil(
        [&] {
            Click(c.Resume);
            Sleep(300);
            auto boxes = Boxes(app.Pid());
            if (boxes.empty()) return true;
            PressOk(ReadBox(boxes.front()));
            return false;
        },
        20000);
    if (!WaitUntil([&] { return Lines(ReadFile(ws.File("calls.txt"))).size() > started; }, 30000))
        throw TFatal("no job started after the last RESUME");
    const std::string last = Lines(ReadFile(ws.File("calls.txt"))).back();
    const std::string held = last.substr(0, last.find(' '));
    app.Quit();
    Check(!Exists(ws.File(held + ".done")), held + " still held when the program has ended");
    WriteFile(ws.File("release"), "");
    Check(WaitUntil([&] { return Exists(ws.File(held + ".done")); }, 30000),
          held + " finishes after the program has ended");
}

void Failures_(const TArgs& a) {
    TWorkspace ws(a.Work, a.Exe, a.FakeJob);
    TApp app(ws.Exe, ws.Root);
    TControls c(app.Window());

    struct TCase {
        const char* Table;
        std::string Message;
        TIconKind Kind;
        const char* What;
    };
    const std::string log = ws.File("run.log"), sl4 = ws.File("pelvrn.sl4");
    const TCase cases[] = {
        {"Job0 5.0 nosl4\r\n", "job did not produce expected file\r\n" + sl4, TIconKind::Warning,
         "job without pelvrn.sl4"},
        {"Job0 5.0 nolog\r\n", "job did not produce expected file\r\n" + log, TIconKind::Error,
         "job without run.log"},
        {"Job0 5.0 badtime\r\n",
         "problem getting run time\r\nCannot read time from \"Total CPU is\" line in file " + log +
             "\r\nstring was :abc",
         TIconKind::Error, "job with an unreadable time"},
    };
    for (const TCase& k : cases) {
        ws.JobTimes(k.Table);
        Click(c.Start);
        AnswerBox(app, k.Message, k.Kind, true, k.What);
        WaitText(c.InfoLabel, "Paused", std::string(k.What) + ": paused");
        CheckButtons(c, true, false, false, true, std::string(k.What) + ": paused after job 0");
        CheckEq(std::to_string(JobLines(c.Memo).size()), "0",
                std::string(k.What) + ": nothing logged");
    }

    // Change: the open dialog. Cancel changes nothing; a file of another name and a folder
    // without initial.sti are refused; PELVRN.BAT in capitals is taken.
    const std::string title = " Choose a file named PELVRN.BAT";
    const std::string modelLabel = "Batch file: " + ws.Model + "\\pelvrn.bat";
    Click(c.Change);
    AnswerOpenDialog(app, title, "", "Change, cancelled");
    NoBox(app, "Change, cancelled");
    CheckEq(Text(c.BatchLabel), modelLabel, "Change cancelled: folder kept");
    Click(c.Change);
    AnswerOpenDialog(app, title, ws.File("initial.sti"), "Change, another file");
    AnswerBox(app, "You must select a file named pelvrn.bat", TIconKind::Error, true,
              "Change, another file");
    CheckEq(Text(c.BatchLabel), modelLabel, "wrong file name: folder kept");
    const std::string other = ws.Root + "\\Other";
    fs::create_directories(other);
    WriteFile(other + "\\PELVRN.BAT", "@fakejob.exe %1\r\n");
    Click(c.Change);
    AnswerOpenDialog(app, title, other + "\\PELVRN.BAT", "Change, no initial.sti");
    AnswerBox(app, "You must select a folder containing a file named initial.sti", TIconKind::Error,
              true, "Change, no initial.sti");
    CheckEq(Text(c.BatchLabel), modelLabel, "folder without initial.sti: folder kept");
    WriteFile(other + "\\initial.sti", InitialSti);
    Click(c.Change);
    AnswerOpenDialog(app, title, other + "\\PELVRN.BAT", "Change, capitals");
    NoBox(app, "Change, capitals");
    CheckEq(Text(c.BatchLabel), "Batch file: " + other + "\\pelvrn.bat", "PELVRN.BAT taken");
    Check(IsWindowEnabled(c.Start), "START on after Change");
    Click(c.Change);
    AnswerOpenDialog(app, title, ws.File("pelvrn.bat"), "Change back to model");
    CheckEq(Text(c.BatchLabel), modelLabel, "model folder chosen again");

    // Both radio groups at their first item: initial.sti is read, then nothing is launched.
    DeleteFileA(ws.File("calls.txt").c_str());
    Click(c.Order[0]);
    WaitUntil([&] { return Checked(c.Order[0]); }, 5000);
    Check(Checked(c.Order[0]) && !Checked(c.Order[2]), "order item 0 selected by a click");
    Click(c.Start);
    AnswerBox(app, "Nothing is being altered", TIconKind::Warning, true, "both groups at item 0");
    Check(!Exists(ws.File("calls.txt")), "nothing launched when nothing is altered");

    // A refused initial.sti comes first.
    WriteFile(ws.File("initial.sti"), "no markers here\r\n");
    Click(c.Start);
    AnswerBox(app,
              "Error:\r\nCould not find \"!pelvarnbegin\" line in STI file:\r\n" +
                  ws.File("initial.sti"),
              TIconKind::Error, true, "initial.sti without markers");

    // initial.sti gone after the folder was chosen: the file error reaches the general error
    // handler, which shows its text with OK alone; the window stays usable.
    DeleteFileA(ws.File("initial.sti").c_str());
    Click(c.Start);
    TBox box = WaitBox(app, "initial.sti deleted");
    CheckEq(box.Caption, "Pelvarn", "file error box caption");
    Check(!box.Text.empty(), "file error box shows the error's text");
    Check(!box.HasHelp(), "file error box has OK only");
    CheckEq(KindName(IconKind(box.Wnd)), "error", "file error box is an error box");
    Say("file error text: %s", Visible(box.Text).c_str());
    PressOk(box);
    WriteFile(ws.File("initial.sti"), InitialSti);
    Click(c.Start);
    AnswerBox(app, "Nothing is being altered", TIconKind::Warning, true,
              "START works again after the file error");

    // HELP without a help file shows nothing (the about box has a scenario of its own).
    Click(c.Help);
    Sleep(500);
    NoBox(app, "HELP without a help file");
    CheckEq(Text(app.Window()), " Pelvarn", "window answers after HELP");
    app.Quit();
}

// The hidden Tools menu, reached by its command: the tool rewrites a chosen KSX file into
// new.KSX beside it, refusing new.KSX itself as the input.
void Tools(const TArgs& a) {
    TWorkspace ws(a.Work, a.Exe, a.FakeJob);
    const std::string folder = ws.Root + "\\ksx";
    fs::create_directories(folder);
    WriteFile(folder + "\\Model.KSX",
              "Equation E_a x = y;\r\nSubstitute xa using eqa;\r\nWrite x;\r\n");
    WriteFile(folder + "\\NEW.KSX", "an earlier output\r\n");
    TApp app(ws.Exe, ws.Root);
    TControls c(app.Window());
    const std::string title = " Choose a file named PELVRN.BAT";

    app.Command(IdmMoveCondensations);
    AnswerBox(app,
              "This tool is used to help you move SUBSTITUTE and BACKSOLVE statements\r\n"
              "to a single section at the end of your KSX file.\r\n"
              "It creates a file \"NEW.KSX\", based on the original KSX file that you select.\r\n"
              "Click Help to find out more.",
              TIconKind::Information, true, "Tools: first box");
    AnswerOpenDialog(app, title, folder + "\\NEW.KSX", "Tools: new.KSX chosen");
    AnswerBox(app,
              "You must not select \"new.ksx\" -- that filename will be used for the output "
              "file!",
              TIconKind::Error, true, "Tools: new.KSX refused");
    AnswerOpenDialog(app, title, folder + "\\Model.KSX", "Tools: dialog again");
    AnswerBox(app,
              "Input KSX name was: model.ksx\r\nOutput KSX name is: \r\n" + folder +
                  "\\new.KSX\r\nin which SUBSTITUTE and BACKSOLVE statements are moved\r\n"
                  "to a single section at the end.\r\n"
                  "Please use LUMEDIT to check this file and save it with a new name.\r\n"
                  "Click Help to find out more.",
              TIconKind::Information, true, "Tools: closing box");
    CheckEq(ReadFile(folder + "\\new.KSX"),
            "Equation E_a x = y;\r\n! commented out by Pelvarn:Substitute xa using eqa;!\r\n"
            "Write x;\r\n!pelvarnbegin!\r\nSubstitute xa using eqa;\r\n!pelvarnend!\r\n",
            "new.KSX written by the tool");

    // Cancel writes nothing and shows no further box; the other item does nothing at all.
    DeleteFileA((folder + "\\new.KSX").c_str());
    app.Command(IdmMoveCondensations);
    PressOk(WaitBox(app, "Tools again: first box"));
    AnswerOpenDialog(app, title, "", "Tools again: cancelled");
    Sleep(300);
    NoBox(app, "Tools cancelled");
    Check(!Exists(folder + "\\new.KSX"), "Tools cancelled: nothing written");
    app.Command(IdmMakeInitialSti);
    Sleep(300);
    NoBox(app, "Make Initial.STI");
    CheckEq(Text(c.BatchLabel), "Batch file: " + ws.Model + "\\pelvrn.bat",
            "window unchanged after the Tools commands");
    app.Quit();
}

// A job folder at the root of a drive (PELVARN_E2E_DRIVE, pointed at a scratch folder by
// run.sh): every file of the job is named inside the root ("R:\\Job0", not "R:Job0").
void DriveRoot(const TArgs& a) {
    const char* drive = std::getenv("PELVARN_E2E_DRIVE");
    if (!drive || !*drive) throw TFatal("PELVARN_E2E_DRIVE is not set");
    const std::string root = std::string(drive) + "\\";
    TWorkspace ws(a.Work, a.Exe, a.FakeJob);
    fs::copy_file(a.FakeJob, root + "fakejob.exe", fs::copy_options::overwrite_existing);
    WriteFile(root + "pelvrn.bat", "@fakejob.exe %1\r\n");
    WriteFile(root + "initial.sti", InitialSti);
    WriteFile(root + "jobtimes.txt", "Job0 10.0\r\nJob1 12.0\r\nJob2 8.0\r\nJob3 9.0 hold\r\n");
    TApp app(ws.Exe, ws.Root);
    TControls c(app.Window());

    Click(c.Change);
    AnswerOpenDialog(app, " Choose a file named PELVRN.BAT", root + "pelvrn.bat",
                     "Change to a drive root");
    CheckEq(Text(c.BatchLabel), "Batch file: " + root + "pelvrn.bat", "batch label at the root");
    Click(c.Start);
    const std::string saved = "Improved condensation saved as file " + root + "optimal.sti";
    if (!WaitUntil(
            [&] {
                for (const auto& line : Lines(Text(c.Memo)))
                    if (line == saved) return true;
                return false;
            },
            30000))
        Check(false, "log line \"" + saved + "\" (log: " + Visible(Text(c.Memo)) + ")");
    else
        Say("log: %s", saved.c_str());
    for (const char* name : {"Job0", "Job0.cnd", "Job2", "optimal.sti", "optimal.cnd"})
        Check(Exists(root + name), std::string(name) + " written in the root");
    CheckEq(ReadFile(root + "initial.sti"), InitialSti, "initial.sti unchanged");
    // The held Job3 has not written its run.log yet (each launch deletes the old one), so
    // the root's logs are shown by the times read from them.
    Check(JobLines(c.Memo).size() >= 3, "three jobs read from the root's run.log");

    Click(c.Pause);
    PressOk(WaitBox(app, "PAUSE"));
    WriteFile(root + "release", "");
    WaitText(c.InfoLabel, "Paused", "InfoLabel after PAUSE");
    app.Quit();
}

// ---- the about box and the diagnostics window

HWND WaitTopWindow(const TApp& app, const std::string& cls, const std::string& why,
                   int timeoutMs = 60000) {
    Step(why);
    HWND found = nullptr;
    if (!WaitUntil(
            [&] {
                auto list = TopWindows(app.Pid(), cls);
                found = list.empty() ? nullptr : list.front();
                return found != nullptr;
            },
            timeoutMs))
        throw TFatal("no window of class " + cls + ": " + why);
    Sleep(300);
    return found;
}

HWND ChildOfClass(HWND parent, const std::string& cls) {
    for (HWND child : Children(parent))
        if (SameClass(ClassOf(child), cls)) return child;
    throw TFatal("no " + cls + " in the window");
}

std::string AllStaticTexts(HWND wnd) {
    std::string all;
    for (HWND child : Children(wnd))
        if (SameClass(ClassOf(child), "Static")) all += Text(child) + "\n";
    return all;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The picture opens the about box, whose suite lines come from the stand-in translator that
// KVDIR points at; Diagnostics opens the report, which is copied and saved.
void About(const TArgs& a) {
    TWorkspace ws(a.Work, a.Exe, a.FakeJob);
    const std::string suite = ws.Root + "\\kv";
    fs::create_directories(suite);
    fs::copy_file(a.FakeJob, suite + "\\kesto.exe"); // FAKEJOB is the stand-in suite here
    SetEnvironmentVariableA("KVDIR", suite.c_str());
    SetEnvironmentVariableA("KESTO_RELEASE", "1.1.4>");
    SetEnvironmentVariableA("KESTO_PROGRAM_VERSION", "e");
    TApp app(ws.Exe, ws.Root);
    TControls c(app.Window());

    PostMessageA(c.Image1, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(c.Image1, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    HWND box = WaitTopWindow(app, "TxwAboutBox", "picture clicked");
    CheckEq(Text(box), " About Pelvarn", "about box caption");
    Check(!IsWindowEnabled(app.Window()), "the main window is disabled while the box is shown");
    const std::string texts = AllStaticTexts(box);
    for (const std::string& want :
         {std::string("Pelvarn\n"), std::string("Version 1.02,  20/Nov/2015\n"),
          std::string("the Pelvarn developers\n"), "File: " + Lower(ws.Exe) + "\n",
          "KALVERN folder: " + suite +
              "\r\nExecutable-Image Version of KALVERN\r\nKALVERN Release: 11.1.4\n"})
        Check(texts.find(want) != std::string::npos,
              "about box shows \"" + Visible(want) + "\"; it has:\n" + Visible(texts));
    HWND help = ChildByText(box, "Button", "&Help");
    HWND diag = ChildByText(box, "Button", "&Diagnostics");
    HWND ok = ChildByText(box, "Button", "&OK");
    Check(IsWindowVisible(help), "Help shown for the help context 776257");
    SaveScreenshot(box, a.Screenshot);

    // Help asks the help routing; without a help file nothing appears and the box answers.
    Click(help);
    Sleep(500);
    NoBox(app, "Help of the about box");
    CheckEq(Text(box), " About Pelvarn", "about box answers after Help");

    Click(diag);
    HWND form = WaitTopWindow(app, "TxwDiagForm", "Diagnostics clicked");
    CheckEq(Text(form), " Diagnostics", "diagnostics caption");
    CheckEq(Text(diag), "Please wait", "the Diagnostics button while the report is shown");
    {
        RECT client;
        GetClientRect(form, &client);
        Check(client.right == Scale(589) && client.bottom == Scale(581),
              "diagnostics client area 589 x 581");
    }
    HWND memo = ChildOfClass(form, "Edit");
    const std::string report = Text(memo);
    const char* headings[] = {"Program and compiler",
                              "Operating system, hardware, session",
                              "Appearance",
                              "File Associations",
                              "KALVERN settings",
                              "Path",
                              "Special Folders:",
                              "Registry Settings",
                              "Complete Contents of Environment",
                              "INI file",
                              "Running Processes",
                              "Files in application folder  ",
                              "Files in KALVERN folder  ",
                              "Contents of RPT file from KESTO: "};
    size_t at = 0;
    for (int i = 0; i < 14; ++i) {
        const std::string want = "\r\n\r\nSECTION " + std::to_string(i + 1) + ": " + headings[i];
        const size_t found = report.find(want, at);
        Check(found != std::string::npos, "report heading " + Visible(want) + " in order");
        if (found != std::string::npos) at = found + 1;
    }
    Say("report: %zu bytes; its headings:", report.size());
    for (const auto& line : Lines(report))
        if (StartsWith(line, "SECTION ")) Say("  %s", line.c_str());
    for (const std::string& want :
         {std::string("\r\nProgram: Pelvarn\r\nVersion 1.02,  20/Nov/2015\r\n"),
          std::string("\r\nRunning under Wine Version "), std::string("\r\nCOMSPEC: "),
          std::string("\r\nNo INI file\r\n"), std::string("\r\nTXT\t"),
          "\r\nKALVERN directory is " + suite + "\r\n", std::string("\r\npelvarn.exe\r\n"),
          std::string("\r\nrelease=1.1.4>\r\nProgram version=e\r\n")})
        Check(report.find(want) != std::string::npos, "report has " + Visible(want));
    SaveScreenshot(form, a.Screenshot.substr(0, a.Screenshot.size() - 4) + "-diag.bmp");

    Click(ChildByText(form, "Button", "&Copy"));
    std::string copied;
    WaitUntil(
        [&] {
            copied = ClipboardText();
            return copied == report;
        },
        10000);
    Check(copied == report, "Copy puts the report on the clipboard");

    const std::string saved = ws.Root + "\\Diag.txt";
    Click(ChildByText(form, "Button", "&Save"));
    AnswerOpenDialog(app, " Save Diagnostic File", saved, "Save clicked");
    WaitUntil([&] { return Exists(saved); }, 10000);
    CheckEq(ReadFile(saved), report + "\r\n", "Save writes the memo's lines to Diag.txt");

    Click(ChildByText(form, "Button", "&OK"));
    if (!WaitUntil([&] { return !IsWindow(form) || !IsWindowVisible(form); }, 10000))
        throw TFatal("the diagnostics window did not close on OK");
    WaitText(diag, "&Diagnostics", "the Diagnostics button after the report");
    Click(ok);
    if (!WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 10000))
        throw TFatal("the about box did not close on OK");
    Check(WaitUntil([&] { return IsWindowEnabled(app.Window()) != FALSE; }, 5000),
          "the main window is enabled again");
    app.Quit();
}

int Cycle(const std::string& exe, int jobs) {
    const std::string folder = fs::path(exe).parent_path().string();
    TApp app(exe, folder);
    TControls c(app.Window());
    if (!IsWindowEnabled(c.Start)) throw TFatal("START is disabled: " + Text(c.BatchLabel));
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    Click(c.Start);
    const ULONGLONG limit = GetTickCount64() + 60000ull + 30000ull * static_cast<ULONGLONG>(jobs);
    for (;;) {
        if (JobLines(c.Memo).size() >= static_cast<size_t>(jobs)) break;
        if (auto boxes = Boxes(app.Pid()); !boxes.empty())
            throw TFatal("the run stopped with a box: " + Visible(ReadBox(boxes.front()).Text));
        if (GetTickCount64() > limit) throw TFatal("the jobs did not finish in time");
        Sleep(5);
    }
    QueryPerformanceCounter(&now);
    const double seconds = static_cast<double>(now.QuadPart - start.QuadPart) /
                           static_cast<double>(frequency.QuadPart);
    std::printf("jobs=%d seconds=%.3f\n", jobs, seconds);
    std::fflush(stdout);
    Click(c.Pause);
    PressOk(WaitBox(app, "PAUSE"));
    app.Quit();
    return 0;
}

// The job number that the job label shows ("Job<N> ..."), -1 when it shows none.
long LabelJob(HWND label) {
    const std::string text = Text(label);
    if (!StartsWith(text, "Job")) return -1;
    char* end = nullptr;
    const long n = std::strtol(text.c_str() + 3, &end, 10);
    return end == text.c_str() + 3 ? -1 : n;
}

// The open handles of a process. Where GetProcessHandleCount gives nothing for another
// process (Wine), the count comes from the system's process list.
unsigned long HandleCount(HANDLE process, DWORD pid) {
    DWORD count = 0;
    if (GetProcessHandleCount(process, &count) && count > 0) return count;
    using TQuery = NTSTATUS(NTAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<TQuery>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    std::vector<char> buffer(1 << 20);
    ULONG needed = 0;
    while (query(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                 &needed) != 0) {
        if (buffer.size() >= (64u << 20)) return 0;
        buffer.resize(buffer.size() * 2);
    }
    for (std::size_t offset = 0;;) {
        const auto* info = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
        if (reinterpret_cast<ULONG_PTR>(info->UniqueProcessId) == pid) return info->HandleCount;
        if (info->NextEntryOffset == 0) return 0;
        offset += info->NextEntryOffset;
    }
}

// One line of figures: the job reached, the program's open handles, its working set and
// the time per job since the previous line.
void SoakLine(const TApp& app, long job, double msPerJob) {
    const unsigned long handles = HandleCount(app.Handle(), app.Pid());
    PROCESS_MEMORY_COUNTERS mem{};
    mem.cb = sizeof mem;
    GetProcessMemoryInfo(app.Handle(), &mem, sizeof mem);
    std::printf("job=%ld handles=%lu workingset_kib=%lu ms_per_job=%.2f\n", job,
                handles,
                static_cast<unsigned long>(mem.WorkingSetSize / 1024), msPerJob);
    std::fflush(stdout);
}

// Deletes Job<K> and Job<K>.cnd for the jobs before `below` not deleted yet.
void DeleteJobFiles(const std::string& model, long& from, long below) {
    for (; from < below; ++from)
        for (const char* ext : {"", ".cnd"})
            DeleteFileA((model + "\\Job" + std::to_string(from) + ext).c_str());
}

int Soak(const std::string& exe, long jobs, bool tidy) {
    const std::string folder = fs::path(exe).parent_path().string();
    long tidied = 0;
    TApp app(exe, folder);
    TControls c(app.Window());
    if (!IsWindowEnabled(c.Start)) throw TFatal("START is disabled: " + Text(c.BatchLabel));
    LARGE_INTEGER frequency, mark, now;
    QueryPerformanceFrequency(&frequency);
    Click(c.Start);
    const long step = 1000;
    long next = 100, last = -1; // the first line once the run has settled
    ULONGLONG seen = GetTickCount64();
    QueryPerformanceCounter(&mark);
    for (;;) {
        const long job = LabelJob(c.JobLabel);
        if (job != last) {
            last = job;
            seen = GetTickCount64();
            if (tidy && job > 2) DeleteJobFiles(folder + "\\model", tidied, job - 2);
        }
        if (job >= next) {
            QueryPerformanceCounter(&now);
            const double ms = 1000.0 * static_cast<double>(now.QuadPart - mark.QuadPart) /
                              static_cast<double>(frequency.QuadPart);
            const long done = next == 100 ? 100 : step;
            SoakLine(app, job, ms / static_cast<double>(done));
            mark = now;
            if (job >= jobs) break;
            next = next == 100 ? step : next + step;
            if (next > jobs) next = jobs;
        }
        if (auto boxes = Boxes(app.Pid()); !boxes.empty())
            throw TFatal("the run stopped with a box: " + Visible(ReadBox(boxes.front()).Text));
        if (GetTickCount64() - seen > 60000) throw TFatal("no job started for a minute");
        Sleep(20);
    }
    Click(c.Pause);
    PressOk(WaitBox(app, "PAUSE"));
    app.Quit();
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: pelvarn_e2e_driver basic|failures|tools|driveroot|about EXE FAKEJOB WORKDIR "
                 "[SCREENSHOT.bmp]\n       pelvarn_e2e_driver cycle|soak EXE JOBS [tidy]\n");
    return 64;
}

} // namespace

// ---- the overnight search window

// One job line of the search's journal.
struct TJournalJob {
    long Job = -1;
    bool Ok = false;
    double Seconds = 0;
};

std::vector<TJournalJob> JournalJobs(const std::string& text) {
    std::vector<TJournalJob> jobs;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const size_t at = line.find("\"job\":");
        if (at == std::string::npos) continue;
        TJournalJob j;
        j.Job = std::strtol(line.c_str() + at + 6, nullptr, 10);
        j.Ok = line.find("\"status\":\"ok\"") != std::string::npos;
        const size_t s = line.find("\"seconds\":");
        if (s != std::string::npos) j.Seconds = std::strtod(line.c_str() + s + 10, nullptr);
        jobs.push_back(j);
    }
    return jobs;
}

// The overnight window on the demo job folder with the stand-in suite: opened from the menu,
// 40 jobs with two workers, then Start again (answered: resume), Stop, Resume up to 50 jobs;
// the journal, the job files and optimal.sti are checked, and the window kept as a picture.
void Overnight(const TArgs& a) {
    const char* demo = std::getenv("PELVARN_E2E_DEMO");
    if (!demo) throw TFatal("PELVARN_E2E_DEMO names no demo job folder");
    const std::string root = a.Work, model = root + "\\model", exe = root + "\\pelvarn.exe";
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::create_directories(model);
    fs::copy_file(a.Exe, exe);
    fs::copy_file(a.FakeJob, root + "\\kesto.exe"); // FAKEJOB is the stand-in suite here
    for (const char* f : {"pelvrn.bat", "initial.sti", "trade.ksx"})
        fs::copy_file(std::string(demo) + "\\" + f, model + "\\" + f);
    TApp app(exe, root);

    // The menu bar: the new item before Quit, where the system shows another process's menu
    // (Wine does not).
    HMENU bar = GetMenu(app.Window());
    if (GetMenuItemCount(bar) > 0) {
        Check(GetMenuItemID(bar, 0) == IdmOvernight && GetMenuItemID(bar, 1) == IdmQuit,
              "the menu bar holds the overnight item, then Quit");
        char item[64] = {};
        GetMenuStringA(bar, 0, item, sizeof item, MF_BYPOSITION);
        CheckEq(item, "&Overnight search...", "the overnight item's text");
    } else {
        Say("the menu bar cannot be read from here: its items are not checked");
    }

    app.Command(IdmOvernight);
    HWND form = WaitTopWindow(app, "TOvernightForm", "the overnight window opens from the menu");
    CheckEq(Text(form), " Overnight search", "overnight window caption");
    Check(GetWindow(form, GW_OWNER) == app.Window(), "owned by the main window");
    auto ctl = [&](int id) {
        HWND h = GetDlgItem(form, id);
        if (!h) throw TFatal("no control " + std::to_string(id) + " in the overnight window");
        return h;
    };
    HWND start = ctl(IdcOvernightStart), stop = ctl(IdcOvernightStop),
         resume = ctl(IdcOvernightResume), status = ctl(IdcOvernightStatus),
         list = ctl(IdcOvernightJobList);
    CheckEq(Text(ctl(IdcOvernightFolderLabel)), "Job folder: " + model, "the job folder shown");
    CheckEq(ClassOf(ctl(IdcOvernightPlot)), "TPlotView", "the plot view");
    Check(IsWindowEnabled(start) && !IsWindowEnabled(stop) && !IsWindowEnabled(resume) &&
              !IsWindowEnabled(ctl(IdcOvernightReport)),
          "Start alone enabled before a search");
    app.Command(IdmOvernight);
    Sleep(300);
    Check(TopWindows(app.Pid(), "TOvernightForm").size() == 1, "one overnight window only");

    auto setText = [&](int id, const std::string& text) {
        SendMessageA(ctl(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    };
    setText(IdcOvernightJobsAtOnce, "2");
    setText(IdcOvernightStopHours, "");
    setText(IdcOvernightCap, "");
    setText(IdcOvernightVerify, "");
    setText(IdcOvernightLauncher, "");
    SendMessageA(ctl(IdcOvernightSkipFailed), BM_SETCHECK, BST_CHECKED, 0);

    // A refused field names itself and starts nothing.
    setText(IdcOvernightStopJobs, "forty");
    Click(start);
    TBox refusal = WaitBox(app, "a refused option");
    Check(refusal.Text.rfind("Stop after jobs:", 0) == 0,
          "the refusal names the field: " + refusal.Text);
    Check(refusal.HasHelp(), "the refusal has Help");
    PressOk(refusal);

    // The window answers within a second while jobs start, run and end.
    DWORD slowest = 0;
    auto waitEnded = [&](const std::string& why, int timeoutMs) {
        Step(why);
        Sleep(300);
        if (!WaitUntil(
                [&] {
                    const ULONGLONG t0 = GetTickCount64();
                    DWORD_PTR length = 0;
                    if (!SendMessageTimeoutA(status, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000,
                                             &length))
                        throw TFatal("the overnight window does not answer");
                    slowest = std::max<DWORD>(slowest, static_cast<DWORD>(GetTickCount64() - t0));
                    if (!Boxes(app.Pid()).empty())
                        throw TFatal("a box appeared: " +
                                     Visible(ReadBox(Boxes(app.Pid())[0]).Text));
                    return IsWindowEnabled(start) != FALSE;
                },
                timeoutMs))
            throw TFatal("the search did not end: " + Text(status));
    };
    auto rows = [&] { return static_cast<long>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); };

    setText(IdcOvernightStopJobs, "40");
    Click(start);
    Check(WaitUntil([&] { return IsWindowEnabled(stop) != FALSE; }, 5000),
          "Stop enabled while running");
    waitEnded("40 jobs with two workers", 300000);
    Say("status: %s", Text(status).c_str());
    Check(Text(status).rfind("40 done, 0 running, best Job", 0) == 0,
          "status after 40 jobs: " + Text(status));
    Check(Text(status).find("% faster") != std::string::npos, "the status says how much faster");
    CheckEq(std::to_string(rows()), "40", "40 rows in the job list");
    Check(IsWindowEnabled(resume) != FALSE, "Resume enabled once a journal exists");

    // Start again: the journal question; Yes resumes. Stop while it runs; Resume to 50.
    setText(IdcOvernightStopJobs, "50");
    Click(start);
    TBox question = WaitBox(app, "the journal question");
    Check(question.Buttons.size() == 3, "Yes, No and Cancel");
    HWND yes = GetDlgItem(question.Wnd, IDYES);
    Check(yes != nullptr, "a Yes button");
    if (yes) Click(yes);
    Check(WaitUntil([&] { return rows() >= 42; }, 120000), "the resumed search runs");
    Click(stop);
    waitEnded("Stop: the running jobs finish", 120000);
    const long stoppedAt = rows();
    Say("stopped with %ld jobs: %s", stoppedAt, Text(status).c_str());
    Check(stoppedAt >= 42 && stoppedAt <= 50, "stopped between 42 and 50 jobs");
    Check(Text(status).find("stopped") != std::string::npos, "the status says stopped");
    Click(resume);
    waitEnded("Resume up to 50 jobs", 120000);
    CheckEq(std::to_string(rows()), "50", "50 rows in the job list");
    Say("slowest answer of the window while searching: %lu ms",
        static_cast<unsigned long>(slowest));
    Check(slowest < 1000, "the window answers within a second while searching");
    Sleep(500);
    SaveScreenshot(form, a.Screenshot);

    // The journal: jobs 0..49 once each; their files; optimal.sti as the best job's.
    const auto jobs = JournalJobs(ReadFile(model + "\\search.jsonl"));
    CheckEq(std::to_string(jobs.size()), "50", "50 jobs in the journal");
    std::vector<int> seen(50, 0);
    const TJournalJob* best = nullptr;
    for (const TJournalJob& j : jobs) {
        if (j.Job >= 0 && j.Job < 50) ++seen[static_cast<size_t>(j.Job)];
        if (j.Ok && (!best || j.Seconds < best->Seconds)) best = &j;
    }
    for (int k = 0; k < 50; ++k) {
        Check(seen[static_cast<size_t>(k)] == 1,
              "Job" + std::to_string(k) + " once in the journal");
        Check(fs::exists(model + "\\Job" + std::to_string(k)) &&
                  fs::exists(model + "\\Job" + std::to_string(k) + ".cnd"),
              "Job" + std::to_string(k) + " and its .cnd in the job folder");
    }
    Check(best && best->Job > 0, "a job faster than initial.sti");
    if (best && best->Job > 0)
        CheckEq(ReadFile(model + "\\optimal.sti"),
                ReadFile(model + "\\Job" + std::to_string(best->Job)),
                "optimal.sti is the best job's");
    Check(!fs::exists(model + "\\initial.sti.bak"), "initial.sti left alone");

    Click(ctl(IdcOvernightClose));
    Check(WaitUntil([&] { return TopWindows(app.Pid(), "TOvernightForm").empty(); }, 10000),
          "Close closes the idle window");

    // Quitting while a search runs asks; Yes lets the running jobs finish, then the program
    // ends, with every finished job in the journal.
    app.Command(IdmOvernight);
    form = WaitTopWindow(app, "TOvernightForm", "the window opens again");
    start = ctl(IdcOvernightStart);
    list = ctl(IdcOvernightJobList);
    setText(IdcOvernightStopJobs, "");
    Click(start);
    TBox again = WaitBox(app, "the journal question again");
    if (HWND y = GetDlgItem(again.Wnd, IDYES)) Click(y);
    Check(WaitUntil([&] { return rows() >= 53; }, 120000), "the search runs on");
    app.Command(IdmQuit);
    TBox quit = WaitBox(app, "Quit while the search runs");
    Check(quit.Text.find("Stop it?") != std::string::npos, "the question: " + Visible(quit.Text));
    if (HWND y = GetDlgItem(quit.Wnd, IDYES)) Click(y);
    Check(app.Exited(60000), "the program ends once the running jobs have finished");
    const auto after = JournalJobs(ReadFile(model + "\\search.jsonl"));
    Say("jobs in the journal after quitting: %zu", after.size());
    Check(after.size() >= 53, "the jobs of the last run are in the journal");
    std::vector<int> once(after.size() + 1, 0);
    for (const TJournalJob& j : after)
        if (j.Job >= 0 && static_cast<size_t>(j.Job) < once.size())
            ++once[static_cast<size_t>(j.Job)];
    Check(std::count(once.begin(), once.end(), 1) == static_cast<long>(after.size()),
          "every job once in the journal");
}

// HELP and a message box's Help button reach the engine with the help file beside the program
// and the box's context: a recording hhctrl.ocx beside pelvarn.exe takes the calls.
void Help(const TArgs& a) {
    TWorkspace ws(a.Work, a.Exe, a.FakeJob);
    const std::string exeFolder = a.Exe.substr(0, a.Exe.find_last_of('\\') + 1);
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string selfPath = self;
    const std::string selfFolder = selfPath.substr(0, selfPath.find_last_of('\\') + 1);
    fs::copy_file(exeFolder + "pelvarn.chm", ws.Root + "\\pelvarn.chm");
    fs::copy_file(selfFolder + "hhctrl.ocx", ws.Root + "\\hhctrl.ocx");
    const std::string calls = ws.Root + "\\hhcalls.txt";
    const std::string chm = ws.Root + "\\pelvarn.chm";
    WriteFile(ws.File("initial.sti"), "no markers here\r\n");
    TApp app(ws.Exe, ws.Root);
    TControls c(app.Window());

    Click(c.Help);
    Sleep(500);
    CheckEq(ReadFile(calls), "1|" + chm + "|0\r\n0|" + chm + "|0\r\n",
            "HELP: the contents, then the default topic");
    std::error_code ec;
    fs::remove(calls, ec);

    Click(c.Start);
    TBox box = WaitBox(app, "START with a refused initial.sti");
    HWND help = ChildByText(box.Wnd, "Button", "Help");
    Check(help != nullptr, "the refusal box has a Help button");
    // The Help button and F1 both make the box send WM_HELP, which goes to the callback. Wine's
    // boxes do nothing on the button itself (a known gap), so the F1 path is taken there.
    if (help) Click(help);
    Sleep(300);
    if (ReadFile(calls).empty()) PostMessageA(help ? help : box.Wnd, 0x004D /* WM_KEYF1 */, 0, 0);
    Sleep(500);
    // The box itself carries its context, so the pop-up position goes first (shown as the
    // contents and the default topic), then the contents and the context's topic.
    CheckEq(ReadFile(calls),
            "1|" + chm + "|0\r\n0|" + chm + "|0\r\n1|" + chm + "|0\r\n15|" + chm + "|776254\r\n",
            "a box's Help: the topic of context 776254");
    Say("engine calls of the box's Help: %s", Visible(ReadFile(calls)).c_str());
    PressOk(box);
    fs::remove(calls, ec);

    // The about box carries the main window's context 776257: its Help button, F1 on any of
    // its controls or on the box, and F1 in the diagnostics window it opens all show that
    // topic, with the box's pop-up position first.
    const std::string aboutCalls =
        "1|" + chm + "|0\r\n0|" + chm + "|0\r\n1|" + chm + "|0\r\n15|" + chm + "|776257\r\n";
    auto takeCalls = [&] {
        WaitUntil([&] { return ReadFile(calls).size() >= aboutCalls.size(); }, 5000);
        Sleep(200); // nothing more may follow
        const std::string got = ReadFile(calls);
        fs::remove(calls, ec);
        return got;
    };
    PostMessageA(c.Image1, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(c.Image1, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    HWND about = WaitTopWindow(app, "TxwAboutBox", "picture clicked");
    Click(ChildByText(about, "Button", "&Help"));
    CheckEq(takeCalls(), aboutCalls, "the about box's Help button");
    HWND aboutOk = ChildByText(about, "Button", "&OK");
    for (HWND target : {aboutOk, ChildByText(about, "Button", "&Diagnostics"), about}) {
        PostMessageA(target, 0x004D /* WM_KEYF1 */, 0, 0);
        CheckEq(takeCalls(), aboutCalls, "F1 in the about box on " + ClassOf(target));
    }
    Click(ChildByText(about, "Button", "&Diagnostics"));
    HWND form = WaitTopWindow(app, "TxwDiagForm", "Diagnostics clicked");
    for (HWND target : {ChildOfClass(form, "Edit"), form}) {
        PostMessageA(target, 0x004D /* WM_KEYF1 */, 0, 0);
        CheckEq(takeCalls(), aboutCalls, "F1 in the diagnostics window on " + ClassOf(target));
    }
    Click(ChildByText(form, "Button", "&OK"));
    WaitUntil([&] { return !IsWindow(form) || !IsWindowVisible(form); }, 10000);
    Click(aboutOk);
    WaitUntil([&] { return !IsWindow(about) || !IsWindowVisible(about); }, 10000);
    Check(ReadFile(calls).empty(), "closing the windows asks for no help");

    app.Quit();
    CheckEq(ReadFile(calls), "18||0\r\n", "the program closes the help windows as it ends");
}

int main(int argc, char** argv) {
    SetProcessDPIAware();
    if (argc < 2) return Usage();
    const std::string mode = argv[1];
    try {
        if (mode == "cycle") {
            if (argc != 4) return Usage();
            const int jobs = std::atoi(argv[3]);
            if (jobs < 1) return Usage();
            return Cycle(argv[2], jobs);
        }
        if (mode == "soak") {
            if (argc != 4 && !(argc == 5 && std::string(argv[4]) == "tidy")) return Usage();
            const long jobs = std::atol(argv[3]);
            if (jobs < 100) return Usage();
            return Soak(argv[2], jobs, argc == 5);
        }
        if (argc < 5) return Usage();
        TArgs a{argv[2], argv[3], argv[4], argc > 5 ? argv[5] : std::string(argv[4]) + ".bmp"};
        if (mode == "basic")
            Basic(a);
        else if (mode == "failures")
            Failures_(a);
        else if (mode == "tools")
            Tools(a);
        else if (mode == "help")
            Help(a);
        else if (mode == "driveroot")
            DriveRoot(a);
        else if (mode == "about")
            About(a);
        else if (mode == "overnight")
            Overnight(a);
        else
            return Usage();
    } catch (const std::exception& e) {
        Say("FATAL: %s", e.what());
        return 1;
    }
    if (Failures) {
        Say("%d check(s) failed", Failures);
        return 1;
    }
    Say("all checks passed");
    return 0;
}

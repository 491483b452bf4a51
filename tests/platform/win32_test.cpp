// The Windows-only services: registry settings, fonts, window placement, memory figures
// and the clipboard. They have no POSIX counterpart, so the file is empty there.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/KVRegKey.h"
#include "platform/SafeClip.h"
#include "platform/formfont.h"
#include "platform/memstat.h"
#include "platform/workarea.h"
#include "platform/xwutil.h"

using namespace pelvarn;

namespace {

// Points HKEY_CURRENT_USER at a scratch key for the test's lifetime, so that the user's own
// settings are neither read nor touched.
class TScratchUserKey {
  public:
    TScratchUserKey() {
        Name = "Software\\PelvarnTestScratch" + std::to_string(GetCurrentProcessId());
        if (RegCreateKeyExA(HKEY_CURRENT_USER, Name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &Scratch, nullptr) != ERROR_SUCCESS) {
            Scratch = nullptr;
            return;
        }
        Overridden = RegOverridePredefKey(HKEY_CURRENT_USER, Scratch) == ERROR_SUCCESS;
    }
    ~TScratchUserKey() {
        if (Overridden) RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (Scratch) RegCloseKey(Scratch);
        RegDeleteTreeA(HKEY_CURRENT_USER, Name.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, Name.c_str());
    }
    bool Ok() const { return Overridden; }

    bool KalvernKeyExists() const {
        HKEY k = nullptr;
        if (RegOpenKeyExA(Scratch, "Software\\KALVERN", 0, KEY_READ, &k) != ERROR_SUCCESS)
            return false;
        RegCloseKey(k);
        return true;
    }
    void Set(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY k = nullptr;
        ASSERT_EQ(RegCreateKeyExA(Scratch, "Software\\KALVERN", 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(k);
    }
    void SetDword(const char* name, DWORD v) { Set(name, REG_DWORD, &v, sizeof v); }

  private:
    std::string Name;
    HKEY Scratch = nullptr;
    bool Overridden = false;
};

// A plain top-level window for placement tests; null when there is no display.
struct TTestWindow {
    HWND Wnd = nullptr;
    TTestWindow(int x, int y, int w, int h) {
        Wnd = CreateWindowExA(0, "STATIC", "pelvarn test", WS_POPUP, x, y, w, h, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    }
    ~TTestWindow() {
        if (Wnd) DestroyWindow(Wnd);
    }
    RECT Rect() const {
        RECT r{};
        GetWindowRect(Wnd, &r);
        return r;
    }
};

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return "<cannot open>";
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(h))) {
            text = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return text;
}

} // namespace

TEST(KVRegKey, MissingKeyGivesDefaultsAndIsCreatedEmpty) {
    TScratchUserKey user;
    if (!user.Ok()) GTEST_SKIP() << "HKEY_CURRENT_USER cannot be redirected here";
    EXPECT_FALSE(user.KalvernKeyExists());
    EXPECT_FALSE(FlashTaskBar());
    EXPECT_TRUE(user.KalvernKeyExists());
    bool exists = true;
    EXPECT_TRUE(ReadKVRegKey("FlashTaskBar", exists, true));
    EXPECT_FALSE(exists);
    EXPECT_EQ(DescribeKVRegKey("FlashTaskBar"),
              "There is no KVRegKey setting for \"FlashTaskBar\".");
}

TEST(KVRegKey, ValuesAndTheirDescriptions) {
    TScratchUserKey user;
    if (!user.Ok()) GTEST_SKIP() << "HKEY_CURRENT_USER cannot be redirected here";
    user.SetDword("UseSparse", 1);
    user.SetDword("FlashTaskBar", 0);
    user.SetDword("Big", 0x80000000u);
    user.Set("Text", REG_SZ, "1", 2);
    const unsigned long long wide = 1;
    user.Set("Wide", REG_QWORD, &wide, sizeof wide);

    struct TCase {
        const char* Name;
        bool Default, Want, Exists;
        const char* Sentence;
    };
    const TCase cases[] = {
        {"UseSparse", false, true, true, "KVRegKey setting for \"UseSparse\" is true."},
        {"FlashTaskBar", true, false, true, "KVRegKey setting for \"FlashTaskBar\" is false."},
        {"Big", false, true, true, "KVRegKey setting for \"Big\" is true."},
        {"Text", true, true, false,
         "The KVRegKey setting for \"Text\" is not a 32-bit number and is ignored."},
        {"Wide", false, false, false,
         "The KVRegKey setting for \"Wide\" is not a 32-bit number and is ignored."},
        {"Nothing", true, true, false, "There is no KVRegKey setting for \"Nothing\"."},
    };
    for (const auto& c : cases) {
        bool exists = !c.Exists;
        EXPECT_EQ(ReadKVRegKey(c.Name, exists, c.Default), c.Want) << c.Name;
        EXPECT_EQ(exists, c.Exists) << c.Name;
        EXPECT_EQ(KVRegBool(c.Name, c.Default), c.Want) << c.Name;
        EXPECT_EQ(DescribeKVRegKey(c.Name), c.Sentence);
    }
    EXPECT_FALSE(FlashTaskBar());
}

TEST(KVRegKey, UserTextValuesReadBackAsStored) {
    TScratchUserKey user;
    if (!user.Ok()) GTEST_SKIP() << "HKEY_CURRENT_USER cannot be redirected here";
    const std::string key = "Software\\Pelvarn\\Overnight";
    EXPECT_EQ(ReadUserRegText(key, "Strategy"), "");
    HKEY k = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &k), ERROR_SUCCESS)
        << "reading created the key";
    WriteUserRegText(key, "Strategy", "sweep");
    WriteUserRegText(key, "Launcher", "");
    WriteUserRegText(key, "Long", std::string(5000, 'x'));
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &k), ERROR_SUCCESS);
    const DWORD number = 1;
    RegSetValueExA(k, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    RegCloseKey(k);
    const std::pair<const char*, std::string> cases[] = {
        {"Strategy", "sweep"}, {"Launcher", ""}, {"Long", ""}, {"Number", ""}, {"Nothing", ""}};
    for (const auto& [name, want] : cases)
        EXPECT_EQ(ReadUserRegText(key, name), want) << name;
}

TEST(FormFont, FirstInstalledOfAListIgnoringCase) {
    const std::vector<std::string> proportional{"Arial", "Segoe UI"};
    EXPECT_EQ(FirstInstalledFont(proportional, {"Tahoma", "segoe ui"}, "Menu"), "segoe ui");
    EXPECT_EQ(FirstInstalledFont(proportional, {"Segoe UI", "ARIAL"}, "Menu"), "ARIAL");
    EXPECT_EQ(FirstInstalledFont(proportional, {"Tahoma"}, "Menu"), "Menu");
    EXPECT_EQ(FirstInstalledFont({}, {"Arial"}, "Menu"), "Menu");
}

TEST(FormFont, SystemChoices) {
    const std::string menu = MenuFontFace();
    EXPECT_LT(menu.size(), 32u);
    EXPECT_FALSE(ProportionalFontName().empty() && !menu.empty());
    LOGFONTA font{};
    ApplyUiFont(font);
    EXPECT_EQ(std::string(font.lfFaceName), ProportionalFontName());
    EXPECT_LT(font.lfHeight, 0); // a character height in points, not a cell height
    StockFixedFontName();        // answers without a display too
}

TEST(XwUtil, WindowTextOfAWindow) {
    TTestWindow w(0, 0, 100, 50);
    if (!w.Wnd) GTEST_SKIP() << "no window could be made here";
    EXPECT_EQ(WindowText(w.Wnd), "pelvarn test");
    SetWindowTextA(w.Wnd, "");
    EXPECT_EQ(WindowText(w.Wnd), "");
    EXPECT_EQ(WindowText(nullptr), "");
}

TEST(WorkArea, AlwaysAnAreaAndDialogsLandInsideIt) {
    int l = 0, t = 0, w = 0, h = 0;
    GetWorkArea(nullptr, l, t, w, h);
    TTestWindow main(-150, 50, 400, 300);
    TTestWindow dialog(0, 0, 200, 100);
    if (!main.Wnd || !dialog.Wnd) GTEST_SKIP() << "no windows without a display";
    const TArea work = GetWorkArea(main.Wnd);
    EXPECT_GT(work.Width, 0);
    EXPECT_GT(work.Height, 0);

    CenterOnMainForm(dialog.Wnd, main.Wnd);
    RECT m = main.Rect(), d = dialog.Rect();
    TPoint want = CenterOver({m.left, m.top, m.right - m.left, m.bottom - m.top}, d.right - d.left,
                             d.bottom - d.top, work);
    EXPECT_EQ(d.left, want.X);
    EXPECT_EQ(d.top, want.Y);
    EXPECT_GE(d.left, work.Left); // the main window hangs off the left edge

    CenterOnMainForm(dialog.Wnd, nullptr); // no main window: nothing moves
    EXPECT_EQ(dialog.Rect().left, d.left);
}

TEST(MemStat, FiguresAreConsistent) {
    TMemStatus s;
    s.MemoryLoad = -1;
    GetMemoryStatus(s);
    EXPECT_GE(s.MemoryLoad, 0);
    EXPECT_LE(s.MemoryLoad, 100);
    EXPECT_GT(s.TotalPhys, 0);
    EXPECT_LE(s.AvailPhys, s.TotalPhys);
    EXPECT_GT(s.TotalVirtual, 0);
    EXPECT_LE(s.AvailVirtual, s.TotalVirtual);
    // A 64-bit process has terabytes of address space (8 or 128 TB): not capped at 2 TB.
    if (sizeof(void*) == 8) {
        EXPECT_GT(s.TotalVirtual, std::int64_t{0x7FFFFFFF});
    }
    EXPECT_GT(WorkingSetKB(), 0);
}

TEST(SafeClip, CopiesAndWaitsForAnotherHolder) {
    if (!CopyTextSafely("first copy")) GTEST_SKIP() << "no clipboard here";
    EXPECT_EQ(ClipboardText(), "first copy");

    std::atomic<bool> held{false};
    std::thread holder([&] {
        TTestWindow owner(0, 0, 1, 1);
        if (OpenClipboard(owner.Wnd)) {
            held = true;
            Sleep(500);
            CloseClipboard();
        }
        held = true;
    });
    while (!held)
        Sleep(1);
    EXPECT_TRUE(CopyTextSafely("after the wait"));
    holder.join();
    EXPECT_EQ(ClipboardText(), "after the wait");
}

#endif // _WIN32

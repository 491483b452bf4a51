// The Windows probes of the diagnostics report, on scratch registry keys of their own.
#ifdef _WIN32

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/sysprobe.h"

using namespace pelvarn;

namespace {

// A key under HKEY_CURRENT_USER, removed with its contents afterwards.
class TScratch {
  public:
    explicit TScratch(const std::string& name)
        : Name(name + std::to_string(GetCurrentProcessId())) {}
    ~TScratch() { RegDeleteTreeA(HKEY_CURRENT_USER, Name.c_str()); }
    void SetString(const std::string& sub, const std::string& value, const std::string& data) {
        HKEY k = Create(sub);
        RegSetValueExA(k, value.empty() ? nullptr : value.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1));
        RegCloseKey(k);
    }
    void SetDword(const std::string& value, DWORD data) {
        HKEY k = Create("");
        RegSetValueExA(k, value.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                       sizeof data);
        RegCloseKey(k);
    }
    std::string Name;

  private:
    HKEY Create(const std::string& sub) {
        HKEY k = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, (sub.empty() ? Name : Name + "\\" + sub).c_str(), 0,
                        nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
        return k;
    }
};

} // namespace

TEST(SysProbe, RegistryValuesByType) {
    TScratch key("Software\\PelvarnProbeTest");
    key.SetString("", "Text", "hello");
    key.SetDword("Number", 7);
    struct TCase {
        std::string Name;
        bool StringOk, IntOk;
        std::string Text;
        std::int32_t Number;
    };
    const TCase cases[] = {
        {"Text", true, false, "hello", 0},
        {"Number", false, true, "", 7},
        {"Missing", true, true, "", 0},
    };
    for (const TCase& c : cases) {
        std::string text = "x", error;
        std::int32_t number = -1;
        EXPECT_EQ(ReadRegString(TRegRoot::CurrentUser, "\\" + key.Name, c.Name, text, error),
                  c.StringOk)
            << c.Name;
        if (c.StringOk)
            EXPECT_EQ(text, c.Text) << c.Name;
        else
            EXPECT_FALSE(error.empty()) << c.Name;
        EXPECT_EQ(ReadRegInteger(TRegRoot::CurrentUser, "\\" + key.Name, c.Name, number, error),
                  c.IntOk)
            << c.Name;
        if (c.IntOk)
            EXPECT_EQ(number, c.Number) << c.Name;
        else
            EXPECT_FALSE(error.empty()) << c.Name;
    }
}

TEST(SysProbe, WriteTestLeavesItsValue) {
    for (int round = 0; round < 2; ++round)
        EXPECT_TRUE(CanWriteRegistry(TRegRoot::CurrentUser));
    std::string value, error;
    EXPECT_TRUE(
        ReadRegString(TRegRoot::CurrentUser, "\\SoftWare\\TestRegAccess", "Test", value, error));
    EXPECT_EQ(value, "TestString");
}

TEST(SysProbe, OpenCommandFollowsTheFileType) {
    // Scratch classes written through HKEY_CLASSES_ROOT itself (for a user without the
    // rights to the machine's classes they land in the user's own).
    const std::string ext = ".pvt" + std::to_string(GetCurrentProcessId() % 10000);
    const std::string type = "PelvarnProbe" + ext.substr(1) + ".File";
    struct TClean {
        std::string Ext, Type;
        ~TClean() {
            RegDeleteTreeA(HKEY_CLASSES_ROOT, (Ext).c_str());
            RegDeleteTreeA(HKEY_CLASSES_ROOT, (Type).c_str());
            RegDeleteTreeA(HKEY_CLASSES_ROOT, (Ext + "x").c_str());
        }
    } clean{ext, type};
    auto set = [](const std::string& key, const std::string& data) {
        HKEY k = nullptr;
        RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                        nullptr);
        RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1));
        RegCloseKey(k);
    };
    EXPECT_EQ(OpenCommandFor(ext), ""); // no extension key
    set(ext, type);
    EXPECT_EQ(OpenCommandFor(ext), ""); // no file-type key
    set(type + "\\shell\\open\\command", "viewer.exe \"%1\"");
    EXPECT_EQ(OpenCommandFor(ext), "viewer.exe \"%1\"");
    set(ext + "x", "");
    EXPECT_EQ(OpenCommandFor(ext + "x"), ""); // empty file type
}

TEST(SysProbe, SystemTexts) {
    const std::string os = OsVersionText();
    EXPECT_NE(os.find(" (NT."), std::string::npos) << os;
    EXPECT_NE(os.find(") "), std::string::npos) << os;
    bool wow = true;
    const std::string wowText = Wow64Text(wow);
    if (sizeof(void*) == 8) { // a 64-bit process never runs on Wow64
        EXPECT_EQ(wowText, "Process is NOT running on Wow64");
        EXPECT_FALSE(wow);
    }
    EXPECT_NE(LocaleText(LocaleEnglishLanguage), "Unknown");
    EXPECT_EQ(LocaleText(0x7FFFFFF), "Unknown");
    const double hz = CpuSpeedMHz();
    EXPECT_GT(hz, 1e7);
    EXPECT_EQ(CpuSpeedMHz(), hz); // measured once
}

#endif

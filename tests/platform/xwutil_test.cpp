#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#ifdef _WIN32
#include <windows.h>
#endif

#include "base/textutil.h"
#include "platform/placement.h"
#include "platform/xwutil.h"
#include "support/tempdir.h"

using namespace pelvarn;

namespace {

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str()); // an empty value removes the variable there
#else
    setenv(name, value.c_str(), 1);
#endif
}

void UnsetEnv(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

} // namespace

TEST(SizeText, PicksTheLargestUnitAndTrimsZeros) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0 bytes"},
        {5, "5 bytes"},
        {512, "512 bytes"},
        {1023, "1023 bytes"},
        {1024, "1KB"},
        {1536, "1.5KB"},
        {1100, "1.07KB"},            // two decimals up to 10
        {10 * 1024, "10KB"},         // 10 is not above 10
        {10 * 1024 + 512, "10.5KB"}, // one decimal above 10
        {102400, "100KB"},           // not above 100: one decimal, a zero trimmed
        {102349, "100KB"},           // 99.95 rounds to 100.0 and loses ".0"
        {103015, "101KB"},           // 100.6 is above 100: no decimals
        {1048575, "1024KB"},         // just below 1 MB rounds up in its own unit
        {10LL * 1024 * 1024, "10MB"},
        {3LL * 1024 * 1024 / 2, "1.5MB"},
        {1024LL * 1024 * 1024, "1GB"},
        {5LL * 1024 * 1024 * 1024 / 4, "1.25GB"},
        {2048LL * 1024 * 1024 * 1024, "2048GB"},
    };
    for (auto [bytes, want] : cases)
        EXPECT_EQ(SizeText(bytes), want) << bytes;
}

TEST(SysErrorText, ZeroHasItsOwnTextAndOthersComeFromTheSystem) {
    EXPECT_EQ(SysErrorText(0), "errcode=0");
    const std::string missing = SysErrorText(2);
    EXPECT_FALSE(missing.empty());
    EXPECT_NE(missing, "format message error");
#ifdef _WIN32
    EXPECT_EQ(missing.substr(missing.size() - 2), "\r\n"); // the system's own line break
    EXPECT_EQ(SysErrorText(0x7FFFFF01), "format message error");
    // A message with an insert (%1) comes back with the insert as it stands.
    EXPECT_NE(SysErrorText(ERROR_BAD_EXE_FORMAT), "format message error");
#endif
}

TEST(GetEnvText, DefaultWhenAbsentEmptyOrTooLong) {
    const char* name = "PELVARN_TEST_ENV";
    UnsetEnv(name);
    EXPECT_EQ(GetEnvText(name, "dflt"), "dflt");
    SetEnv(name, "");
    EXPECT_EQ(GetEnvText(name, "dflt"), "dflt");
    SetEnv(name, "  kept as stored ");
    EXPECT_EQ(GetEnvText(name, "dflt"), "  kept as stored ");
    const std::string fits(8095, 'x');
    SetEnv(name, fits);
    EXPECT_EQ(GetEnvText(name, "dflt"), fits);
    SetEnv(name, fits + "x");
    EXPECT_EQ(GetEnvText(name, "dflt"), "dflt");
    UnsetEnv(name);
}

TEST(XwUtil, SnapshotIsTakenOnce) {
    InitXwUtil();
    const std::string comSpec = ComSpec();
    const std::int32_t count = ProcessorCount();
    EXPECT_GE(count, 1);
    EXPECT_EQ(comSpec, Trim(GetEnvText("COMSPEC", "")));
    EXPECT_EQ(WineVersion(), WineVersionText());

    SetEnv("COMSPEC", "changed-afterwards");
    InitXwUtil(); // a second start changes nothing
    EXPECT_EQ(ComSpec(), comSpec);
    EXPECT_EQ(ProcessorCount(), count);
    if (comSpec.empty())
        UnsetEnv("COMSPEC");
    else
        SetEnv("COMSPEC", comSpec);
}

TEST(XwUtil, FileSizeAndDate) {
    test::TTempDir dir;
    const std::string file = dir.Write("five.txt", "12345");
    EXPECT_EQ(FileSizeOf(file), 5);
    EXPECT_EQ(FileSizeOf(dir.File("missing.txt")), -1);
    EXPECT_EQ(FileSizeOf(dir.File("fi*.txt")), 5); // the first match of a pattern

    EXPECT_EQ(FileDateText(dir.File("missing.txt")), "not found");
    const std::string date = FileDateText(file);
    EXPECT_NE(date, "not found");
    EXPECT_FALSE(date.empty());
}

TEST(XwUtil, LowerFileName) {
    EXPECT_EQ(LowerFileName("C:\\Jobs\\PELVRN.Bat"), "c:\\jobs\\pelvrn.bat");
    EXPECT_EQ(LowerFileName(""), "");
}

TEST(Placement, CentresOverTheMainWindowInsideTheWorkArea) {
    struct TCase {
        const char* What;
        TArea Main;
        int W, H;
        TArea Work;
        TPoint Want;
    };
    const TArea screen{0, 0, 1024, 768};
    const TCase cases[] = {
        {"plain centre", {100, 100, 600, 400}, 200, 100, screen, {300, 250}},
        {"halves truncate", {0, 0, 301, 201}, 101, 51, screen, {100, 75}},
        {"main left of the origin",
         {-301, 0, 301, 200},
         101,
         50,
         {-400, 0, 800, 600},
         {-301 + 150 - 50, 75}},
        {"main partly off the left edge", {-300, 100, 400, 300}, 300, 200, screen, {0, 150}},
        {"main partly above the top", {100, -250, 400, 300}, 300, 200, screen, {150, 0}},
        {"pushed back from the right and bottom",
         {800, 600, 400, 300},
         300,
         200,
         screen,
         {724, 568}},
        {"taller than the area: bottom edge wins",
         {0, 0, 1024, 768},
         400,
         900,
         screen,
         {312, 768 - 900}},
        {"wider than the area: right edge wins",
         {0, 0, 1024, 768},
         1200,
         100,
         screen,
         {1024 - 1200, 334}},
        {"second monitor with a task bar on top",
         {1500, 40, 300, 200},
         400,
         300,
         {1280, 30, 1280, 994},
         {1450, 30}},
    };
    for (const auto& c : cases) {
        TPoint p = CenterOver(c.Main, c.W, c.H, c.Work);
        EXPECT_EQ(p.X, c.Want.X) << c.What;
        EXPECT_EQ(p.Y, c.Want.Y) << c.What;
    }
}

// The timed command launcher, driven with the helper program.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "platform/msgbox.h"
#include "platform/twtask.h"
#include "platform/xwutil.h"
#include "support/tempdir.h"

using namespace pelvarn;
namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
const bool OnWindows = true;
#else
const bool OnWindows = false;
#endif

std::string Helper() {
    std::string path = PELVARN_TEST_HELPER;
    if (!WineVersionText().empty() && path.front() == '/') { // Wine reaches /x/y through Z:
        std::replace(path.begin(), path.end(), '/', '\\');
        path = "Z:" + path;
    }
    return path;
}

// Catches the error boxes and counts the wait's sleeps (really sleeping a tenth as long).
int Sleeps = 0;
struct TCapture {
    std::vector<std::string> Boxes;
    std::vector<int> SleepsAtBox;
    TErrorBoxCatcher BeforeBox;
    twtask::TSleepFn BeforeSleep;
    TCapture() {
        Sleeps = 0;
        BeforeBox = SetErrorBoxCatcher([this](const std::string& t) {
            Boxes.push_back(t);
            SleepsAtBox.push_back(Sleeps);
        });
        BeforeSleep = twtask::SetSleepFn([](std::uint32_t ms) {
            ++Sleeps;
            std::this_thread::sleep_for(std::chrono::milliseconds(ms / 10));
        });
    }
    ~TCapture() {
        SetErrorBoxCatcher(BeforeBox);
        twtask::SetSleepFn(BeforeSleep);
    }
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    lines.push_back(text.substr(start));
    return lines;
}

} // namespace

TEST(TwTask, ExitCodeOfAProgramThatEndsByItself) {
    TCapture capture;
    std::uint32_t code = 99;
    EXPECT_TRUE(twtask::RunCmdTimed(Helper(), "exit 5", "", 2, 10, code));
    EXPECT_EQ(code, 5u);
    EXPECT_TRUE(twtask::RunCmdTimed(Helper(), "sleep 300", "", 2, 0, code)); // no limit
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(capture.Boxes.empty());
}

TEST(TwTask, TimeLimitEndsTheProgramAfterFourPolls) {
    TCapture capture;
    test::TTempDir dir;
    std::uint32_t code = 99;
    EXPECT_FALSE(twtask::RunCmdTimed(Helper(), "sleep 60000", dir.Path(), 2, 1, code));
    EXPECT_EQ(code, 0u);
    ASSERT_EQ(capture.Boxes.size(), 1u);
    EXPECT_EQ(capture.SleepsAtBox[0], 4);
    EXPECT_EQ(Sleeps, 5); // and one more before the handles are released
    const std::vector<std::string> want = {"Time limit exceeded for:", "Command: " + Helper(),
                                           "Parameters: sleep 60000", "WorkDir: " + dir.Path(),
                                           "Limit: 1 seconds"};
    EXPECT_EQ(Lines(capture.Boxes[0]), want);
}

TEST(TwTask, MissingProgramShowsTheLaunchErrorAndWhatWasSent) {
    TCapture capture;
    test::TTempDir dir;
    const std::string missing = dir.File("no such program.exe");
    const struct {
        std::string Command, Params, Sent;
    } cases[] = {
        {missing, "", "\"" + missing + "\" "}, // quoted once; the blank after it stays
        {"\"" + missing + "\"", "-sti \"a b.sti\"", "\"" + missing + "\" -sti \"a b.sti\""},
        {dir.File("plain.exe"), "", dir.File("plain.exe") + " "},
    };
    for (const auto& c : cases) {
        capture.Boxes.clear();
        std::uint32_t code = 99;
        EXPECT_FALSE(twtask::RunCmdTimed(c.Command, c.Params, dir.Path(), 1, 0, code));
        EXPECT_EQ(code, 0u);
        ASSERT_EQ(capture.Boxes.size(), 1u) << c.Command;
        const std::string system = twtask::SysErrorText(OnWindows ? 2 : ENOENT);
        EXPECT_EQ(capture.Boxes[0], "LaunchCmd error:\r\n" + system + "\r\nSent: " + c.Sent +
                                        "\r\nWorkDir: " + dir.Path());
    }
    EXPECT_EQ(Sleeps, 0);
}

TEST(TwTask, RangeErrorsComeBeforeAnythingStarts) {
    TCapture capture;
    test::TTempDir dir;
    const std::string out = dir.File("ran.txt");
    std::uint32_t code = 0;
    EXPECT_THROW(twtask::RunCmdTimed(Helper(), "write " + out + " x", "", 65536, 0, code),
                 std::out_of_range);
    EXPECT_THROW(twtask::RunCmdTimed(Helper(), "write " + out + " x", "", -1, 0, code),
                 std::out_of_range);
    EXPECT_THROW(twtask::RunCmdTimed(Helper(), "write " + out + " x", "", 1, INT_MAX / 4 + 1, code),
                 std::overflow_error);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_TRUE(twtask::RunCmdTimed(Helper(), "write " + out + " x", "", 65535, INT_MAX / 4, code));
    EXPECT_TRUE(fs::exists(out));
}

TEST(TwTask, QuotingAndErrorTexts) {
    const std::pair<const char*, const char*> cases[] = {
        {" C:\\Program Files\\kesto.exe\t", "\"C:\\Program Files\\kesto.exe\""},
        {"\"C:\\Program Files\\kesto.exe\"", "\"C:\\Program Files\\kesto.exe\""},
        {"a&b", "\"a&b\""},
        {"x^y", "\"x^y\""},
        {"a|b,c;d=e", "a|b,c;d=e"},
    };
    for (auto [item, want] : cases)
        EXPECT_EQ(twtask::QuoteIfNeeded(item), want) << item;
    EXPECT_EQ(twtask::SysErrorText(0), "errcod=0");
    EXPECT_NE(twtask::SysErrorText(2), "format message error");
}

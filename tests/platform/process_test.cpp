#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "base/paths.h"
#include "platform/cmdsplit.h"
#include "platform/process.h"
#include "platform/xwutil.h"
#include "support/tempdir.h"

using namespace pelvarn;
namespace fs = std::filesystem;

namespace {

bool UnderWine() {
    return !WineVersionText().empty();
}

// The helper's path as the started process must see it: under Wine a Unix path /x/y is
// reached through drive Z:.
std::string HostPath(std::string path) {
    if (UnderWine() && !path.empty() && path.front() == '/') {
        std::replace(path.begin(), path.end(), '/', '\\');
        path = "Z:" + path;
    }
    return path;
}

std::string Helper() {
    return HostPath(PELVARN_TEST_HELPER);
}

#ifdef _WIN32
const bool OnWindows = true;
#else
const bool OnWindows = false;
#endif

// The command interpreter and its "run this command line" switch.
std::string Shell() {
    if (!OnWindows) return "/bin/sh";
    InitXwUtil();
    return ComSpec().empty() ? "C:\\windows\\system32\\cmd.exe" : ComSpec();
}
std::string ShellRun() {
    return OnWindows ? "/c " : "-c ";
}

// Starts the helper and waits for its end, releasing the record; fails the test otherwise.
void RunHelper(const std::string& program, const std::string& params,
               const std::string& workDir = "") {
    ProcInfo info;
    std::string error;
    ASSERT_TRUE(StartProcess("", program, params, workDir, SW_ShowMinNoActive, info, error))
        << error;
    EXPECT_TRUE(error.empty());
    ASSERT_TRUE(WaitForProcessEnd(info, 20000));
    EXPECT_TRUE(ProcessEnded(info));
    EXPECT_TRUE(info.IsZero());
}

bool SameFolder(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

} // namespace

TEST(QuoteIfNeeded, QuotesOnlyForBlanksAndTheShellCharacters) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Program Files\\kv\\kesto.exe", "\"C:\\Program Files\\kv\\kesto.exe\""},
        {"C:\\kv\\kesto.exe", "C:\\kv\\kesto.exe"},
        {"  C:\\kv\\kesto.exe \t", "C:\\kv\\kesto.exe"},
        {" \"C:\\Program Files\\x.exe\" ", "\"C:\\Program Files\\x.exe\""},
        {"a&b", "\"a&b\""},
        {"(x)", "\"(x)\""},
        {"a<b", "\"a<b\""},
        {"a>b", "\"a>b\""},
        {"me@host", "\"me@host\""},
        {"a^b", "\"a^b\""},
        {"a|b,c;d=e", "a|b,c;d=e"},
        {"say \"hi\"", "\"say \"hi\"\""}, // inner quotes are not escaped
        {"\"", "\""},                     // one quote alone is not a quoted item
        {"\"a b", "\"\"a b\""},
        {"", ""},
        {"   ", ""},
    };
    for (auto [in, want] : cases)
        EXPECT_EQ(QuoteIfNeeded(in), want) << "[" << in << "]";
}

TEST(SplitCommandLine, BlanksOutsideQuotesSeparate) {
    using V = std::vector<std::string>;
    const std::pair<const char*, V> cases[] = {
        {"/bin/sh -c \"exit 3\"", V{"/bin/sh", "-c", "exit 3"}},
        {"\"/a b/prog\" x  y\t z ", V{"/a b/prog", "x", "y", "z"}},
        {"a\"b c\"d", V{"ab cd"}},
        {"prog \"\" x", V{"prog", "", "x"}},
        {"prog ", V{"prog"}},
        {"   ", V{}},
        {"\"unterminated arg", V{"unterminated arg"}},
    };
    for (const auto& [in, want] : cases)
        EXPECT_EQ(SplitCommandLine(in), want) << in;
}

TEST(Process, HelperRunsToItsEndAndTheRecordIsReleasedOnce) {
    test::TTempDir dir;
    const std::string out = dir.File("out.txt");
    ProcInfo info;
    std::string error = "stale";
    ASSERT_TRUE(StartProcess("Pelvarn", Helper(), "write " + QuoteIfNeeded(out) + " hello there",
                             "", SW_ShowNormal, info, error))
        << error;
    EXPECT_EQ(error, "");
    EXPECT_FALSE(info.IsZero());
    ASSERT_TRUE(WaitForProcessEnd(info, 20000));
    EXPECT_FALSE(info.IsZero()); // waiting leaves the record to ProcessEnded
    EXPECT_TRUE(ProcessEnded(info));
    EXPECT_TRUE(info.IsZero());
    EXPECT_TRUE(ProcessEnded(info)); // asked again: still ended
    EXPECT_EQ(test::ReadBytes(out), "hello there");
}

TEST(Process, ZeroedRecordCountsAsEnded) {
    ProcInfo info;
    EXPECT_TRUE(WaitForProcessEnd(info, 0));
    EXPECT_TRUE(ProcessEnded(info));
    KillProcess(info);
    EXPECT_TRUE(info.IsZero());
}

TEST(Process, RunningProcessIsReportedRunningUntilKilled) {
    ProcInfo info;
    std::string error;
    ASSERT_TRUE(StartProcess("", Helper(), "sleep 60000", "", SW_ShowMinNoActive, info, error))
        << error;
    const ProcInfo started = info;
    EXPECT_FALSE(ProcessEnded(info));
    EXPECT_EQ(info.ProcessId, started.ProcessId); // a running process keeps its record
    EXPECT_EQ(info.hProcess, started.hProcess);
    EXPECT_FALSE(WaitForProcessEnd(info, 50));
    EXPECT_FALSE(info.IsZero());
    KillProcess(info);
    EXPECT_TRUE(info.IsZero());
    EXPECT_TRUE(ProcessEnded(info));
}

TEST(Process, WaitSeesAShortProcessEndBeforeItsTimeOut) {
    ProcInfo info;
    std::string error;
    ASSERT_TRUE(StartProcess("", Helper(), "sleep 200", "", SW_ShowMinNoActive, info, error))
        << error;
    EXPECT_TRUE(WaitForProcessEnd(info, 30000));
    EXPECT_TRUE(WaitForProcessEnd(info, 0)); // still waitable until released
    EXPECT_TRUE(ProcessEnded(info));
}

TEST(Process, WaitForAnyWakesOnTheFirstToEnd) {
    ProcInfo slow, quick;
    std::string error;
    ASSERT_TRUE(StartProcess("", Helper(), "sleep 60000", "", SW_ShowMinNoActive, slow, error))
        << error;
    EXPECT_FALSE(WaitForAnyProcessEnd({&slow}, 50));
    ASSERT_TRUE(StartProcess("", Helper(), "sleep 200", "", SW_ShowMinNoActive, quick, error))
        << error;
    EXPECT_TRUE(WaitForAnyProcessEnd({&slow, &quick}, 30000));
    EXPECT_FALSE(ProcessEnded(slow));
    EXPECT_TRUE(ProcessEnded(quick));
    EXPECT_TRUE(WaitForAnyProcessEnd({&slow, &quick}, 0)); // a released record counts as ended
    KillProcess(slow);
}

TEST(Process, StartProcessMsgStartsLikeStartProcess) {
    ProcInfo info;
    ASSERT_TRUE(StartProcessMsg("Pelvarn", Helper(), "exit 0", "", SW_ShowMinNoActive, info));
    EXPECT_TRUE(WaitForProcessEnd(info, 20000));
    EXPECT_TRUE(ProcessEnded(info));
}

TEST(Process, KillingAnEndedProcessOnlyReleasesIt) {
    ProcInfo info;
    std::string error;
    ASSERT_TRUE(StartProcess("", Helper(), "exit 4", "", SW_ShowMinNoActive, info, error)) << error;
    ASSERT_TRUE(WaitForProcessEnd(info, 20000));
    KillProcess(info);
    EXPECT_TRUE(info.IsZero());
}

TEST(Process, BlankWorkDirInheritsTheCurrentFolder) {
    test::TTempDir dir;
    const std::string inherited = dir.File("inherited.txt");
    RunHelper(Helper(), "cwd " + QuoteIfNeeded(inherited), "  \t");
    EXPECT_TRUE(SameFolder(test::ReadBytes(inherited), fs::current_path().string()))
        << test::ReadBytes(inherited);

    const std::string given = dir.File("given.txt");
    RunHelper(Helper(), "cwd " + QuoteIfNeeded(given), dir.Path());
    EXPECT_TRUE(SameFolder(test::ReadBytes(given), dir.Path())) << test::ReadBytes(given);
}

TEST(Process, ProgramPathWithABlankIsQuoted) {
    test::TTempDir dir;
    const std::string folder = dir.File("with blank (and parens)");
    fs::create_directories(folder);
    const std::string copy = JoinPath(folder, OnWindows ? "helper copy.exe" : "helper copy");
    fs::copy_file(PELVARN_TEST_HELPER, copy);
    const std::string out = dir.File("args.txt");
    RunHelper(copy, "args " + QuoteIfNeeded(out) + " one \"two words\" three");
    EXPECT_EQ(test::ReadBytes(out), "one\ntwo words\nthree\n");
}

TEST(Process, InterpreterRunsACommandLine) {
    test::TTempDir dir;
    const std::string out = dir.File("shell.txt");
    std::string command = QuoteIfNeeded(Helper()) + " write " + QuoteIfNeeded(out) + " via shell";
    if (!OnWindows) command = "\"" + command + "\"";
    RunHelper(Shell(), ShellRun() + command, dir.Path());
    EXPECT_EQ(test::ReadBytes(out), "via shell");

    RunHelper(Shell(), ShellRun() + "exit 3"); // an interpreter that fails is still an end
}

TEST(Process, MissingProgramFailsWithTheSystemsText) {
    test::TTempDir dir;
    ProcInfo info;
    std::string error;
    EXPECT_FALSE(StartProcess("Pelvarn", dir.File("no-such-program.exe"), "x", "", SW_ShowNormal,
                              info, error));
    EXPECT_TRUE(info.IsZero());
    // File not found, or (for some systems' loaders) path not found.
    EXPECT_TRUE(error == SysErrorText(2) || error == SysErrorText(3)) << error;
}

TEST(Process, MissingWorkDirFails) {
    test::TTempDir dir;
    ProcInfo info;
    std::string error;
    EXPECT_FALSE(StartProcess("", Helper(), "exit 0", dir.File("no such folder"), SW_ShowNormal,
                              info, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(info.IsZero());
}

TEST(Process, ShowStateBeyondSixteenBitsIsARangeError) {
    ProcInfo info;
    std::string error;
    EXPECT_THROW(StartProcess("", Helper(), "exit 0", "", 65536, info, error), std::out_of_range);
    EXPECT_THROW(StartProcess("", Helper(), "exit 0", "", -1, info, error), std::out_of_range);
    EXPECT_TRUE(info.IsZero());
}

TEST(Process, KillingATreeEndsTheProcessesItsHeadStarted) {
    struct TCase {
        bool Tree;
        bool GrandchildRunsOn;
    };
    for (TCase c : {TCase{true, false}, TCase{false, true}}) {
        test::TTempDir dir;
        const std::string mark = dir.File("late.txt");
        ProcInfo info;
        std::string error;
        auto start = c.Tree ? StartProcessTree : StartProcess;
        ASSERT_TRUE(start("", Helper(), "tree " + QuoteIfNeeded(mark) + " 700", "",
                          SW_ShowMinNoActive, info, error))
            << error;
        if (c.Tree) {
            if (OnWindows)
                EXPECT_NE(info.hJob, nullptr);
            else
                EXPECT_EQ(info.GroupId, info.ProcessId);
        }
        for (int i = 0; i < 2000 && !fs::exists(mark + ".started"); ++i)
            WaitForProcessEnd(info, 10);
        ASSERT_TRUE(fs::exists(mark + ".started")) << "tree " << c.Tree;
        KillProcess(info);
        EXPECT_TRUE(info.IsZero());
        // The grandchild writes its mark 700 ms after it started, unless it was ended.
        for (int i = 0; i < 30 && !fs::exists(mark); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(fs::exists(mark), c.GrandchildRunsOn) << "tree " << c.Tree;
    }
}

TEST(Process, EndedTellsHowTheProcessEnded) {
    struct TCase {
        const char* Params;
        bool BySignal;
        std::uint32_t Code;
        const char* Text;
    };
    const TCase cases[] = {
        {"exit 0", false, 0, ""},
        {"exit 7", false, 7, ""},
        OnWindows ? TCase{"crash x", false, 0xC0000005u,
                          "the job was ended by exception 0xC0000005 (access violation)"}
                  : TCase{"crash x", true, 11, "the job was ended by signal 11"},
    };
    for (const TCase& c : cases) {
        for (auto start : {StartProcess, StartProcessTree}) {
            ProcInfo info;
            std::string error;
            ASSERT_TRUE(start("", Helper(), c.Params, "", SW_ShowMinNoActive, info, error));
            ASSERT_TRUE(WaitForProcessEnd(info, 20000));
            TExitStatus exit;
            ASSERT_TRUE(ProcessEnded(info, exit));
            EXPECT_TRUE(info.IsZero());
            EXPECT_TRUE(exit.Known) << c.Params;
            EXPECT_EQ(exit.BySignal, c.BySignal) << c.Params;
            EXPECT_EQ(exit.Code, c.Code) << c.Params;
            EXPECT_EQ(AbnormalEndText(exit), c.Text) << c.Params;
        }
    }
    TExitStatus none;
    ProcInfo zero;
    EXPECT_TRUE(ProcessEnded(zero, none));
    EXPECT_FALSE(none.Known);
}

TEST(AbnormalEndText, NamesSignalsAndSystemExceptionCodesOnly) {
    const std::pair<TExitStatus, const char*> cases[] = {
        {{false, true, 9}, ""}, // not seen
        {{true, true, 9}, "the job was ended by signal 9"},
        {{true, false, 139}, ""},
        {{true, false, 0xC00000FDu}, "the job was ended by exception 0xC00000FD (stack overflow)"},
        {{true, false, 0xC000013Au}, "the job was ended by exception 0xC000013A (Ctrl+C)"},
        {{true, false, 0xC0000017u}, "the job was ended by exception 0xC0000017"},
        {{true, false, 0x80000003u}, "the job was ended by exception 0x80000003 (breakpoint)"},
        {{true, false, 0xFFFFFFFFu}, ""}, // exit(-1): the program's own code
        {{true, false, 259}, ""},
    };
    for (const auto& [status, want] : cases)
        EXPECT_EQ(AbnormalEndText(status), want) << status.Code;
}

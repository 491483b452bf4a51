// The suite folder, drives, the search path and the folder kinds of the diagnostics report.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "base/paths.h"
#include "base/textutil.h"
#include "platform/locdirs.h"
#include "platform/msgbox.h"
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

// Sets (or with nullopt removes) an environment variable for one scope.
class TEnv {
  public:
    TEnv(const char* name, std::optional<std::string> value) : Name(name) {
        if (const char* old = std::getenv(name)) Old = old;
        Set(value);
    }
    ~TEnv() { Set(Old); }

  private:
    void Set(const std::optional<std::string>& value) {
#ifdef _WIN32
        _putenv_s(Name, value ? value->c_str() : ""); // an empty value removes it there
#else
        if (value)
            setenv(Name, value->c_str(), 1);
        else
            unsetenv(Name);
#endif
    }
    const char* Name;
    std::optional<std::string> Old;
};

// Catches the error boxes shown while it lives.
struct TBoxes {
    std::vector<std::string> Texts;
    TErrorBoxCatcher Before;
    TBoxes() {
        Before = SetErrorBoxCatcher([this](const std::string& t) { Texts.push_back(t); });
    }
    ~TBoxes() { SetErrorBoxCatcher(Before); }
};

// C:\KV for the fall-back tests, made by the test and removed afterwards; the tests that
// need it missing are skipped when it was there before.
struct TFixedKv {
    bool Made = false;
    TFixedKv() {
        std::error_code ec;
        if (!fs::exists("C:\\KV", ec)) Made = fs::create_directory("C:\\KV", ec);
    }
    ~TFixedKv() {
        std::error_code ec;
        if (Made) fs::remove_all("C:\\KV", ec);
    }
};

// True when a file can be made in the folder (a read-only folder is writeable for root).
bool CanWriteIn(const std::string& folder) {
    const fs::path probe = fs::path(folder) / "probe.txt";
    bool ok = static_cast<bool>(std::ofstream(probe));
    std::error_code ec;
    fs::remove(probe, ec);
    return ok;
}

// A drive letter that names no drive here.
char UnusedDrive() {
    for (char d = 'Q'; d <= 'Y'; ++d)
        if (!DriveReady(d)) return d;
    return 0;
}

} // namespace

TEST(SuiteFolder, KvdirExactlyAsSetThenTheFixedFolder) {
    test::TTempDir dir;
    const std::string withSep = dir.Path() + (OnWindows ? "\\" : "/");
    {
        TEnv kvdir("KVDIR", withSep);
        EXPECT_EQ(SuiteFolder(), withSep); // not trimmed, trailing separator kept
    }
    const std::string missing = dir.File("missing");
    if (!OnWindows) {
        TEnv kvdir("KVDIR", missing);
        EXPECT_EQ(SuiteFolder(), "");
        TEnv unset("KVDIR", std::nullopt);
        EXPECT_EQ(SuiteFolder(), "");
        return;
    }
    {
        TFixedKv fixed;
        if (fixed.Made) {
            TEnv unset("KVDIR", std::nullopt);
            EXPECT_EQ(SuiteFolder(), "C:\\KV");
        }
        TEnv kvdir("KVDIR", missing);
        EXPECT_EQ(SuiteFolder(), "C:\\KV");
        if (const char d = UnusedDrive()) {
            TEnv notReady("KVDIR", std::string(1, d) + ":\\KV");
            EXPECT_EQ(SuiteFolder(), "C:\\KV"); // no box; on to C:\KV
        }
    }
    if (fs::exists("C:\\KV")) GTEST_SKIP() << "C:\\KV exists on this machine";
    TEnv kvdir("KVDIR", missing);
    EXPECT_EQ(SuiteFolder(), "");
    TEnv unset("KVDIR", std::nullopt);
    EXPECT_EQ(SuiteFolder(), "");
}

TEST(SuiteFile, KvdirFolderThenTheFixedFolder) {
    test::TTempDir dir;
    dir.Write("kesto.exe", "x");
    TEnv kvdir("KVDIR", dir.Path() + (OnWindows ? "\\" : "/"));
    EXPECT_EQ(SuiteFile("kesto.exe"), dir.File("kesto.exe"));
    EXPECT_EQ(SuiteFile("comp.txt"), "");
    if (!OnWindows) return;
    TFixedKv fixed;
    if (!fixed.Made) GTEST_SKIP() << "C:\\KV exists on this machine";
    test::TTempDir unused;
    std::error_code ec;
    fs::copy_file(dir.File("kesto.exe"), "C:\\KV\\comp.txt", ec);
    ASSERT_FALSE(ec);
    EXPECT_EQ(SuiteFile("comp.txt"), "C:\\KV\\comp.txt"); // KVDIR set, file missing there
    EXPECT_EQ(SuiteFile("kesto.exe"), dir.File("kesto.exe"));
}

TEST(Drives, NotReadyDrivesAndNonLettersAreFalseWithoutABox) {
    EXPECT_FALSE(DriveReady('1'));
    EXPECT_FALSE(DriveReady(':'));
    EXPECT_FALSE(SafeDirExists(""));
    test::TTempDir dir;
    EXPECT_TRUE(SafeDirExists(dir.Path()));
    EXPECT_TRUE(SafeFileExists(dir.Write("f.txt", "x")));
    EXPECT_FALSE(SafeFileExists(dir.Path()));
    EXPECT_FALSE(SafeDirExists(dir.File("f.txt")));
    if (!OnWindows) return;
    EXPECT_TRUE(DriveReady('c'));
    EXPECT_TRUE(DriveReady('C'));
    const char d = UnusedDrive();
    ASSERT_NE(d, 0);
    EXPECT_FALSE(SafeFileExists(std::string(1, d) + ":\\a.txt"));
    EXPECT_FALSE(SafeDirExists(std::string(1, d) + ":\\"));
}

TEST(FindOnPath, SkipsEmptyEntriesAndAddsNoSecondSeparator) {
    test::TTempDir dir;
    fs::create_directories(dir.File("a"));
    fs::create_directories(dir.File("b"));
    dir.Write(OnWindows ? "b\\tool.txt" : "b/tool.txt", "x");
    const char sep = OnWindows ? ';' : ':';
    const char delim = OnWindows ? '\\' : '/';
    const std::string path =
        std::string(2, sep) + dir.File("a") + sep + sep + dir.File("b") + delim + sep;
    TEnv env(OnWindows ? "path" : "PATH", path);
    EXPECT_EQ(FindOnPath("tool.txt"), dir.File("b") + delim + "tool.txt");
    EXPECT_EQ(FindOnPath("none.txt"), "");
    const std::string direct = dir.Write("here.txt", "x");
    EXPECT_EQ(FindOnPath(direct), direct);
}

TEST(TempFolder, ExistsAndHasNoTrailingSeparator) {
    const std::string temp = TempFolder();
    ASSERT_FALSE(temp.empty());
    EXPECT_TRUE(SafeDirExists(temp));
    EXPECT_NE(temp.back(), OnWindows ? '\\' : '/');
}

TEST(LocDirs, SystemDriveGoesIntoTheFixedLabels) {
    EXPECT_EQ(SystemDriveOf("d:\\WINDOWS"), "D:");
    EXPECT_EQ(SystemDriveOf("C:\\windows"), "C:");
    EXPECT_EQ(SystemDriveOf("\\\\srv\\win"), "C:");
    EXPECT_EQ(SystemDriveOf("D"), "C:");
    EXPECT_EQ(OnSystemDrive("C:\\TEMP", "D:"), "D:\\TEMP");
    EXPECT_EQ(OnSystemDrive("C:\\", "D:"), "D:\\");
    EXPECT_EQ(OnSystemDrive("KVDIR Folder", "D:"), "KVDIR Folder");
    EXPECT_EQ(FolderLabel(fkKvKeep), "KVKEEP Folder");
    EXPECT_EQ(FolderLabel(16), "");
}

TEST(LocDirs, NormalisesDrivesRootsAndTrailingSeparators) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:", "C:\\"},
        {" \tC: ", "C:\\"},
        {"C:\\", "C:\\"},
        {"C:\\Temp\\", "C:\\Temp"},
        {"C:\\Temp\\\\", "C:\\Temp\\"},
        {"  ", ""},
        {"\\\\srv\\share\\", "\\\\srv\\share"},
    };
    for (auto [raw, want] : cases)
        EXPECT_EQ(NormaliseFolderText(raw, '\\'), want) << raw;
    EXPECT_EQ(NormaliseFolderText("/", '/'), "/");
    EXPECT_EQ(NormaliseFolderText("/tmp/x/", '/'), "/tmp/x");
}

TEST(LocDirs, ResolvesKindsToFullFolders) {
    test::TTempDir dir;
    const char delim = OnWindows ? '\\' : '/';
    {
        TEnv env("KVTEMP", "  " + dir.Path() + delim + " ");
        EXPECT_EQ(ResolveFolder(fkKvTemp), dir.Path());
    }
    {
        TEnv env("KVTEMP", " \t ");
        EXPECT_EQ(ResolveFolder(fkKvTemp), "");
    }
    EXPECT_EQ(ResolveFolder(fkNamed, dir.Path() + delim), dir.Path());
    EXPECT_EQ(ResolveFolder(fkCurrent), NoTrailingBackslash(fs::current_path().string(), delim));
    EXPECT_NE(ResolveFolder(fkApplication), "");
    {
        TBoxes boxes;
        EXPECT_EQ(ResolveFolder(16), "");
        EXPECT_EQ(ResolveFolder(-1), "");
        EXPECT_EQ(boxes.Texts,
                  std::vector<std::string>(2, "program error: unexpected case of sdt"));
    }
    if (!OnWindows) return;
    TEnv drive("SYSTEMDRIVE", "c:");
    EXPECT_EQ(ResolveFolder(fkSystemDrive), "c:\\");
    EXPECT_EQ(ResolveFolder(fkDriveRoot), FolderLabel(fkDriveRoot));
    EXPECT_EQ(ResolveFolder(fkFixedKv), FolderLabel(fkFixedKv));
    EXPECT_NE(ResolveFolder(fkWindows), "");
}

TEST(LocDirs, WriteTest) {
    test::TTempDir dir;
    EXPECT_TRUE(FolderWriteable(dir.Path()));
    EXPECT_TRUE(FolderWriteable(" " + dir.Path() + " "));
    EXPECT_FALSE(FolderWriteable(dir.File("missing")));
    EXPECT_FALSE(FolderWriteable(""));

    dir.Write("g_we8~2.$@$", "left over");
    EXPECT_TRUE(FolderWriteable(dir.Path())); // overwritten and deleted
    EXPECT_FALSE(fs::exists(dir.File("g_we8~2.$@$")));

    fs::create_directories(dir.File("sub/g_we8~2.$@$"));
    EXPECT_FALSE(FolderWriteable(dir.File("sub")));

    const std::string locked = dir.File("locked");
    fs::create_directories(locked);
    fs::permissions(locked,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const bool writeableAnyway = CanWriteIn(locked);
    if (!writeableAnyway) {
        EXPECT_FALSE(FolderWriteable(locked));
    }
    fs::permissions(locked, fs::perms::owner_all, fs::perm_options::add);
    if (writeableAnyway) GTEST_SKIP() << "a read-only folder is writeable here (run as root)";
}

TEST(LocDirs, ReportLines) {
    EXPECT_EQ(FolderReportLine("KVKEEP Folder", "", false, false),
              "KVKEEP Folder   \tUNDEFINED\r\n");
    EXPECT_EQ(FolderReportLine("Application Folder", "C:\\x", true, true),
              "Application Folder\tC:\\x             \t  Exists, Writeable\r\n");
    EXPECT_EQ(FolderReportLine("C:\\KV", "C:\\KV", true, false),
              "C:\\KV           \tC:\\KV            \t  Exists, Non-Writeable\r\n");
    EXPECT_EQ(FolderReportLine("TMP Folder", "/tmp/a-long-folder-name", false, false),
              "TMP Folder      \t/tmp/a-long-folder-name\t  NonExistent\r\n");

    TEnv keep("KVKEEP", std::nullopt);
    test::TTempDir dir;
    TEnv kvdir("KVDIR", dir.Path());
    const std::string report = FolderReport();
    EXPECT_NE(report.find("\r\nKVKEEP Folder   \tUNDEFINED\r\n"), std::string::npos) << report;
    EXPECT_NE(
        report.find("KVDIR Folder    \t" + PadRight(dir.Path(), 17) + "\t  Exists, Writeable\r\n"),
        std::string::npos)
        << report;
    EXPECT_EQ(report.find("Named Folder"), std::string::npos);
    std::size_t lines = 0;
    for (std::size_t at = report.find("\r\n"); at != std::string::npos;
         at = report.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(lines, OnWindows ? 15u : 8u);
}

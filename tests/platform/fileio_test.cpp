#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/fileio.h"
#include "platform/filelock.h"
#include "support/tempdir.h"
#ifndef _WIN32
#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace pelvarn;
namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
const bool OnWindows = true;
#else
const bool OnWindows = false;
#endif

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A file's bytes, or "<folder>".
std::string Content(const std::string& path) {
    return FolderExists(path) ? "<folder>" : test::ReadBytes(path);
}

} // namespace

TEST(InFile, OnlyARegularFileIsOpened) {
    test::TTempDir dir;
    struct TCase {
        const char* Name;
        std::function<std::string()> Make; // returns the path to open
        bool Opens;
        std::string Message; // "" for any system message
    };
    const TCase cases[] = {
        {"a file", [&] { return dir.Write("f.txt", "x"); }, true, ""},
        {"a missing file", [&] { return dir.File("none.txt"); }, false, ""},
        {"a folder",
         [&] {
             fs::create_directory(dir.File("sub"));
             return dir.File("sub");
         },
         false, OnWindows ? IsAFolderText : ""},
#ifdef _WIN32
        {"a device", [] { return std::string("NUL"); }, false, NotARegularFileText},
#else
        {"a named pipe (never waited on)",
         [&] {
             mkfifo(dir.File("pipe").c_str(), 0600);
             return dir.File("pipe");
         },
         false, NotARegularFileText},
        {"a device", [] { return std::string("/dev/null"); }, false, NotARegularFileText},
#endif
    };
    for (const TCase& c : cases) {
        TInFile f;
        std::string why;
        EXPECT_EQ(f.Open(c.Make(), why), c.Opens) << c.Name;
        EXPECT_EQ(f.IsOpen(), c.Opens) << c.Name;
        if (!c.Opens) {
            EXPECT_FALSE(why.empty()) << c.Name;
        }
        if (!c.Message.empty()) {
            EXPECT_EQ(why, c.Message) << c.Name;
        }
    }
}

TEST(DeleteFileIfPresent, GoneOrTheSystemsReason) {
    test::TTempDir dir;
    std::string why;
    EXPECT_TRUE(DeleteFileIfPresent(dir.File("none"), why));
    const std::string file = dir.Write("f", "x");
    EXPECT_TRUE(DeleteFileIfPresent(file, why));
    EXPECT_FALSE(FileExists(file));
    fs::create_directories(dir.File("d") + "/inside");
    EXPECT_FALSE(DeleteFileIfPresent(dir.File("d"), why));
    EXPECT_FALSE(why.empty());
    EXPECT_TRUE(FolderExists(dir.File("d")));
}

TEST(WriterTempName, OwnNamePerWriteAndRecognisedForCleanUp) {
    const std::string a = WriterTempNameFor("optimal.sti", 4242);
    const std::string b = WriterTempNameFor("optimal.sti", 4242);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind("optimal.sti.~4242-", 0), 0u) << a;
    const std::pair<const char*, bool> names[] = {
        {"optimal.sti.~4242-17.tmp", true},
        {"Job0.~tmp", true},
        {"x.~1-1.tmp", true},
        {"optimal.sti", false},
        {"notes.tmp", false},
        {".~1-1.tmp", false},
        {"a.~-1.tmp", false},
        {"a.~1-.tmp", false},
        {"a.~1x-2.tmp", false},
        {"a.~tmp.txt", false},
        {"a.~12.tmp", false},
    };
    for (auto [name, want] : names)
        EXPECT_EQ(IsWriterTempName(name), want) << name;
    EXPECT_TRUE(IsWriterTempName(fs::path(WriterTempName("/x/Job3")).filename().string()));
}

TEST(ReplaceFilesTogether, AllOrNothing) {
    struct TCase {
        const char* Name;
        bool CndInTheWay, StiInTheWay;
        bool Throws;
        std::string Cnd, Sti; // afterwards
    };
    const TCase cases[] = {
        {"both replaced", false, false, false, "new cnd", "new sti"},
        // The second rename fails: the first file is put back as it was.
        {"second cannot be renamed", false, true, true, "old cnd", "<folder>"},
        {"first cannot be renamed", true, false, true, "<folder>", "old sti"},
    };
    for (const TCase& c : cases) {
        for (bool flush : {false, true}) {
            test::TTempDir dir;
            const std::string cnd = dir.File("optimal.cnd"), sti = dir.File("optimal.sti");
            if (c.CndInTheWay)
                fs::create_directory(cnd);
            else
                dir.Write("optimal.cnd", "old cnd");
            if (c.StiInTheWay)
                fs::create_directory(sti);
            else
                dir.Write("optimal.sti", "old sti");
            const auto before = Names(dir.Path());
            bool threw = false;
            try {
                ReplaceFilesTogether({{cnd, "new cnd"}, {sti, "new sti"}}, flush);
            } catch (const TFileError&) {
                threw = true;
            }
            EXPECT_EQ(threw, c.Throws) << c.Name;
            EXPECT_EQ(Content(cnd), c.Cnd) << c.Name;
            EXPECT_EQ(Content(sti), c.Sti) << c.Name;
            EXPECT_EQ(Names(dir.Path()), before) << c.Name << ": temporaries left";
        }
    }
    // A failed write (here: the second file's folder is missing) renames nothing.
    test::TTempDir dir;
    const std::string first = dir.Write("a", "old");
    EXPECT_THROW(ReplaceFilesTogether({{first, "new"}, {dir.File("no/b"), "x"}}, true), TFileError);
    EXPECT_EQ(test::ReadBytes(first), "old");
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"a"});
    // A file that did not exist before is removed again when a later rename fails.
    fs::create_directory(dir.File("c"));
    EXPECT_THROW(ReplaceFilesTogether({{dir.File("b"), "new"}, {dir.File("c"), "x"}}, false),
                 TFileError);
    EXPECT_FALSE(FileExists(dir.File("b")));
}

#ifndef _WIN32
TEST(ReplaceFilesTogether, AKilledWriterLeavesAPairAndNothingAStartCannotClear) {
    // A writer saving generation after generation of the pair is killed at random moments.
    // Each time the .cnd is of the .sti's generation or a later one (it is renamed first),
    // never older; the next start's clean-up leaves no temporary behind.
    test::TTempDir dir;
    const std::string cnd = dir.File("optimal.cnd"), sti = dir.File("optimal.sti");
    ReplaceFilesTogether({{cnd, "0"}, {sti, "0"}}, false);
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        const long from = std::stol(test::ReadBytes(cnd));
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                for (long gen = from + 1;; ++gen) {
                    const std::string text = std::to_string(gen) + std::string(gen % 5000, '.');
                    ReplaceFilesTogether({{cnd, text}, {sti, text}}, false);
                }
            } catch (const std::exception& e) {
                std::fprintf(stderr, "writer: %s\n", e.what());
            }
            _exit(1);
        }
        usleep(std::uniform_int_distribution<useconds_t>(0, 3000)(random));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed";
        RemoveLeftoverTempFiles(dir.Path());
        ASSERT_EQ(Names(dir.Path()), (std::vector<std::string>{"optimal.cnd", "optimal.sti"}));
        const long genCnd = std::stol(test::ReadBytes(cnd)),
                   genSti = std::stol(test::ReadBytes(sti));
        ASSERT_GE(genCnd, genSti);
    }
}

TEST(ReplaceFilesTogether, ADiskThatFillsUpKeepsTheEarlierPair) {
    // A write limit stands in for a full disk: the second file cannot be written whole.
    test::TTempDir dir;
    const std::string cnd = dir.Write("optimal.cnd", "old cnd"),
                      sti = dir.Write("optimal.sti", "old sti");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            ReplaceFilesTogether({{cnd, "new cnd"}, {sti, std::string(100000, 's')}}, true);
        } catch (const TFileError&) {
            _exit(0);
        }
        _exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "no error reported";
    EXPECT_EQ(test::ReadBytes(cnd), "old cnd");
    EXPECT_EQ(test::ReadBytes(sti), "old sti");
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"optimal.cnd", "optimal.sti"}));
}
#endif

TEST(RemoveLeftoverTempFiles, OnlyWritersTemporaries) {
    test::TTempDir dir;
    for (const char* name :
         {"Job0.~tmp", "optimal.sti.~12-3.tmp", "keep.tmp", "Job0", "x.~a-1.tmp"})
        dir.Write(name, "x");
    fs::create_directory(dir.File("folder.~1-1.tmp"));
    EXPECT_EQ(RemoveLeftoverTempFiles(dir.Path()), 2);
    EXPECT_EQ(Names(dir.Path()),
              (std::vector<std::string>{"Job0", "folder.~1-1.tmp", "keep.tmp", "x.~a-1.tmp"}));
}

TEST(FileLock, OneHolderAtATime) {
    test::TTempDir dir;
    const std::string path = dir.File("pelvarn.lock");
    std::string why;
    TFileLock first, second;
    EXPECT_EQ(first.TryLock(path, why), TFileLock::TResult::Locked) << why;
    EXPECT_TRUE(first.IsLocked());
    EXPECT_EQ(first.Path(), path);
    EXPECT_EQ(second.TryLock(path, why), TFileLock::TResult::HeldElsewhere);
    EXPECT_FALSE(second.IsLocked());
    first.Unlock();
    EXPECT_EQ(second.TryLock(path, why), TFileLock::TResult::Locked) << why;
    {
        TFileLock third;
        EXPECT_EQ(third.TryLock(path, why), TFileLock::TResult::HeldElsewhere);
    }
    second.Unlock();
    EXPECT_EQ(first.TryLock(dir.File("no/such/folder/x.lock"), why), TFileLock::TResult::Failed);
    EXPECT_FALSE(why.empty());
}

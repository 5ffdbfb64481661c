#include "files/TextFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace veldrano;
using veldrano::test::TempDir;
namespace test = veldrano::test;

TEST(SplitLines, EndsLinesAtCrLfLoneCrAndLoneLf) {
    EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (Lines{"a", ""}));
    EXPECT_EQ(SplitLines("\n\r"), (Lines{"", ""})); // LF then a lone CR: two empty lines
    EXPECT_EQ(SplitLines("\r\r\n"), (Lines{"", ""}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(SplitLines, NulEndsTheTextAndHighBytesPassUnchanged) {
    EXPECT_EQ(SplitLines(std::string("a\r\nb\0c\r\nd", 9)), (Lines{"a", "b"}));
    EXPECT_EQ(SplitLines("\xF1\xE9\x80\xFF"), (Lines{"\xF1\xE9\x80\xFF"}));
}

TEST(JoinLines, EndsEveryLineWithCrLf) {
    EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
    EXPECT_EQ(JoinLines({}), "");
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

size_t EntriesIn(const std::filesystem::path& dir) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

bool HasHiddenFile(const std::filesystem::path& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().starts_with('.'))
            return true;
    return false;
}

TEST(WriteFileAtomically, ModesFollowTheUmaskTheOldFileOrPrivacy) {
    struct Row {
        const char* name;
        int oldMode; // -1: no old file
        FileAccess access;
        mode_t umask;
        mode_t expected;
    } rows[] = {
        {"new file follows the umask", -1, FileAccess::Shared, 022, 0644},
        {"new file, stricter umask", -1, FileAccess::Shared, 027, 0640},
        {"old file keeps its mode", 0640, FileAccess::Shared, 022, 0640},
        {"private new file", -1, FileAccess::Private, 0, 0600},
        {"private over a readable old file", 0644, FileAccess::Private, 022, 0600},
    };
    for (const Row& row : rows) {
        TempDir dir;
        const std::string path = dir.file("x.txt").string();
        if (row.oldMode >= 0) {
            test::WriteFileBytes(path, "old");
            ::chmod(path.c_str(), static_cast<mode_t>(row.oldMode));
        }
        const mode_t old = ::umask(row.umask);
        WriteTextLines(path, {"dos", "tres"}, row.access);
        ::umask(old);
        EXPECT_EQ(ReadFileBytes(path), "dos\r\ntres\r\n") << row.name;
        EXPECT_EQ(ModeOf(path), row.expected) << row.name;
        EXPECT_EQ(EntriesIn(dir.path()), 1u) << row.name << ": a temporary file was left";
    }
}

TEST(WriteFileAtomically, AReadOnlyFileIsRefusedAndKept) {
    TempDir dir;
    const std::string path = dir.file("libro.kbx").string();
    test::WriteFileBytes(path, "viejo\r\n");
    ::chmod(path.c_str(), 0444);
    try {
        WriteTextLines(path, {"nuevo"});
        FAIL() << "a read-only file was replaced";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + path + "\". Permission denied.");
    }
    EXPECT_EQ(ReadFileBytes(path), "viejo\r\n");
    EXPECT_EQ(ModeOf(path), 0444u);
}

TEST(WriteFileAtomically, WritesThroughSymbolicLinksAndKeepsThem) {
    struct Row {
        const char* name;
        const char* link;   // link path in the temporary folder
        const char* target; // what the link holds
        const char* real;   // the file that must hold the text afterwards
    } rows[] = {
        {"absolute link into another folder", "menu.dat", "@/otra/menu.dat", "otra/menu.dat"},
        {"relative link", "libro.kbx", "datos/libro.kbx", "datos/libro.kbx"},
        {"link to a link", "a.kbx", "b.kbx", "datos/b.kbx"},
        {"dangling link creates its target", "nuevo.kbx", "datos/nuevo.kbx", "datos/nuevo.kbx"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        std::filesystem::create_directories(dir.file("otra"));
        std::filesystem::create_directories(dir.file("datos"));
        test::WriteFileBytes(dir.file("otra/menu.dat"), "old");
        test::WriteFileBytes(dir.file("datos/libro.kbx"), "old");
        test::WriteFileBytes(dir.file("datos/b.kbx"), "old");
        std::filesystem::create_symlink("datos/b.kbx", dir.file("b.kbx"));
        std::string target = row.target;
        if (target.starts_with('@'))
            target = dir.path().string() + target.substr(1);
        std::filesystem::create_symlink(target, dir.file(row.link));

        WriteTextLines(dir.file(row.link).string(), {"nuevo"});
        EXPECT_TRUE(std::filesystem::is_symlink(dir.file(row.link))) << row.name;
        EXPECT_EQ(test::ReadFileBytes(dir.file(row.real)), "nuevo\r\n") << row.name;
        EXPECT_FALSE(HasHiddenFile(dir.file(row.real).parent_path()))
            << row.name << ": a temporary file was left";
    }
}

TEST(WriteFileAtomically, AFailedWriteLeavesTheOldFileWhole) {
    TempDir dir;
    const std::string path = dir.file("libro.kbx").string();
    WriteTextLines(path, {"viejo"});
    // A file-size limit makes the write fail part-way, as a full disk would (also for root).
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4;
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::string error;
    try {
        WriteTextLines(path, {"nuevo y largo"});
    } catch (const FileError& e) {
        error = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(error.rfind("Cannot create file \"" + path + "\". ", 0), 0u) << error;
    EXPECT_EQ(ReadFileBytes(path), "viejo\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(WriteFileAtomically, AFolderAsTargetFailsWithTheCreateText) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("carpeta"));
    EXPECT_THROW(WriteTextLines(dir.file("carpeta").string(), {"x"}), FileError);
    EXPECT_THROW(WriteTextLines(dir.file("no/existe.kbx").string(), {"x"}), FileError);
}

TEST(ReadTextLines, OnlyRegularFilesAreRead) {
    TempDir dir;
    const std::string fifo = dir.file("menu.dat").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Neither a FIFO without a writer nor an endless device may hang or exhaust the program.
    for (const std::string& path : {fifo, std::string("/dev/zero")}) {
        try {
            ReadTextLines(path);
            FAIL() << path;
        } catch (const FileError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Cannot open file \"" + path + "\". Not a regular file.");
        }
    }
}

TEST(ReadTextLines, AMissingFileNamesThePath) {
    try {
        ReadTextLines("/nonexistent/menu.dat");
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"/nonexistent/menu.dat\". No such file or directory.");
    }
}

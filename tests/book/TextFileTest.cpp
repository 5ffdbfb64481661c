#include "book/TextFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace veldrano;
using veldrano::test::TempDir;

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

TEST(WriteFileAtomically, ReplacesTheFileAndKeepsItsMode) {
    TempDir dir;
    const std::string path = dir.file("x.txt").string();
    WriteTextLines(path, {"uno"}, 0600);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ::chmod(path.c_str(), 0640);
    WriteTextLines(path, {"dos", "tres"});
    EXPECT_EQ(ReadFileBytes(path), "dos\r\ntres\r\n");
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
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

TEST(ReadTextLines, AMissingFileNamesThePath) {
    try {
        ReadTextLines("/nonexistent/menu.dat");
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"/nonexistent/menu.dat\". No such file or directory.");
    }
}

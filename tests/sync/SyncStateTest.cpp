#include "sync/SyncError.h"
#include "sync/SyncState.h"

#include "files/TextFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace veldrano;

// States written by every earlier version still read, with no user; the account (all the
// window needs to sync again) comes from the first lines, and a damaged head is refused.
TEST(SyncState, EveryVersionReadsAndTheAccountComesFromTheHead) {
    test::TempDir dir;
    const std::string path = dir.file(".casa.kbx.sync").string();
    const std::string card = "/l/a.vcf\n\"1\"\nuid-a\nAna\n\n\n\n\n\n\n\n\n\n\n";
    struct Row {
        const char* name;
        std::string text;
        std::string url, user;
        size_t pending;
    } rows[] = {
        {"first version", "VELDRANO-SYNC 1\nhttps://s/l/\nhttps://s/\nt-1\n" + card, "https://s/",
         "", 0},
        {"skipped cards, no user",
         "VELDRANO-SYNC 2\nhttps://s/l/\nhttps://s/\nt-1\n1\n/l/b\n" + card, "https://s/", "", 1},
        {"with the user, CR LF",
         "VELDRANO-SYNC 3\r\nhttps://s/l/\r\nhttps://s/\r\nluis\r\nt-1\r\n0\r\n", "https://s/",
         "luis", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteFileAtomically(path, row.text);
        const auto account = ReadSyncAccount(path);
        ASSERT_TRUE(account);
        EXPECT_EQ(account->url, row.url);
        EXPECT_EQ(account->user, row.user);
        const auto state = ReadSyncState(path);
        ASSERT_TRUE(state);
        EXPECT_EQ(state->addressBook, "https://s/l/");
        EXPECT_EQ(state->token, "t-1");
        EXPECT_EQ(state->user, row.user);
        EXPECT_EQ(state->pending.size(), row.pending);
        // What is written reads back the same, now with its user.
        SyncState again = *state;
        again.user = "ana";
        WriteSyncState(path, again);
        const auto reread = ReadSyncState(path);
        EXPECT_EQ(reread->user, "ana");
        EXPECT_EQ(reread->cards.size(), state->cards.size());
        EXPECT_EQ(reread->pending, state->pending);
        EXPECT_EQ(ReadSyncAccount(path)->user, "ana");
    }
    EXPECT_FALSE(ReadSyncAccount(dir.file("nunca").string()));
    for (const char* damaged : {"", "VELDRANO-SYNC 9\na\nb\nc\n", "VELDRANO-SYNC 3\na\n"}) {
        WriteFileAtomically(path, damaged);
        EXPECT_THROW(ReadSyncAccount(path), SyncError) << damaged;
    }
}

#include "tests/sync/ScriptedServer.h"

#include "sync/Multistatus.h"

#include <gtest/gtest.h>

using namespace veldrano;
using namespace veldrano::test::dav;

namespace {

const std::string kBea = "/ana/l/b.vcf";

std::string Listed(const std::string& href, const std::string& etag) {
    return "<response><href>" + href + "</href><propstat><prop><getetag>" + etag +
           "</getetag></prop><status>HTTP/1.1 200 OK</status></propstat></response>";
}

std::string Gone(const std::string& href) {
    return "<response><href>" + href + "</href><status>HTTP/1.1 404 Not Found</status></response>";
}

size_t AskedFor(const std::string& received, const std::string& href) {
    size_t n = 0;
    for (size_t at = received.find("<D:href>" + href); at != std::string::npos;
         at = received.find("<D:href>" + href, at + 1))
        ++n;
    return n;
}

} // namespace

// A card skipped once (past the size bound, or not a card) stays pending in the state: each
// later sync asks for it again although the token has moved past it, and names it, until it
// can be read or the server deleted it.
TEST(ScriptedServer, SkippedCardIsAskedForAgainUntilReadOrGone) {
    const std::string bea = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:b\r\nFN:Bea\r\nEND:VCARD\r\n";
    const struct {
        const char* name;
        std::string listing, multiget; // of the third sync; no multiget: none asked for
        size_t records;
    } rows[] = {
        {"read at last", "", CardResponse(kBea, "\"3\"", bea), 2},
        {"deleted there, found so by the multiget", "", Gone(kBea), 1},
        {"deleted there, listed as removed", Gone(kBea), "", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Synced s(Ana("1", "ana@a.example"));
        Answer(s.server, "207 Multi-Status", Multistatus(Listed(kBea, "\"1\"")));
        Answer(s.server, "207 Multi-Status",
               Multistatus(CardResponse(kBea, "\"1\"",
                                        std::string(MultistatusParser::kMaxCardBytes + 1, 'x'))));
        SyncReport report = s.Run();
        ASSERT_TRUE(s.server.finished());
        ASSERT_EQ(report.unreadable.size(), 1u);
        EXPECT_EQ(report.unreadable[0], kBea + ": la tarjeta es demasiado grande");
        EXPECT_EQ(ReadSyncState(SyncStatePath(s.book))->pending, std::set<std::string>{kBea});

        // Nothing listed since the token: the card is asked for by its name, still unreadable.
        Answer(s.server, "207 Multi-Status", Multistatus("", "t-3"));
        Answer(s.server, "207 Multi-Status",
               Multistatus(CardResponse(kBea, "\"2\"", "BEGIN:VCARD\r\nFN Bea\r\nEND:VCARD\r\n"),
                           "t-3"));
        report = s.Run();
        ASSERT_TRUE(s.server.finished());
        EXPECT_EQ(AskedFor(s.server.received(), kBea), 2u);
        ASSERT_EQ(report.unreadable.size(), 1u);
        EXPECT_EQ(report.unreadable[0].rfind(kBea + ": línea ", 0), 0u) << report.unreadable[0];
        const auto state = ReadSyncState(SyncStatePath(s.book));
        EXPECT_EQ(state->token, "t-3");
        EXPECT_EQ(state->pending, std::set<std::string>{kBea});

        Answer(s.server, "207 Multi-Status", Multistatus(row.listing, "t-4"));
        if (!row.multiget.empty())
            Answer(s.server, "207 Multi-Status", Multistatus(row.multiget, "t-4"));
        report = s.Run();
        ASSERT_TRUE(s.server.finished());
        EXPECT_EQ(AskedFor(s.server.received(), kBea), row.multiget.empty() ? 2u : 3u);
        EXPECT_TRUE(report.unreadable.empty());
        EXPECT_TRUE(ReadSyncState(SyncStatePath(s.book))->pending.empty());
        const LoadedBook after = ReadBookFile(s.book);
        ASSERT_EQ(after.records.size(), row.records);
        EXPECT_EQ(after.records.name(row.records - 1), row.records == 2 ? "Bea" : "Ana Ruiz");
    }
}

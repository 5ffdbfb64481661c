#include "tests/sync/ScriptedServer.h"

#include "book/BookFile.h"
#include "files/TextFile.h"
#include "sync/SyncError.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace veldrano;
using namespace veldrano::test::dav;
using veldrano::test::LoopbackServer;

// A card changed on the server between its fetch and the upload: the conditional PUT is
// refused (412), and a new plan from the server's changes since merges and sends it again.
TEST(ScriptedServer, UploadRefusedAsTheCardChangedIsMergedAgainAndRetried) {
    Synced s(Ana("2", "ana@a.example")); // the telephone changed here
    Answer(s.server, "207 Multi-Status", Multistatus(""));
    Answer(s.server, "207 Multi-Status",
           Multistatus(CardResponse("/ana/l/a.vcf", "\"1\"", AnaCard("1", "ana@a.example"))));
    Answer(s.server, "412 Precondition Failed", "");
    Answer(s.server, "207 Multi-Status",
           Multistatus("<response><href>/ana/l/a.vcf</href><propstat><prop><getetag>\"2\""
                       "</getetag></prop><status>HTTP/1.1 200 OK</status></propstat></response>",
                       "t-3"));
    Answer(s.server, "207 Multi-Status",
           Multistatus(CardResponse("/ana/l/a.vcf", "\"2\"", AnaCard("1", "ana@b.example"))));
    Answer(s.server, "204 No Content", "", "ETag: \"3\"\r\n");
    const SyncReport report = s.Run();
    ASSERT_TRUE(s.server.finished());
    const std::string sent = s.server.received();
    EXPECT_NE(sent.find("Authorization: Basic YW5hOnNlY3JldG8="), std::string::npos);
    const size_t retry = sent.rfind("PUT /ana/l/a.vcf");
    ASSERT_NE(retry, std::string::npos);
    EXPECT_NE(sent.find("If-Match: \"2\"", retry), std::string::npos);
    EXPECT_NE(sent.find("TEL;TYPE=home:2\r\nEMAIL:ana@b.example\r\nNOTE:del tel\xC3\xA9"
                        "fono\r\n",
                        retry),
              std::string::npos)
        << sent.substr(retry);
    const LoadedBook after = ReadBookFile(s.book);
    EXPECT_EQ(after.records.record(0), Ana("2", "ana@b.example"));
    EXPECT_EQ(ReadSyncState(SyncStatePath(s.book))->cards.at(0).etag, "\"3\"");
    EXPECT_EQ(ReadSyncState(SyncStatePath(s.book))->token, "t-3");
    EXPECT_TRUE(report.conflicts.empty());
    EXPECT_EQ(report.counts.changedThere, 1u);
}

// A card that does not parse is named and skipped; the rest of the sync goes on.
TEST(ScriptedServer, CardThatDoesNotParseIsSkippedAndReported) {
    Synced s(Ana("1", "ana@a.example"));
    Answer(s.server, "207 Multi-Status",
           Multistatus("<response><href>/ana/l/b.vcf</href><propstat><prop><getetag>\"1\""
                       "</getetag></prop><status>HTTP/1.1 200 OK</status></propstat></response>"
                       "<response><href>/ana/l/c.vcf</href><propstat><prop><getetag>\"1\""
                       "</getetag></prop><status>HTTP/1.1 200 OK</status></propstat></response>"));
    Answer(s.server, "207 Multi-Status",
           Multistatus(CardResponse("/ana/l/b.vcf", "\"1\"",
                                    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN Bea\r\nEND:VCARD\r\n") +
                       CardResponse("/ana/l/c.vcf", "\"1\"",
                                    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Carlos\r\nEND:VCARD\r\n")));
    const SyncReport report = s.Run();
    ASSERT_TRUE(s.server.finished());
    ASSERT_EQ(report.unreadable.size(), 1u);
    EXPECT_EQ(report.unreadable[0],
              "/ana/l/b.vcf: línea 3: falta «:» tras el nombre de la propiedad");
    const LoadedBook after = ReadBookFile(s.book);
    ASSERT_EQ(after.records.size(), 2u);
    EXPECT_EQ(after.records.name(1), "Carlos");
    EXPECT_EQ(report.counts.addedHere, 1u);
}

// What a server may answer instead of its changes, and what the user is told: each ends the
// run with a Spanish message naming what the server said, and nothing is written.
TEST(ScriptedServer, FailureEndsTheRunWithWhatTheServerSaid) {
    const std::string multistatus = "HTTP/1.1 207 Multi-Status\r\nConnection: close\r\n"
                                    "Content-Type: application/xml\r\n\r\n";
    struct Row {
        const char* name;
        std::string answer;
        std::string message;
    } rows[] = {
        {"a failing server",
         "HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\nContent-Length: 13\r\n\r\n"
         "storage gone\n",
         "el servidor ha fallado al atender «URL» (el servidor dice: 500 Internal Server Error: "
         "storage gone)"},
        {"a refused login",
         "HTTP/1.1 401 Unauthorized\r\nConnection: close\r\nContent-Length: 0\r\n\r\n",
         "el servidor no acepta el usuario o la contraseña (el servidor dice: 401 Unauthorized)"},
        {"malformed XML", multistatus + "<multistatus xmlns=\"DAV:\"><response><href>/a",
         "la respuesta del servidor no es XML válido"},
        {"an entity is never expanded",
         multistatus + "<!DOCTYPE m [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
                       "<multistatus xmlns=\"DAV:\"><sync-token>&b;</sync-token></multistatus>",
         "la respuesta del servidor no es XML válido"},
        {"not a multistatus", multistatus + "<html xmlns=\"DAV:\"/>",
         "la respuesta del servidor no es un «multistatus» de WebDAV"},
        {"no answer at all", "", "el servidor de «URL» ha cerrado la conexión sin responder"},
        {"an answer cut short",
         "HTTP/1.1 207 Multi-Status\r\nConnection: close\r\nContent-Length: 999\r\n\r\n<multi",
         "la conexión con el servidor de «URL» se ha cortado a mitad de su respuesta"},
        {"a card that breaks the XML is named by its href",
         multistatus + "<multistatus xmlns=\"DAV:\"><response><href>/ana/l/b.vcf</href>"
                       "<propstat><prop><getetag>\"1\"</getetag></prop></propstat></resp>",
         "la respuesta del servidor no es XML válido; se rompe en la tarjeta «/ana/l/b.vcf» "
         "(Opening and "
         "ending tag mismatch"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Synced s(Ana("2", "ana@a.example"));
        const FileStamp book = StampOf(s.book), state = StampOf(SyncStatePath(s.book));
        s.server.accept().drain(LoopbackServer::Ms(250)).send(row.answer).close();
        std::string message;
        try {
            s.Run();
        } catch (const SyncError& e) {
            message = e.what();
        }
        std::string expected = row.message;
        if (const size_t at = expected.find("URL"); at != std::string::npos)
            expected.replace(at, 3, s.url);
        EXPECT_NE(message.find(expected), std::string::npos) << message;
        EXPECT_EQ(StampOf(s.book), book);
        EXPECT_EQ(StampOf(SyncStatePath(s.book)), state);
        EXPECT_TRUE(s.server.finished());
    }
}

// A log of conflicts that cannot be written (a full disk, a folder in its place) fails the
// run with a message naming it, after the book and the state are written whole.
TEST(ScriptedServer, ConflictLogThatCannotBeWrittenFailsAfterTheSync) {
    const struct {
        const char* name;
        void (*make)(const std::string& path);
        const char* reason;
    } rows[] = {
        {"a full disk",
         [](const std::string& path) { std::filesystem::create_symlink("/dev/full", path); },
         "No space left on device"},
        {"a folder in its place",
         [](const std::string& path) { std::filesystem::create_directory(path); },
         "Is a directory"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Synced s(Ana("2", "ana@a.example")); // Teléfono changed here, and there to 3
        const std::string log = ConflictLogPath(s.book);
        row.make(log);
        Answer(s.server, "207 Multi-Status",
               Multistatus("<response><href>/ana/l/a.vcf</href><propstat><prop><getetag>\"2\""
                           "</getetag></prop><status>HTTP/1.1 200 OK</status></propstat>"
                           "</response>"));
        Answer(s.server, "207 Multi-Status",
               Multistatus(CardResponse("/ana/l/a.vcf", "\"2\"", AnaCard("3", "ana@a.example"))));
        Answer(s.server, "204 No Content", "", "ETag: \"3\"\r\n");
        const SyncReport report = s.Run();
        ASSERT_TRUE(s.server.finished());
        ASSERT_EQ(report.conflicts.size(), 1u);
        EXPECT_EQ(report.logError, "no se ha podido escribir el registro de conflictos «" + log +
                                       "»: " + row.reason);
        EXPECT_EQ(ReadBookFile(s.book).records.record(0), Ana("2", "ana@a.example"));
        const auto state = ReadSyncState(SyncStatePath(s.book));
        EXPECT_EQ(state->cards.at(0).etag, "\"3\"");
        EXPECT_EQ(state->token, "t-2");
    }
}

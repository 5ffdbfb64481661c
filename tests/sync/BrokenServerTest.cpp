#include "tests/sync/ScriptedServer.h"

#include "files/TextFile.h"
#include "sync/SyncError.h"
#include "sync/SyncLedger.h"

#include <gtest/gtest.h>

#include <functional>

using namespace veldrano;
using namespace veldrano::test::dav;
using veldrano::test::LoopbackServer;
using Ms = LoopbackServer::Ms;

namespace {

const std::string kHead = "HTTP/1.1 207 Multi-Status\r\nConnection: close\r\n"
                          "Content-Type: application/xml\r\n\r\n";

std::string Listed(int n) {
    std::string responses;
    for (int i = 0; i < n; ++i)
        responses += "<response><href>/ana/l/" + std::to_string(i) +
                     ".vcf</href><propstat><prop><getetag>\"1\"</getetag></prop>"
                     "<status>HTTP/1.1 200 OK</status></propstat></response>";
    return Multistatus(responses);
}

} // namespace

// A server that sends too much, too slowly, without end, or in circles: the run stops with
// a message that names the server's fault, and neither the book nor the state changes. The
// limits are made small here so that each case takes a second or two.
TEST(ScriptedServer, BrokenServerStopsTheRunChangingNothing) {
    struct Row {
        const char* name;
        std::function<void(Synced&)> script;
        std::string message; // URL stands for the address book's
    } rows[] = {
        {"an answer past its bound of bytes",
         [](Synced& s) {
             s.limits.maxAnswerBytes = 4096;
             Answer(s.server, "207 Multi-Status", Listed(100));
         },
         "el servidor responde a «URL» con más de 4096 bytes, más de lo que ocupa una libreta"},
        {"a listing that trickles past its deadline",
         [](Synced& s) {
             s.limits.deadline = Ms(1500);
             s.server.accept()
                 .drain(Ms(100))
                 .sendSplit(kHead + "<multistatus xmlns=\"DAV:\"><response><href>/ana/l/", 30,
                            Ms(200))
                 .pause(Ms(2500))
                 .close();
         },
         "el servidor no ha terminado en 1500 ms su respuesta a «URL»: la envía sin fin o "
         "demasiado despacio, un fallo del servidor"},
        {"an upload's answer past the short deadline",
         [](Synced& s) {
             s.limits.smallDeadline = Ms(1000); // the listing and the multiget have 5 minutes
             Answer(s.server, "207 Multi-Status",
                    Multistatus("<response><href>/ana/l/a.vcf</href><propstat><prop><getetag>"
                                "\"1\"</getetag></prop><status>HTTP/1.1 200 OK</status>"
                                "</propstat></response>"));
             Answer(
                 s.server, "207 Multi-Status",
                 Multistatus(CardResponse("/ana/l/a.vcf", "\"1\"", AnaCard("1", "ana@a.example"))));
             s.server.accept().drain(Ms(100)).send("HTTP/1.1 204 No").pause(Ms(2000)).close();
         },
         "el servidor no ha terminado en 1000 ms su respuesta a «URLa.vcf»"},
        {"a redirect loop",
         [](Synced& s) {
             for (int i = 0; i < 6; ++i)
                 Answer(s.server, "301 Moved Permanently", "", "Location: " + s.url + "\r\n");
         },
         "el servidor redirige sin fin las peticiones de «URL» (tras 5 redirecciones, de nuevo "
         "a «URL»)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Synced s(Ana("2", "ana@a.example")); // changed here: an upload follows the fetch
        const FileStamp book = StampOf(s.book), state = StampOf(SyncStatePath(s.book));
        row.script(s);
        std::string message;
        try {
            s.Run();
        } catch (const SyncError& e) {
            message = e.what();
        }
        std::string expected = row.message;
        for (size_t at; (at = expected.find("URL")) != std::string::npos;)
            expected.replace(at, 3, s.url);
        EXPECT_NE(message.find(expected), std::string::npos) << message;
        EXPECT_EQ(StampOf(s.book), book);
        EXPECT_EQ(StampOf(SyncStatePath(s.book)), state);
        EXPECT_FALSE(StampOf(SyncJournalPath(s.book)).exists);
        EXPECT_TRUE(s.server.finished(Ms(5000)));
    }
}

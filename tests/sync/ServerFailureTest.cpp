#include "sync/BookSync.h"
#include "sync/SyncError.h"
#include "sync/SyncState.h"

#include "book/TextFile.h"
#include "tests/support/TempDir.h"
#include "tests/support/net/LoopbackServer.h"

#include <gtest/gtest.h>

using namespace veldrano;
using veldrano::test::LoopbackServer;

// What a server may answer instead of its changes, and what the user is told: each ends the
// run with a Spanish message naming what the server said, and nothing is written.
TEST(ServerFailure, EndsTheRunWithWhatTheServerSaid) {
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
        {"no answer at all", "", "error de comunicación con «URL»"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        LoopbackServer server;
        const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/ana/l/";
        const std::string book = dir.file("casa.kbx").string();
        // A book synced before: the sync asks the address book for its changes first.
        WriteSyncState(SyncStatePath(book), {url, url, "token-1", {}});
        server.accept().drain(LoopbackServer::Ms(300)).send(row.answer).close();
        SyncOptions options;
        options.book = book;
        options.url = url;
        std::string message;
        try {
            SyncBook(options);
        } catch (const SyncError& e) {
            message = e.what();
        }
        std::string expected = row.message;
        if (const size_t at = expected.find("URL"); at != std::string::npos)
            expected.replace(at, 3, url);
        EXPECT_NE(message.find(expected), std::string::npos) << message;
        EXPECT_FALSE(StampOf(book).exists);
        EXPECT_TRUE(server.finished());
    }
}

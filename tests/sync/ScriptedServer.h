#pragma once
// The scripted CardDAV server the sync's tests share: one answer a connection, a book synced
// before with one card.
#include "book/BookFile.h"
#include "sync/BookSync.h"
#include "sync/SyncState.h"
#include "tests/support/TempDir.h"
#include "tests/support/net/LoopbackServer.h"

#include <string>

namespace veldrano::test::dav {

// One answer of the scripted server: it takes the request, answers and closes.
inline void Answer(LoopbackServer& server, const std::string& status, const std::string& body,
                   const std::string& headers = "") {
    server.accept()
        .drain(LoopbackServer::Ms(250))
        .send("HTTP/1.1 " + status + "\r\nConnection: close\r\n" + headers +
              "Content-Type: application/xml\r\nContent-Length: " + std::to_string(body.size()) +
              "\r\n\r\n" + body)
        .close();
}

inline std::string Multistatus(const std::string& responses, const std::string& token = "t-2") {
    return "<?xml version=\"1.0\"?><multistatus xmlns=\"DAV:\" "
           "xmlns:C=\"urn:ietf:params:xml:ns:carddav\"><sync-token>" +
           token + "</sync-token>" + responses + "</multistatus>";
}

inline std::string CardResponse(const std::string& href, const std::string& etag,
                                const std::string& card) {
    return "<response><href>" + href + "</href><propstat><prop><getetag>" + etag +
           "</getetag><C:address-data>" + card +
           "</C:address-data></prop><status>HTTP/1.1 200 OK</status></propstat></response>";
}

inline ContactRecord Ana(const std::string& tel, const std::string& mail) {
    ContactRecord r;
    r[FieldIndex(Field::nombre)] = "Ana Ruiz";
    r[FieldIndex(Field::telefono)] = tel;
    r[FieldIndex(Field::e_mail)] = mail;
    return r;
}

inline std::string AnaCard(const std::string& tel, const std::string& mail) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:a\r\nFN:Ana Ruiz\r\nN:Ruiz;Ana;;;\r\n"
           "TEL;TYPE=home:" +
           tel + "\r\nEMAIL:" + mail + "\r\nNOTE:del tel\xC3\xA9" + "fono\r\nEND:VCARD\r\n";
}

struct Synced {
    test::TempDir dir;
    LoopbackServer server;
    std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/ana/l/";
    std::string book = dir.file("casa.kbx").string();
    HttpLimits limits;

    // A book synced before with Ana's card, now holding `here`.
    explicit Synced(const ContactRecord& here) {
        WriteSyncState(
            SyncStatePath(book),
            {url, url, "", "t-1", {{"/ana/l/a.vcf", "\"1\"", "a", Ana("1", "ana@a.example")}}, {}});
        BookStore store;
        store.insert(0, here);
        WriteBookFile(book, {}, store);
    }

    SyncReport Run() {
        SyncOptions options;
        options.book = book;
        options.url = url;
        options.credentials = {"ana", "secreto"}; // over plain HTTP: the server is this machine
        options.limits = limits;
        return SyncBook(options);
    }
};

} // namespace veldrano::test::dav

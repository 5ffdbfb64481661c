#include "mail/IdSMTP.h"
#include "tests/mail/smtp/SmtpTestSupport.h"
#include "tests/mail/transport/TransportTestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <regex>
#include <string>

namespace {

using namespace veldrano::test;

// SendOneMessage greets with the machine's own name.
LoopbackServer& GreetAnyName(LoopbackServer& server) {
    return server.send("220 server.test ready\r\n")
        .expectLineMatching("EHLO [^ ]+")
        .send("250 server.test\r\n");
}

LoopbackServer& EnvelopeTo(LoopbackServer& server, const std::string& from, const std::string& to) {
    return GreetAnyName(server)
        .expect("RSET\r\n")
        .send("250 ok\r\n")
        .expect("MAIL FROM:<" + from + ">\r\n")
        .send("250 ok\r\n")
        .expect("RCPT TO:<" + to + ">\r\n");
}

// The data of a message from ana to luis with subject "Hola", then the server's 250.
LoopbackServer& DataOfHola(LoopbackServer& server, const std::string& body) {
    return server.expect("DATA\r\n")
        .send("354 go\r\n")
        .expect("From: ana@example.com\r\nSubject: Hola\r\nTo: luis@example.com\r\n")
        .expectLineMatching("Date: .*")
        .expectLineMatching(kMessageIdLine)
        .expect("X-Priority: 3\r\nX-Library: VELDRANO Mail 1.0.0\r\n" + kAsciiBodyHeaders + "\r\n" +
                body + ".\r\n");
}

void Send(LoopbackServer& server, const std::string& subject, const std::string& to,
          const std::string& from, const std::string& text) {
    TIdSMTP::SendOneMessage(LoopbackServer::host(), subject, to, from, text, server.port());
}

TEST(SendOneMessage, WholeSessionWithTheExactHeaderBlock) {
    LoopbackServer server;
    EnvelopeTo(server, "ana@example.com", "luis@example.com")
        .send("250 ok\r\n")
        .expect("DATA\r\n")
        .send("354 go ahead\r\n")
        .expect("From: \"Ana (oficina)\" <ana@example.com>\r\n"
                "Subject: Reunion del lunes\r\n"
                "To: \"Luis\" <luis@example.com>\r\n")
        .expectLineMatching("Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), [1-9][0-9]? "
                            "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) 2[0-9]{3} "
                            "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [+-][0-9]{4}")
        .expectLineMatching(kMessageIdLine)
        .expect("X-Priority: 3\r\n"
                "X-Library: VELDRANO Mail 1.0.0\r\n" +
                kAsciiBodyHeaders +
                "\r\n"
                "Hola Luis,\r\n"
                "\r\n"
                "..nos vemos.\r\n"
                ".\r\n")
        .send("250 queued\r\n")
        .expect("QUIT\r\n")
        .expectClosed();
    Send(server, "Reunion del lunes", "Luis <luis@example.com>",
         "\"Ana (oficina)\" <ana@example.com>", "Hola Luis,\r\n\n.nos vemos.\r\n");
    EXPECT_TRUE(server.finished());
}

TEST(SendOneMessage, EmptyBodyAndEmptySender) {
    LoopbackServer server;
    EnvelopeTo(server, "", "luis@example.com")
        .send("250 ok\r\n")
        .expect("DATA\r\n")
        .send("354 go ahead\r\n")
        .expect("To: luis@example.com\r\n")
        .expectLineMatching("Date: .*")
        .expectLineMatching("Message-ID: <[0-9a-f.]+@[^>]+>") // no sender: the host's name
        .expect("X-Priority: 3\r\nX-Library: VELDRANO Mail 1.0.0\r\n" + kAsciiBodyHeaders +
                "\r\n.\r\n")
        .send("250 queued\r\n")
        .expect("QUIT\r\n");
    Send(server, "", "luis@example.com", "", "");
    EXPECT_TRUE(server.finished());
}

TEST(SendOneMessage, RefusedRecipientStillEndsWithQuit) {
    LoopbackServer server;
    EnvelopeTo(server, "ana@example.com", "nadie@example.com")
        .send("550 5.1.1 no such user\r\n")
        .expect("QUIT\r\n")
        .expectClosed();
    try {
        Send(server, "Hola", "nadie@example.com", "ana@example.com", "x");
        FAIL() << "550 accepted";
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode(), 550);
        EXPECT_STREQ(e.what(), "5.1.1 no such user\r\n");
    }
    EXPECT_TRUE(server.finished());
}

TEST(SendOneMessage, BadAddressTextFailsBeforeConnecting) {
    LoopbackServer server;
    EXPECT_THROW(Send(server, "Hola", "<luis@example.com>@otro", "ana@example.com", "x"),
                 EIdEmailParseError);
    EXPECT_THROW(Send(server, "Hola", "luis@example.com", "<ana@example.com>@otro", "x"),
                 EIdEmailParseError);
    EXPECT_EQ(server.connections(), 0);
}

// Every way a session can fail leaves no socket behind (the sanitizer build checks the
// objects).
struct FailureRow {
    const char* name;
    std::function<void(LoopbackServer&)> script;
};

TEST(SendOneMessage, NoDescriptorIsLeftOnAnyFailure) {
    const FailureRow rows[] = {
        {"greeting refused",
         [](LoopbackServer& s) { s.send("554 busy\r\n").expect("QUIT\r\n").expectClosed(); }},
        {"closed before greeting", [](LoopbackServer& s) { s.accept().close(); }},
        {"reset during EHLO",
         [](LoopbackServer& s) { s.send("220 ready\r\n").expectLineMatching("EHLO .*").reset(); }},
        {"recipient refused",
         [](LoopbackServer& s) {
             EnvelopeTo(s, "ana@example.com", "luis@example.com")
                 .send("550 no\r\n")
                 .expect("QUIT\r\n")
                 .expectClosed();
         }},
        {"closed during the data",
         [](LoopbackServer& s) {
             EnvelopeTo(s, "ana@example.com", "luis@example.com")
                 .send("250 ok\r\n")
                 .expect("DATA\r\n")
                 .send("354 go\r\n")
                 .close();
         }},
        {"final dot refused",
         [](LoopbackServer& s) {
             DataOfHola(EnvelopeTo(s, "ana@example.com", "luis@example.com").send("250 ok\r\n"),
                        "x\r\n")
                 .send("552 too big\r\n")
                 .expect("QUIT\r\n")
                 .expectClosed();
         }},
    };
    for (const FailureRow& row : rows) {
        SCOPED_TRACE(row.name);
        LoopbackServer server;
        row.script(server);
        const int before = OpenDescriptorCount();
        EXPECT_THROW(Send(server, "Hola", "luis@example.com", "ana@example.com", "x\r\n"),
                     EIdException);
        EXPECT_TRUE(server.finished()); // the server's side is closed too before counting
        EXPECT_EQ(OpenDescriptorCount(), before);
    }
    // Nothing listening at all.
    const UnusedPort unused;
    const int before = OpenDescriptorCount();
    EXPECT_THROW(TIdSMTP::SendOneMessage("127.0.0.1", "Hola", "luis@example.com", "ana@example.com",
                                         "x", unused.port()),
                 EIdSocketError);
    EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST(SendOneMessage, SuccessLeavesNoDescriptorEither) {
    LoopbackServer server;
    DataOfHola(EnvelopeTo(server, "ana@example.com", "luis@example.com").send("250 ok\r\n"),
               "x\r\n")
        .send("250 ok\r\n")
        .expect("QUIT\r\n")
        .reset(); // a lost QUIT does not turn a delivered message into a failure
    const int before = OpenDescriptorCount();
    Send(server, "Hola", "luis@example.com", "ana@example.com", "x");
    EXPECT_TRUE(server.finished());
    EXPECT_EQ(OpenDescriptorCount(), before);
}

// Whatever the user types, the server sees one command per step and one header per field.
TEST(SendOneMessage, TypedLineBreaksInjectNeitherCommandsNorHeaders) {
    LoopbackServer server;
    GreetAnyName(server)
        .expect("RSET\r\n")
        .send("250 ok\r\n")
        .expectLineMatching("MAIL FROM:<ana@example.com>")
        .send("250 ok\r\n")
        .expectLineMatching("RCPT TO:<luis@example.com>")
        .send("250 ok\r\n")
        .expect("DATA\r\n")
        .send("354 go\r\n")
        .drain(std::chrono::milliseconds(300))
        .send("250 queued\r\n")
        .expectClosed();
    const std::string body = "Hola\r\n.\r\nRSET\r\nMAIL FROM:<x@y>\n.\rfin";
    Send(server, "Hola\r\nBcc: todos@example.com", "luis@example.com",
         "Ana\r\nX-Spam: no <ana@example.com>", body);
    EXPECT_TRUE(server.finished()) << server.transcript();

    const std::string all = server.received();
    const std::string data = all.substr(all.find("DATA\r\n") + 6);
    const std::string headerBlock = data.substr(0, data.find("\r\n\r\n") + 2);
    const std::regex headerStart("(^|\r\n)([^ \t\r][^:\r\n]*):");
    std::string names;
    for (std::sregex_iterator it(headerBlock.begin(), headerBlock.end(), headerStart), end;
         it != end; ++it)
        names += (*it)[2].str() + ";";
    EXPECT_EQ(names, "From;Subject;To;Date;Message-ID;X-Priority;X-Library;MIME-Version;Content-"
                     "Type;Content-Transfer-Encoding;");
    EXPECT_EQ(data.substr(data.find("\r\n\r\n") + 4),
              "Hola\r\n..\r\nRSET\r\nMAIL FROM:<x@y>\r\n..\r\nfin\r\n.\r\nQUIT\r\n");
}

} // namespace

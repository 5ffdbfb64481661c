#include "mail/IdSMTP.h"
#include "tests/mail/smtp/SmtpTestSupport.h"
#include "tests/mail/transport/TransportTestSupport.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace veldrano::test {

int OpenDescriptorCount() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir))
            ++count;
        ::closedir(dir);
    }
    return count;
}

void FillMessage(TIdMessage& message, const std::string& from, const std::string& to) {
    message.From().SetText(from);
    ParseAddressList(message.Recipients(), to);
    message.SetSubject("Prueba");
    message.Body() = {"Hola."};
}

} // namespace veldrano::test

namespace {

using namespace veldrano::test;
using Strings = std::vector<std::string>;

// Everything after DATA up to the end of the data, the Date line matched loosely.
LoopbackServer& ExpectShortMessage(LoopbackServer& server, const std::string& extra = "") {
    return server.expect("From: ana@example.com\r\nSubject: Prueba\r\nTo: luis@example.com\r\n")
        .expectLineMatching("Date: .*")
        .expectLineMatching(kMessageIdLine)
        .expect("X-Priority: 3\r\nX-Library: VELDRANO Mail 1.0.0\r\n" + kAsciiBodyHeaders + extra +
                "\r\nHola.\r\n.\r\n");
}

// --- Opening ----------------------------------------------------------------------------

TEST(SmtpConnect, GreetingRefusedRaisesWithTheServerTextAndQuits) {
    SmtpOnServer s;
    s.server.send("554 no service here\r\n").expect("QUIT\r\n").expectClosed();
    try {
        s.smtp.ConnectToHost();
        FAIL() << "greeting 554 accepted";
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode(), 554);
        EXPECT_STREQ(e.what(), "no service here\r\n");
    }
    EXPECT_TRUE(s.server.finished());
    EXPECT_FALSE(s.smtp.IsConnected());
}

TEST(SmtpConnect, EhloRefusedFallsBackToHeloWithTheSameName) {
    SmtpOnServer s;
    s.greet("502 command not implemented\r\n").expect("HELO client.test\r\n").send("250 hi\r\n");
    s.smtp.ConnectToHost();
    EXPECT_TRUE(s.server.finished());
    EXPECT_TRUE(s.smtp.IsConnected());
    EXPECT_TRUE(s.smtp.OfferedMechanisms().empty());
}

TEST(SmtpConnect, HeloRefusedRaisesTheHeloErrorAndQuits) {
    SmtpOnServer s;
    s.greet("500 what\r\n")
        .expect("HELO client.test\r\n")
        .send("501 bad name\r\n")
        .expect("QUIT\r\n")
        .expectClosed();
    try {
        s.smtp.ConnectToHost();
        FAIL() << "HELO 501 accepted";
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode(), 501);
        EXPECT_STREQ(e.what(), "bad name\r\n");
    }
    EXPECT_TRUE(s.server.finished());
}

TEST(SmtpConnect, WithoutEhloGreetsWithHeloOnly) {
    SmtpOnServer s;
    s.smtp.SetUseEhlo(false);
    s.server.send("220 ready\r\n").expect("HELO client.test\r\n").send("250 hi\r\n");
    s.smtp.ConnectToHost();
    EXPECT_TRUE(s.server.finished());
}

TEST(SmtpConnect, AuthLinesInAnyCaseGiveEachMechanismOnce) {
    SmtpOnServer s;
    s.greet("250-server.test\r\n250-auth login PLAIN\r\n250-Auth=Login\r\n250-AUTHX CRAM\r\n"
            "250 SIZE 1000\r\n");
    s.smtp.ConnectToHost();
    EXPECT_EQ(s.smtp.OfferedMechanisms(), (Strings{"LOGIN", "PLAIN"}));
    EXPECT_TRUE(s.smtp.ServerOffersLogin(atLogin));
    EXPECT_FALSE(s.smtp.ServerOffersLogin(atNone));
}

TEST(SmtpConnect, MechanismsAreForgottenAtTheNextConnect) {
    SmtpOnServer s;
    s.greet("250-server.test\r\n250 AUTH LOGIN\r\n")
        .expect("QUIT\r\n")
        .expectClosed()
        .send("220 again\r\n")
        .expect("EHLO client.test\r\n")
        .send("250 server.test\r\n");
    s.smtp.ConnectToHost();
    EXPECT_TRUE(s.smtp.ServerOffersLogin(atLogin));
    s.smtp.CloseConnection();
    s.smtp.ConnectToHost();
    EXPECT_TRUE(s.smtp.OfferedMechanisms().empty());
    EXPECT_TRUE(s.server.finished());
}

TEST(SmtpConnect, AnUnsafeGreetingNameIsNeverSent) {
    SmtpOnServer s;
    s.smtp.SetHeloName("client\r\nMAIL FROM:<x@y>");
    s.server.send("220 ready\r\n").expect("QUIT\r\n").expectClosed();
    EXPECT_THROW(s.smtp.ConnectToHost(), EIdUnsafeLine);
    EXPECT_TRUE(s.server.finished());
}

// --- Settings ------------------------------------------------------------------------------

TEST(SmtpSettings, DefaultsAndTheCouplingOfLoginAndEhlo) {
    TIdSMTP smtp;
    EXPECT_EQ(smtp.Port(), 25);
    EXPECT_EQ(smtp.AuthenticationType(), atNone);
    EXPECT_TRUE(smtp.UseEhlo());
    EXPECT_FALSE(smtp.LoggedIn());

    smtp.SetAuthenticationType(atLogin);
    smtp.SetUseEhlo(false);
    EXPECT_EQ(smtp.AuthenticationType(), atNone);
    EXPECT_FALSE(smtp.UseEhlo());
    smtp.SetAuthenticationType(atLogin);
    EXPECT_TRUE(smtp.UseEhlo());
}

TEST(SmtpSettings, AssignCopiesTheSessionSettingsButNotTheGreeting) {
    TIdSMTP source;
    source.SetAuthenticationType(atLogin);
    source.SetHost("mail.example.com");
    source.SetMailAgent("Agenda");
    source.SetPassword("clave");
    source.SetPort(2525);
    source.SetUsername("ana");
    source.SetHeloName("source.test");

    TIdSMTP target;
    target.SetUseEhlo(false);
    target.Assign(source);
    EXPECT_EQ(target.AuthenticationType(), atLogin);
    EXPECT_TRUE(target.UseEhlo()); // through the setter
    EXPECT_EQ(target.Host(), "mail.example.com");
    EXPECT_EQ(target.MailAgent(), "Agenda");
    EXPECT_EQ(target.Password(), "clave");
    EXPECT_EQ(target.Port(), 2525);
    EXPECT_EQ(target.Username(), "ana");
    EXPECT_EQ(target.HeloName(), "");

    TIdTCPClient other;
    EXPECT_THROW(target.Assign(other), EIdException);
}

// --- Sending -------------------------------------------------------------------------------

TEST(SmtpSendMail, LoginRunsOnceASessionWithTheBase64Lines) {
    SmtpOnServer s;
    s.smtp.SetAuthenticationType(atLogin);
    s.smtp.SetUsername("ana");
    s.smtp.SetPassword("clave secreta");
    s.greet("250-server.test\r\n250 AUTH PLAIN LOGIN\r\n")
        .expect("RSET\r\n")
        .send("250 ok\r\n")
        .expect("AUTH LOGIN\r\n")
        .send("334 VXNlcm5hbWU6\r\n")
        .expect("YW5h\r\n")
        .send("334 UGFzc3dvcmQ6\r\n")
        .expect("Y2xhdmUgc2VjcmV0YQ==\r\n")
        .send("235 welcome\r\n")
        .expect("MAIL FROM:<ana@example.com>\r\n")
        .send("250 ok\r\n")
        .expect("RCPT TO:<luis@example.com>\r\n")
        .send("250 ok\r\n")
        .expect("DATA\r\n")
        .send("354 go\r\n");
    ExpectShortMessage(s.server)
        .send("250 queued\r\n")
        .expect("RSET\r\n") // the second message: no AUTH
        .send("250 ok\r\n")
        .expect("MAIL FROM:<ana@example.com>\r\n")
        .send("250 ok\r\n")
        .expect("RCPT TO:<luis@example.com>\r\n")
        .send("250 ok\r\n")
        .expect("DATA\r\n")
        .send("354 go\r\n");
    ExpectShortMessage(s.server).send("250 queued\r\n").expect("QUIT\r\n").expectClosed();

    TIdMessage message;
    FillMessage(message, "Ana <ana@example.com>", "luis@example.com");
    message.From().Name.clear();
    s.smtp.ConnectToHost();
    s.smtp.SendMail(message);
    EXPECT_TRUE(s.smtp.LoggedIn());
    s.smtp.SendMail(message);
    s.smtp.CloseConnection();
    EXPECT_FALSE(s.smtp.LoggedIn());
    EXPECT_TRUE(s.server.finished());
}

TEST(SmtpSendMail, LoginNotOfferedGoesStraightToMailFrom) {
    SmtpOnServer s;
    s.smtp.SetAuthenticationType(atLogin);
    s.greet("250-server.test\r\n250 AUTH PLAIN\r\n")
        .expect("RSET\r\n")
        .send("250 ok\r\n")
        .expect("MAIL FROM:<ana@example.com>\r\n")
        .send("250 ok\r\n")
        .expect("RCPT TO:<luis@example.com>\r\n")
        .send("250 ok\r\n")
        .expect("DATA\r\n")
        .send("354 go\r\n");
    ExpectShortMessage(s.server).send("250 queued\r\n");
    TIdMessage message;
    FillMessage(message, "ana@example.com", "luis@example.com");
    s.smtp.ConnectToHost();
    s.smtp.SendMail(message);
    EXPECT_FALSE(s.smtp.LoggedIn());
    EXPECT_TRUE(s.server.finished());
}

TEST(SmtpSendMail, RefusedPasswordRaisesAndLeavesTheSessionNotLoggedIn) {
    SmtpOnServer s;
    s.smtp.SetAuthenticationType(atLogin);
    s.greet("250-server.test\r\n250 AUTH=LOGIN\r\n")
        .expect("RSET\r\n")
        .send("250 ok\r\n")
        .expect("AUTH LOGIN\r\n")
        .send("334 x\r\n")
        .expect("\r\n") // empty user name: empty base64
        .send("334 y\r\n")
        .expect("\r\n")
        .send("535 authentication failed\r\n");
    TIdMessage message;
    FillMessage(message, "ana@example.com", "luis@example.com");
    s.smtp.ConnectToHost();
    try {
        s.smtp.SendMail(message);
        FAIL() << "535 accepted";
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode(), 535);
    }
    EXPECT_FALSE(s.smtp.LoggedIn());
    EXPECT_TRUE(s.server.finished());
}

TEST(SmtpSendMail, RecipientsOfAllThreeListsWith251AcceptedAndMailAgentHeader) {
    SmtpOnServer s;
    s.smtp.SetMailAgent("Agenda 1.0");
    s.greet()
        .expect("RSET\r\n")
        .send("250 ok\r\n")
        .expect("MAIL FROM:<ana@example.com>\r\n")
        .send("250 ok\r\n")
        .expect("RCPT TO:<luis@example.com>\r\n")
        .send("251 user not local; will forward\r\n")
        .expect("RCPT TO:<eva@example.com>\r\n")
        .send("250 ok\r\n")
        .expect("RCPT TO:<oculto@example.com>\r\n")
        .send("250 ok\r\n")
        .expect("DATA\r\n")
        .send("354 go\r\n")
        .expect("From: ana@example.com\r\nSubject: Prueba\r\nTo: luis@example.com\r\n"
                "Cc: eva@example.com\r\n")
        .expectLineMatching("Date: .*")
        .expectLineMatching(kMessageIdLine)
        .expect("X-Priority: 3\r\nX-Library: VELDRANO Mail 1.0.0\r\n" + kAsciiBodyHeaders +
                "X-Mailer: Agenda 1.0\r\n\r\nHola.\r\n.\r\n")
        .send("250 queued\r\n");
    TIdMessage message;
    FillMessage(message, "ana@example.com", "luis@example.com");
    message.CCList().Add().Address = "eva@example.com";
    message.BccList().Add().Address = "oculto@example.com";
    s.smtp.ConnectToHost();
    s.smtp.SendMail(message);
    EXPECT_TRUE(s.server.finished());
    EXPECT_EQ(message.ExtraHeaders().HeaderValue("X-Mailer"), "Agenda 1.0");
}

TEST(SmtpSendMail, RefusedRecipientStopsBeforeData) {
    SmtpOnServer s;
    s.greet()
        .expect("RSET\r\n")
        .send("250 ok\r\n")
        .expect("MAIL FROM:<ana@example.com>\r\n")
        .send("250 ok\r\n")
        .expect("RCPT TO:<nadie@example.com>\r\n")
        .send("550 no such user\r\n")
        .expect("QUIT\r\n")
        .expectClosed();
    TIdMessage message;
    FillMessage(message, "ana@example.com", "nadie@example.com, luis@example.com");
    s.smtp.ConnectToHost();
    try {
        s.smtp.SendMail(message);
        FAIL() << "550 accepted";
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode(), 550);
        EXPECT_STREQ(e.what(), "no such user\r\n");
    }
    s.smtp.CloseConnection();
    EXPECT_TRUE(s.server.finished());
}

TEST(SmtpSendMail, NoRecipientsSendsDataRightAfterMailFromAndEmptySenderPath) {
    SmtpOnServer s;
    s.greet()
        .expect("RSET\r\n")
        .send("250 ok\r\n")
        .expect("MAIL FROM:<>\r\n")
        .send("250 ok\r\n")
        .expect("DATA\r\n")
        .send("554 no valid recipients\r\n");
    TIdMessage message;
    s.smtp.ConnectToHost();
    try {
        s.smtp.SendMail(message);
        FAIL() << "554 accepted";
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyErrorCode(), 554);
    }
    EXPECT_TRUE(s.server.finished());
}

// Envelope addresses come from the caller's text; one holding a line break must never
// reach the wire, or its second half would be read as a command.
TEST(SmtpSendMail, EnvelopeAddressesWithLineBreaksAreRefusedBeforeSending) {
    for (const bool inSender : {true, false}) {
        SCOPED_TRACE(inSender ? "sender" : "recipient");
        SmtpOnServer s;
        s.greet().expect("RSET\r\n").send("250 ok\r\n");
        if (!inSender)
            s.server.expect("MAIL FROM:<ana@example.com>\r\n").send("250 ok\r\n");
        s.server.expect("QUIT\r\n").expectClosed();
        TIdMessage message;
        message.From().Address = inSender ? "ana@example.com>\r\nRCPT TO:<x@y" : "ana@example.com";
        message.Recipients().Add().Address = "luis@example.com>\nDATA";
        s.smtp.ConnectToHost();
        EXPECT_THROW(s.smtp.SendMail(message), EIdUnsafeLine);
        s.smtp.CloseConnection();
        EXPECT_TRUE(s.server.finished());
    }
}

TEST(SmtpSendMail, ExpandAndVerify) {
    SmtpOnServer s;
    s.greet()
        .expect("EXPN lista\r\n")
        .send("250-Ana <ana@example.com>\r\n250 Luis <luis@example.com>\r\n")
        .expect("VRFY luis\r\n")
        .send("251 Luis <luis@example.com>\r\n")
        .expect("VRFY nadie\r\n")
        .send("550 unknown\r\n");
    s.smtp.ConnectToHost();
    s.smtp.ExpandList("lista");
    EXPECT_EQ(s.smtp.VerifyUser("luis"), "Luis <luis@example.com>");
    EXPECT_THROW(s.smtp.VerifyUser("nadie"), EIdProtocolReplyError);
    EXPECT_TRUE(s.server.finished());
}

// --- Security and login as the send-mail dialog asks for them ------------------------------

struct SessionRow {
    const char* name;
    TIdSecurity security;
    const char* user; // empty: no login
    std::string ehloReply;
    std::function<void(LoopbackServer&)> afterEhlo;
    const char* error; // what the session throws; empty when it opens
    bool loggedIn;
};

void PrintTo(const SessionRow& row, std::ostream* os) {
    *os << row.name;
}

class SmtpSessionRules : public ::testing::TestWithParam<SessionRow> {};

TEST_P(SmtpSessionRules, Transcript) {
    const SessionRow& row = GetParam();
    SmtpOnServer s;
    s.smtp.SetSecurity(row.security);
    s.smtp.SetUsername(row.user);
    s.smtp.SetPassword("clave");
    s.smtp.SetAuthenticationType(*row.user ? atPlainOrLogin : atNone);
    s.greet(row.ehloReply);
    row.afterEhlo(s.server);
    if (*row.error) {
        s.server.expect("QUIT\r\n").expectClosed();
        EXPECT_EQ(ErrorText<EIdException>([&] { s.smtp.ConnectToHost(); }), row.error);
    } else {
        s.smtp.ConnectToHost();
        EXPECT_TRUE(s.smtp.IsConnected());
    }
    EXPECT_EQ(s.smtp.LoggedIn(), row.loggedIn);
    EXPECT_TRUE(s.server.finished());
}

const auto Nothing = [](LoopbackServer&) {};

INSTANTIATE_TEST_SUITE_P(
    Rows, SmtpSessionRules,
    ::testing::Values(
        SessionRow{"StartTlsNotOfferedStaysPlainWhereOptional", seStartTlsWhenOffered, "",
                   "250 server.test\r\n", Nothing, "", false},
        SessionRow{"StartTlsNotOfferedEndsWhereRequired", seStartTlsRequired, "ana",
                   "250-server.test\r\n250 AUTH PLAIN LOGIN\r\n", Nothing,
                   "El servidor no ofrece conexión segura (STARTTLS) en ese puerto; no se ha "
                   "enviado nada.",
                   false},
        SessionRow{"StartTlsRefusedByTheServer", seStartTlsRequired, "",
                   "250-server.test\r\n250 STARTTLS\r\n",
                   [](LoopbackServer& s) {
                       s.expect("STARTTLS\r\n").send("454 4.7.0 TLS not available\r\n");
                   },
                   "4.7.0 TLS not available\r\n", false},
        SessionRow{"PlainLoginWithTheCredentialsAtOnce", seNone, "ana",
                   "250-server.test\r\n250 AUTH LOGIN PLAIN\r\n",
                   [](LoopbackServer& s) {
                       s.expect("AUTH PLAIN AGFuYQBjbGF2ZQ==\r\n").send("235 ok\r\n");
                   },
                   "", true},
        SessionRow{"LoginWhenPlainIsNotOffered", seNone, "ana",
                   "250-server.test\r\n250 AUTH LOGIN\r\n",
                   [](LoopbackServer& s) {
                       s.expect("AUTH LOGIN\r\n")
                           .send("334 VXNlcm5hbWU6\r\n")
                           .expect("YW5h\r\n")
                           .send("334 UGFzc3dvcmQ6\r\n")
                           .expect("Y2xhdmU=\r\n")
                           .send("235 ok\r\n");
                   },
                   "", true},
        SessionRow{"RefusedLoginShowsTheServersText", seNone, "ana",
                   "250-server.test\r\n250 AUTH PLAIN\r\n",
                   [](LoopbackServer& s) {
                       s.expect("AUTH PLAIN AGFuYQBjbGF2ZQ==\r\n")
                           .send("535 5.7.8 credenciales incorrectas\r\n");
                   },
                   "El servidor no ha aceptado el usuario o la contraseña:\r\n5.7.8 "
                   "credenciales incorrectas\r\n",
                   false},
        SessionRow{"NoMechanismOfferedNoLogin", seNone, "ana", "250 server.test\r\n", Nothing, "",
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

struct ServerTextRow {
    const char* name;
    const char* text;
    const char* host; // null: the text is refused
    int port;
    TIdSecurity security;
};

void PrintTo(const ServerTextRow& row, std::ostream* os) {
    *os << row.name;
}

class ServerText : public ::testing::TestWithParam<ServerTextRow> {};

TEST_P(ServerText, HostPortAndTheSecurityThePortAsksFor) {
    const ServerTextRow& row = GetParam();
    if (!row.host) {
        EXPECT_THROW(ParseServerText(row.text), EIdServerTextError);
        return;
    }
    const TIdSmtpServer server = ParseServerText(row.text);
    EXPECT_EQ(server.Host, row.host);
    EXPECT_EQ(server.Port, row.port);
    EXPECT_EQ(server.Security, row.security);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ServerText,
    ::testing::Values(ServerTextRow{"NoPortIs25", " smtp.example.com ", "smtp.example.com", 25,
                                    seStartTlsWhenOffered},
                      ServerTextRow{"Explicit25", "smtp.example.com:25", "smtp.example.com", 25,
                                    seStartTlsWhenOffered},
                      ServerTextRow{"SubmissionPort", "smtp.example.com:587", "smtp.example.com",
                                    587, seStartTlsRequired},
                      ServerTextRow{"ImplicitTlsPort", "smtp.example.com:465", "smtp.example.com",
                                    465, seImplicitTls},
                      ServerTextRow{"IPv6WithPort", "[2001:db8::25]:2525", "2001:db8::25", 2525,
                                    seStartTlsRequired},
                      ServerTextRow{"IPv6InBrackets", "[::1]", "::1", 25, seStartTlsWhenOffered},
                      ServerTextRow{"BareIPv6", "::1", "::1", 25, seStartTlsWhenOffered},
                      ServerTextRow{"Empty", "  ", nullptr, 0, seNone},
                      ServerTextRow{"EmptyPort", "smtp.example.com:", nullptr, 0, seNone},
                      ServerTextRow{"PortZero", "smtp.example.com:0", nullptr, 0, seNone},
                      ServerTextRow{"PortTooLarge", "smtp.example.com:65536", nullptr, 0, seNone},
                      ServerTextRow{"PortNotANumber", "smtp.example.com:smtp", nullptr, 0, seNone},
                      ServerTextRow{"NoHost", ":587", nullptr, 0, seNone},
                      ServerTextRow{"UnclosedBracket", "[::1:25", nullptr, 0, seNone},
                      ServerTextRow{"TextAfterBracket", "[::1]25", nullptr, 0, seNone}),
    [](const auto& info) { return std::string(info.param.name); });

// A password goes in clear only to this machine; anywhere else it needs TLS.
TEST(SmtpSendMail, NoPasswordWithoutTlsToAnotherMachine) {
    TIdSMTP smtp;
    ScriptedIOHandler elsewhere; // not a socket on this machine
    smtp.SetIOHandler(&elsewhere);
    smtp.SetAuthenticationType(atPlainOrLogin);
    smtp.SetUsername("ana");
    smtp.SetPassword("clave");
    EXPECT_THROW(smtp.PerformLogin(), EIdLoginNeedsTls);
    EXPECT_EQ(elsewhere.sent, "");
    EXPECT_FALSE(smtp.LoggedIn());
    smtp.SetIOHandler(nullptr);
}

// Another thread ends the wait at once, in a plain read and in the TLS handshake alike.
TEST(SmtpInterrupt, EndsTheSessionAtOnceWhereverItWaits) {
    using namespace std::chrono;
    for (const bool inHandshake : {false, true}) {
        SCOPED_TRACE(inHandshake ? "handshake" : "greeting");
        SmtpOnServer s;
        s.smtp.SetSecurity(seStartTlsRequired);
        if (inHandshake)
            s.greet("250-server.test\r\n250 STARTTLS\r\n")
                .expect("STARTTLS\r\n")
                .send("220 go ahead\r\n");
        else
            s.server.accept();
        s.server.expectClosed(seconds(10));
        std::thread user([&] {
            std::this_thread::sleep_for(milliseconds(300));
            s.smtp.Interrupt();
        });
        const auto start = steady_clock::now();
        EXPECT_THROW(s.smtp.ConnectToHost(), EIdOperationCancelled);
        EXPECT_LT(steady_clock::now() - start, milliseconds(1300));
        user.join();
        EXPECT_TRUE(s.server.finished());
        EXPECT_THROW(s.smtp.ConnectToHost(), EIdOperationCancelled); // until reset
    }
}

// --- Closing -------------------------------------------------------------------------------

TEST(SmtpClose, ClosedClientWritesNothingAndStillResetsLoggedIn) {
    LoopbackServer server;
    TIdSMTP smtp;
    EXPECT_FALSE(smtp.PerformLogin()); // atNone: no exchange, but the step has run
    EXPECT_TRUE(smtp.LoggedIn());
    smtp.CloseConnection();
    EXPECT_FALSE(smtp.LoggedIn());
    EXPECT_EQ(server.connections(), 0);
}

TEST(SmtpClose, QuitReplyIsNotReadAndAResetPeerStillEndsClosed) {
    SmtpOnServer s;
    s.greet().expect("QUIT\r\n").reset();
    s.smtp.ConnectToHost();
    s.smtp.CloseConnection();
    EXPECT_FALSE(s.smtp.IsConnected());
    EXPECT_TRUE(s.server.finished());
}

} // namespace

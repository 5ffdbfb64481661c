#include "mail/IdRFCReply.h"
#include "mail/IdTCPClient.h"
#include "tests/mail/transport/TransportTestSupport.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace veldrano::test;
using Lines = std::vector<std::string>;

// --- The reply record -----------------------------------------------------------------------

TEST(RFCReply, CodeSettersKeepTextAndNumberInStep) {
    TIdRFCReply reply;
    reply.SetTextCode("354");
    EXPECT_EQ(reply.NumericCode(), 354);
    reply.SetTextCode("ab1");
    EXPECT_EQ(reply.NumericCode(), 0);
    EXPECT_EQ(reply.TextCode(), "ab1");
    reply.SetNumericCode(221);
    EXPECT_EQ(reply.TextCode(), "221");
    reply.SetNumericCode(0); // not above 0: the text stays
    EXPECT_EQ(reply.TextCode(), "221");

    reply.SetText({"a", "b"});
    TIdRFCReply copy;
    copy.SetText({"old"});
    copy = reply;
    EXPECT_EQ(copy.NumericCode(), 0);
    EXPECT_EQ(copy.TextCode(), "221");
    EXPECT_EQ(copy.Text(), (Lines{"a", "b"}));
    copy.ClearReply();
    EXPECT_EQ(copy.NumericCode(), 0);
    EXPECT_TRUE(copy.TextCode().empty());
    EXPECT_TRUE(copy.Text().empty());
}

struct ParseRow {
    const char* name;
    Lines lines;
    int code;
    const char* textCode;
    Lines text;
};

// Test names show the row name rather than its bytes.
void PrintTo(const ParseRow& row, std::ostream* os) {
    *os << row.name;
}

class RFCReplyParse : public ::testing::TestWithParam<ParseRow> {};

TEST_P(RFCReplyParse, CodeFromTheFirstLineTextFromTheFifthCharacter) {
    const ParseRow& row = GetParam();
    TIdRFCReply reply;
    reply.ParseReply(row.lines);
    EXPECT_EQ(reply.NumericCode(), row.code);
    EXPECT_EQ(reply.TextCode(), row.textCode);
    EXPECT_EQ(reply.Text(), row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RFCReplyParse,
    ::testing::Values(
        ParseRow{"MultiLine",
                 {"250-first", "250-second", "250 last"},
                 250,
                 "250",
                 {"first", "second", "last"}},
        ParseRow{"OneLine", {"220 ready"}, 220, "220", {"ready"}},
        ParseRow{"BareCode", {"250"}, 250, "250", {""}},
        ParseRow{"MixedPrefixes", {"250-a", "251 b", "250 c"}, 250, "250", {"a", "b", "c"}},
        ParseRow{"NotNumeric", {"ABC hello"}, 0, "ABC", {"hello"}},
        ParseRow{"FourDigitsReadAsTheCode", {"2500 x"}, 2500, "2500", {" x"}},
        ParseRow{"ShortFirstLine", {"25"}, 25, "25", {""}}, ParseRow{"Empty", {}, 0, "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Replies over the wire ------------------------------------------------------------------

struct ReplyOnWire : ::testing::Test {
    ClientOnServer s;
    void SetUp() override { s.connect(); }
};

TEST_F(ReplyOnWire, MultiLineReplyEndsAtTheFirstLinesCodeAndBlank) {
    s.server.send("250-mail.example.com\r\n250-PIPELINING\r\n250 8BITMIME\r\n220 next\r\n");
    EXPECT_EQ(s.client.ReadReply({250}), 250);
    EXPECT_EQ(s.client.LastReply().Text(), (Lines{"mail.example.com", "PIPELINING", "8BITMIME"}));
    EXPECT_EQ(s.client.ReadReply({}), 220);
    EXPECT_EQ(s.client.LastReply().Text(), Lines{"next"});
}

TEST_F(ReplyOnWire, LinesInsideMayCarryAnyPrefix) {
    s.server.send("250-a\r\n251 b\r\nplain text here\r\n250-still\r\n250 c\r\n");
    s.client.ReceiveReply();
    EXPECT_EQ(s.client.LastReply().NumericCode(), 250);
    EXPECT_EQ(s.client.LastReply().Text(), (Lines{"a", "b", "n text here", "still", "c"}));
}

TEST_F(ReplyOnWire, ClosingCodeIsComparedWithoutLetterCase) {
    s.server.send("ab1-x\r\nAB1 y\r\n");
    s.client.ReceiveReply();
    EXPECT_EQ(s.client.LastReply().TextCode(), "ab1");
    EXPECT_EQ(s.client.LastReply().Text(), (Lines{"x", "y"}));
}

TEST_F(ReplyOnWire, AShortLineEndsAMultiLineReply) {
    s.server.send("250-a\r\n250-b\r\nok\r\n220 next\r\n");
    s.client.ReceiveReply();
    EXPECT_EQ(s.client.LastReply().Text(), (Lines{"a", "b", ""}));
    s.client.ReceiveReply();
    EXPECT_EQ(s.client.LastReply().NumericCode(), 220);
}

TEST_F(ReplyOnWire, BlankLinesAreSkippedAndLinesTrimmed) {
    s.server.send("\r\n   \r\n\t\r\n  250-first  \r\n\r\n \t \r\n250 last \r\n");
    s.client.ReceiveReply();
    EXPECT_EQ(s.client.LastReply().NumericCode(), 250);
    EXPECT_EQ(s.client.LastReply().Text(), (Lines{"first", "last"}));
}

TEST_F(ReplyOnWire, FirstLineWithoutHyphenIsOneLineWhateverFollows) {
    s.server.send("220 ready\r\n220-more\r\n220 end\r\n");
    s.client.ReceiveReply();
    EXPECT_EQ(s.client.LastReply().Text(), Lines{"ready"});
}

TEST_F(ReplyOnWire, RefusedCodeRaisesWithTheServersTextAndKeepsTheReply) {
    s.server.expect("RCPT TO:<x@y>\r\n").send("554-5.7.1 Relay denied\r\n554 go away\r\n");
    const auto e = Thrown<EIdProtocolReplyError>(
        [&] { s.client.SendCommand("RCPT TO:<x@y>", TIdReplyCodes{250}); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ReplyErrorCode(), 554);
    EXPECT_STREQ(e->what(), "5.7.1 Relay denied\r\ngo away\r\n");
    EXPECT_EQ(s.client.LastReply().NumericCode(), 554);
    EXPECT_EQ(s.client.LastReply().Text(), (Lines{"5.7.1 Relay denied", "go away"}));
    EXPECT_TRUE(s.server.finished());
}

TEST_F(ReplyOnWire, SendCommandForms) {
    s.server.expect("RSET\r\n").send("550 no\r\n");
    s.server.expect("DATA\r\n").send("354 go\r\n");
    s.server.expect("\r\n").send("250 empty\r\n");
    s.server.expect("RCPT TO:<a@b>\r\n").send("251 forwarded\r\n");
    s.server.expect("NOOP\r\n").send("250 ok\r\n");
    EXPECT_EQ(s.client.SendCommand("RSET"), 550); // -1: any code, 5xx included
    EXPECT_EQ(s.client.SendCommand("DATA", 354), 354);
    EXPECT_EQ(s.client.SendCommand(""), 250);
    EXPECT_EQ(s.client.SendCommand("RCPT TO:<a@b>", TIdReplyCodes{250, 251}), 251);
    EXPECT_THROW(s.client.SendCommand("NOOP", 221), EIdProtocolReplyError);
    EXPECT_TRUE(s.server.finished());
}

TEST_F(ReplyOnWire, NonNumericCodeFailsEveryNonEmptyList) {
    s.server.send("XYZ what\r\nXYZ what\r\n");
    EXPECT_EQ(s.client.ReadReply({}), 0);
    const auto e = Thrown<EIdProtocolReplyError>([&] { s.client.ReadReply({250}); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ReplyErrorCode(), 0);
    EXPECT_STREQ(e->what(), "what\r\n");
}

TEST_F(ReplyOnWire, CloseAmidAReplyRaisesAndKeepsThePreviousReply) {
    s.server.send("220 first\r\n250-partial\r\n").close();
    s.client.ReceiveReply();
    EXPECT_THROW(s.client.ReceiveReply(), EIdConnClosedGracefully);
    EXPECT_EQ(s.client.LastReply().Text(), Lines{"first"});
}

TEST_F(ReplyOnWire, OverLongReplyLineRaises) {
    s.server.send("250-" + std::string(20000, 'x') + "\r\n");
    EXPECT_THROW(s.client.ReceiveReply(), EIdReadLnMaxLineLengthExceeded);
}

TEST_F(ReplyOnWire, ReplyInTinyPiecesReadsTheSame) {
    s.server.sendSplit("250-a\r\n\r\n250-b\r\n250 c\r\n", 1, std::chrono::milliseconds(1));
    s.client.SetRecvBufferSize(1);
    EXPECT_EQ(s.client.ReadReply({250}), 250);
    EXPECT_EQ(s.client.LastReply().Text(), (Lines{"a", "b", "c"}));
}

// Past the reply limits the connection is closed and nothing more is read.
TEST_F(ReplyOnWire, AReplyPastItsLimitsClosesTheConnection) {
    std::string endless;
    for (std::size_t i = 0; i <= TIdTCPConnection::MaxReplyLines; ++i)
        endless += "250-line\r\n";
    s.server.send(endless + "250 end\r\n");
    EXPECT_THROW(s.client.ReceiveReply(), EIdReplyTooLong);
    EXPECT_FALSE(s.client.IsConnected());

    ClientOnServer big;
    big.connect();
    const std::string line = "250-" + std::string(16000, 'x') + "\r\n";
    for (std::size_t sent = 0; sent <= TIdTCPConnection::MaxReplyBytes; sent += line.size())
        big.server.send(line);
    EXPECT_THROW(big.client.ReceiveReply(), EIdReplyTooLong);
}

struct PrintableRow {
    const char* name;
    Lines text;
    std::string shown;
};

void PrintTo(const PrintableRow& row, std::ostream* os) {
    *os << row.name;
}

class RFCReplyPrintable : public ::testing::TestWithParam<PrintableRow> {};

TEST_P(RFCReplyPrintable, ControlAndUndecodableBytesBecomeQuestionMarks) {
    TIdRFCReply reply;
    reply.SetText(GetParam().text);
    EXPECT_EQ(reply.PrintableText(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RFCReplyPrintable,
    ::testing::Values(
        PrintableRow{"PlainText", {"no such user", "try later"}, "no such user\r\ntry later\r\n"},
        PrintableRow{"Controls", {"a\x01\x1B[31mb\x7F"}, "a??[31mb?\r\n"},
        PrintableRow{"Utf8Kept",
                     {"usuario desconocido: jos\xC3\xA9 \xE2\x82\xAC"},
                     "usuario desconocido: jos\xC3\xA9 \xE2\x82\xAC\r\n"},
        PrintableRow{"Latin1IsNotUtf8", {"jos\xE9"}, "jos?\r\n"},
        PrintableRow{
            "BrokenAndOverlongSequences", {"\xC3(\xC0\xAF\xE2\x82\xF8\xC2\x85"}, "?(???????\r\n"},
        PrintableRow{"LongTextIsCut", Lines(100, std::string(100, 'x')),
                     [] {
                         std::string out;
                         for (int i = 0; i < 41; ++i)
                             out += std::string(100, 'x') + "\r\n";
                         return out + "...\r\n";
                     }()}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The scripted server itself -----------------------------------------------------------

TEST_F(ReplyOnWire, ScriptedServerReportsAMismatchWithItsTranscript) {
    s.server.send("220 ready\r\n").expectLineMatching("EHLO [^ ]+").expect("QUIT\r\n");
    s.client.ReadReply({220});
    s.client.WriteLine("EHLO " + TIdComponent::Stack().LocalHostName());
    s.client.WriteLine("NOOP");
    const ::testing::AssertionResult result = s.server.finished();
    ASSERT_FALSE(result);
    const std::string message = result.message();
    EXPECT_NE(message.find("step expect \"QUIT\\r\\n\""), std::string::npos) << message;
    EXPECT_NE(message.find("S: 220 ready\\r\\n\nC: EHLO "), std::string::npos) << message;
    EXPECT_NE(message.find("NOOP\\r\\n"), std::string::npos) << message;
    // The server closed on the failure, so the client is not left waiting.
    EXPECT_THROW(s.client.ReadLine(), EIdConnClosedGracefully);
}

} // namespace

#include "mail/IdCoderMIME.h"
#include "mail/IdMessageClient.h"
#include "mail/IdMessageEncoderList.h"
#include "tests/mail/smtp/SmtpTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace veldrano::test;
using Strings = std::vector<std::string>;

// Sets TZ for one test and puts the old value back.
class ZoneScope {
  public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneScope() {
        if (m_old)
            ::setenv("TZ", m_old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

  private:
    std::optional<std::string> m_old;
};

Strings NamesOf(const TIdHeaderList& headers) {
    Strings names;
    for (const std::string& line : headers)
        if (line[0] != ' ' && line[0] != '\t')
            names.push_back(line.substr(0, line.find(':')));
    return names;
}

// --- Header block ----------------------------------------------------------------------

TEST(MessageHeaders, ProgramMessageHasFromSubjectToDatePriorityLibrary) {
    TIdMessage message;
    message.SetLocale(veldrano::LocaleFromName("es_ES"));
    message.From().SetText("Ana P\xe9rez <ana@example.com>");
    message.SetSubject("Hola");
    ParseAddressList(message.Recipients(), "luis@example.com");
    const TIdHeaderList headers = message.BuildHeaderLines();
    EXPECT_EQ(NamesOf(headers),
              (Strings{"From", "Subject", "To", "Date", "Message-ID", "X-Priority", "X-Library",
                       "MIME-Version", "Content-Type", "Content-Transfer-Encoding"}));
    EXPECT_EQ(headers[0], "From: Ana =?ISO-8859-1?Q?P=E9rez?= <ana@example.com>");
    EXPECT_EQ(headers[1], "Subject: Hola");
    EXPECT_EQ(headers[2], "To: luis@example.com");
    EXPECT_EQ(headers[5], "X-Priority: 3");
    EXPECT_EQ(headers[6], "X-Library: VELDRANO Mail 1.0.0");
}

TEST(MessageHeaders, EmptyFieldsAreLeftOut) {
    TIdMessage message;
    EXPECT_EQ(NamesOf(message.BuildHeaderLines()),
              (Strings{"Date", "Message-ID", "X-Priority", "X-Library", "MIME-Version",
                       "Content-Type", "Content-Transfer-Encoding"}));
}

TEST(MessageHeaders, EveryFieldInItsPlaceAfterTheCopiedLinesAndBeforeTheExtraOnes) {
    TIdMessage message;
    message.MessageHeaders().Add("Received: from somewhere");
    message.MessageHeaders().Add("Subject: old value");
    message.From().Address = "ana@example.com";
    message.SetSubject("Nuevo");
    message.Recipients().Add().Address = "luis@example.com";
    message.CCList().Add().Address = "eva@example.com";
    message.BccList().Add().Address = "oculto@example.com";
    message.NewsGroups() = {"comp.mail", "es.charla general"};
    message.SetContentType("text/plain");
    message.SetCharSet("ISO-8859-1");
    message.SetContentTransferEncoding("8bit");
    message.Sender().Address = "jefe@example.com";
    message.ReplyTo().Add().Address = "respuestas@example.com";
    message.SetOrganization("Compa\xf1"
                            "\xed"
                            "a");
    message.ReceiptRecipient().Address = "acuse@example.com";
    message.SetReferences("<1@example.com>");
    message.SetPriority(mpHighest);
    message.ExtraHeaders().Add("X-Extra: one");
    message.ExtraHeaders().Add("Subject: extra lines are not merged");
    const TIdHeaderList headers = message.BuildHeaderLines();
    EXPECT_EQ(NamesOf(headers),
              (Strings{"Received", "Subject", "From", "To", "Cc", "Newsgroups", "Content-Type",
                       "Content-Transfer-Encoding", "Sender", "Reply-To", "Organization",
                       "Disposition-Notification-To", "References", "Date", "Message-ID",
                       "X-Priority", "X-Library", "X-Extra", "Subject"}));
    EXPECT_EQ(headers.HeaderValue("Subject"), "Nuevo");
    EXPECT_EQ(headers.HeaderValue("Newsgroups"), "comp.mail,\"es.charla general\"");
    EXPECT_EQ(headers.HeaderValue("Content-Type"), "text/plain; charset=\"ISO-8859-1\"");
    EXPECT_EQ(headers.HeaderValue("X-Priority"), "1");
    EXPECT_EQ(headers.HeaderValue("Organization"), "=?ISO-8859-1?Q?Compa=F1=EDa?=");
    EXPECT_EQ(headers.FindHeader("Bcc"), -1);
}

TEST(MessageHeaders, CharsetAloneAndUuEncodingWithoutMimeHeaders) {
    TIdMessage message;
    message.SetCharSet("UTF-8");
    message.SetContentTransferEncoding("8bit");
    EXPECT_EQ(message.BuildHeaderLines().HeaderValue("Content-Type"), "charset=\"UTF-8\"");
    message.SetEncoding(meUU);
    EXPECT_EQ(message.AttachmentEncoding(), "UUE");
    const TIdHeaderList headers = message.BuildHeaderLines();
    EXPECT_EQ(headers.FindHeader("Content-Type"), -1);
    EXPECT_EQ(headers.FindHeader("Content-Transfer-Encoding"), -1);

    message.PartList().AddText();
    try {
        message.BuildHeaderLines();
        FAIL() << "UU with a text part accepted";
    } catch (const EIdMessageException& e) {
        EXPECT_STREQ(e.what(), "Invalid Encoding. UU only allows Body and Attachments");
    }
}

TEST(MessageHeaders, PartsAreCountedAndMakeAMultipartMessage) {
    TIdMessage message;
    message.PartList().AddText();
    message.PartList().AddAttachment();
    message.PartList().AddAttachment().ExtraHeaders.PutHeader("Content-ID", "<logo>");
    const TIdHeaderList headers = message.BuildHeaderLines();
    EXPECT_EQ(message.PartList().TextPartCount(), 1);
    EXPECT_EQ(message.PartList().AttachmentCount(), 2);
    EXPECT_EQ(message.PartList().RelatedPartCount(), 1);
    EXPECT_EQ(headers.HeaderValue("MIME-Version"), "1.0");
    EXPECT_EQ(headers.HeaderValue("Content-Type").rfind("multipart/related; boundary=", 0), 0u);
}

TEST(MessageHeaders, UnknownEncoderNameIsRefusedWithItsName) {
    try {
        TIdMessageParts parts("UUE");
        FAIL() << "missing encoder accepted";
    } catch (const EIdException& e) {
        EXPECT_STREQ(e.what(), "Message encoder not found: UUE");
    }
    EXPECT_NE(TIdMessageEncoderList::FindEncoder("mime"), nullptr);
}

TEST(MessageHeaders, InitializeIsoEventChangesTheEncodingUsed) {
    TIdMessage message;
    message.SetSubject("A\xf1"
                       "adir");
    message.OnInitializeISO = [](TTransfer&, char& letter, std::string& charset) {
        letter = 'B';
        charset = "windows-1252";
    };
    EXPECT_EQ(message.BuildHeaderLines().HeaderValue("Subject"), "=?windows-1252?B?QfFhZGly?=");
}

// Header values come from the caller; a line break in them must fold, never start a line
// of its own that a reader would take for another header.
TEST(MessageHeaders, LineBreaksInTextsNeverStartAHeader) {
    TIdMessage message;
    message.SetSubject("Hola\r\nBcc: todos@example.com");
    message.From().Name = "Ana\r\nX-Spam: no";
    message.From().Address = "ana@example.com\r\nBcc: otro@example.com";
    message.SetReferences("<1@x>\nReply-To: ladron@example.com");
    const TIdHeaderList headers = message.BuildHeaderLines();
    for (const std::string& line : headers)
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    EXPECT_EQ(NamesOf(headers),
              (Strings{"From", "Subject", "References", "Date", "Message-ID", "X-Priority",
                       "X-Library", "MIME-Version", "Content-Type", "Content-Transfer-Encoding"}));
}

TEST(MessageHeaders, UseNowForDateFollowsTheDate) {
    TIdMessage message;
    EXPECT_TRUE(message.UseNowForDate());
    message.SetDate(EncodeDateTime(2026, 12, 1, 9, 5, 7));
    EXPECT_FALSE(message.UseNowForDate());
    EXPECT_EQ(message.BuildHeaderLines().HeaderValue("Date").substr(0, 25),
              "Tue, 1 Dec 2026 09:05:07 ");
    message.SetUseNowForDate(true);
    EXPECT_EQ(message.Date(), 0);
}

// --- Dates ---------------------------------------------------------------------------------

struct ZoneRow {
    const char* name;
    const char* tz; // POSIX form: needs no zone database
    const char* offset;
};

class MessageDateZone : public ::testing::TestWithParam<ZoneRow> {};

TEST_P(MessageDateZone, OffsetInForceNowEndsTheDate) {
    ZoneScope zone(GetParam().tz);
    EXPECT_EQ(UtcOffsetText(LocalOffsetFromUtc(), false), GetParam().offset);
    EXPECT_EQ(InternetDateText(EncodeDateTime(2026, 12, 1, 9, 5, 7)),
              std::string("Tue, 1 Dec 2026 09:05:07 ") + GetParam().offset);
}

INSTANTIATE_TEST_SUITE_P(Zones, MessageDateZone,
                         ::testing::Values(ZoneRow{"Utc", "UTC0", "+0000"},
                                           ZoneRow{"India", "<+0530>-5:30", "+0530"},
                                           ZoneRow{"Brazil", "<-03>3", "-0300"},
                                           ZoneRow{"Newfoundland", "<-0330>3:30", "-0330"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MessageDate, CalendarNamesAndEdges) {
    ZoneScope zone("UTC0");
    EXPECT_EQ(InternetDateText(0), "Sat, 30 Dec 1899 00:00:00 +0000");
    EXPECT_EQ(InternetDateText(EncodeDateTime(2024, 2, 29, 23, 59, 59)),
              "Thu, 29 Feb 2024 23:59:59 +0000");
    EXPECT_EQ(InternetDateText(EncodeDateTime(2000, 1, 2, 0, 0, 0)),
              "Sun, 2 Jan 2000 00:00:00 +0000");
    EXPECT_EQ(InternetDateText(EncodeDateTime(2031, 7, 14, 12, 30, 0), true),
              "Mon, 14 Jul 2031 12:30:00 GMT");
    EXPECT_EQ(UtcOffsetText(std::chrono::minutes(-570), true), "-0930");
    EXPECT_EQ(UtcOffsetText(std::chrono::minutes(0), false), "+0000");
}

TEST(MessageDate, NowIsTheLocalClock) {
    ZoneScope zone("<+0530>-5:30");
    const std::time_t now = std::time(nullptr) + 5 * 3600 + 30 * 60;
    std::tm shifted{};
    gmtime_r(&now, &shifted);
    const TDateTime expected =
        EncodeDateTime(shifted.tm_year + 1900, shifted.tm_mon + 1, shifted.tm_mday, shifted.tm_hour,
                       shifted.tm_min, shifted.tm_sec);
    EXPECT_NEAR(LocalDateTimeNow(), expected, 5.0 / 86400);
}

// --- Body --------------------------------------------------------------------------------

TEST(MessageBody, SplitAtEveryLineEndWithoutAFinalEmptyLine) {
    EXPECT_EQ(SplitTextLines("a\r\nb\rc\nd"), (Strings{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitTextLines("a\r\n"), (Strings{"a"}));
    EXPECT_EQ(SplitTextLines("a\n\n"), (Strings{"a", ""}));
    EXPECT_EQ(SplitTextLines("\r\r\n"), (Strings{"", ""}));
    EXPECT_EQ(SplitTextLines(""), Strings{});
}

struct ClientWriting {
    LoopbackServer server;
    TIdMessageClient client;
    ClientWriting() {
        client.SetHost(LoopbackServer::host());
        client.SetPort(server.port());
        client.ConnectToHost();
    }
};

TEST(MessageBody, DotStuffingAndLineBreaksInsideLines) {
    ClientWriting w;
    w.server.expect("..\r\n...\r\n..a\r\nend.\r\n\r\nx\r\n..\r\nMAIL FROM:<x@y>\r\n"
                    "..\r\nQUIT\r\n");
    TIdMessage message;
    message.Body() = {".", "..", ".a", "end.", "", "x\r\n.\r\nMAIL FROM:<x@y>", ".\nQUIT"};
    w.client.WriteBodyLines(message);
    EXPECT_TRUE(w.server.finished());
}

TEST(MessageBody, NoEncodeWritesHeadersAndBodyAsTheyAre) {
    ClientWriting w;
    w.server.expect("X-Own: 1\r\n\r\n.raw\r\n");
    TIdMessage message;
    message.SetNoEncode(true);
    message.MessageHeaders().Add("X-Own: 1");
    message.Body() = {".raw"};
    w.client.TransmitMessage(message);
    EXPECT_TRUE(w.server.finished());
}

TEST(MessageBody, AMessageWithPartsIsRefusedBeforeAnythingIsSent) {
    ClientWriting w;
    w.server.drain(std::chrono::milliseconds(100));
    TIdMessage message;
    message.Body() = {"texto"};
    message.PartList().AddAttachment().Data = "datos";
    try {
        w.client.TransmitMessage(message);
        FAIL() << "sent";
    } catch (const EIdMessageException& e) {
        EXPECT_STREQ(e.what(), "Messages with parts cannot be sent.");
    }
    EXPECT_TRUE(w.server.finished());
    EXPECT_EQ(w.server.received(), "");
}

TEST(MessageBody, HeadersOnlyStopsAfterTheEmptyLine) {
    ClientWriting w;
    w.server.expectLineMatching("Date: .*")
        .expectLineMatching("Message-ID: .*")
        .expect("X-Priority: 3\r\nX-Library: VELDRANO Mail 1.0.0\r\n" + kAsciiBodyHeaders + "\r\n")
        .drain(std::chrono::milliseconds(100));
    TIdMessage message;
    message.Body() = {"never sent"};
    w.client.TransmitMessage(message, true);
    EXPECT_TRUE(w.server.finished());
    EXPECT_EQ(w.server.received().find("never sent"), std::string::npos);
}

TEST(MessageBody, WorkIsReportedAroundTheBodyAndEndsWhenAWriteFails) {
    TIdMessageClient client; // never connected: the first write fails
    std::vector<std::string> events;
    client.OnStatus = [&](TIdComponent&, TIdStatus status, const std::string& text) {
        if (status == hsStatusText)
            events.push_back("status " + text);
    };
    client.OnWorkBegin = [&](TIdComponent&, TWorkMode mode, std::int64_t max) {
        events.push_back("begin " + std::to_string(mode) + " " + std::to_string(max));
    };
    client.OnWorkEnd = [&](TIdComponent&, TWorkMode mode) {
        events.push_back("end " + std::to_string(mode));
    };
    TIdMessage message;
    message.Body() = {"x"};
    EXPECT_THROW(client.TransmitBody(message), EIdException);
    EXPECT_EQ(events, (Strings{"begin 1 0", "status Encoding text", "end 1"}));
}

TEST(MessageBody, JapaneseLocaleConvertsLinesAndStuffsWhatIsWritten) {
    ClientWriting w;
    // "日本" in Shift_JIS; a byte that cannot be converted is dropped, so the line that
    // is written begins with "." even though the typed one did not.
    w.server.expect("\x1b$BF|K\\\x1b(B\r\n..x\r\n..\r\n");
    TIdMessage message;
    message.SetLocale(veldrano::LocaleFromName("ja_JP"));
    message.Body() = {"\x93\xfa\x96\x7b", ".x", "\x80."};
    w.client.TransmitBody(message);
    EXPECT_TRUE(w.server.finished());
}

TEST(MessageBody, LargeBodiesKeepEveryLineInOrder) {
    ClientWriting w;
    TIdMessage message;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        message.Body().push_back((i % 7 ? "line " : ".line ") + std::to_string(i));
        expected += (i % 7 ? "line " : "..line ") + std::to_string(i) + "\r\n";
    }
    w.server.expect(expected);
    w.client.WriteBodyLines(message);
    EXPECT_TRUE(w.server.finished());
}

// Bodies given as one text: line ends of every kind, dots at line starts, runs long enough
// to go out straight from the text, and random mixes of the bytes that matter.
const Strings kBodyTexts = [] {
    Strings texts = {"",
                     ".",
                     "a",
                     "a\r",
                     "\r\r\n",
                     "\n\n.",
                     ".\r\n..\r\n",
                     "x\r\n.\r\nMAIL FROM:<x@y>\r\n.\nQUIT",
                     "end.\r\n\r\n",
                     "a\rb\nc\r\nd"};
    std::string big;
    while (big.size() < 200000)
        big += "linea " + std::to_string(big.size()) + "\r\n";
    texts.insert(texts.end(), {big, "." + big + ".", big + "\n." + big + "\r"});
    std::mt19937 random(7);
    for (int i = 0; i < 60; ++i) {
        std::string text(random() % 200, ' ');
        for (char& c : text)
            c = "a.\r\n\r\n \xE9\x80"[random() % (i % 3 ? 7 : 9)];
        texts.push_back(text);
    }
    // CR LF lines, where one "." at a line start, one lone break or one high byte decides.
    for (int i = 0; i < 60; ++i) {
        std::string text;
        std::vector<std::size_t> starts;
        while (text.size() < 40 + random() % 200) {
            starts.push_back(text.size());
            text += std::string(1 + random() % 30, 'a') + "\r\n";
        }
        const std::size_t start = starts[random() % starts.size()];
        if (i % 4 == 0)
            text[start] = '.';
        else
            text[start + random() % (text.size() - start)] = "\r\n\xE9"[i % 4 - 1];
        texts.push_back(text);
    }
    return texts;
}();

TEST(MessageBody, ATextGoesOutAsTheLinesCutFromIt) {
    ClientWriting w;
    std::string expected;
    for (const std::string& text : kBodyTexts) {
        std::string wire;
        for (const std::string& line : SplitTextLines(text))
            wire += (line.starts_with('.') ? "." : "") + line + "\r\n";
        EXPECT_EQ(ScanBodyText(text).WireReady, wire == text || wire == text + "\r\n") << text;
        expected += wire;
    }
    w.server.expect(expected);
    for (std::size_t i = 0; i < kBodyTexts.size(); ++i) {
        TIdMessage message;
        if (i % 2)
            message.BorrowBodyText(kBodyTexts[i]);
        else
            message.SetBodyText(kBodyTexts[i]);
        w.client.WriteBodyLines(message);
        EXPECT_TRUE(message.BodyText()); // sent from the text, never cut into lines
    }
    EXPECT_TRUE(w.server.finished());
    TIdMessage message;
    message.SetBodyText("a\r\n.b\rc");
    EXPECT_EQ(message.Body(), (Strings{"a", ".b", "c"}));
    EXPECT_FALSE(message.BodyText());
}

// Labels and encodings (quoted-printable, ISO-2022-JP) of a text match those of its lines.
TEST(MessageBody, ATextIsLabelledAndEncodedAsItsLines) {
    Strings texts = {"acci\xF3n a=b\r\n.b \xE9\r\n", "10 \x80\n\n", std::string(999, 'x') + "\n",
                     std::string(998, 'x') + "\r" + std::string(998, 'y'),
                     "\x93\xfa\x96\x7b\r\n.x\r\n\x80."};
    texts.insert(texts.end(), kBodyTexts.begin(), kBodyTexts.end());
    for (const char* name : {"es_ES", "ja_JP", "ko_KR"}) {
        const veldrano::SystemLocale locale = veldrano::LocaleFromName(name);
        ClientWriting fromText, fromLines;
        fromText.server.expectClosed();
        fromLines.server.expectClosed();
        for (const std::string& text : texts) {
            const TIdBodyEncoding a = ChooseBodyEncoding(text, locale);
            const TIdBodyEncoding b = ChooseBodyEncoding(SplitTextLines(text), locale);
            EXPECT_EQ(a.ContentType() + a.TransferEncoding(),
                      b.ContentType() + b.TransferEncoding())
                << name << " " << text.substr(0, 40);
            TIdMessage byText, byLines;
            byText.SetLocale(locale);
            byLines.SetLocale(locale);
            byText.SetBodyText(text);
            byLines.Body() = SplitTextLines(text);
            fromText.client.TransmitBody(byText);
            fromLines.client.TransmitBody(byLines);
        }
        fromText.client.CloseConnection();
        fromLines.client.CloseConnection();
        EXPECT_TRUE(fromText.server.finished());
        EXPECT_TRUE(fromLines.server.finished());
        // Not EXPECT_EQ: a diff of texts this long would take minutes to print.
        EXPECT_TRUE(fromText.server.received() == fromLines.server.received()) << name;
    }
}

} // namespace

namespace {

// RFC 2045 6.7 read back: "=XX" is a byte, a final "=" joins the next line.
std::string DecodeQuotedPrintable(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        bool soft = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] != '=') {
                out += line[i];
            } else if (i + 1 == line.size()) {
                soft = true;
            } else {
                out += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
                i += 2;
            }
        }
        if (!soft)
            out += "\n";
    }
    return out;
}

struct BodyRow {
    const char* name;
    const char* locale;
    Strings body;
    const char* charset;
    bool quotedPrintable;
    Strings wire; // empty: check only that the wire lines decode to the body
};

class BodyEncodingTest : public ::testing::TestWithParam<BodyRow> {};

TEST_P(BodyEncodingTest, NarrowestCharsetAndSevenBitOrQuotedPrintable) {
    const BodyRow& row = GetParam();
    const veldrano::SystemLocale locale = veldrano::LocaleFromName(row.locale);
    const TIdBodyEncoding encoding = ChooseBodyEncoding(row.body, locale);
    EXPECT_EQ(encoding.Charset, row.charset);
    EXPECT_EQ(encoding.QuotedPrintable, row.quotedPrintable);
    Strings wire;
    for (const std::string& line : row.body)
        AppendBodyLine(line, encoding, locale, wire);
    for (const std::string& line : wire)
        EXPECT_LE(line.size(), encoding.QuotedPrintable ? MaxQuotedPrintableLine : 998u);
    if (!row.wire.empty()) {
        EXPECT_EQ(wire, row.wire);
    }
    if (encoding.QuotedPrintable) {
        std::string typed;
        for (const std::string& line : row.body)
            typed += line + "\n";
        EXPECT_EQ(DecodeQuotedPrintable(wire), typed);
    }
}

const std::string Long3000 = [] {
    std::string words;
    while (words.size() < 3000)
        words += "palabra ";
    return words;
}();

INSTANTIATE_TEST_SUITE_P(
    Rows, BodyEncodingTest,
    ::testing::Values(
        BodyRow{"AsciiStaysSevenBit",
                "es_ES",
                {"Hola", "", "fin "},
                "us-ascii",
                false,
                {"Hola", "", "fin "}},
        BodyRow{
            "AccentsAreLatin1", "es_ES", {"acci\xF3n a=b"}, "ISO-8859-1", true, {"acci=F3n a=3Db"}},
        BodyRow{"EuroIsWindows1252",
                "es_ES",
                {"10 \x80, \xBF"
                 "s\xED?"},
                "windows-1252",
                true,
                {"10 =80, =BFs=ED?"}},
        BodyRow{"BlankEndingAnEncodedLine",
                "es_ES",
                {"\xF1 ", "a\t"},
                "ISO-8859-1",
                true,
                {"=F1=20", "a=09"}},
        BodyRow{"LongLineWithSpacesStaysOneLine", "es_ES", {Long3000}, "us-ascii", true, {}},
        BodyRow{"LongLineWithoutSpaces", "es_ES", {std::string(3000, 'x')}, "us-ascii", true, {}},
        BodyRow{"LineOfExactly998", "es_ES", {std::string(998, 'x')}, "us-ascii", false, {}},
        BodyRow{"JapaneseGoesAsIso2022Jp",
                "ja_JP",
                {"\x93\xfa\x96\x7b"},
                "ISO-2022-JP",
                false,
                {"\x1B$BF|K\\\x1B(B"}},
        BodyRow{"KoreanIsEucKr", "ko_KR", {"\xC7\xD1"}, "EUC-KR", true, {"=C7=D1"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A soft break may leave "." at the start of an encoded line; it is stuffed like any other.
TEST(MessageBody, QuotedPrintableLinesAreDotStuffed) {
    ClientWriting w;
    const std::string first(75, 'a');
    w.server.expect(first + "=\r\n..b =E9\r\n");
    TIdMessage message;
    message.Body() = {first + ".b \xE9"};
    w.client.TransmitBody(message);
    EXPECT_TRUE(w.server.finished());
}

} // namespace

#include "mail/IdMessage.h"
#include "mail/IdTexts.h"
#include "mail/IdGlobal.h"

#include "BuildInfo.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <random>
#include <unistd.h>

const char* const IdLibraryText = "VELDRANO Mail " VELDRANO_VERSION;
const char* const IdMultipartBoundary = "=_VELDRANO_Part_0001";

// --- Dates --------------------------------------------------------------------------------

namespace {

// Day 0 of the date-time scale, 1899-12-30, counted from 1970-01-01.
constexpr long kEpochShift = -25569;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil algorithms).
long DaysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

struct CivilDate {
    long year;
    unsigned month, day;
};

CivilDate CivilFromDays(long z) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<long>(yoe) + era * 400 + (m <= 2), m, d};
}

const char* const kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second) {
    const long days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochShift;
    return static_cast<double>(days) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

TDateTime LocalDateTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local))
        throw EIdFailedToRetreiveTimeZoneInfo();
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec);
}

std::chrono::minutes LocalOffsetFromUtc() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || !localtime_r(&now, &local))
        throw EIdFailedToRetreiveTimeZoneInfo();
    return std::chrono::minutes(local.tm_gmtoff / 60);
}

std::string UtcOffsetText(std::chrono::minutes offset, bool gmt) {
    const long minutes = static_cast<long>(offset.count());
    if (gmt && minutes == 0)
        return "GMT";
    const long magnitude = std::labs(minutes);
    char text[48];
    std::snprintf(text, sizeof text, "%c%02ld%02ld", minutes < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

std::string InternetDateText(TDateTime date, bool gmt) {
    // The day is the whole part; the time of day is the fraction, also before day 0.
    long days = static_cast<long>(std::trunc(date));
    long seconds = std::lround(std::fabs(date - static_cast<double>(days)) * 86400.0);
    if (seconds >= 86400) { // rounding up to midnight belongs to the next day
        seconds -= 86400;
        ++days;
    }
    const long unixDays = days + kEpochShift;
    const CivilDate civil = CivilFromDays(unixDays);
    const long weekday = ((unixDays + 4) % 7 + 7) % 7; // 1970-01-01 was a Thursday
    char text[128];
    std::snprintf(text, sizeof text, "%s, %u %s %ld %02ld:%02ld:%02ld ", kDayNames[weekday],
                  civil.day, kMonthNames[civil.month - 1], civil.year, seconds / 3600,
                  seconds / 60 % 60, seconds % 60);
    return text + UtcOffsetText(LocalOffsetFromUtc(), gmt);
}

// --- Message encoders ---------------------------------------------------------------------

std::map<std::string, TIdMessageEncoderList::Factory>& TIdMessageEncoderList::Registry() {
    static std::map<std::string, Factory> registry = {
        {"MIME", [] { return std::unique_ptr<TIdEncoder>(new TIdEncoderMIME()); }}};
    return registry;
}

void TIdMessageEncoderList::RegisterEncoder(const std::string& name, Factory factory) {
    Registry()[UpperAscii(name)] = std::move(factory);
}

const TIdMessageEncoderList::Factory* TIdMessageEncoderList::FindEncoder(const std::string& name) {
    const auto& registry = Registry();
    const auto found = registry.find(UpperAscii(name));
    return found == registry.end() ? nullptr : &found->second;
}

// --- Parts --------------------------------------------------------------------------------

TIdMessageParts::TIdMessageParts(const std::string& attachmentEncoding) {
    const TIdMessageEncoderList::Factory* encoder =
        TIdMessageEncoderList::FindEncoder(attachmentEncoding);
    if (!encoder)
        throw EIdException(IdTexts::EncoderNotFound + attachmentEncoding);
    m_encoder = *encoder;
}

TIdText& TIdMessageParts::AddText() {
    auto part = std::make_unique<TIdText>();
    TIdText& ref = *part;
    m_parts.push_back(std::move(part));
    return ref;
}

TIdAttachment& TIdMessageParts::AddAttachment() {
    auto part = std::make_unique<TIdAttachment>();
    TIdAttachment& ref = *part;
    m_parts.push_back(std::move(part));
    return ref;
}

void TIdMessageParts::Clear() {
    m_parts.clear();
    CountParts();
}

void TIdMessageParts::CountParts() {
    m_textPartCount = m_attachmentCount = m_relatedPartCount = 0;
    for (const auto& part : m_parts) {
        if (dynamic_cast<const TIdText*>(part.get())) {
            ++m_textPartCount;
        } else if (dynamic_cast<const TIdAttachment*>(part.get())) {
            ++m_attachmentCount;
            if (!part->ExtraHeaders.HeaderValue("Content-ID").empty())
                ++m_relatedPartCount;
        }
    }
}

// --- The message --------------------------------------------------------------------------

TIdMessage::TIdMessage() {
    ResetMessage();
    SetEncoding(meMIME);
}

void TIdMessage::ResetHeaders() {
    m_from = {};
    m_subject.clear();
    m_recipients.Clear();
    m_ccList.Clear();
    m_bccList.Clear();
    m_newsGroups.clear();
    m_contentType.clear();
    m_charSet.clear();
    m_contentTransferEncoding.clear();
    m_contentDisposition.clear();
    m_sender = {};
    m_replyTo.Clear();
    m_organization.clear();
    m_receiptRecipient = {};
    m_references.clear();
    m_date = 0;
    m_priority = mpNormal;
    m_messageHeaders.Clear();
    m_extraHeaders.Clear();
    m_msgId.clear();
}

void TIdMessage::ResetMessage() {
    ResetHeaders();
    m_partList = std::make_unique<TIdMessageParts>(m_attachmentEncoding);
    m_body.clear();
}

void TIdMessage::SetUseNowForDate(bool useNow) {
    if (useNow)
        m_date = 0;
}

void TIdMessage::SetEncoding(TIdMessageEncoding encoding) {
    m_encoding = encoding;
    m_attachmentEncoding = encoding == meUU ? "UUE" : "MIME";
}

namespace {

// Items joined by commas; an item with blanks, controls, quotes or commas is quoted.
std::string CommaText(const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i)
            out += ',';
        const std::string& item = items[i];
        bool quote = item.empty() && items.size() > 1;
        for (unsigned char c : item)
            quote = quote || c <= ' ' || c == '"' || c == ',';
        if (!quote) {
            out += item;
            continue;
        }
        out += '"';
        for (char c : item) {
            if (c == '"')
                out += '"';
            out += c;
        }
        out += '"';
    }
    return out;
}

} // namespace

std::string TIdMessage::ContentTypeToWrite() const {
    std::string type = m_contentType;
    if (m_partList->Count() > 0)
        type = std::string(m_partList->RelatedPartCount() > 0 ? "multipart/related"
                                                              : "multipart/mixed") +
               "; boundary=\"" + IdMultipartBoundary + "\"";
    if (m_charSet.empty())
        return type;
    const std::string parameter = "charset=\"" + m_charSet + "\"";
    return type.empty() ? parameter : type + ";\r\n\t" + parameter;
}

TIdHeaderList TIdMessage::BuildHeaderLines() {
    m_partList->CountParts();
    if (m_encoding == meUU &&
        (m_partList->TextPartCount() > 0 || m_partList->RelatedPartCount() > 0))
        throw EIdMessageException(IdTexts::UuOnlyBodyAndAttachments);
    const bool mime = m_encoding == meMIME;
    const std::string contentType = mime ? ContentTypeToWrite() : std::string();

    THeaderEncoding encoding = ChooseHeaderEncoding(m_locale);
    if (OnInitializeISO)
        OnInitializeISO(encoding.Transfer, encoding.Letter, encoding.Charset);
    if (m_msgId.empty())
        m_msgId = NewMsgId();

    TIdHeaderList headers;
    headers.CodePage = m_locale.codePage;
    for (const std::string& line : m_messageHeaders)
        headers.Add(line);
    headers.PutHeader("From", FormatAddressForHeader(m_from, encoding));
    headers.PutHeader("Subject", EncodeHeaderWords(m_subject, "", encoding));
    headers.PutHeader("To", FormatAddressListForHeader(m_recipients, encoding));
    headers.PutHeader("Cc", FormatAddressListForHeader(m_ccList, encoding));
    headers.PutHeader("Newsgroups", CommaText(m_newsGroups));
    if (mime) {
        headers.PutHeader("Content-Type", contentType);
        if (m_partList->Count() > 0)
            headers.PutHeader("MIME-Version", "1.0");
        headers.PutHeader("Content-Transfer-Encoding", m_contentTransferEncoding);
    }
    headers.PutHeader("Sender", m_sender.Text());
    headers.PutHeader("Reply-To", FormatAddressListForHeader(m_replyTo, encoding));
    headers.PutHeader("Organization", EncodeHeaderWords(m_organization, "", encoding));
    headers.PutHeader("Disposition-Notification-To",
                      FormatAddressForHeader(m_receiptRecipient, encoding));
    headers.PutHeader("References", m_references);
    headers.PutHeader("Date", InternetDateText(UseNowForDate() ? LocalDateTimeNow() : m_date));
    // Large providers refuse mail without one (RFC 5322 3.6.4 says it should be there).
    headers.PutHeader("Message-ID", m_msgId);
    headers.PutHeader("X-Priority", std::to_string(static_cast<int>(m_priority) + 1));
    headers.PutHeader("X-Library", IdLibraryText);
    // RFC 2045: without these a reader takes the body for US-ASCII and garbles every byte
    // above 0x7F.
    if (const auto body = AutomaticBodyEncoding()) {
        headers.PutHeader("MIME-Version", "1.0");
        headers.PutHeader("Content-Type", body->ContentType());
        headers.PutHeader("Content-Transfer-Encoding", body->TransferEncoding());
    }
    for (const std::string& line : m_extraHeaders)
        headers.Add(line);
    return headers;
}

std::optional<TIdBodyEncoding> TIdMessage::AutomaticBodyEncoding() const {
    if (m_encoding != meMIME || m_partList->Count() > 0 || !m_contentType.empty() ||
        !m_charSet.empty() || !m_contentTransferEncoding.empty())
        return std::nullopt;
    return ChooseBodyEncoding(m_body, m_locale);
}

std::string TIdMessage::NewMsgId() const {
    // Time, process and a per-process count make it unique here; the random part keeps two
    // machines (or a clock set back) from meeting.
    static std::atomic<unsigned> counter{0};
    static thread_local std::mt19937_64 random{std::random_device{}()};
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    char unique[96];
    std::snprintf(unique, sizeof unique, "%llx.%lx.%x.%llx",
                  static_cast<unsigned long long>(
                      std::chrono::duration_cast<std::chrono::microseconds>(now).count()),
                  static_cast<long>(::getpid()), counter++,
                  static_cast<unsigned long long>(random()));
    std::string domain;
    if (const auto at = m_from.Address.rfind('@'); at != std::string::npos)
        domain = m_from.Address.substr(at + 1);
    const bool plainDomain = std::all_of(domain.begin(), domain.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '.';
    });
    if (domain.empty() || !plainDomain) {
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        domain = *host ? host : "localhost";
    }
    return "<" + std::string(unique) + "@" + domain + ">";
}

std::size_t FindLineBreak(std::string_view text, std::size_t pos) {
    // Two memchr calls rather than find_first_of, which tests every byte against the set
    // with a call of its own and dominates the time of a large body.
    if (pos >= text.size())
        return std::string_view::npos;
    const char* begin = text.data() + pos;
    const char* end = text.data() + text.size();
    const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', end - begin));
    const char* limit = lf ? lf : end;
    const auto* cr = static_cast<const char*>(std::memchr(begin, '\r', limit - begin));
    const char* found = cr ? cr : lf;
    return found ? static_cast<std::size_t>(found - text.data()) : std::string_view::npos;
}

std::vector<std::string> SplitTextLines(const std::string& text) {
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = FindLineBreak(text, start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

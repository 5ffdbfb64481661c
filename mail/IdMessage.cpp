#include "mail/IdMessage.h"

#include "mail/IdTexts.h"

#include "BuildInfo.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <unistd.h>

const char* const IdLibraryText = "VELDRANO Mail " VELDRANO_VERSION;
const char* const IdMultipartBoundary = "=_VELDRANO_Part_0001";

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
    ForgetBodyText();
}

void TIdMessage::SetBodyText(std::string text) {
    m_body.clear();
    m_ownBodyText = std::move(text);
    m_bodyText = m_ownBodyText;
    m_bodyTextScan.reset();
}

void TIdMessage::BorrowBodyText(std::string_view text) {
    m_body.clear();
    m_bodyText = text; // an own text is kept: the view may lie in it
    m_bodyTextScan.reset();
}

const TIdBodyTextScan& TIdMessage::BodyTextScan() const {
    if (!m_bodyTextScan)
        m_bodyTextScan = ScanBodyText(m_bodyText.value_or(std::string_view()));
    return *m_bodyTextScan;
}

void TIdMessage::ForgetBodyText() const {
    m_bodyText.reset();
    m_bodyTextScan.reset();
    std::string().swap(m_ownBodyText);
}

std::vector<std::string>& TIdMessage::BodyLines() const {
    if (m_bodyText) {
        m_body = SplitTextLines(*m_bodyText);
        ForgetBodyText();
    }
    return m_body;
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
    return m_bodyText ? ChooseBodyEncoding(*m_bodyText, BodyTextScan(), m_locale)
                      : ChooseBodyEncoding(m_body, m_locale);
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

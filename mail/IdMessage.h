#pragma once
#include "mail/IdBodyText.h"
#include "mail/IdCoderHeader.h"
#include "mail/IdDateTime.h"
#include "mail/IdEMailAddress.h"
#include "mail/IdException.h"
#include "mail/IdHeaderList.h"
#include "mail/IdMessageParts.h"
#include "mail/IdTextLines.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class EIdMessageException : public EIdException {
  public:
    using EIdException::EIdException;
};

enum TIdMessagePriority { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };
enum TIdMessageEncoding { meMIME, meUU };

// Lets the application change the header encoding the locale chose.
using TIdInitializeIsoEvent =
    std::function<void(TTransfer& transferHeader, char& headerEncoding, std::string& charSet)>;

// The value of every "X-Library" header.
extern const char* const IdLibraryText;

class TIdMessage {
  public:
    TIdMessage();
    TIdMessage(const TIdMessage&) = delete;
    TIdMessage& operator=(const TIdMessage&) = delete;

    // Back to the defaults: header fields first, then the parts and the body.
    void ResetMessage();

    // A new header block (From, Subject, To, ... Date, Message-ID, X-Priority, X-Library,
    // the body's MIME headers when it labels its body itself, then the extra headers).
    // Throws EIdMessageException for UU encoding with text or related parts,
    // EIdFailedToRetreiveTimeZoneInfo.
    TIdHeaderList BuildHeaderLines();

    // The locale whose code page the texts are in and whose language picks the header
    // charset; the Western one unless set.
    const veldrano::SystemLocale& Locale() const { return m_locale; }
    void SetLocale(const veldrano::SystemLocale& locale) { m_locale = locale; }

    // The body's charset and transfer encoding when the message labels its body itself: a
    // MIME message without parts whose caller set no content type, charset or transfer
    // encoding. Nothing otherwise: the body then goes out as it is.
    std::optional<TIdBodyEncoding> AutomaticBodyEncoding() const;

    // "<unique@domain>": made at the first header block, kept for later ones (so a message
    // sent again keeps its identity), forgotten by ResetMessage.
    const std::string& MsgId() const { return m_msgId; }
    void SetMsgId(const std::string& id) { m_msgId = id; }

    TIdEMailAddressItem& From() { return m_from; }
    const TIdEMailAddressItem& From() const { return m_from; }
    const std::string& Subject() const { return m_subject; }
    void SetSubject(const std::string& subject) { m_subject = subject; }
    TIdEMailAddressList& Recipients() { return m_recipients; }
    const TIdEMailAddressList& Recipients() const { return m_recipients; }
    TIdEMailAddressList& CCList() { return m_ccList; }
    const TIdEMailAddressList& CCList() const { return m_ccList; }
    TIdEMailAddressList& BccList() { return m_bccList; }
    const TIdEMailAddressList& BccList() const { return m_bccList; }
    std::vector<std::string>& NewsGroups() { return m_newsGroups; }

    const std::string& ContentType() const { return m_contentType; }
    void SetContentType(const std::string& value) { m_contentType = value; }
    const std::string& CharSet() const { return m_charSet; }
    void SetCharSet(const std::string& value) { m_charSet = value; }
    const std::string& ContentTransferEncoding() const { return m_contentTransferEncoding; }
    void SetContentTransferEncoding(const std::string& value) { m_contentTransferEncoding = value; }
    const std::string& ContentDisposition() const { return m_contentDisposition; }
    void SetContentDisposition(const std::string& value) { m_contentDisposition = value; }

    TIdEMailAddressItem& Sender() { return m_sender; }
    TIdEMailAddressList& ReplyTo() { return m_replyTo; }
    const std::string& Organization() const { return m_organization; }
    void SetOrganization(const std::string& value) { m_organization = value; }
    TIdEMailAddressItem& ReceiptRecipient() { return m_receiptRecipient; }
    const std::string& References() const { return m_references; }
    void SetReferences(const std::string& value) { m_references = value; }

    TDateTime Date() const { return m_date; }
    void SetDate(TDateTime date) { m_date = date; }
    // True exactly while Date is 0; setting it true clears Date.
    bool UseNowForDate() const { return m_date == 0; }
    void SetUseNowForDate(bool useNow);

    TIdMessagePriority Priority() const { return m_priority; }
    void SetPriority(TIdMessagePriority priority) { m_priority = priority; }
    TIdMessageEncoding Encoding() const { return m_encoding; }
    // meUU also makes "UUE" the attachment encoding, meMIME makes it "MIME".
    void SetEncoding(TIdMessageEncoding encoding);
    const std::string& AttachmentEncoding() const { return m_attachmentEncoding; }

    // The body's lines. A body text is cut into them here, at the first call.
    std::vector<std::string>& Body() { return BodyLines(); }
    const std::vector<std::string>& Body() const { return BodyLines(); }
    // The body as one text, lines ending in CR LF, CR or LF, as SplitTextLines would cut it:
    // a large body then goes out from this text, with no string per line. SetBodyText keeps
    // a copy; BorrowBodyText keeps only the view, whose text must stay as it is while the
    // message uses it.
    void SetBodyText(std::string text);
    void BorrowBodyText(std::string_view text);
    // The body text while Body has not been asked for; nothing otherwise.
    std::optional<std::string_view> BodyText() const { return m_bodyText; }
    // ScanBodyText of BodyText, made once (a large text is read for its headers and again
    // as it goes out).
    const TIdBodyTextScan& BodyTextScan() const;
    TIdHeaderList& MessageHeaders() { return m_messageHeaders; }
    TIdHeaderList& ExtraHeaders() { return m_extraHeaders; }
    TIdMessageParts& PartList() { return *m_partList; }

    bool NoEncode() const { return m_noEncode; }
    void SetNoEncode(bool value) { m_noEncode = value; }
    bool NoDecode() const { return m_noDecode; }
    void SetNoDecode(bool value) { m_noDecode = value; }

    TIdInitializeIsoEvent OnInitializeISO;

  private:
    std::string NewMsgId() const;
    void ResetHeaders();
    std::string ContentTypeToWrite() const;
    std::vector<std::string>& BodyLines() const;
    void ForgetBodyText() const;

    TIdEMailAddressItem m_from;
    std::string m_subject;
    TIdEMailAddressList m_recipients;
    TIdEMailAddressList m_ccList;
    TIdEMailAddressList m_bccList;
    std::vector<std::string> m_newsGroups;
    std::string m_contentType;
    std::string m_charSet;
    std::string m_contentTransferEncoding;
    std::string m_contentDisposition;
    TIdEMailAddressItem m_sender;
    TIdEMailAddressList m_replyTo;
    std::string m_organization;
    TIdEMailAddressItem m_receiptRecipient;
    std::string m_references;
    TDateTime m_date = 0;
    TIdMessagePriority m_priority = mpNormal;
    TIdMessageEncoding m_encoding = meMIME;
    std::string m_attachmentEncoding = "MIME";
    // Either may hold the body; a text becomes lines when they are asked for (also through
    // the const Body, hence mutable).
    mutable std::vector<std::string> m_body;
    mutable std::string m_ownBodyText; // what SetBodyText copied
    mutable std::optional<std::string_view> m_bodyText;
    mutable std::optional<TIdBodyTextScan> m_bodyTextScan;
    TIdHeaderList m_messageHeaders;
    TIdHeaderList m_extraHeaders;
    std::unique_ptr<TIdMessageParts> m_partList;
    bool m_noEncode = false;
    bool m_noDecode = false;
    veldrano::SystemLocale m_locale;
    std::string m_msgId;
};

// The boundary of the multipart layout of a message with parts.
extern const char* const IdMultipartBoundary;

#pragma once
#include "mail/IdHeaderList.h"

#include <memory>
#include <string>
#include <vector>

// One MIME part of a message. The program itself never adds parts; the header block counts
// them, and a message with parts is not sent (TIdMessageClient refuses it).
class TIdMessagePart {
  public:
    virtual ~TIdMessagePart() = default;
    std::string ContentType;
    TIdHeaderList ExtraHeaders;
};

// A text part.
class TIdText : public TIdMessagePart {
  public:
    std::vector<std::string> Body;
};

// An attachment: a file name and its bytes.
class TIdAttachment : public TIdMessagePart {
  public:
    std::string FileName;
    std::string Data;
};

class TIdMessageParts {
  public:
    // Looks up the encoder named attachmentEncoding; throws EIdException
    // "Message encoder not found: <name>" when there is none.
    explicit TIdMessageParts(const std::string& attachmentEncoding);

    TIdText& AddText();
    TIdAttachment& AddAttachment();
    void Clear();
    int Count() const { return static_cast<int>(m_parts.size()); }
    TIdMessagePart& operator[](int index) { return *m_parts.at(static_cast<std::size_t>(index)); }
    const TIdMessagePart& operator[](int index) const {
        return *m_parts.at(static_cast<std::size_t>(index));
    }

    // Refreshes the three counts below.
    void CountParts();
    int TextPartCount() const { return m_textPartCount; }
    int AttachmentCount() const { return m_attachmentCount; }
    // Attachments whose extra headers name a "Content-ID".
    int RelatedPartCount() const { return m_relatedPartCount; }

  private:
    std::vector<std::unique_ptr<TIdMessagePart>> m_parts;
    int m_textPartCount = 0;
    int m_attachmentCount = 0;
    int m_relatedPartCount = 0;
};

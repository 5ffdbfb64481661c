#include "mail/IdMessageParts.h"

#include "mail/IdException.h"
#include "mail/IdMessageEncoderList.h"
#include "mail/IdTexts.h"

TIdMessageParts::TIdMessageParts(const std::string& attachmentEncoding) {
    if (!TIdMessageEncoderList::FindEncoder(attachmentEncoding))
        throw EIdException(IdTexts::EncoderNotFound + attachmentEncoding);
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

#include "interchange/FieldCarrier.h"

#include "book/ContactFields.h"
#include "interchange/Interchange.h"

namespace veldrano {

FieldCarrier::FieldCarrier(int codePage, bool lossy)
    : m_codePage(codePage), m_lossy(lossy), m_charset(Charset::ForCodePage(codePage)) {}

std::string FieldCarrier::toCodePage(const ContactRecord& utf8, int k, size_t contact,
                                     size_t line) {
    std::string out;
    appendToCodePage(out, utf8, k, contact, line);
    return out;
}

void FieldCarrier::appendToCodePage(std::string& out, const ContactRecord& utf8, int k,
                                    size_t contact, size_t line) {
    try {
        m_charset.AppendFromUtf8(out, utf8[k], m_lossy ? &m_replaced : nullptr);
    } catch (const CharsetError& e) {
        throw InterchangeError(line, describe(e, utf8, k, contact, true));
    }
}

std::string FieldCarrier::toUtf8(const ContactRecord& record, int k, size_t contact, size_t line) {
    return carry(record, k, contact, line, false);
}

std::string FieldCarrier::carry(const ContactRecord& record, int k, size_t contact, size_t line,
                                bool fromUtf8) {
    size_t* count = m_lossy ? &m_replaced : nullptr;
    try {
        return fromUtf8 ? m_charset.FromUtf8(record[k], count) : m_charset.ToUtf8(record[k], count);
    } catch (const CharsetError& e) {
        throw InterchangeError(line, describe(e, record, k, contact, fromUtf8));
    }
}

std::string FieldCarrier::describe(const CharsetError& e, const ContactRecord& record, int k,
                                   size_t contact, bool fromUtf8) {
    std::string name = record[FieldIndex(Field::nombre)];
    if (!fromUtf8) {
        size_t ignored = 0;
        name = m_charset.ToUtf8(name, &ignored);
    }
    const std::string page = std::to_string(m_codePage);
    std::string what = "contacto " + std::to_string(contact) + " («" + name + "»), campo «" +
                       std::string(kFields[k].columnCaption) + "»: ";
    if (e.codePoint() >= 0) {
        return what + "el carácter «" + e.character() + "» (" + CodePointText(e.codePoint()) +
               ") no cabe en la página de códigos " + page;
    }
    return what + "el byte " + ByteText(static_cast<unsigned char>(e.character().at(0))) +
           (fromUtf8 ? " no es UTF-8" : " no es un carácter de la página de códigos " + page);
}

} // namespace veldrano

#pragma once
#include "book/ContactRecord.h"
#include "text/Charset.h"

#include <cstddef>
#include <string>

namespace veldrano {

// Carries the fields of contacts between UTF-8 and the book's code page, as every import
// and export does: a character the code page cannot hold (or a byte that is no character
// of it) stops with an InterchangeError that names the contact, its field and the
// character, or, when lossy, becomes "?" and is counted.
class FieldCarrier {
  public:
    FieldCarrier(int codePage, bool lossy);

    // Field `k` of the `contact`-th contact (from 1), which starts at `line` of the input.
    std::string toCodePage(const ContactRecord& utf8, int k, size_t contact, size_t line);
    std::string toUtf8(const ContactRecord& record, int k, size_t contact, size_t line);
    // toCodePage appended to `out`, which a throw leaves as it was.
    void appendToCodePage(std::string& out, const ContactRecord& utf8, int k, size_t contact,
                          size_t line);

    size_t replaced() const { return m_replaced; }

  private:
    std::string carry(const ContactRecord& record, int k, size_t contact, size_t line,
                      bool fromUtf8);
    std::string describe(const CharsetError& e, const ContactRecord& record, int k, size_t contact,
                         bool fromUtf8);

    int m_codePage;
    bool m_lossy;
    Charset m_charset;
    size_t m_replaced = 0;
};

} // namespace veldrano

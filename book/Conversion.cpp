#include "book/Conversion.h"

#include "book/BookFile.h"
#include "book/ContactCsv.h"
#include "book/TextFile.h"
#include "book/VCard.h"
#include "text/Charset.h"

#include <cstdio>
#include <vector>

namespace veldrano {

namespace {

constexpr size_t kProgressStep = 8192; // contacts between two progress calls

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// Carries every record between UTF-8 and the code page, naming the contact when a
// character does not fit.
class Converter {
  public:
    explicit Converter(const ConversionOptions& options)
        : m_options(options), m_charset(Charset::ForCodePage(options.codePage)) {}

    std::vector<ContactRecord> Read(const std::string& path, ContactFormat format) {
        std::vector<ContactRecord> records;
        if (format == ContactFormat::Book)
            return ParseBook(ReadTextLines(path)).records;
        const std::string bytes = ReadFileBytes(path);
        const ContactSink sink = [&](ContactRecord&& utf8, size_t line) {
            for (int k = 0; k < kFieldCount; ++k)
                utf8[k] = Carry(utf8, k, records.size() + 1, line, true);
            records.push_back(std::move(utf8));
            Progress(records.size(), 0);
        };
        if (format == ContactFormat::VCard)
            ReadVCards(bytes, sink);
        else
            ReadContactCsv(bytes, sink);
        return records;
    }

    std::string Write(const std::vector<ContactRecord>& records, ContactFormat format) {
        if (format == ContactFormat::Book)
            return JoinLines(BookToLines({}, records));
        std::string out;
        out.reserve(records.size() * 256);
        if (format == ContactFormat::Csv)
            AppendCsvHeader(out);
        ContactRecord utf8;
        for (size_t r = 0; r < records.size(); ++r) {
            for (int k = 0; k < kFieldCount; ++k)
                utf8[k] =
                    Carry(records[r], k, r + 1, kBookHeaderLines + r * kFieldCount + 1, false);
            if (format == ContactFormat::VCard)
                AppendVCard(out, utf8);
            else
                AppendCsvRow(out, utf8);
            Progress(r + 1, records.size());
        }
        return out;
    }

    size_t replaced() const { return m_replaced; }

  private:
    // One field carried across, toward the code page (`fromUtf8`) or away from it.
    std::string Carry(const ContactRecord& record, int k, size_t contact, size_t line,
                      bool fromUtf8) {
        size_t* count = m_options.lossy ? &m_replaced : nullptr;
        try {
            return fromUtf8 ? m_charset.FromUtf8(record[k], count)
                            : m_charset.ToUtf8(record[k], count);
        } catch (const CharsetError& e) {
            throw InterchangeError(line, Describe(e, record, k, contact, fromUtf8));
        }
    }

    std::string Describe(const CharsetError& e, const ContactRecord& record, int k, size_t contact,
                         bool fromUtf8) {
        std::string name = record[FieldIndex(Field::nombre)];
        if (!fromUtf8) {
            size_t ignored = 0;
            name = m_charset.ToUtf8(name, &ignored);
        }
        const std::string page = std::to_string(m_options.codePage);
        std::string what = "contacto " + std::to_string(contact) + " (\xC2\xAB" + name +
                           "\xC2\xBB), campo \xC2\xAB" + std::string(kFieldNames[k]) + "\xC2\xBB: ";
        char code[16];
        if (e.codePoint() >= 0) {
            std::snprintf(code, sizeof code, "U+%04lX", e.codePoint());
            what += "el car\xC3\xA1"
                    "cter \xC2\xAB" +
                    e.character() + "\xC2\xBB (" + code +
                    ") no cabe en la p\xC3\xA1gina de c\xC3\xB3"
                    "digos " +
                    page;
        } else {
            std::snprintf(code, sizeof code, "0x%02X",
                          static_cast<unsigned char>(e.character().at(0)));
            what += fromUtf8 ? std::string("el byte ") + code + " no es UTF-8"
                             : std::string("el byte ") + code +
                                   " no es un car\xC3\xA1"
                                   "cter de la p\xC3\xA1gina de "
                                   "c\xC3\xB3"
                                   "digos " +
                                   page;
        }
        return what;
    }

    void Progress(size_t done, size_t total) {
        if (m_options.progress && (done % kProgressStep == 0 || done == total))
            m_options.progress(done, total);
    }

    const ConversionOptions& m_options;
    Charset m_charset;
    size_t m_replaced = 0;
};

} // namespace

std::optional<ContactFormat> FormatOfPath(std::string_view path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos)
        return std::nullopt;
    const std::string ext = Lower(path.substr(dot));
    if (ext == ".kbx")
        return ContactFormat::Book;
    if (ext == ".vcf")
        return ContactFormat::VCard;
    if (ext == ".csv")
        return ContactFormat::Csv;
    return std::nullopt;
}

ConversionResult ConvertContacts(const std::string& in, ContactFormat inFormat,
                                 const std::string& out, ContactFormat outFormat,
                                 const ConversionOptions& options) {
    Converter converter(options);
    const std::vector<ContactRecord> records = converter.Read(in, inFormat);
    if (records.empty())
        throw InterchangeError(0, "el archivo no contiene ning\xC3\xBAn contacto");
    WriteFileAtomically(out, converter.Write(records, outFormat));
    return {records.size(), converter.replaced()};
}

} // namespace veldrano

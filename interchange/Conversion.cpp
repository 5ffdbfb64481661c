#include "interchange/Conversion.h"

#include "book/BookFile.h"
#include "book/ContactFields.h"
#include "interchange/ContactCsv.h"
#include "interchange/FieldCarrier.h"
#include "files/TextFile.h"
#include "interchange/Import.h"
#include "interchange/VCard.h"

#include <cstdio>

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

// Takes the contacts one by one as the input is read and appends each to the output, so
// that neither file is ever held as lines or records: a million contacts cost the two
// files' bytes and little else.
class Converter {
  public:
    Converter(const ConversionOptions& options, ContactFormat outFormat, size_t inputSize)
        : m_options(options), m_carrier(options.codePage, options.lossy), m_format(outFormat) {
        // Room for the whole output at once: a vCard takes about 1.8 times a book's bytes.
        m_out.reserve(outFormat == ContactFormat::VCard ? 2 * inputSize
                                                        : inputSize + inputSize / 4);
        if (m_format == ContactFormat::Book)
            AppendBookHeader(m_out, {}); // every column shown
        else if (m_format == ContactFormat::Csv)
            AppendCsvHeader(m_out);
    }

    // A contact of a vCard or CSV file, in UTF-8.
    void AddUtf8(ContactRecord&& utf8, size_t line) {
        if (m_format != ContactFormat::Book) {
            for (int k = 0; k < kFieldCount; ++k)
                m_record[k] = m_carrier.toCodePage(utf8, k, m_count + 1, line);
            Add(m_record, line);
            return;
        }
        // Straight into the book's bytes, as AppendBookRecord would write the fields.
        for (int k = 0; k < kFieldCount; ++k) {
            if (utf8[k].empty()) { // many are: nothing to carry
                m_out += "\r\n";
                continue;
            }
            const size_t start = m_out.size();
            m_carrier.appendToCodePage(m_out, utf8, k, m_count + 1, line);
            EndBookField(m_out, start);
        }
        Counted();
    }

    // A contact in the code page, as the book file holds it.
    void Add(const ContactRecord& record, size_t line) {
        if (m_format == ContactFormat::Book) {
            AppendBookRecord(m_out, record);
        } else {
            for (int k = 0; k < kFieldCount; ++k)
                m_utf8[k] = m_carrier.toUtf8(record, k, m_count + 1, line);
            if (m_format == ContactFormat::VCard)
                AppendVCard(m_out, m_utf8);
            else
                AppendCsvRow(m_out, m_utf8);
        }
        Counted();
    }

    size_t count() const { return m_count; }
    size_t replaced() const { return m_carrier.replaced(); }
    const std::string& bytes() const { return m_out; }

  private:
    void Counted() {
        ++m_count;
        if (m_options.progress && m_count % kProgressStep == 0)
            m_options.progress(m_count);
    }

    const ConversionOptions& m_options;
    FieldCarrier m_carrier;
    ContactFormat m_format;
    std::string m_out;
    ContactRecord m_record, m_utf8; // reused for every contact
    size_t m_count = 0;
};

ConversionResult ConvertFile(const std::string& in, bool book, const std::string& out,
                             ContactFormat outFormat, const ConversionOptions& options) {
    const FileBytes file = ReadFileBuffer(in); // read once, never copied
    const std::string_view bytes = file.view();
    Converter converter(options, outFormat, bytes.size());
    const ContactSink fromUtf8 = [&](ContactRecord&& utf8, size_t line) {
        converter.AddUtf8(std::move(utf8), line);
    };
    ConversionResult result;
    if (book) {
        ForEachBookRecord(
            bytes, [&](const ContactRecord& record, size_t line) { converter.Add(record, line); });
        result.format = "agenda";
    } else {
        ColumnMapping mapping;
        if (!options.columns.empty())
            mapping = MapColumnsByName(PreviewCsv(bytes, 0).columns, options.columns);
        LostTally lost;
        result.format = ReadContactsOfAnyKind(bytes, mapping, fromUtf8, &lost);
        result.lost = lost.fields();
    }
    if (converter.count() == 0)
        throw InterchangeError(0, "el archivo no contiene ningún contacto");
    WriteFileAtomically(out, converter.bytes());
    result.contacts = converter.count();
    result.replaced = converter.replaced();
    return result;
}

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
    return ConvertFile(in, inFormat == ContactFormat::Book, out, outFormat, options);
}

ConversionResult ConvertContacts(const std::string& in, const std::string& out,
                                 ContactFormat outFormat, const ConversionOptions& options) {
    return ConvertFile(in, FormatOfPath(in) == ContactFormat::Book, out, outFormat, options);
}

} // namespace veldrano

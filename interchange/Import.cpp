#include "interchange/Import.h"

#include "interchange/ContactCsv.h"
#include "interchange/FieldCarrier.h"
#include "interchange/VCard.h"

namespace veldrano {

namespace {

bool LooksLikeVCard(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    const size_t start = bytes.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return false;
    std::string head(bytes.substr(start, 11));
    for (char& c : head)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return head == "BEGIN:VCARD";
}

ImportResult ReadAll(std::string_view bytes, const ImportOptions& options) {
    ImportResult result;
    FieldCarrier carrier(options.codePage, options.lossy);
    const ContactSink sink = [&](ContactRecord&& utf8, size_t line) {
        ContactRecord record;
        for (int k = 0; k < kFieldCount; ++k)
            record[k] = carrier.toCodePage(utf8, k, result.records.size() + 1, line);
        result.records.push_back(std::move(record));
    };
    if (LooksLikeVCard(bytes)) {
        result.format = "vCard";
        ReadVCards(bytes, sink);
    } else {
        result.format = "CSV";
        ReadContactCsv(bytes, sink);
    }
    if (result.records.empty())
        throw InterchangeError(0, "el archivo no contiene ningún contacto");
    result.replaced = carrier.replaced();
    return result;
}

} // namespace

UnknownColumnsError::UnknownColumnsError(std::vector<std::string> columns)
    : InterchangeError(1, "no se reconocen las columnas del archivo CSV"),
      m_columns(std::move(columns)) {}

ImportResult ImportContacts(std::string_view bytes, const ImportOptions& options) {
    if (options.lossy)
        return ReadAll(bytes, options);
    // Only a file that cannot be held is read twice: the second time to count for the
    // user what "?" would replace.
    try {
        return ReadAll(bytes, options);
    } catch (const UnrepresentableError&) {
        throw;
    } catch (const InterchangeError& e) {
        ImportOptions lossy = options;
        lossy.lossy = true;
        size_t count = 0;
        try {
            count = ReadAll(bytes, lossy).replaced;
        } catch (const InterchangeError&) {
            throw e; // broken for another reason: that one is the user's answer
        }
        if (count == 0)
            throw;
        throw UnrepresentableError(e, count);
    }
}

CsvPreview PreviewCsv(std::string_view, size_t) {
    throw InterchangeError(0, "vista previa no disponible");
}

std::string ExportContacts(const std::vector<ContactRecord>& records, ContactFormat format,
                           int codePage) {
    FieldCarrier carrier(codePage, false);
    std::string out;
    if (format == ContactFormat::Csv)
        AppendCsvHeader(out);
    ContactRecord utf8;
    for (size_t i = 0; i < records.size(); ++i) {
        for (int k = 0; k < kFieldCount; ++k)
            utf8[k] = carrier.toUtf8(records[i], k, i + 1, 0);
        if (format == ContactFormat::VCard)
            AppendVCard(out, utf8);
        else
            AppendCsvRow(out, utf8);
    }
    return out;
}

} // namespace veldrano

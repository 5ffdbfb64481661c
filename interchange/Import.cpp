#include "interchange/Import.h"

#include "interchange/ContactCsv.h"
#include "interchange/FieldCarrier.h"
#include "interchange/InputText.h"
#include "interchange/Ldif.h"
#include "interchange/VCard.h"

#include <exception>

namespace veldrano {

namespace {

bool LooksLikeVCard(std::string_view text) {
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return false;
    std::string head(text.substr(start, 11));
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
    LostTally lost;
    result.format = ReadContactsOfAnyKind(bytes, options.columns, sink, &lost);
    if (result.records.empty())
        throw InterchangeError(0, "el archivo no contiene ningún contacto");
    result.replaced = carrier.replaced();
    result.lost = lost.fields();
    return result;
}

} // namespace

std::string ReadContactsOfAnyKind(std::string_view bytes, const ColumnMapping& columns,
                                  const ContactSink& sink, LostTally* lost) {
    std::string unicode;
    const std::string_view text = WithoutByteOrderMark(bytes, unicode);
    if (LooksLikeVCard(text)) {
        ReadVCards(text, sink, lost);
        return "vCard";
    }
    if (LooksLikeLdif(text)) {
        std::string windows;
        ReadLdif(Utf8OrWindows1252(text, windows), sink, lost);
        return "LDIF";
    }
    return ReadCsvContacts(text, columns, sink, lost);
}

ImportResult ImportContacts(std::string_view bytes, const ImportOptions& options) {
    if (options.lossy)
        return ReadAll(bytes, options);
    // Only a file that cannot be held is read twice: the second time to count for the
    // user what "?" would replace.
    try {
        return ReadAll(bytes, options);
    } catch (const UnknownColumnsError&) {
        throw; // the user's mapping comes first
    } catch (const InterchangeError& e) {
        const std::exception_ptr first = std::current_exception();
        ImportOptions lossy = options;
        lossy.lossy = true;
        size_t count = 0;
        try {
            count = ReadAll(bytes, lossy).replaced;
        } catch (const InterchangeError&) {
            std::rethrow_exception(first); // broken for another reason: the user's answer
        }
        if (count == 0)
            throw;
        throw UnrepresentableError(e, count);
    }
}

CsvPreview PreviewCsv(std::string_view bytes, size_t rows) {
    auto head = CsvHead(bytes, rows);
    CsvPreview preview;
    preview.columns = std::move(head.front());
    preview.rows.assign(std::make_move_iterator(head.begin() + 1),
                        std::make_move_iterator(head.end()));
    return preview;
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

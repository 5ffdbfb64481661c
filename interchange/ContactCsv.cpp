#include "interchange/ContactCsv.h"

#include "book/ContactFields.h"
#include "interchange/CsvImport.h"

namespace veldrano {

namespace {

void AppendField(std::string& out, std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(value);
        return;
    }
    out += '"';
    for (char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

template <typename Fields> void AppendRow(std::string& out, const Fields& fields) {
    bool first = true;
    for (const auto& field : fields) {
        if (!first)
            out += ',';
        first = false;
        AppendField(out, field);
    }
    out += "\r\n";
}

} // namespace

void AppendCsvHeader(std::string& out) {
    std::array<std::string_view, kFieldCount> captions;
    for (int k = 0; k < kFieldCount; ++k)
        captions[k] = kFields[k].columnCaption;
    AppendRow(out, captions);
}

void AppendCsvRow(std::string& out, const ContactRecord& utf8) {
    AppendRow(out, utf8);
}

void ReadContactCsv(std::string_view text, const ContactSink& sink) {
    ReadCsvContacts(text, {}, sink, nullptr);
}

} // namespace veldrano

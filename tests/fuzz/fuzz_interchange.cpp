// libFuzzer harness over the contact readers, fed with arbitrary bytes: the first byte picks
// the vCard reader, or the import that tells vCard, LDIF and every CSV apart. Every contact
// read must be UTF-8 of one line a field, and must come back unchanged through the writer of
// vCard or of our CSV and the reader again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "interchange/ContactCsv.h"
#include "interchange/Import.h"
#include "interchange/VCard.h"
#include "text/Charset.h"

using namespace veldrano;

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

std::vector<ContactRecord> Read(bool vcard, const std::string& text) {
    std::vector<ContactRecord> records;
    const ContactSink sink = [&](ContactRecord&& r, size_t) { records.push_back(std::move(r)); };
    LostTally lost;
    if (vcard)
        ReadVCards(text, sink);
    else
        ReadContactsOfAnyKind(text, {}, sink, &lost);
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const bool vcard = data[0] & 1;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<ContactRecord> records;
    try {
        records = Read(vcard, text);
    } catch (const InterchangeError&) {
        return 0;
    }
    std::string written;
    if (!vcard)
        AppendCsvHeader(written);
    for (const ContactRecord& r : records) {
        for (const std::string& field : r) {
            Require(IsValidUtf8(field), "a field is UTF-8");
            Require(field.find_first_of("\r\n") == std::string::npos, "a field is one line");
        }
        if (vcard)
            AppendVCard(written, r);
        else
            AppendCsvRow(written, r);
    }
    Require(Read(vcard, written) == records, "what is written reads back the same");
    return 0;
}

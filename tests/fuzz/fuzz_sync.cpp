// libFuzzer harness over what the sync reads from a server and what it sends back: the
// multistatus reader and the card editor, fed with arbitrary bytes; the first byte picks one.
// The reader must keep every text within its bound, whatever it is fed and however the
// bytes are cut into pieces, and a rejected answer hands over nothing after the fault. The
// editor's card must read back with the fields it was told to change holding their new
// values, an emptied one included.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "interchange/Interchange.h"
#include "interchange/VCard.h"
#include "interchange/VCardEdit.h"
#include "sync/Multistatus.h"
#include "sync/SyncError.h"

using namespace veldrano;

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

void FuzzReader(std::string_view bytes, size_t cut) {
    bool failed = false;
    MultistatusParser parser([&](DavResponse&& r) {
        Require(!failed, "nothing is handed over after a fault");
        Require(r.addressData.size() <= MultistatusParser::kMaxCardBytes, "a card is bounded");
        Require(r.addressDataTooLarge ? r.addressData.empty() : true,
                "a card too large is dropped");
        for (const std::string* text : {&r.href, &r.etag, &r.displayName, &r.syncToken})
            Require(text->size() <= MultistatusParser::kMaxTextBytes, "a text is bounded");
    });
    try {
        parser.Feed(bytes.substr(0, cut));
        parser.Feed(bytes.substr(cut));
        parser.Finish();
    } catch (const SyncError&) {
        failed = true;
    }
    Require(parser.syncToken().size() <= MultistatusParser::kMaxTextBytes, "the token is bounded");
}

std::vector<ContactRecord> Read(std::string_view card) {
    std::vector<ContactRecord> records;
    ReadVCards(card, [&](ContactRecord&& r, size_t) { records.push_back(std::move(r)); });
    return records;
}

void FuzzEditor(std::string_view card, unsigned changedBits) {
    std::vector<ContactRecord> before;
    try {
        before = Read(card);
    } catch (const InterchangeError&) {
        return;
    }
    if (before.size() != 1)
        return; // the editor edits one card
    FieldSet changed(changedBits & ((1u << kFieldCount) - 1));
    ContactRecord record = before[0];
    for (int k = 0; k < kFieldCount; ++k)
        if (changed[k]) // every other change empties its field
            record[k] = (changedBits >> (k + kFieldCount)) & 1 ? "" : "nuevo " + std::to_string(k);
    std::string updated;
    try {
        updated = UpdateVCard(card, changed, record);
    } catch (const InterchangeError&) {
        return;
    }
    std::vector<ContactRecord> after;
    try {
        after = Read(updated);
    } catch (const InterchangeError& e) {
        std::fprintf(stderr, "line %zu: %s\n%s\n", e.line(), e.what(), updated.c_str());
        Require(false, "the edited card reads");
    }
    Require(after.size() == 1, "the edited card is one card");
    for (int k = 0; k < kFieldCount; ++k)
        if (changed[k] && k != FieldIndex(Field::nombre)) // a name may come from elsewhere
            Require(after[0][k] == record[k], "a changed field reads back as it was set");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 5), size - 5);
    const unsigned word = data[1] | data[2] << 8 | data[3] << 16 | unsigned(data[4]) << 24;
    if (data[0] & 1)
        FuzzReader(bytes, bytes.empty() ? 0 : word % bytes.size());
    else if (data[0] & 2) // the bytes as the properties of a card: more cards to edit
        FuzzEditor("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ana\r\n" + std::string(bytes) +
                       "\r\nEND:VCARD\r\n",
                   word);
    else
        FuzzEditor(bytes, word);
    return 0;
}

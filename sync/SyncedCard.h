#pragma once
#include "sync/PackedRecord.h"

#include <string>

namespace veldrano {

// A card of the address book as this side last saw it: where it is, its version, its UID
// and the contact as the book held it then (in the code page).
struct SyncedCard {
    std::string href; // the path on the server, as the server writes it
    std::string etag;
    std::string uid;
    PackedRecord record;
    bool operator==(const SyncedCard&) const = default;
};

// A card as fetched from the server: its text and the contact read from it, in the code
// page ("?" for each character the code page cannot hold).
struct ServerCard {
    std::string href;
    std::string etag;
    std::string uid;
    std::string text;
    PackedRecord record;
};

} // namespace veldrano

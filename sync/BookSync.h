#pragma once
#include "sync/CardDavClient.h"
#include "sync/HttpClient.h"
#include "sync/SyncPlan.h"

#include <functional>
#include <string>
#include <vector>

namespace veldrano {

struct SyncOptions {
    std::string book; // the .kbx file; a missing one is an empty book
    std::string url;  // the address book, or a server to find it on
    Credentials credentials;
    bool force = false; // mirror a side that was emptied wholesale
    int codePage = 1252;
    HttpLimits limits; // what one answer of the server may cost
    // Called as cards are fetched and changes sent: what is being done, how far, of how many.
    std::function<void(const char* what, size_t done, size_t total)> progress;
    // Called as each request's outcome is recorded ("create", "reupload", "update",
    // "conflict", "delete"): where a test stops the run as a kill would.
    std::function<void(const char* action)> afterAction;
};

struct SyncReport {
    std::string addressBook;
    SyncCounts counts;
    std::vector<Conflict> conflicts;     // values in the code page
    size_t replaced = 0;                 // characters the code page cannot hold, now "?"
    std::vector<std::string> unreadable; // a card skipped, and why
    std::string logError;                // why the log of conflicts could not be written
};

// One two-way sync of a book with a CardDAV address book. The server's changes since the
// last sync and the book's since then are merged field by field (PlanSync), sent as
// conditional uploads, each recorded as it is done; the book and the state beside it are
// written together at the end. A run cut short anywhere resumes on the next from what it
// finished. Throws SyncError (the server, the state, an emptied side), FileError and
// BookFormatError (the book).
SyncReport SyncBook(const SyncOptions& options);

// The address books found at `url`, with their number of cards. Throws SyncError.
std::vector<AddressBookInfo> ListAddressBooks(const std::string& url,
                                              const Credentials& credentials);

} // namespace veldrano

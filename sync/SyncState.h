#pragma once
#include "sync/SyncedCard.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace veldrano {

// What a book remembers of its last sync, in a hidden file beside it: the address book's
// URL, the URL the user gave (a server's root leads to it), the server's sync token and the
// cards as last synced, and the cards skipped (unreadable, too large), which every sync
// asks for again, whatever the token says, until they can be read or are gone.
struct SyncState {
    std::string addressBook;
    std::string givenUrl;
    std::string user; // who logged in, none when the server asks for no login
    std::string token;
    std::vector<SyncedCard> cards;
    std::set<std::string> pending; // hrefs
};

// ".casa.kbx.sync" beside "casa.kbx".
std::string SyncStatePath(const std::string& bookPath);

// "casa.kbx.conflictos.txt" beside "casa.kbx": the log of conflicts, for people to read.
std::string ConflictLogPath(const std::string& bookPath);

// The state, or nullopt when the book was never synced. Throws SyncError for a damaged
// file and FileError for one that cannot be read.
std::optional<SyncState> ReadSyncState(const std::string& path);

// Whom a synced book syncs with, read from the state's first lines only: enough for the
// window to sync a book again without reading every card.
struct SyncAccount {
    std::string url; // as the user gave it
    std::string user;
};

// The account, or nullopt when the book was never synced. Throws SyncError for a damaged
// file and FileError for one that cannot be read.
std::optional<SyncAccount> ReadSyncAccount(const std::string& path);

// Writes the state atomically. Throws FileError.
void WriteSyncState(const std::string& path, const SyncState& state);

} // namespace veldrano

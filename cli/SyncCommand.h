#pragma once
#include <string>

// What `torvikalen --sync` and `--sync-list` were given.
struct SyncArguments {
    std::string book; // --sync only
    std::string url;
    std::string user;
    std::string passwordFile;
    bool force = false;
};

// `torvikalen --sync BOOK URL`: one two-way sync of the book with a CardDAV address book,
// with a progress line on a terminal and a summary line at the end. Returns the exit status
// (0 only when the whole sync succeeded); errors go to standard error in Spanish.
int SyncCommand(const SyncArguments& arguments);

// `torvikalen --sync-list URL`: the address books found there (name, URL, cards).
int SyncListCommand(const SyncArguments& arguments);

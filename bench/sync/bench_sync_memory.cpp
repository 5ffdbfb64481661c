// One sync of a book with an address book, as --sync makes it, without the terminal's
// progress line and password prompt: what many_cards.py measures.
//
//     bench_sync_memory BOOK URL
#include "sync/BookSync.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_sync_memory BOOK URL\n");
        return 2;
    }
    veldrano::SyncOptions options;
    options.book = argv[1];
    options.url = argv[2];
    try {
        const veldrano::SyncReport report = veldrano::SyncBook(options);
        const auto& c = report.counts;
        std::printf("added here %zu, changed here %zu, deleted here %zu, added there %zu, "
                    "skipped %zu\n",
                    c.addedHere, c.changedHere, c.deletedHere, c.addedThere,
                    report.unreadable.size());
        return report.unreadable.empty() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_sync_memory: %s\n", e.what());
        return 1;
    }
}

#include "sync/SyncState.h"

#include "files/TextFile.h"
#include "sync/SyncError.h"

#include <array>
#include <deque>

namespace veldrano {

namespace {

constexpr char kMagicV1[] = "VELDRANO-SYNC 1"; // as v2, without the skipped cards
constexpr char kMagic[] = "VELDRANO-SYNC 2";
constexpr size_t kHeaderLines = 4;             // magic, address book, given URL, token
constexpr size_t kCardLines = 3 + kFieldCount; // href, ETag, UID and the record

std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

} // namespace

std::string SyncStatePath(const std::string& bookPath) {
    const auto [folder, name] = SplitPath(bookPath);
    return folder + "." + name + ".sync";
}

std::string ConflictLogPath(const std::string& bookPath) {
    return bookPath + ".conflictos.txt";
}

std::optional<SyncState> ReadSyncState(const std::string& path) {
    if (!StampOf(path).exists)
        return std::nullopt;
    // Read from the file's bytes a line at a time, never as a copy of every line: the
    // state of a large address book is most of what a sync holds.
    const FileBytes bytes = ReadFileBuffer(path);
    auto damaged = [&] {
        return SyncError("el estado de sincronización «" + path +
                         "» está dañado; bórrelo para sincronizar de nuevo desde cero");
    };
    size_t lineCount = 0;
    std::string_view magic;
    ForEachLine(bytes.view(), [&](std::string_view line) {
        if (lineCount++ == 0)
            magic = line;
    });
    if (lineCount < kHeaderLines || (magic != kMagic && magic != kMagicV1))
        throw damaged();
    const bool withPending = magic == kMagic;

    SyncState state;
    size_t at = 0;          // the line being read
    size_t first = 0;       // the first line of the cards, once known
    size_t pendingLeft = 0; // hrefs of skipped cards still to read
    std::array<std::string_view, kCardLines> card;
    bool bad = false;
    ForEachLine(bytes.view(), [&](std::string_view line) {
        const size_t n = at++;
        if (bad || n == 0)
            return;
        if (n < kHeaderLines) {
            (n == 1 ? state.addressBook : n == 2 ? state.givenUrl : state.token) = line;
            if (n + 1 == kHeaderLines && !withPending)
                first = kHeaderLines;
            return;
        }
        if (first == 0) {
            if (n == kHeaderLines) { // the count of skipped cards, then their hrefs
                if (line.empty() || line.size() > 9 ||
                    line.find_first_not_of("0123456789") != std::string_view::npos) {
                    bad = true;
                    return;
                }
                pendingLeft = std::stoull(std::string(line));
                if (pendingLeft > lineCount - kHeaderLines - 1) {
                    bad = true;
                    return;
                }
                if (pendingLeft == 0)
                    first = n + 1;
                return;
            }
            state.pending.emplace(line);
            if (--pendingLeft == 0)
                first = n + 1;
            return;
        }
        if (n == first) {
            if ((lineCount - first) % kCardLines != 0) {
                bad = true;
                return;
            }
            state.cards.reserve((lineCount - first) / kCardLines);
        }
        const size_t k = (n - first) % kCardLines;
        card[k] = line;
        if (k + 1 < kCardLines)
            return;
        PackedRecord::Fields fields;
        for (int f = 0; f < kFieldCount; ++f)
            fields[f] = card[3 + f];
        state.cards.push_back({std::string(card[0]), std::string(card[1]), std::string(card[2]),
                               PackedRecord(fields)});
    });
    if (bad || (withPending && first == 0))
        throw damaged();
    return state;
}

void WriteSyncState(const std::string& path, const SyncState& state) {
    // Written a piece at a time from the state's own text, never built whole: the pieces
    // stay valid until the file is committed. Server texts go one a line: a line break in
    // one would shift every line after it, so the rare one that holds one is copied clean.
    AtomicFile file(path);
    std::deque<std::string> cleaned;
    auto line = [&](std::string_view text) {
        if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
            text = cleaned.emplace_back(SingleLine(std::string(text)));
        file.write(text);
        file.write("\r\n");
    };
    line(kMagic);
    for (const std::string* text : {&state.addressBook, &state.givenUrl, &state.token})
        line(*text);
    const std::string count = std::to_string(state.pending.size());
    line(count);
    for (const std::string& href : state.pending)
        line(href);
    for (const SyncedCard& card : state.cards) {
        line(card.href);
        line(card.etag);
        line(card.uid);
        for (const std::string_view field : card.record.fields()) // a packed field is one line
            line(field);
    }
    file.commit();
}

} // namespace veldrano

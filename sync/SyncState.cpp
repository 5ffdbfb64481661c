#include "sync/SyncState.h"

#include "files/TextFile.h"
#include "sync/SyncError.h"

#include <array>
#include <deque>
#include <optional>
#include <vector>

namespace veldrano {

namespace {

constexpr char kMagicV1[] = "VELDRANO-SYNC 1"; // as v2, without the skipped cards
constexpr char kMagicV2[] = "VELDRANO-SYNC 2"; // as v3, without the user
constexpr char kMagic[] = "VELDRANO-SYNC 3";
constexpr size_t kCardLines = 3 + kFieldCount; // href, ETag, UID and the record

std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

SyncError Damaged(const std::string& path) {
    return SyncError("el estado de sincronización «" + path +
                     "» está dañado; bórrelo para sincronizar de nuevo desde cero");
}

// The count of skipped cards: digits only, and no more than the lines left for them.
std::optional<size_t> CountOf(std::string_view line, size_t linesLeft) {
    if (line.empty() || line.size() > 9 ||
        line.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const size_t count = std::stoull(std::string(line));
    return count > linesLeft ? std::nullopt : std::optional(count);
}

using CardLines = std::array<std::string_view, kCardLines>;

// Gathers a card's lines; at its last one the card joins the state.
void TakeCardLine(SyncState& state, CardLines& card, size_t k, std::string_view line) {
    card[k] = line;
    if (k + 1 < kCardLines)
        return;
    PackedRecord::Fields fields;
    for (int f = 0; f < kFieldCount; ++f)
        fields[f] = card[3 + f];
    state.cards.push_back(
        {std::string(card[0]), std::string(card[1]), std::string(card[2]), PackedRecord(fields)});
}

// Reads the lines after the header: the skipped cards' count and hrefs, then the cards.
struct BodyReader {
    SyncState& state;
    size_t headerLines, lineCount;
    size_t first = 0;       // the first line of the cards, once known
    size_t pendingLeft = 0; // hrefs of skipped cards still to read
    CardLines card{};
    bool bad = false;

    void operator()(size_t n, std::string_view line) {
        if (first == 0) {
            if (n == headerLines) { // the count of skipped cards, then their hrefs
                const std::optional<size_t> count = CountOf(line, lineCount - headerLines - 1);
                bad = !count;
                pendingLeft = count.value_or(0);
            } else {
                state.pending.emplace(line);
                --pendingLeft;
            }
            if (pendingLeft == 0)
                first = n + 1;
            return;
        }
        if (n == first) {
            bad = (lineCount - first) % kCardLines != 0;
            state.cards.reserve((lineCount - first) / kCardLines);
        }
        TakeCardLine(state, card, (n - first) % kCardLines, line);
    }
};

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
    size_t lineCount = 0;
    std::string_view magic;
    ForEachLine(bytes.view(), [&](std::string_view line) {
        if (lineCount++ == 0)
            magic = line;
    });
    const int version = magic == kMagic ? 3 : magic == kMagicV2 ? 2 : magic == kMagicV1 ? 1 : 0;
    SyncState state;
    std::vector<std::string*> header{&state.addressBook, &state.givenUrl};
    if (version == 3)
        header.push_back(&state.user);
    header.push_back(&state.token);
    const size_t headerLines = 1 + header.size();
    if (version == 0 || lineCount < headerLines)
        throw Damaged(path);
    BodyReader body{state, headerLines, lineCount};
    if (version == 1) // no count of skipped cards before version 2
        body.first = headerLines;
    size_t at = 0;
    ForEachLine(bytes.view(), [&](std::string_view line) {
        const size_t n = at++;
        if (n > 0 && n < headerLines)
            *header[n - 1] = line;
        else if (n >= headerLines && !body.bad)
            body(n, line);
    });
    if (body.bad || body.first == 0)
        throw Damaged(path);
    return state;
}

std::optional<SyncAccount> ReadSyncAccount(const std::string& path) {
    if (!StampOf(path).exists)
        return std::nullopt;
    const FileBytes bytes = ReadFileBuffer(path);
    size_t end = 0; // past the fourth line
    for (int n = 0; n < 4 && end < bytes.size; ++n)
        end = std::min(bytes.view().find('\n', end), bytes.size) + 1;
    const Lines line = SplitLines(bytes.view().substr(0, std::min(end, bytes.size)));
    if (line.size() >= 4 && line[0] == kMagic)
        return SyncAccount{line[2], line[3]};
    if (line.size() >= 3 && (line[0] == kMagicV2 || line[0] == kMagicV1))
        return SyncAccount{line[2], ""};
    throw Damaged(path);
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
    for (const std::string* text : {&state.addressBook, &state.givenUrl, &state.user, &state.token})
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

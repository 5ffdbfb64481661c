#include "sync/SyncState.h"

#include "files/TextFile.h"
#include "sync/SyncError.h"

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
    const Lines lines = ReadTextLines(path);
    auto damaged = [&] {
        return SyncError("el estado de sincronización «" + path +
                         "» está dañado; bórrelo para sincronizar de nuevo desde cero");
    };
    if (lines.size() < kHeaderLines || (lines[0] != kMagic && lines[0] != kMagicV1))
        throw damaged();
    SyncState state{lines[1], lines[2], lines[3], {}, {}};
    size_t first = kHeaderLines;
    if (lines[0] == kMagic) { // the count of skipped cards, then their hrefs
        if (lines.size() == first || lines[first].empty() || lines[first].size() > 9 ||
            lines[first].find_first_not_of("0123456789") != std::string::npos)
            throw damaged();
        const size_t count = std::stoull(lines[first++]);
        if (count > lines.size() - first)
            throw damaged();
        state.pending.insert(lines.begin() + first, lines.begin() + first + count);
        first += count;
    }
    if ((lines.size() - first) % kCardLines != 0)
        throw damaged();
    state.cards.reserve((lines.size() - first) / kCardLines);
    for (size_t i = first; i < lines.size(); i += kCardLines) {
        PackedRecord::Fields fields;
        for (int k = 0; k < kFieldCount; ++k)
            fields[k] = lines[i + 3 + k];
        state.cards.push_back({lines[i], lines[i + 1], lines[i + 2], PackedRecord(fields)});
    }
    return state;
}

void WriteSyncState(const std::string& path, const SyncState& state) {
    std::string out;
    AppendLine(out, kMagic);
    // Server texts go one a line: a line break in one would shift every line after it.
    for (const std::string* text : {&state.addressBook, &state.givenUrl, &state.token})
        AppendLine(out, SingleLine(*text));
    AppendLine(out, std::to_string(state.pending.size()));
    for (const std::string& href : state.pending)
        AppendLine(out, SingleLine(href));
    for (const SyncedCard& card : state.cards) {
        AppendLine(out, SingleLine(card.href));
        AppendLine(out, SingleLine(card.etag));
        AppendLine(out, SingleLine(card.uid));
        for (const std::string_view field : card.record.fields())
            AppendLine(out, field);
    }
    WriteFileAtomically(path, out);
}

} // namespace veldrano

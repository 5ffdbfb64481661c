#include "sync/SyncState.h"

#include "files/TextFile.h"
#include "sync/SyncError.h"

namespace veldrano {

namespace {

constexpr char kMagicV1[] = "VELDRANO-SYNC 1"; // as v2, without the skipped cards
constexpr char kMagicV2[] = "VELDRANO-SYNC 2"; // as v3, without the user
constexpr char kMagic[] = "VELDRANO-SYNC 3";
constexpr size_t kHeaderLines = 4; // magic, address book, given URL, token; v3 adds the user
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
    const bool v3 = !lines.empty() && lines[0] == kMagic;
    if (lines.size() < kHeaderLines + v3 || (!v3 && lines[0] != kMagicV2 && lines[0] != kMagicV1))
        throw damaged();
    SyncState state{lines[1], lines[2], v3 ? lines[3] : "", lines[3 + v3], {}, {}};
    size_t first = kHeaderLines + v3;
    if (lines[0] != kMagicV1) { // the count of skipped cards, then their hrefs
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
        SyncedCard card{lines[i], lines[i + 1], lines[i + 2], {}};
        for (int k = 0; k < kFieldCount; ++k)
            card.record[k] = lines[i + 3 + k];
        state.cards.push_back(std::move(card));
    }
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
    throw SyncError("el estado de sincronización «" + path +
                    "» está dañado; bórrelo para sincronizar de nuevo desde cero");
}

void WriteSyncState(const std::string& path, const SyncState& state) {
    std::string out;
    AppendLine(out, kMagic);
    // Server texts go one a line: a line break in one would shift every line after it.
    for (const std::string* text : {&state.addressBook, &state.givenUrl, &state.user, &state.token})
        AppendLine(out, SingleLine(*text));
    AppendLine(out, std::to_string(state.pending.size()));
    for (const std::string& href : state.pending)
        AppendLine(out, SingleLine(href));
    for (const SyncedCard& card : state.cards) {
        AppendLine(out, SingleLine(card.href));
        AppendLine(out, SingleLine(card.etag));
        AppendLine(out, SingleLine(card.uid));
        for (const std::string& field : card.record)
            AppendLine(out, SingleLine(field));
    }
    WriteFileAtomically(path, out);
}

} // namespace veldrano

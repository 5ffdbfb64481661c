#include "sync/SyncState.h"

#include "files/TextFile.h"
#include "sync/SyncError.h"

namespace veldrano {

namespace {

constexpr char kMagic[] = "VELDRANO-SYNC 1";
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
    if (lines.size() < kHeaderLines || lines[0] != kMagic ||
        (lines.size() - kHeaderLines) % kCardLines != 0)
        throw SyncError("el estado de sincronización «" + path +
                        "» está dañado; bórrelo para sincronizar de nuevo desde cero");
    SyncState state{lines[1], lines[2], lines[3], {}};
    state.cards.reserve((lines.size() - kHeaderLines) / kCardLines);
    for (size_t i = kHeaderLines; i < lines.size(); i += kCardLines) {
        SyncedCard card{lines[i], lines[i + 1], lines[i + 2], {}};
        for (int k = 0; k < kFieldCount; ++k)
            card.record[k] = lines[i + 3 + k];
        state.cards.push_back(std::move(card));
    }
    return state;
}

void WriteSyncState(const std::string& path, const SyncState& state) {
    std::string out;
    AppendLine(out, kMagic);
    // Server texts go one a line: a line break in one would shift every line after it.
    for (const std::string* text : {&state.addressBook, &state.givenUrl, &state.token})
        AppendLine(out, SingleLine(*text));
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

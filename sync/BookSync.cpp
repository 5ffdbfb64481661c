#include "sync/BookSync.h"

#include "book/BookFile.h"
#include "book/ContactFields.h"
#include "interchange/VCard.h"
#include "interchange/VCardEdit.h"
#include "sync/PlanChanges.h"
#include "sync/PlanExecutor.h"
#include "sync/SyncError.h"
#include "sync/SyncState.h"
#include "text/Charset.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace veldrano {

namespace {

constexpr int kMaxRounds = 3;        // plans made again as cards changed meanwhile (412)
constexpr size_t kOpsPerEntry = 256; // changes a journal entry holds: memory, not safety

std::string Plural(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

class Sync {
  public:
    explicit Sync(const SyncOptions& options)
        : m_options(options), m_http(options.credentials, options.limits), m_dav(m_http),
          m_charset(Charset::ForCodePage(options.codePage)),
          m_statePath(SyncStatePath(options.book)) {}

    SyncReport Run() {
        m_state = ReadSyncState(m_statePath).value_or(SyncState{});
        LoadBook();
        FindAddressBook();
        m_report.addressBook = m_addressBook;
        PlanExecutor executor(
            m_options, m_dav, m_addressBook, m_charset,
            [this]() -> SyncLedger& { return Ledger(); }, m_report);
        for (int round = 1;; ++round) {
            std::string token;
            const bool refused = Round(executor, token);
            Save(token);
            if (!refused)
                break;
            if (round == kMaxRounds)
                throw SyncError("algunas tarjetas cambian en el servidor una y otra vez mientras "
                                "se sincroniza; vuelva a sincronizar");
        }
        return std::move(m_report);
    }

  private:
    // One plan from the book and the server's changes, executed; what it needed of the
    // server is let go before the safe point. Returns whether some request was refused.
    bool Round(PlanExecutor& executor, std::string& token) {
        m_diff = DiffBook(m_state.cards, m_book);
        CardListing listing = ListServer();
        token = std::move(listing.token);
        m_report.unreadable.clear(); // named once, as the last round found them
        FetchServer(listing);
        listing = CardListing();
        SyncPlan plan = PlanSync(m_state.cards, m_book, m_diff, m_server);
        m_pending = std::move(m_server.unreadable);
        m_server = ServerView();
        m_diff = LocalDiff();
        m_editable.clear();
        RecordChangesWithoutRequests(plan);
        const bool refused = executor.Execute(plan, m_book, m_state.cards);
        Add(plan.counts);
        return refused;
    }

    void LoadBook() {
        m_bookExisted = StampOf(m_options.book).exists;
        if (!m_bookExisted) {
            if (!m_state.cards.empty() && !m_options.force)
                throw SyncError(
                    "la agenda «" + m_options.book + "» no existe, pero tenía " +
                    Plural(m_state.cards.size(), "contacto sincronizado",
                           "contactos sincronizados") +
                    ": no se borran del servidor sin --force (si la ha movido, sincronice la "
                    "agenda desde su nuevo sitio)");
        }
        std::vector<PackedRecord> book;
        if (m_bookExisted) {
            LoadedBook loaded = ReadBookFile(m_options.book);
            for (int k = 0; k < kFieldCount; ++k)
                m_columns[k] = loaded.hidden[k] ? -1 : 0;
            book.reserve(loaded.records.size());
            PackedRecord::Fields fields;
            for (size_t i = 0; i < loaded.records.size(); ++i) {
                for (int k = 0; k < kFieldCount; ++k)
                    fields[k] = loaded.records.field(i, k);
                book.emplace_back(fields);
            }
        }
        m_book = std::move(book);
        // What a run cut short finished is taken up from its journal.
        if (StampOf(SyncJournalPath(m_options.book)).exists) {
            m_report.conflicts = Ledger().Replay();
            m_book = m_ledger->Book();
            m_state.cards = m_ledger->Cards();
        }
    }

    // The ledger of this round's changes, made when the first one is recorded: a round that
    // changes nothing holds the book and the state once, not twice.
    SyncLedger& Ledger() {
        if (!m_ledger)
            m_ledger.emplace(m_options.book, m_book, m_state.cards);
        return *m_ledger;
    }

    void FindAddressBook() {
        const std::string& url = m_options.url;
        if (!m_state.addressBook.empty() &&
            (url == m_state.addressBook || url == m_state.givenUrl)) {
            m_addressBook = m_state.addressBook; // known from the last sync: no discovery
            return;
        }
        const auto books = m_dav.FindAddressBooks(url, false);
        if (books.empty())
            throw SyncError("no se ha encontrado ninguna libreta de direcciones en «" + url + "»");
        if (books.size() > 1) {
            std::string list;
            for (const auto& book : books)
                list += "\n  " + book.name + "  " + book.url;
            throw SyncError("hay varias libretas de direcciones en «" + url +
                            "»; elija una dando su URL:" + list);
        }
        m_addressBook = books[0].url;
        if (!m_state.addressBook.empty() && m_state.addressBook != m_addressBook)
            throw SyncError("la agenda se sincroniza con otra libreta («" + m_state.addressBook +
                            "»); para cambiar de libreta, borre «" + m_statePath + "»");
        m_state.givenUrl = url;
    }

    CardListing ListServer() {
        if (auto changes = m_dav.SyncCollection(m_addressBook, m_state.token))
            return std::move(*changes);
        return m_dav.ListCards(m_addressBook); // no sync-collection, or a token it forgot
    }

    // The cards to fetch: new or changed there, and those changed here, which an update
    // edits. Sets the cards deleted there. The listing is let go (its paths moved into the
    // list to fetch) before the cards arrive: the hrefs are not held twice.
    void FetchServer(CardListing& listing) {
        struct Known {
            const SyncedCard* card;
            bool listed; // present in a full listing, removed in a list of changes
        };
        // Views of the state's own hrefs: the state stays as it is until the round ends.
        std::unordered_map<std::string_view, Known> known;
        known.reserve(m_state.cards.size());
        for (const SyncedCard& card : m_state.cards)
            known.emplace(card.href, Known{&card, false});
        std::set<std::string> pendingListed; // skipped by an earlier sync, listed in full now
        std::vector<std::string> fetch;
        size_t remaining = m_state.cards.size();
        for (auto& [path, etag] : listing.present) {
            const auto it = known.find(path);
            if (it == known.end())
                ++remaining;
            else if (listing.complete)
                it->second.listed = true;
            if (listing.complete && m_state.pending.count(path))
                pendingListed.insert(path);
            if (it == known.end() || it->second.card->etag != etag)
                fetch.push_back(std::move(path));
        }
        decltype(listing.present)().swap(listing.present);
        if (!listing.complete)
            for (const std::string& path : listing.removed)
                if (const auto it = known.find(path); it != known.end())
                    it->second.listed = true;
        for (const auto& [path, entry] : known) {
            if (listing.complete ? !entry.listed : entry.listed) {
                m_server.deleted.emplace(path);
                --remaining;
            }
        }
        if (remaining == 0 && !m_state.cards.empty() && !m_options.force)
            throw SyncError("la libreta «" + m_addressBook +
                            "» se ha quedado sin tarjetas: no se borran los contactos de la "
                            "agenda sin --force");
        m_editable = m_diff.ChangedHrefs(m_state.cards); // an update edits their cards
        for (const auto& path : m_editable)
            if (!m_server.deleted.count(path))
                fetch.push_back(path);
        AskAgainForSkipped(listing, pendingListed, fetch);
        std::sort(fetch.begin(), fetch.end());
        fetch.erase(std::unique(fetch.begin(), fetch.end()), fetch.end());
        const std::vector<std::string>& paths = fetch;
        size_t done = 0;
        m_dav.Multiget(m_addressBook, paths, [&](DavResponse&& response) {
            Take(std::move(response));
            Progress("Descargando tarjetas", ++done, paths.size());
        });
        // A card listed but gone by the time it was asked for was deleted meanwhile.
        for (const auto& path : paths)
            if (!m_server.fetched.count(path) && !m_server.unreadable.count(path) &&
                known.count(path))
                m_server.deleted.insert(path);
    }

    // A card skipped by an earlier sync is asked for again until it can be read, unless the
    // listing says it is gone: the token has moved past it.
    void AskAgainForSkipped(const CardListing& listing, const std::set<std::string>& listed,
                            std::vector<std::string>& fetch) const {
        std::set<std::string> gone(listing.removed.begin(), listing.removed.end());
        if (listing.complete)
            for (const std::string& href : m_state.pending)
                if (!listed.count(href))
                    gone.insert(href);
        for (const std::string& href : m_state.pending)
            if (!gone.count(href))
                fetch.push_back(href);
    }

    // A card of a multiget, read into the code page.
    void Take(DavResponse&& response) {
        if (response.status == 404 ||
            (response.addressData.empty() && !response.addressDataTooLarge))
            return;
        auto unreadable = [&](const std::string& why) {
            m_server.unreadable.insert(response.href);
            m_report.unreadable.push_back(response.href + ": " + why);
        };
        if (response.addressDataTooLarge)
            return unreadable("la tarjeta es demasiado grande");
        std::optional<ContactRecord> record;
        try {
            ReadVCards(response.addressData, [&](ContactRecord&& utf8, size_t) {
                if (!record)
                    record = std::move(utf8);
            });
        } catch (const InterchangeError& e) {
            return unreadable("línea " + std::to_string(e.line()) + ": " + e.what());
        }
        if (!record)
            return unreadable("no contiene ninguna tarjeta");
        ServerCard card{
            response.href, response.etag, VCardUid(response.addressData), {}, ToBook(*record)};
        if (m_editable.count(card.href)) // kept only where an update will edit it
            card.text = std::move(response.addressData);
        m_server.fetched[card.href] = std::move(card);
    }

    ContactRecord ToBook(const ContactRecord& utf8) {
        ContactRecord record;
        for (int k = 0; k < kFieldCount; ++k)
            record[k] = SingleLine(m_charset.FromUtf8(utf8[k], &m_report.replaced));
        return record;
    }

    void Progress(const char* what, size_t done, size_t total) {
        if (m_options.progress)
            m_options.progress(what, done, total);
    }

    // --- Writing the results ------------------------------------------------------------

    void RecordChangesWithoutRequests(const SyncPlan& plan) {
        std::vector<LedgerOp> batch;
        ChangesWithoutRequests(plan, m_book, m_state.cards, [&](std::vector<LedgerOp>&& ops) {
            batch.insert(batch.end(), std::make_move_iterator(ops.begin()),
                         std::make_move_iterator(ops.end()));
            if (batch.size() >= kOpsPerEntry) {
                Ledger().Record(batch);
                batch.clear();
            }
        });
        if (!batch.empty())
            Ledger().Record(batch);
    }

    void Add(const SyncCounts& c) {
        SyncCounts& total = m_report.counts;
        total.addedHere += c.addedHere, total.changedHere += c.changedHere;
        total.deletedHere += c.deletedHere, total.addedThere += c.addedThere;
        total.changedThere += c.changedThere, total.deletedThere += c.deletedThere;
    }

    // A safe point: the book and the state as the actions done left them, and a new round
    // starts from them.
    void Save(const std::string& token) {
        SyncState state{m_addressBook,
                        m_state.givenUrl.empty() ? m_options.url : m_state.givenUrl,
                        m_options.credentials.user,
                        token,
                        {},
                        std::move(m_pending)};
        m_pending.clear();
        if (!m_ledger) { // nothing changed: the book stays as it was read
            state.cards = std::move(m_state.cards);
            WriteSyncState(m_statePath, state);
            m_state = std::move(state);
            return;
        }
        // The round's starting points, let go (buffers and all): the ledger holds what they
        // became.
        std::vector<PackedRecord>().swap(m_book);
        std::vector<SyncedCard>().swap(m_state.cards);
        state.cards = m_ledger->TakeCards();
        const bool changed = m_ledger->BookChanged();
        m_book = m_ledger->Commit([&](const std::vector<PackedRecord>& book) {
            // The book is written only when it changed, so that a window holding it is not
            // told it changed on disk for nothing; an empty book leaves no file, as there.
            if (changed && (m_bookExisted || !book.empty())) {
                BookStore store;
                for (const PackedRecord& record : book)
                    store.insert(store.size(), record.Unpack());
                WriteBookFile(m_options.book, m_columns, store);
                m_bookExisted = !book.empty();
            }
            WriteSyncState(m_statePath, state);
        });
        m_state = std::move(state);
        m_ledger.reset(); // the next round starts from what was written
    }

    const SyncOptions& m_options;
    HttpClient m_http;
    CardDavClient m_dav;
    Charset m_charset;
    std::string m_statePath;
    SyncState m_state;
    bool m_bookExisted = false;
    std::array<int, kFieldCount> m_columns{};
    std::vector<PackedRecord> m_book; // as this round plans from it
    std::optional<SyncLedger> m_ledger;
    LocalDiff m_diff;
    std::string m_addressBook;
    std::set<std::string> m_editable; // cards whose text is kept: an update edits them
    ServerView m_server;
    std::set<std::string> m_pending; // the cards this round skipped
    SyncReport m_report;
};

} // namespace

SyncReport SyncBook(const SyncOptions& options) {
    return Sync(options).Run();
}

std::vector<AddressBookInfo> ListAddressBooks(const std::string& url,
                                              const Credentials& credentials) {
    HttpClient http(credentials);
    return CardDavClient(http).FindAddressBooks(url, true);
}

} // namespace veldrano

#include "sync/BookSync.h"

#include "book/BookFile.h"
#include "book/ContactFields.h"
#include "interchange/VCard.h"
#include "interchange/VCardEdit.h"
#include "sync/ConflictLog.h"
#include "sync/SyncError.h"
#include "sync/SyncState.h"
#include "text/Charset.h"

#include <cstdio>
#include <random>

namespace veldrano {

namespace {

constexpr int kMaxAttempts = 3; // uploads refused as the card changed meanwhile (412)

std::string NewUuid() {
    std::random_device random;
    unsigned char bytes[16];
    for (unsigned char& b : bytes)
        b = static_cast<unsigned char>(random());
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40); // RFC 4122 4.4: version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    char text[37];
    std::snprintf(text, sizeof text,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

std::string Plural(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

class Sync {
  public:
    explicit Sync(const SyncOptions& options)
        : m_options(options), m_http(options.credentials), m_dav(m_http),
          m_charset(Charset::ForCodePage(options.codePage)),
          m_statePath(SyncStatePath(options.book)) {}

    SyncReport Run() {
        m_state = ReadSyncState(m_statePath).value_or(SyncState{});
        LoadBook();
        m_diff = DiffBook(m_state.cards, m_book);
        FindAddressBook();
        const CardListing listing = ListServer();
        FetchServer(listing);
        SyncPlan plan = PlanSync(m_state.cards, m_book, m_diff, m_server);
        Execute(plan);
        m_report.addressBook = m_addressBook;
        m_report.counts = plan.counts;
        m_report.conflicts = plan.conflicts;
        Save(plan, listing.token);
        return std::move(m_report);
    }

  private:
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
            return;
        }
        LoadedBook loaded = ReadBookFile(m_options.book);
        for (int k = 0; k < kFieldCount; ++k)
            m_columns[k] = loaded.hidden[k] ? -1 : 0;
        m_book.reserve(loaded.records.size());
        for (size_t i = 0; i < loaded.records.size(); ++i)
            m_book.push_back(loaded.records.record(i));
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
    // edits. Sets the cards deleted there.
    void FetchServer(const CardListing& listing) {
        std::map<std::string, const SyncedCard*> known;
        for (const SyncedCard& card : m_state.cards)
            known[card.href] = &card;
        std::set<std::string> fetch;
        size_t remaining = m_state.cards.size();
        for (const auto& [path, etag] : listing.present) {
            const auto it = known.find(path);
            if (it == known.end())
                ++remaining;
            if (it == known.end() || it->second->etag != etag)
                fetch.insert(path);
        }
        std::set<std::string> listed; // present in a full listing, removed in a list of changes
        if (listing.complete)
            for (const auto& entry : listing.present)
                listed.insert(entry.first);
        else
            listed.insert(listing.removed.begin(), listing.removed.end());
        for (const auto& [path, card] : known) {
            const bool isListed = listed.count(path) > 0;
            if (listing.complete ? !isListed : isListed) {
                m_server.deleted.insert(path);
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
                fetch.insert(path);
        const std::vector<std::string> paths(fetch.begin(), fetch.end());
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

    ContactRecord ToUtf8(const ContactRecord& record) {
        ContactRecord utf8;
        for (int k = 0; k < kFieldCount; ++k)
            utf8[k] = m_charset.ToUtf8(record[k], &m_report.replaced);
        return utf8;
    }

    void Progress(const char* what, size_t done, size_t total) {
        if (m_options.progress)
            m_options.progress(what, done, total);
    }

    // --- Sending the changes ------------------------------------------------------------

    void Execute(SyncPlan& plan) {
        for (size_t a = 0; a < plan.actions.size(); ++a) {
            Action& action = plan.actions[a];
            switch (action.kind) {
            case Action::Create:
                Create(plan.contacts[action.contact]);
                break;
            case Action::Update:
                Update(plan, action);
                break;
            case Action::Delete:
                Delete(plan, action);
                break;
            }
            Progress("Enviando cambios", a + 1, plan.actions.size());
        }
    }

    void Create(PlannedContact& contact) {
        std::string card;
        for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
            const std::string uid = NewUuid();
            const std::string path = UrlPath(m_addressBook) + uid + ".vcf";
            card.clear();
            AppendVCard(card, ToUtf8(contact.record), VCardVersion::V3, uid);
            const HttpResponse r = m_dav.Put(m_addressBook, path, card, "");
            if (r.status / 100 == 2) {
                contact.card = SyncedCard{path, r.etag, uid, contact.record};
                return;
            }
            if (r.status == 404)
                ThrowServerError(r, m_addressBook + uid + ".vcf");
            // 412: a card of that name exists; another name
        }
        throw SyncError("el servidor rechaza una y otra vez la tarjeta nueva de «" +
                        Utf8(contact.record[0]) + "»");
    }

    // The server's current card, fetched again after a 412; nullopt when it is gone.
    std::optional<ServerCard> Refetch(const std::string& path) {
        m_editable.insert(path); // keep its text
        m_server.fetched.erase(path);
        m_dav.Multiget(m_addressBook, {path}, [&](DavResponse&& r) { Take(std::move(r)); });
        const auto it = m_server.fetched.find(path);
        if (it == m_server.fetched.end())
            return std::nullopt;
        return it->second;
    }

    void Update(SyncPlan& plan, Action& action) {
        PlannedContact& contact = plan.contacts[action.contact];
        for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
            const std::string card =
                UpdateVCard(action.serverText, action.fields, ToUtf8(contact.record));
            const HttpResponse r = m_dav.Put(m_addressBook, action.href, card, action.etag);
            if (r.status / 100 == 2) {
                contact.card->etag = r.etag;
                contact.card->record = contact.record;
                return;
            }
            std::optional<ServerCard> there;
            if (r.status == 412)
                there = Refetch(action.href);
            if (!there && m_server.unreadable.count(action.href)) {
                contact.card->record = action.base; // left as it was for a later sync
                return;
            }
            if (!there) // deleted meanwhile: uploaded again as a new card
                return Create(contact);
            // Changed meanwhile: merged again with what the server has now.
            Merge merge = MergeContact(action.base, action.here, there->record);
            for (const Conflict& c : merge.conflicts)
                plan.conflicts.push_back(c);
            contact.record = merge.record;
            contact.card = SyncedCard{there->href, there->etag, there->uid, merge.record};
            action.serverText = std::move(there->text);
            action.etag = there->etag;
            action.fields = DifferingFields(merge.record, there->record);
            if (action.fields.none())
                return;
        }
        throw SyncError("la tarjeta de «" + Utf8(contact.record[0]) +
                        "» cambia en el servidor una y otra vez; vuelva a sincronizar");
    }

    void Delete(SyncPlan& plan, const Action& action) {
        const HttpResponse r = m_dav.Delete(m_addressBook, action.href, action.etag);
        if (r.status != 412)
            return;
        // Changed there meanwhile: the server's contact comes back.
        if (std::optional<ServerCard> there = Refetch(action.href)) {
            plan.contacts.push_back(
                {there->record, SyncedCard{there->href, there->etag, there->uid, there->record},
                 true});
            --plan.counts.deletedThere;
            ++plan.counts.addedHere;
        }
    }

    // --- Writing the results ------------------------------------------------------------

    std::string Utf8(const std::string& text) {
        size_t ignored = 0;
        return m_charset.ToUtf8(text, &ignored);
    }

    void Save(const SyncPlan& plan, const std::string& token) {
        std::vector<ContactRecord> book;
        SyncState state{
            m_addressBook, m_state.givenUrl.empty() ? m_options.url : m_state.givenUrl, token, {}};
        for (const PlannedContact& contact : plan.contacts) {
            if (contact.inBook)
                book.push_back(contact.record);
            if (contact.card)
                state.cards.push_back(*contact.card);
        }
        // The book is written only when it changed, so that a window holding it is not told
        // it changed on disk for nothing; an empty book leaves no file, as in the window.
        if (book != m_book && (m_bookExisted || !book.empty())) {
            BookStore store;
            for (const ContactRecord& record : book)
                store.insert(store.size(), record);
            WriteBookFile(m_options.book, m_columns, store);
        }
        WriteSyncState(m_statePath, state);
        // Last, so that a log that cannot be written leaves the sync itself whole.
        try {
            AppendConflictLog(ConflictLogPath(m_options.book), plan.conflicts, m_charset);
        } catch (const FileError& e) {
            m_report.logError = e.what();
        }
    }

    const SyncOptions& m_options;
    HttpClient m_http;
    CardDavClient m_dav;
    Charset m_charset;
    std::string m_statePath;
    SyncState m_state;
    bool m_bookExisted = false;
    std::array<int, kFieldCount> m_columns{};
    std::vector<ContactRecord> m_book;
    LocalDiff m_diff;
    std::string m_addressBook;
    std::set<std::string> m_editable; // cards whose text is kept: an update edits them
    ServerView m_server;
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

#pragma once
#include "sync/HttpClient.h"
#include "sync/Multistatus.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace veldrano {

// An address book a server offers.
struct AddressBookInfo {
    std::string url;
    std::string name; // its display name, else the last part of its path
    size_t cards = 0; // when counted
};

// The cards of an address book and their ETags: all of them, or those changed since a sync
// token together with those removed since.
struct CardListing {
    std::vector<std::pair<std::string, std::string>> present; // path, ETag
    std::vector<std::string> removed;                         // paths
    std::string token;                                        // the new sync token
    bool complete = false; // every card is listed: one not listed is gone
};

// The CardDAV requests of a sync (RFC 6352, RFC 6578, RFC 6764) over one HTTP client. Every
// failure is a SyncError whose message says what the server answered.
class CardDavClient {
  public:
    static constexpr size_t kMultigetBatch = 500; // hrefs per addressbook-multiget
    // Cards a listing may name: a bound on memory whatever the server sends, far above any
    // address book a person keeps.
    static constexpr size_t kMaxListedCards = 1'000'000;

    explicit CardDavClient(HttpClient& http) : m_http(http) {}

    // The address books at `url`: that one when it is an address book, else those found from
    // it as a client discovers them: .well-known/carddav, current-user-principal,
    // addressbook-home-set. With `count`, each one's number of cards.
    std::vector<AddressBookInfo> FindAddressBooks(const std::string& url, bool count);

    // The cards changed and removed since `token` (all of them for an empty token) with the
    // sync-collection report; nullopt when the server has no such report or no longer
    // accepts the token.
    std::optional<CardListing> SyncCollection(const std::string& book, const std::string& token);

    // Every card with its ETag, and the collection's sync token when it has one (PROPFIND).
    CardListing ListCards(const std::string& book);

    // The cards at `paths`, fetched with addressbook-multiget in batches; each response is
    // handed over as it arrives (a card not found comes with its status and no data).
    void Multiget(const std::string& book, const std::vector<std::string>& paths,
                  const std::function<void(DavResponse&&)>& onCard);

    // PUT of a card: If-Match with `etag` for an update, If-None-Match: * for a new card (empty
    // `etag`). Returns the response for 2xx, 404 and 412 (the card changed meanwhile).
    HttpResponse Put(const std::string& book, const std::string& path, const std::string& card,
                     const std::string& etag);

    // DELETE with If-Match. Returns the response for 2xx, 404 and 412.
    HttpResponse Delete(const std::string& book, const std::string& path, const std::string& etag);

  private:
    struct DavResult {
        HttpResponse response; // the body is empty for a multistatus: it went to the parser
        std::string url;       // after redirects
        std::string token;
    };
    DavResult Dav(const std::string& method, std::string url, const char* depth,
                  const std::string& body, const std::function<void(DavResponse&&)>& onResponse);
    std::optional<DavResponse> PropfindSelf(const std::string& url, std::string* finalUrl);
    size_t CountCards(const std::string& book);

    HttpClient& m_http;
};

// A SyncError that says what the server answered to a request of `url`.
[[noreturn]] void ThrowServerError(const HttpResponse& response, const std::string& url);

} // namespace veldrano

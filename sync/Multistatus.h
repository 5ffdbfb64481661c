#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace veldrano {

// One <response> of a WebDAV multistatus (RFC 4918 13): its href, the status of the
// response itself when it has one (a card removed since a sync token), and the properties
// a propstat of status 200 gave.
struct DavResponse {
    std::string href;
    int status = 0;
    std::string etag;
    std::string addressData;
    bool addressDataTooLarge = false; // the card was dropped as it arrived, past the limit
    std::string displayName;
    std::string syncToken;
    bool collection = false, addressBook = false;
    std::string principal; // current-user-principal's href
    std::string homeSet;   // addressbook-home-set's first href
};

// A multistatus body read as it arrives, without keeping it: each response is handed over
// when its element ends. Only DAV: and CardDAV elements are looked at; every text is kept to
// a bound, so memory stays small whatever the server sends.
class MultistatusParser {
  public:
    using OnResponse = std::function<void(DavResponse&&)>;

    static constexpr size_t kMaxCardBytes = 8 << 20;  // a card with a large photo
    static constexpr size_t kMaxTextBytes = 64 << 10; // an href, an ETag, a name, a token

    explicit MultistatusParser(OnResponse onResponse);
    ~MultistatusParser();
    MultistatusParser(const MultistatusParser&) = delete;
    MultistatusParser& operator=(const MultistatusParser&) = delete;

    // Throws SyncError for a body that is not well-formed XML, and what the handler of a
    // response threw.
    void Feed(std::string_view bytes);
    void Finish();

    // The multistatus's own sync-token (RFC 6578), empty when it has none.
    const std::string& syncToken() const;
    struct State;

  private:
    void Check(int result, const char* fault);

    std::unique_ptr<State> m_state;
};

// The numeric code of an HTTP status line ("HTTP/1.1 404 Not Found" gives 404), 0 if none.
int StatusCodeOf(std::string_view statusLine);

} // namespace veldrano

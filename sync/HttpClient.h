#pragma once
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace veldrano {

struct HttpRequest {
    std::string method;
    std::string url;
    std::vector<std::string> headers; // "Name: value"
    std::string body;
    bool large = false; // a listing or a multiget: the longer deadline
};

// What one answer of a server may cost, whatever it sends: its bytes and its time, whole.
// Beside them, a server that sends nothing for a minute is taken as gone.
struct HttpLimits {
    size_t maxAnswerBytes = 64 << 20;
    std::chrono::milliseconds deadline{std::chrono::minutes(5)};      // a large request
    std::chrono::milliseconds smallDeadline{std::chrono::minutes(2)}; // any other
};

struct HttpResponse {
    long status = 0;
    std::string reason;   // the status line's text ("Precondition Failed")
    std::string etag;     // the ETag header, as it came
    std::string location; // the Location header
    std::string body;     // unless a body sink took it
};

// Who the user is on the server.
struct Credentials {
    std::string user;
    std::string password;
};

// HTTP and HTTPS through libcurl, one request at a time over a connection kept between them.
// Server certificates are verified against the system's store (SSL_CERT_FILE and
// SSL_CERT_DIR are honoured) and the name of the server; there is no way to skip that.
// Credentials go only over HTTPS or to a loopback address, checked on the address really
// connected to.
class HttpClient {
  public:
    static constexpr size_t kMaxBodyBytes = 16 << 20; // a body kept whole (not streamed)

    explicit HttpClient(Credentials credentials = {}, HttpLimits limits = {});
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Sends a request and returns the response, whatever its status. With `onBody`, the body
    // is handed over piece by piece as it arrives instead of kept. Throws SyncError when no
    // whole response came (no connection, certificate refused, a stall, an answer past the
    // limits' bytes or deadline), and for a login asked for when the user gave no name.
    HttpResponse Send(const HttpRequest& request,
                      const std::function<void(std::string_view)>& onBody = nullptr);

    struct Transfer;

  private:
    void* m_curl;
    Credentials m_credentials;
    HttpLimits m_limits;
};

// A URL resolved against a base (RFC 3986 5), as curl resolves it; throws SyncError for
// one that is not a URL.
std::string ResolveUrl(const std::string& base, const std::string& reference);

// The path of a URL ("/ana/libreta/"), and its scheme, host and port ("https://h:5232").
std::string UrlPath(const std::string& url);
std::string UrlOrigin(const std::string& url);

} // namespace veldrano

#include "sync/HttpClient.h"

#include "sync/SyncError.h"

#include <arpa/inet.h>
#include <cctype>
#include <cstdlib>
#include <curl/curl.h>
#include <algorithm>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>

namespace veldrano {

namespace {

constexpr long kConnectTimeoutSeconds = 30;
// A server that sends nothing for this long is taken as gone: the time-out of a request.
constexpr long kStallSeconds = 60;

struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CurlGlobal() { curl_global_cleanup(); }
};

void EnsureCurl() {
    static CurlGlobal global;
}

bool IsLoopback(const sockaddr* address) {
    if (address->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        return (ntohl(in->sin_addr.s_addr) >> 24) == 127;
    }
    if (address->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        return IN6_IS_ADDR_LOOPBACK(&in6->sin6_addr);
    }
    return false;
}

std::string Trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return std::string(text);
}

bool HasPrefixNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

struct UrlHandle {
    CURLU* handle = curl_url();
    ~UrlHandle() { curl_url_cleanup(handle); }
    std::string Get(CURLUPart part, unsigned flags = 0) const {
        char* text = nullptr;
        if (curl_url_get(handle, part, &text, flags) != CURLUE_OK)
            return {};
        std::string out(text);
        curl_free(text);
        return out;
    }
};

UrlHandle Parse(const std::string& url) {
    UrlHandle u;
    if (curl_url_set(u.handle, CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        throw SyncError("«" + url + "» no es una URL válida");
    return u;
}

} // namespace

struct HttpClient::Transfer {
    HttpResponse response;
    const std::function<void(std::string_view)>* onBody = nullptr;
    size_t maxBytes = 0; // of the answer's body, streamed or kept
    size_t received = 0;
    bool tooLarge = false;
    bool plainToRemote = false; // a password would have gone unencrypted off this machine
    bool guardPlain = false;
    std::exception_ptr error; // thrown by the body sink
};

namespace {

size_t OnBody(char* data, size_t, size_t size, void* user) {
    auto* t = static_cast<HttpClient::Transfer*>(user);
    t->received += size;
    if (t->received > t->maxBytes) {
        t->tooLarge = true;
        return 0;
    }
    if (*t->onBody && t->response.status / 100 == 2) {
        try {
            (*t->onBody)(std::string_view(data, size));
        } catch (...) {
            t->error = std::current_exception();
            return 0;
        }
        return size;
    }
    if (t->response.body.size() + size > HttpClient::kMaxBodyBytes) { // not streamed: kept less
        t->tooLarge = true;
        return 0;
    }
    t->response.body.append(data, size);
    return size;
}

size_t OnHeader(char* data, size_t, size_t size, void* user) {
    auto* t = static_cast<HttpClient::Transfer*>(user);
    const std::string_view line(data, size);
    if (line.rfind("HTTP/", 0) == 0) { // a new status line: a new response (after a 100)
        t->response = HttpResponse();
        t->received = 0;
        const size_t space = line.find(' ');
        const size_t second = line.find(' ', space + 1);
        t->response.status = std::atol(std::string(line.substr(space + 1, 3)).c_str());
        if (second != std::string_view::npos)
            t->response.reason = Trimmed(line.substr(second + 1));
    } else if (HasPrefixNoCase(line, "etag:")) {
        t->response.etag = Trimmed(line.substr(5));
    } else if (HasPrefixNoCase(line, "location:")) {
        t->response.location = Trimmed(line.substr(9));
    }
    return size;
}

curl_socket_t OnOpenSocket(void* user, curlsocktype, curl_sockaddr* address) {
    auto* t = static_cast<HttpClient::Transfer*>(user);
    if (t->guardPlain && !IsLoopback(&address->addr)) {
        t->plainToRemote = true;
        return CURL_SOCKET_BAD;
    }
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

std::string CurlFailure(CURLcode code, const char* detail, const std::string& url) {
    const std::string said = *detail ? detail : curl_easy_strerror(code);
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return "no se encuentra el servidor de «" + url + "» (" + said + ")";
    case CURLE_COULDNT_CONNECT:
        return "no se puede conectar con «" + url + "» (" + said + ")";
    case CURLE_OPERATION_TIMEDOUT:
        return "el servidor de «" + url + "» no responde: tiempo agotado (" + said + ")";
    case CURLE_PEER_FAILED_VERIFICATION:
        return "el certificado del servidor de «" + url + "» no es de confianza (" + said + ")";
    case CURLE_GOT_NOTHING:
        return "el servidor de «" + url + "» ha cerrado la conexión sin responder (" + said + ")";
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
        return "la conexión con el servidor de «" + url +
               "» se ha cortado a mitad de su respuesta (" + said + ")";
    case CURLE_SEND_ERROR:
        return "la conexión con el servidor de «" + url +
               "» se ha cortado al enviarle la petición (" + said + ")";
    case CURLE_WEIRD_SERVER_REPLY:
        return "el servidor de «" + url + "» no responde en HTTP (" + said + ")";
    case CURLE_SSL_CONNECT_ERROR:
        return "no se ha podido establecer la conexión segura (TLS) con «" + url + "» (" + said +
               ")";
    default:
        return "error de comunicación con «" + url + "» (" + said + ")";
    }
}

std::string Bytes(size_t n) {
    return n % (1 << 20) == 0 ? std::to_string(n >> 20) + " MB" : std::to_string(n) + " bytes";
}

std::string Duration(std::chrono::milliseconds t) {
    const long long s = std::chrono::duration_cast<std::chrono::seconds>(t).count();
    if (s > 0 && s % 60 == 0)
        return std::to_string(s / 60) + (s == 60 ? " minuto" : " minutos");
    return std::to_string(t.count()) + " ms";
}

std::string PastDeadline(std::chrono::milliseconds deadline, const std::string& url) {
    return "el servidor no ha terminado en " + Duration(deadline) + " su respuesta a «" + url +
           "»: la envía sin fin o demasiado despacio, un fallo del servidor, y la "
           "sincronización se detiene";
}

// The transfer's clock starts after ours and may end a tick early: a timeout this close to
// the deadline is the deadline, not a stall.
bool ReachedDeadline(CURLcode code, std::chrono::steady_clock::time_point start,
                     std::chrono::milliseconds deadline) {
    return code == CURLE_OPERATION_TIMEDOUT &&
           std::chrono::steady_clock::now() - start >= deadline * 9 / 10;
}

// What every request shares: the protocols, the time it may take, the trusted authorities.
void SetTransport(CURL* curl, std::chrono::milliseconds deadline) {
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(deadline.count()));
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "VELDRANO torvikalen");
    // As for mail: the system's trust store, or the one SSL_CERT_FILE and SSL_CERT_DIR name.
    if (const char* file = std::getenv("SSL_CERT_FILE"); file && *file)
        curl_easy_setopt(curl, CURLOPT_CAINFO, file);
    if (const char* dir = std::getenv("SSL_CERT_DIR"); dir && *dir)
        curl_easy_setopt(curl, CURLOPT_CAPATH, dir);
}

} // namespace

HttpClient::HttpClient(Credentials credentials, HttpLimits limits)
    : m_credentials(std::move(credentials)), m_limits(limits) {
    EnsureCurl();
    m_curl = curl_easy_init();
    if (!m_curl)
        throw std::bad_alloc();
}

HttpClient::~HttpClient() {
    curl_easy_cleanup(static_cast<CURL*>(m_curl));
}

HttpResponse HttpClient::Send(const HttpRequest& request,
                              const std::function<void(std::string_view)>& onBody) {
    CURL* curl = static_cast<CURL*>(m_curl);
    curl_easy_reset(curl); // keeps the open connection
    Transfer transfer;
    transfer.onBody = &onBody;
    transfer.maxBytes = m_limits.maxAnswerBytes;
    const auto deadline = request.large ? m_limits.deadline : m_limits.smallDeadline;
    const bool https = HasPrefixNoCase(request.url, "https:");
    char detail[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);
    SetTransport(curl, deadline);
    if (!m_credentials.user.empty()) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
        curl_easy_setopt(curl, CURLOPT_USERNAME, m_credentials.user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, m_credentials.password.c_str());
        transfer.guardPlain = !https;
    }
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, OnOpenSocket);
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    if (!request.body.empty() || request.method == "PUT") {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body.size()));
    }
    curl_slist* headers = curl_slist_append(nullptr, "Expect:"); // no 100-continue round trip
    for (const auto& header : request.headers)
        headers = curl_slist_append(headers, header.c_str());
    std::unique_ptr<curl_slist, void (*)(curl_slist*)> headerList(headers, curl_slist_free_all);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);

    const auto start = std::chrono::steady_clock::now();
    const CURLcode code = curl_easy_perform(curl);
    const bool pastDeadline = ReachedDeadline(code, start, deadline);
    if (transfer.error)
        std::rethrow_exception(transfer.error);
    if (transfer.plainToRemote)
        throw SyncError("la contraseña solo se envía cifrada (HTTPS) o a esta misma máquina; "
                        "use una URL https:// para «" +
                        request.url + "»");
    if (transfer.tooLarge)
        throw SyncError(
            "el servidor responde a «" + request.url + "» con más de " +
            Bytes(std::min(transfer.maxBytes, onBody ? transfer.maxBytes : kMaxBodyBytes)) +
            ", más de lo que ocupa una libreta de direcciones: un fallo del "
            "servidor, y la sincronización se detiene");
    if (code != CURLE_OK)
        throw SyncError(pastDeadline ? PastDeadline(deadline, request.url)
                                     : CurlFailure(code, detail, request.url));
    if (transfer.response.status == 401 && m_credentials.user.empty())
        throw SyncError("el servidor de «" + request.url +
                        "» pide un usuario y su contraseña: dé el usuario con --user");
    return std::move(transfer.response);
}

std::string ResolveUrl(const std::string& base, const std::string& reference) {
    UrlHandle u = Parse(base);
    if (curl_url_set(u.handle, CURLUPART_URL, reference.c_str(), 0) != CURLUE_OK)
        throw SyncError("«" + reference + "» no es una URL válida");
    return u.Get(CURLUPART_URL);
}

std::string UrlPath(const std::string& url) {
    return Parse(url).Get(CURLUPART_PATH);
}

std::string UrlOrigin(const std::string& url) {
    const UrlHandle u = Parse(url);
    std::string origin = u.Get(CURLUPART_SCHEME) + "://" + u.Get(CURLUPART_HOST);
    const std::string port = u.Get(CURLUPART_PORT);
    return port.empty() ? origin : origin + ":" + port;
}

} // namespace veldrano

#include "sync/CardDavClient.h"

#include "sync/SyncError.h"

#include <algorithm>

namespace veldrano {

namespace {

constexpr int kMaxRedirects = 5;

constexpr char kPropfindSelf[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<D:propfind xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:carddav\"><D:prop>"
    "<D:resourcetype/><D:displayname/><D:current-user-principal/><C:addressbook-home-set/>"
    "</D:prop></D:propfind>";

constexpr char kPropfindEtags[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                                  "<D:propfind xmlns:D=\"DAV:\"><D:prop>"
                                  "<D:resourcetype/><D:getetag/><D:sync-token/>"
                                  "</D:prop></D:propfind>";

std::string XmlEscaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool IsRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

// The last part of a collection's path, as a name for one without a display name.
std::string LastSegment(const std::string& path) {
    std::string trimmed = path;
    while (!trimmed.empty() && trimmed.back() == '/')
        trimmed.pop_back();
    return trimmed.substr(trimmed.rfind('/') + 1);
}

// The first line of a short plain body, as the server's own words in a message.
std::string ServerWords(const std::string& body) {
    if (body.empty() || body.size() > 1024 || body.find('<') != std::string::npos)
        return {};
    std::string line = body.substr(0, body.find_first_of("\r\n"));
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    return line;
}

void CheckListingSize(const CardListing& listing) {
    if (listing.present.size() + listing.removed.size() >= CardDavClient::kMaxListedCards)
        throw SyncError("el servidor enumera más de " +
                        std::to_string(CardDavClient::kMaxListedCards) +
                        " tarjetas; no se sincroniza una libreta tan grande");
}

} // namespace

void ThrowServerError(const HttpResponse& response, const std::string& url) {
    std::string said = std::to_string(response.status);
    if (!response.reason.empty())
        said += " " + response.reason;
    if (const std::string words = ServerWords(response.body); !words.empty())
        said += ": " + words;
    const long s = response.status;
    std::string what;
    if (s == 401)
        what = "el servidor no acepta el usuario o la contraseña";
    else if (s == 403)
        what = "el servidor no permite el acceso a «" + url + "»";
    else if (s == 404)
        what = "no existe en el servidor «" + url + "»";
    else if (s >= 500)
        what = "el servidor ha fallado al atender «" + url + "»";
    else
        what = "el servidor ha rechazado la petición de «" + url + "»";
    throw SyncError(what + " (el servidor dice: " + said + ")");
}

CardDavClient::DavResult CardDavClient::Dav(const std::string& method, std::string url,
                                            const char* depth, const std::string& body,
                                            const std::function<void(DavResponse&&)>& onResponse) {
    const std::string asked = url;
    // A listing or a multiget may be long; a depth-0 look at one resource is short.
    const bool large = method == "REPORT" || std::string_view(depth) != "0";
    for (int redirects = 0;; ++redirects) {
        MultistatusParser parser(onResponse ? onResponse : [](DavResponse&&) {});
        HttpRequest request{
            method,
            url,
            {"Content-Type: application/xml; charset=utf-8", std::string("Depth: ") + depth},
            body,
            large};
        HttpResponse response =
            m_http.Send(request, [&](std::string_view piece) { parser.Feed(piece); });
        if (IsRedirect(response.status) && !response.location.empty()) {
            if (redirects == kMaxRedirects)
                throw SyncError("el servidor redirige sin fin las peticiones de «" + asked +
                                "» (tras " + std::to_string(kMaxRedirects) +
                                " redirecciones, de nuevo a «" +
                                ResolveUrl(url, response.location) + "»)");
            url = ResolveUrl(url, response.location);
            continue;
        }
        std::string token;
        if (response.status / 100 == 2) {
            if (response.status != 207)
                throw SyncError("el servidor no ha respondido a " + method + " de «" + url +
                                "» con un «multistatus» (respuesta " +
                                std::to_string(response.status) + ")");
            parser.Finish();
            token = parser.syncToken();
        }
        return {std::move(response), std::move(url), std::move(token)};
    }
}

std::optional<DavResponse> CardDavClient::PropfindSelf(const std::string& url,
                                                       std::string* finalUrl) {
    std::optional<DavResponse> self;
    DavResult r = Dav("PROPFIND", url, "0", kPropfindSelf, [&](DavResponse&& response) {
        if (!self)
            self = std::move(response);
    });
    if (r.response.status == 401)
        ThrowServerError(r.response, r.url);
    if (r.response.status != 207)
        return std::nullopt;
    *finalUrl = r.url;
    return self;
}

std::vector<AddressBookInfo> CardDavClient::FindAddressBooks(const std::string& url, bool count) {
    std::string at = url;
    std::optional<DavResponse> self = PropfindSelf(url, &at);
    if (self && self->addressBook) {
        AddressBookInfo book{at, self->displayName, 0};
        if (book.name.empty())
            book.name = LastSegment(UrlPath(at));
        if (count)
            book.cards = CountCards(at);
        return {book};
    }
    // RFC 6764 6: the well-known place, when the URL told nothing of the user.
    if (!self || (self->principal.empty() && self->homeSet.empty())) {
        std::string wellKnown = ResolveUrl(url, "/.well-known/carddav");
        if (auto found = PropfindSelf(wellKnown, &wellKnown)) {
            self = std::move(found);
            at = wellKnown;
        }
    }
    if (!self)
        throw SyncError("«" + url + "» no es un servidor CardDAV ni una libreta de direcciones");
    std::string home = self->homeSet.empty() ? std::string() : ResolveUrl(at, self->homeSet);
    if (home.empty() && !self->principal.empty()) {
        std::string principal = ResolveUrl(at, self->principal);
        if (auto p = PropfindSelf(principal, &principal); p && !p->homeSet.empty())
            home = ResolveUrl(principal, p->homeSet);
    }
    if (home.empty())
        home = at; // perhaps a folder of address books itself
    std::vector<AddressBookInfo> books;
    DavResult r = Dav("PROPFIND", home, "1", kPropfindSelf, [&](DavResponse&& response) {
        if (response.addressBook)
            books.push_back({ResolveUrl(home, response.href), response.displayName, 0});
    });
    if (r.response.status != 207)
        ThrowServerError(r.response, r.url);
    for (auto& book : books) {
        if (book.name.empty())
            book.name = LastSegment(UrlPath(book.url));
        if (count)
            book.cards = CountCards(book.url);
    }
    return books;
}

size_t CardDavClient::CountCards(const std::string& book) {
    return ListCards(book).present.size();
}

std::optional<CardListing> CardDavClient::SyncCollection(const std::string& book,
                                                         const std::string& token) {
    const std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                             "<D:sync-collection xmlns:D=\"DAV:\"><D:sync-token>" +
                             XmlEscaped(token) +
                             "</D:sync-token><D:sync-level>1</D:sync-level>"
                             "<D:prop><D:getetag/></D:prop></D:sync-collection>";
    CardListing listing;
    listing.complete = token.empty();
    DavResult r = Dav("REPORT", book, "0", body, [&](DavResponse&& response) {
        CheckListingSize(listing);
        const std::string path = UrlPath(ResolveUrl(book, response.href));
        if (response.status == 404)
            listing.removed.push_back(path);
        else if (!response.etag.empty() && WithSlash(path) != WithSlash(UrlPath(book)))
            listing.present.emplace_back(path, std::move(response.etag));
    });
    const long s = r.response.status;
    if (s == 401 || (s >= 500 && s != 501))
        ThrowServerError(r.response, r.url);
    if (s != 207) // no such report here, or a token it no longer knows (RFC 6578 3.2)
        return std::nullopt;
    listing.token = std::move(r.token);
    return listing;
}

CardListing CardDavClient::ListCards(const std::string& book) {
    CardListing listing;
    listing.complete = true;
    const std::string self = WithSlash(UrlPath(book));
    DavResult r = Dav("PROPFIND", book, "1", kPropfindEtags, [&](DavResponse&& response) {
        CheckListingSize(listing);
        const std::string path = UrlPath(ResolveUrl(book, response.href));
        if (WithSlash(path) == self)
            listing.token = std::move(response.syncToken);
        else if (!response.collection && !response.etag.empty())
            listing.present.emplace_back(path, std::move(response.etag));
    });
    if (r.response.status != 207)
        ThrowServerError(r.response, r.url);
    return listing;
}

void CardDavClient::Multiget(const std::string& book, const std::vector<std::string>& paths,
                             const std::function<void(DavResponse&&)>& onCard) {
    for (size_t first = 0; first < paths.size(); first += kMultigetBatch) {
        std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                           "<C:addressbook-multiget xmlns:D=\"DAV:\" "
                           "xmlns:C=\"urn:ietf:params:xml:ns:carddav\">"
                           "<D:prop><D:getetag/><C:address-data/></D:prop>";
        const size_t last = std::min(paths.size(), first + kMultigetBatch);
        for (size_t i = first; i < last; ++i)
            body += "<D:href>" + XmlEscaped(paths[i]) + "</D:href>";
        body += "</C:addressbook-multiget>";
        DavResult r = Dav("REPORT", book, "1", body, [&](DavResponse&& response) {
            response.href = UrlPath(ResolveUrl(book, response.href));
            onCard(std::move(response));
        });
        if (r.response.status != 207)
            ThrowServerError(r.response, r.url);
    }
}

HttpResponse CardDavClient::Put(const std::string& book, const std::string& path,
                                const std::string& card, const std::string& etag) {
    const std::string url = ResolveUrl(book, path);
    HttpRequest request{"PUT",
                        url,
                        {"Content-Type: text/vcard; charset=utf-8",
                         etag.empty() ? std::string("If-None-Match: *") : "If-Match: " + etag},
                        card,
                        false};
    HttpResponse response = m_http.Send(request);
    if (response.status / 100 != 2 && response.status != 404 && response.status != 412)
        ThrowServerError(response, url);
    return response;
}

HttpResponse CardDavClient::Delete(const std::string& book, const std::string& path,
                                   const std::string& etag) {
    const std::string url = ResolveUrl(book, path);
    HttpResponse response = m_http.Send({"DELETE", url, {"If-Match: " + etag}, {}, false});
    if (response.status / 100 != 2 && response.status != 404 && response.status != 412)
        ThrowServerError(response, url);
    return response;
}

} // namespace veldrano

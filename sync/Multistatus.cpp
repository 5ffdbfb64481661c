#include "sync/Multistatus.h"

#include "sync/SyncError.h"

#include <cstring>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <vector>

namespace veldrano {

namespace {

constexpr char kDav[] = "DAV:";
constexpr char kCardDav[] = "urn:ietf:params:xml:ns:carddav";

enum class Element {
    Other,
    Multistatus,
    Response,
    Href,
    Status,
    Propstat,
    Prop,
    Etag,
    AddressData,
    DisplayName,
    SyncToken,
    ResourceType,
    Collection,
    AddressBook,
    Principal,
    HomeSet,
};

Element Classify(const xmlChar* name, const xmlChar* uri) {
    const char* n = reinterpret_cast<const char*>(name);
    const char* u = uri ? reinterpret_cast<const char*>(uri) : "";
    if (std::strcmp(u, kDav) == 0) {
        static constexpr std::pair<const char*, Element> kDavElements[] = {
            {"multistatus", Element::Multistatus},
            {"response", Element::Response},
            {"href", Element::Href},
            {"status", Element::Status},
            {"propstat", Element::Propstat},
            {"prop", Element::Prop},
            {"getetag", Element::Etag},
            {"displayname", Element::DisplayName},
            {"sync-token", Element::SyncToken},
            {"resourcetype", Element::ResourceType},
            {"collection", Element::Collection},
            {"current-user-principal", Element::Principal},
        };
        for (const auto& [local, element] : kDavElements)
            if (std::strcmp(n, local) == 0)
                return element;
    } else if (std::strcmp(u, kCardDav) == 0) {
        if (std::strcmp(n, "address-data") == 0)
            return Element::AddressData;
        if (std::strcmp(n, "addressbook") == 0)
            return Element::AddressBook;
        if (std::strcmp(n, "addressbook-home-set") == 0)
            return Element::HomeSet;
    }
    return Element::Other;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::strchr(" \t\r\n", text.front()))
        text.remove_prefix(1);
    while (!text.empty() && std::strchr(" \t\r\n", text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

int StatusCodeOf(std::string_view line) {
    const size_t space = line.find(' ');
    if (space == std::string_view::npos || space + 4 > line.size())
        return 0;
    int code = 0;
    for (size_t i = space + 1; i < space + 4; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return 0;
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

struct MultistatusParser::State {
    OnResponse onResponse;
    xmlParserCtxtPtr context = nullptr;
    std::vector<Element> path;
    std::string text; // of the element being read, when it is one worth reading
    bool tooLarge = false;
    DavResponse response, found; // `found`: the props of the propstat being read
    int propstatStatus = 0;
    std::string syncToken;
    bool multistatus = false;
    std::string error;
    std::exception_ptr thrown; // by the handler of a response: rethrown once libxml2 returns

    bool Under(Element e) const {
        for (Element p : path)
            if (p == e)
                return true;
        return false;
    }

    size_t Limit() const {
        return !path.empty() && path.back() == Element::AddressData ? kMaxCardBytes : kMaxTextBytes;
    }

    void Start(Element e) {
        path.push_back(e);
        text.clear();
        tooLarge = false;
        if (e == Element::Multistatus)
            multistatus = true;
        else if (e == Element::Response)
            response = DavResponse();
        else if (e == Element::Propstat) {
            found = DavResponse();
            propstatStatus = 0;
        } else if (e == Element::Collection && Under(Element::ResourceType))
            found.collection = true;
        else if (e == Element::AddressBook && Under(Element::ResourceType))
            found.addressBook = true;
    }

    void End() {
        const Element e = path.back();
        path.pop_back();
        const bool inPropstat = Under(Element::Propstat);
        const std::string_view value = Trim(text);
        switch (e) {
        case Element::Href:
            if (!path.empty() && path.back() == Element::Response && response.href.empty())
                response.href = value;
            else if (!path.empty() && path.back() == Element::Principal && inPropstat)
                found.principal = value;
            else if (!path.empty() && path.back() == Element::HomeSet && inPropstat &&
                     found.homeSet.empty())
                found.homeSet = value;
            break;
        case Element::Status:
            if (!path.empty() && path.back() == Element::Propstat)
                propstatStatus = StatusCodeOf(value);
            else if (!path.empty() && path.back() == Element::Response)
                response.status = StatusCodeOf(value);
            break;
        case Element::Etag:
            found.etag = value;
            break;
        case Element::AddressData:
            found.addressData = std::move(text); // the card as it is, line ends and all
            found.addressDataTooLarge = tooLarge;
            break;
        case Element::DisplayName:
            found.displayName = value;
            break;
        case Element::SyncToken:
            if (inPropstat)
                found.syncToken = value;
            else if (!path.empty() && path.back() == Element::Multistatus)
                syncToken = value;
            break;
        case Element::Propstat:
            if (propstatStatus == 200)
                Take();
            break;
        case Element::Response:
            // An exception must not unwind through the C parser: it stops, and Feed rethrows.
            try {
                onResponse(std::move(response));
            } catch (...) {
                thrown = std::current_exception();
                xmlStopParser(context);
            }
            response = DavResponse();
            break;
        default:
            break;
        }
        text.clear();
    }

    void Take() {
        auto take = [](std::string& to, std::string& from) {
            if (!from.empty())
                to = std::move(from);
        };
        take(response.etag, found.etag);
        take(response.addressData, found.addressData);
        take(response.displayName, found.displayName);
        take(response.syncToken, found.syncToken);
        take(response.principal, found.principal);
        take(response.homeSet, found.homeSet);
        response.addressDataTooLarge = response.addressDataTooLarge || found.addressDataTooLarge;
        response.collection = response.collection || found.collection;
        response.addressBook = response.addressBook || found.addressBook;
    }

    void Characters(const char* data, size_t size) {
        if (path.empty() || path.back() == Element::Other || tooLarge)
            return;
        if (text.size() + size > Limit()) {
            tooLarge = true;
            text.clear();
            text.shrink_to_fit();
            return;
        }
        text.append(data, size);
    }
};

namespace {

using State = MultistatusParser::State;

void OnStart(void* ctx, const xmlChar* name, const xmlChar*, const xmlChar* uri, int,
             const xmlChar**, int, int, const xmlChar**) {
    static_cast<State*>(ctx)->Start(Classify(name, uri));
}

void OnEnd(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    static_cast<State*>(ctx)->End();
}

void OnCharacters(void* ctx, const xmlChar* data, int size) {
    static_cast<State*>(ctx)->Characters(reinterpret_cast<const char*>(data),
                                         static_cast<size_t>(size));
}

void OnError(void* ctx, xmlError* error) {
    auto* state = static_cast<State*>(ctx);
    if (state->error.empty() && error && error->message)
        state->error = Trim(error->message);
}

} // namespace

MultistatusParser::MultistatusParser(OnResponse onResponse) : m_state(std::make_unique<State>()) {
    m_state->onResponse = std::move(onResponse);
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = OnStart;
    sax.endElementNs = OnEnd;
    sax.characters = OnCharacters;
    sax.cdataBlock = OnCharacters;
    sax.serror = OnError;
    m_state->context = xmlCreatePushParserCtxt(&sax, m_state.get(), nullptr, 0, nullptr);
    if (!m_state->context)
        throw std::bad_alloc();
    // Never fetch anything the document names, and never expand entities into text.
    xmlCtxtUseOptions(m_state->context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
}

MultistatusParser::~MultistatusParser() {
    if (m_state->context) {
        xmlFreeDoc(m_state->context->myDoc);
        xmlFreeParserCtxt(m_state->context);
    }
}

void MultistatusParser::Feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<size_t>(bytes.size(), 1 << 20));
        Check(xmlParseChunk(m_state->context, bytes.data(), chunk, 0), "error de sintaxis");
        bytes.remove_prefix(static_cast<size_t>(chunk));
    }
}

void MultistatusParser::Finish() {
    Check(xmlParseChunk(m_state->context, nullptr, 0, 1), "documento incompleto");
    if (!m_state->multistatus)
        throw SyncError("la respuesta del servidor no es un «multistatus» de WebDAV");
}

void MultistatusParser::Check(int result, const char* fault) {
    if (m_state->thrown)
        std::rethrow_exception(m_state->thrown);
    if (result == 0 && m_state->error.empty())
        return;
    // Named by the card whose response broke it, when its href was read.
    const std::string& href = m_state->response.href;
    throw SyncError("la respuesta del servidor no es XML válido" +
                    (href.empty() ? std::string() : "; se rompe en la tarjeta «" + href + "»") +
                    " (" + (m_state->error.empty() ? std::string(fault) : m_state->error) + ")");
}

const std::string& MultistatusParser::syncToken() const {
    return m_state->syncToken;
}

} // namespace veldrano

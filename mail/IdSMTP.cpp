#include "mail/IdSMTP.h"
#include "mail/IdTexts.h"
#include "mail/IdGlobal.h"

#include "mail/IdCoderMIME.h"
#include "text/Charset.h"
#include "text/CodePage.h"

#include <algorithm>
#include <strings.h>

namespace {

bool SameTextIn(const std::vector<std::string>& list, const std::string& word) {
    for (const std::string& item : list)
        if (strcasecmp(item.c_str(), word.c_str()) == 0)
            return true;
    return false;
}

} // namespace

TIdSMTP::TIdSMTP() {
    SetPort(DefaultPort);
}

void TIdSMTP::Assign(const TIdComponent& source) {
    const auto* other = dynamic_cast<const TIdSMTP*>(&source);
    if (!other)
        throw EIdException(IdTexts::CannotAssign);
    SetAuthenticationType(other->AuthenticationType());
    SetHost(other->Host());
    SetMailAgent(other->MailAgent());
    SetPassword(other->Password());
    SetCodePage(other->CodePage());
    SetPort(other->Port());
    SetUsername(other->Username());
}

void TIdSMTP::SetAuthenticationType(TAuthenticationType type) {
    m_authenticationType = type;
    if (type == atLogin)
        m_useEhlo = true;
}

void TIdSMTP::SetUseEhlo(bool useEhlo) {
    m_useEhlo = useEhlo;
    if (!useEhlo)
        m_authenticationType = atNone;
}

// --- Session --------------------------------------------------------------------------------

std::string TIdSMTP::GreetingName() {
    if (!m_heloName.empty())
        return m_heloName;
    const std::string local = Stack().LocalHostName();
    // A system without a host name still needs a name for the greeting.
    return local.empty() ? "localhost" : local;
}

TIdIOHandlerTls* TIdSMTP::TlsHandler() const {
    return dynamic_cast<TIdIOHandlerTls*>(IOHandler());
}

bool TIdSMTP::TlsActive() const {
    const TIdIOHandlerTls* tls = TlsHandler();
    return tls && tls->TlsActive();
}

void TIdSMTP::UseServer(const TIdSmtpServer& server) {
    SetHost(server.Host);
    SetPort(server.Port);
    SetSecurity(server.Security);
    SetUsername(server.Username);
    SetPassword(server.Password);
    SetCodePage(server.CodePage);
    SetAuthenticationType(server.Username.empty() ? atNone : atPlainOrLogin);
    SetConnectTimeout(ConnectTimeoutMs);
    SetReadTimeout(ReplyTimeoutMs);
}

void TIdSMTP::ConnectToHost(int timeout) {
    if (!IOHandler()) {
        // TLS is a layer of this transport that stays off until a session asks for it.
        auto* handler = new TIdIOHandlerTls();
        handler->OnStatus = OnStatus;
        // Commands wait for their replies, so Nagle's algorithm only adds delay: the "." after
        // the message data would wait for the peer's delayed acknowledgement of the data.
        handler->SetUseNagle(false);
        SetIOHandler(handler, true);
    }
    if (TIdIOHandlerTls* tls = TlsHandler()) {
        tls->SetImplicitTls(m_security == seImplicitTls);
        tls->SetRecordTimeout(ReadTimeout());
    } else if (m_security != seNone) {
        throw EIdTlsError(IdTexts::TlsNotPossible);
    }
    TIdMessageClient::ConnectToHost(timeout == -1 ? m_connectTimeout : timeout);
    try {
        ReadReply({220});
        const bool extended = Greet();
        if (m_security == seStartTlsWhenOffered || m_security == seStartTlsRequired) {
            if (extended && EhloOffers("STARTTLS"))
                StartTls();
            else if (m_security == seStartTlsRequired)
                throw EIdTlsNotOffered();
        }
        if (m_authenticationType == atPlainOrLogin && ServerOffersLogin(m_authenticationType))
            PerformLogin();
    } catch (...) {
        // The caller needs the first error, not one from saying goodbye.
        try {
            CloseConnection();
        } catch (...) {
        }
        CheckInterrupted(); // an interrupted handshake fails like a broken one
        throw;
    }
}

bool TIdSMTP::Greet() {
    m_offeredMechanisms.clear();
    m_extensions.clear();
    const std::string name = GreetingName();
    if (m_useEhlo && SendCommand("EHLO " + name, TIdReplyCodes{}) == 250) {
        CollectMechanisms();
        const auto& lines = LastReply().Text();
        for (std::size_t i = 1; i < lines.size(); ++i) // the first line names the server
            m_extensions.push_back(UpperAscii(lines[i].substr(0, lines[i].find(' '))));
        return true;
    }
    SendCommand("HELO " + name, TIdReplyCodes{250});
    return false;
}

bool TIdSMTP::EhloOffers(const std::string& keyword) const {
    return std::find(m_extensions.begin(), m_extensions.end(), keyword) != m_extensions.end();
}

void TIdSMTP::StartTls() {
    SendCommand("STARTTLS", std::int16_t{220});
    TlsHandler()->StartTls(Host());
    // RFC 3207 4.2: what the server said before TLS is forgotten; it says it again.
    Greet();
}

void TIdSMTP::CollectMechanisms() {
    for (const std::string& text : LastReply().Text()) {
        const std::string line = UpperAscii(text);
        if (line.compare(0, 5, "AUTH ") != 0 && line.compare(0, 5, "AUTH=") != 0)
            continue;
        std::string rest = line.substr(4);
        for (char& c : rest)
            if (c == '=')
                c = ' ';
        std::size_t pos = 0;
        while (pos < rest.size()) {
            const std::size_t start = rest.find_first_not_of(' ', pos);
            if (start == std::string::npos)
                break;
            const std::size_t end = std::min(rest.find(' ', start), rest.size());
            const std::string word = rest.substr(start, end - start);
            if (!SameTextIn(m_offeredMechanisms, word))
                m_offeredMechanisms.push_back(word);
            pos = end;
        }
    }
}

void TIdSMTP::CloseConnection() {
    struct Closer {
        TIdSMTP& smtp;
        ~Closer() {
            smtp.TIdMessageClient::CloseConnection();
            smtp.m_loggedIn = false;
        }
    } closer{*this};
    if (IsConnected())
        WriteLine("QUIT");
}

bool TIdSMTP::ServerOffersLogin(TAuthenticationType type) const {
    if (type == atPlainOrLogin)
        return SameTextIn(m_offeredMechanisms, "PLAIN") || SameTextIn(m_offeredMechanisms, "LOGIN");
    return type == atLogin && SameTextIn(m_offeredMechanisms, "LOGIN");
}

bool TIdSMTP::PerformLogin() {
    bool exchanged = false;
    if (m_authenticationType != atNone) {
        // Where the bytes really go, whatever name led there.
        auto* socket = dynamic_cast<TIdIOHandlerSocket*>(IOHandler());
        const bool loopback = socket && socket->SocketHandle() &&
                              IsLoopbackAddress(socket->SocketHandle()->RemoteIP());
        if (!TlsActive() && !loopback)
            throw EIdLoginNeedsTls();
        // RFC 4616 makes PLAIN's user name and password UTF-8; servers read LOGIN alike.
        std::string username, password;
        try {
            veldrano::Charset charset = veldrano::Charset::ForCodePage(m_codePage);
            username = charset.ToUtf8(m_username);
            password = charset.ToUtf8(m_password);
        } catch (const veldrano::CharsetError&) {
            throw EIdLoginNotText();
        }
        try {
            if (m_authenticationType == atPlainOrLogin &&
                SameTextIn(m_offeredMechanisms, "PLAIN")) {
                // RFC 4616: no authorization identity, then the user and the password.
                SendCommand("AUTH PLAIN " + TIdEncoderMIME::EncodeToText(
                                                std::string(1, '\0') + username + '\0' + password),
                            std::int16_t{235});
            } else {
                SendCommand("AUTH LOGIN", std::int16_t{334});
                SendCommand(TIdEncoderMIME::EncodeToText(username), std::int16_t{334});
                SendCommand(TIdEncoderMIME::EncodeToText(password), std::int16_t{235});
            }
        } catch (const EIdProtocolReplyError& e) {
            throw EIdLoginRefused(e.ReplyErrorCode(), e.what());
        }
        exchanged = true;
    }
    m_loggedIn = true;
    return exchanged;
}

void TIdSMTP::SendMail(TIdMessage& message) {
    SendCommand("RSET", TIdReplyCodes{});
    if (m_authenticationType != atNone && ServerOffersLogin(m_authenticationType) && !m_loggedIn)
        PerformLogin();
    SendCommand("MAIL FROM:<" + message.From().Address + ">", std::int16_t{250});
    for (const TIdEMailAddressList* list :
         {&message.Recipients(), &message.CCList(), &message.BccList()})
        for (int i = 0; i < list->Count(); ++i)
            SendCommand("RCPT TO:<" + (*list)[i].Address + ">", TIdReplyCodes{250, 251});
    SendCommand("DATA", std::int16_t{354});
    message.ExtraHeaders().PutHeader("X-Mailer", m_mailAgent);
    TransmitMessage(message);
    const int readTimeout = ReadTimeout();
    struct Restore {
        TIdSMTP& smtp;
        int timeout;
        ~Restore() { smtp.SetReadTimeout(timeout); }
    } restore{*this, readTimeout};
    if (readTimeout != 0 && readTimeout < DataEndTimeoutMs)
        SetReadTimeout(DataEndTimeoutMs);
    SendCommand(".", std::int16_t{250});
}

void TIdSMTP::ExpandList(const std::string& name) {
    SendCommand("EXPN " + name, TIdReplyCodes{250, 251});
}

std::string TIdSMTP::VerifyUser(const std::string& name) {
    SendCommand("VRFY " + name, TIdReplyCodes{250, 251});
    const auto& text = LastReply().Text();
    return text.empty() ? std::string() : text.front();
}

void TIdSMTP::SendOneMessage(const std::string& host, const std::string& subject,
                             const std::string& to, const std::string& from,
                             const std::string& text, int port,
                             const veldrano::SystemLocale& locale) {
    TIdSMTP smtp;
    smtp.SetHost(host);
    smtp.SetPort(port);
    SendOneMessage(smtp, subject, to, from, text, locale);
}

void TIdSMTP::SendOneMessage(TIdSMTP& smtp, const std::string& subject, const std::string& to,
                             const std::string& from, const std::string& text,
                             const veldrano::SystemLocale& locale) {
    TIdMessage message;
    message.SetLocale(locale);
    message.SetSubject(subject);
    ParseAddressList(message.Recipients(), to);
    message.From().SetText(from);
    message.BorrowBodyText(text); // text outlives the message

    smtp.ConnectToHost(-1);
    try {
        smtp.SendMail(message);
    } catch (...) {
        try {
            smtp.CloseConnection();
        } catch (...) {
            // The first error is the one the user needs to see.
        }
        smtp.CheckInterrupted();
        throw;
    }
    try {
        smtp.CloseConnection();
    } catch (const EIdException&) {
        // The server took the message with its 250 to "."; a lost QUIT must not make the
        // user send it again.
    }
}

// --- The server field -----------------------------------------------------------------------

TIdSmtpServer ParseServerText(const std::string& text, int plainPort, int implicitTlsPort) {
    const std::string trimmed = IdTrimControls(text);
    auto invalid = [&](const char* why) {
        return EIdServerTextError(
            IdTexts::ServerTextBefore +
            veldrano::CodePageTextToUtf8(trimmed, veldrano::CurrentLocale().codePage) +
            IdTexts::ServerTextAfter + why + ".");
    };
    TIdSmtpServer server;
    std::string portText;
    if (trimmed.starts_with("[")) {
        const auto close = trimmed.find(']');
        if (close == std::string::npos)
            throw invalid(IdTexts::ServerNoClosingBracket);
        server.Host = trimmed.substr(1, close - 1);
        const std::string rest = trimmed.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(":"))
            throw invalid(IdTexts::ServerAfterBracket);
        portText = rest.empty() ? "" : rest.substr(1);
        if (rest == ":")
            throw invalid(IdTexts::ServerNoPort);
    } else if (const auto colon = trimmed.find(':');
               colon != std::string::npos && trimmed.find(':', colon + 1) == std::string::npos) {
        server.Host = trimmed.substr(0, colon);
        portText = trimmed.substr(colon + 1);
        if (portText.empty())
            throw invalid(IdTexts::ServerNoPort);
    } else {
        server.Host = trimmed; // a bare IPv6 address has more than one colon and no port
    }
    if (server.Host.empty())
        throw invalid(IdTexts::ServerNoHost);
    server.Port = plainPort;
    if (!portText.empty()) {
        if (portText.size() > 5 || portText.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(portText) < 1 || std::stoi(portText) > 65535)
            throw invalid(IdTexts::ServerBadPort);
        server.Port = std::stoi(portText);
    }
    server.Security = server.Port == plainPort         ? seStartTlsWhenOffered
                      : server.Port == implicitTlsPort ? seImplicitTls
                                                       : seStartTlsRequired;
    return server;
}

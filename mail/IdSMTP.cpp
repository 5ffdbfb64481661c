#include "mail/IdSMTP.h"
#include "mail/IdGlobal.h"

#include "mail/IdCoderMIME.h"

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
        throw EIdException("Cannot assign this component to a TIdSMTP.");
    SetAuthenticationType(other->AuthenticationType());
    SetHost(other->Host());
    SetMailAgent(other->MailAgent());
    SetPassword(other->Password());
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

void TIdSMTP::ConnectToHost(int timeout) {
    if (!IOHandler()) {
        // Commands wait for their replies, so Nagle's algorithm only adds delay: the "." after
        // the message data would wait for the peer's delayed acknowledgement of the data.
        auto* handler = new TIdIOHandlerSocket();
        handler->OnStatus = OnStatus;
        handler->SetUseNagle(false);
        SetIOHandler(handler, true);
    }
    TIdMessageClient::ConnectToHost(timeout);
    try {
        ReadReply({220});
        m_offeredMechanisms.clear();
        const std::string name = GreetingName();
        if (m_useEhlo && SendCommand("EHLO " + name, TIdReplyCodes{}) == 250) {
            CollectMechanisms();
            return;
        }
        SendCommand("HELO " + name, TIdReplyCodes{250});
    } catch (...) {
        // The caller needs the first error, not one from saying goodbye.
        try {
            CloseConnection();
        } catch (...) {
        }
        throw;
    }
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
    return type == atLogin && SameTextIn(m_offeredMechanisms, "LOGIN");
}

bool TIdSMTP::PerformLogin() {
    bool exchanged = false;
    if (m_authenticationType == atLogin) {
        SendCommand("AUTH LOGIN", std::int16_t{334});
        SendCommand(TIdEncoderMIME::EncodeToText(m_username), std::int16_t{334});
        SendCommand(TIdEncoderMIME::EncodeToText(m_password), std::int16_t{235});
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
    // Declared in this order so the message goes first, then the client and its socket,
    // on every way out.
    TIdSMTP smtp;
    TIdMessage message;
    message.SetLocale(locale);
    message.SetSubject(subject);
    ParseAddressList(message.Recipients(), to);
    message.From().SetText(from);
    message.Body() = SplitTextLines(text);
    smtp.SetHost(host);
    smtp.SetPort(port);

    smtp.ConnectToHost(-1);
    try {
        smtp.SendMail(message);
    } catch (...) {
        try {
            smtp.CloseConnection();
        } catch (...) {
            // The first error is the one the user needs to see.
        }
        throw;
    }
    try {
        smtp.CloseConnection();
    } catch (const EIdException&) {
        // The server took the message with its 250 to "."; a lost QUIT must not make the
        // user send it again.
    }
}

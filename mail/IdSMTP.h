#pragma once
#include "mail/IdIOHandlerTls.h"
#include "mail/IdTexts.h"
#include "mail/IdMessageClient.h"

#include <string>
#include <vector>

// atPlainOrLogin: AUTH PLAIN when offered, otherwise AUTH LOGIN, as part of opening the
// session (so a refused login shows at once).
enum TAuthenticationType { atNone, atLogin, atPlainOrLogin };

// How a session protects itself with TLS.
enum TIdSecurity {
    seNone,                // plain SMTP throughout
    seStartTlsWhenOffered, // STARTTLS (RFC 3207) when the EHLO reply offers it
    seStartTlsRequired,    // STARTTLS, or the session ends before anything but EHLO is sent
    seImplicitTls          // TLS from the first byte (RFC 8314)
};

// The server offers no STARTTLS where it is required: nothing was sent but EHLO.
class EIdTlsNotOffered : public EIdTlsError {
  public:
    EIdTlsNotOffered() : EIdTlsError(IdTexts::StartTlsNotOffered) {}
};

// A login would send the password over a connection without TLS to another machine.
class EIdLoginNeedsTls : public EIdTlsError {
  public:
    EIdLoginNeedsTls() : EIdTlsError(IdTexts::LoginNeedsTls) {}
};

// The server refused the user name or password; the message ends with the server's text.
class EIdLoginRefused : public EIdProtocolReplyError {
  public:
    EIdLoginRefused(int code, const std::string& serverText)
        : EIdProtocolReplyError(code, IdTexts::LoginRefused + serverText, TIdFailure::Login) {}
};

// The user name or password holds bytes that are no character of the code page.
class EIdLoginNotText : public EIdException {
  public:
    EIdLoginNotText() : EIdException(IdTexts::LoginNotText, TIdFailure::Login) {}
};

// The server field cannot be read as host, host:port or [IPv6]:port.
class EIdServerTextError : public EIdException {
  public:
    explicit EIdServerTextError(const std::string& message)
        : EIdException(message, TIdFailure::ServerText) {}
};

// Where a submission session goes and how, as the send-mail dialog's fields say.
struct TIdSmtpServer {
    std::string Host;
    int Port = 25;
    TIdSecurity Security = seStartTlsWhenOffered;
    std::string Username; // empty: no login
    std::string Password;
    int CodePage = 1252; // of Username and Password
};

// Reads "host", "host:port" or "[IPv6]:port". No port, or plainPort, is the plain SMTP port:
// STARTTLS when offered. implicitTlsPort means TLS from the first byte; any other port
// requires STARTTLS. Throws EIdServerTextError for an empty host or a port that is not a
// number from 1 to 65535.
TIdSmtpServer ParseServerText(const std::string& text, int plainPort = 25,
                              int implicitTlsPort = 465);

// The SMTP client: opens a session (greeting, EHLO or HELO, optional AUTH LOGIN), sends
// messages over it and closes it with QUIT.
class TIdSMTP : public TIdMessageClient {
  public:
    // RFC 5321: the well-known SMTP port.
    static constexpr int DefaultPort = 25;
    // An interactive client gives up on a connect after this long; the user may cancel sooner.
    static constexpr int ConnectTimeoutMs = 60 * 1000;
    // RFC 5321 4.5.3.2: the shortest wait for the greeting and the replies to MAIL and RCPT.
    static constexpr int ReplyTimeoutMs = 5 * 60 * 1000;
    // RFC 5321 4.5.3.2.6: the server may take ten minutes over the final ".".
    static constexpr int DataEndTimeoutMs = 10 * 60 * 1000;

    TIdSMTP();
    ~TIdSMTP() override = default;

    // Copies AuthenticationType (through its setter), Host, MailAgent, Password (with its
    // CodePage), Port and Username from another client. Throws EIdException when source is not a
    // TIdSMTP.
    virtual void Assign(const TIdComponent& source);

    TAuthenticationType AuthenticationType() const { return m_authenticationType; }
    // atLogin also turns UseEhlo on: AUTH is offered only in an EHLO reply.
    void SetAuthenticationType(TAuthenticationType type);
    bool UseEhlo() const { return m_useEhlo; }
    // false also sets atNone.
    void SetUseEhlo(bool useEhlo);
    const std::string& HeloName() const { return m_heloName; }
    void SetHeloName(const std::string& name) { m_heloName = name; }
    const std::string& MailAgent() const { return m_mailAgent; }
    void SetMailAgent(const std::string& agent) { m_mailAgent = agent; }
    const std::string& Username() const { return m_username; }
    void SetUsername(const std::string& username) { m_username = username; }
    const std::string& Password() const { return m_password; }
    void SetPassword(const std::string& password) { m_password = password; }
    // The code page Username and Password are held in; the login sends them as UTF-8.
    int CodePage() const { return m_codePage; }
    void SetCodePage(int codePage) { m_codePage = codePage; }
    const std::vector<std::string>& OfferedMechanisms() const { return m_offeredMechanisms; }
    bool LoggedIn() const { return m_loggedIn; }
    TIdSecurity Security() const { return m_security; }
    void SetSecurity(TIdSecurity security) { m_security = security; }
    // The time limit of a connect made with the default time-out (-1 = the system's own).
    int ConnectTimeout() const { return m_connectTimeout; }
    void SetConnectTimeout(int ms) { m_connectTimeout = ms; }
    // True once TLS protects the session.
    bool TlsActive() const;

    // Takes host, port, security, login and its code page from server (atPlainOrLogin with a user
    // name, atNone without), and the time limits of an interactive client.
    void UseServer(const TIdSmtpServer& server);

    // Connects (with TLS at once for seImplicitTls), reads the 220 greeting and greets with
    // EHLO (HELO when refused or when UseEhlo is off); then STARTTLS and EHLO again as
    // Security says, and for atPlainOrLogin the login. On any failure after the TCP connect
    // the session is closed (QUIT) and the first error is thrown: EIdProtocolReplyError with
    // the server's text, EIdTlsError, EIdTlsNotOffered, EIdLoginNeedsTls, EIdLoginRefused,
    // or the connection's errors.
    void ConnectToHost(int timeout = -1) override;
    // Sends QUIT when connected (its reply is not read), closes the connection and resets
    // LoggedIn, also when writing QUIT throws (the error then continues).
    void CloseConnection() override;

    // For atLogin: whether the EHLO reply offered LOGIN; for atPlainOrLogin, PLAIN or LOGIN.
    virtual bool ServerOffersLogin(TAuthenticationType type) const;
    // The AUTH exchange: LOGIN (334, 334, 235), or for atPlainOrLogin PLAIN with the
    // credentials at once (235) when offered, user name and password in UTF-8; true when it
    // took place. Sets LoggedIn. Throws, before anything is sent, EIdLoginNeedsTls when the
    // session has no TLS and the server is not on this machine, and EIdLoginNotText when the
    // user name or password is not text of CodePage; EIdLoginRefused when the server refuses.
    virtual bool PerformLogin();
    // RSET, login once per session, MAIL FROM, RCPT TO for To, Cc and Bcc, DATA, the
    // message and ".". Throws EIdProtocolReplyError at the first refused step,
    // EIdUnsafeLine for an envelope address holding CR or LF (nothing of it is sent).
    virtual void SendMail(TIdMessage& message);
    // EXPN name; 250 or 251.
    virtual void ExpandList(const std::string& name);
    // VRFY name; 250 or 251; the first line of the reply.
    virtual std::string VerifyUser(const std::string& name);

    // One message in a session of its own, to host:port, its texts in the code page of
    // locale. The sender and recipient texts are parsed first (EIdEmailParseError before
    // any connection); the body is split at every line end. Both objects and the socket are
    // freed on every path; a failure reaches the caller after the session was closed with
    // QUIT.
    static void SendOneMessage(const std::string& host, const std::string& subject,
                               const std::string& to, const std::string& from,
                               const std::string& text, int port = DefaultPort,
                               const veldrano::SystemLocale& locale = {});
    // The same through smtp, a client not yet connected whose server, login and time limits
    // the caller has set (and which another thread may Interrupt).
    static void SendOneMessage(TIdSMTP& smtp, const std::string& subject, const std::string& to,
                               const std::string& from, const std::string& text,
                               const veldrano::SystemLocale& locale);

  protected:
    // Fills OfferedMechanisms from the "AUTH" lines of the EHLO reply in LastReply.
    void CollectMechanisms();

  private:
    std::string GreetingName();
    // EHLO (or HELO); true when the EHLO reply was 250.
    bool Greet();
    bool EhloOffers(const std::string& keyword) const;
    void StartTls();
    TIdIOHandlerTls* TlsHandler() const;

    TAuthenticationType m_authenticationType = atNone;
    bool m_useEhlo = true;
    std::string m_heloName;
    std::string m_mailAgent;
    std::string m_username;
    std::string m_password;
    int m_codePage = 1252;
    std::vector<std::string> m_offeredMechanisms;
    std::vector<std::string> m_extensions; // first words of the EHLO reply lines, upper case
    bool m_loggedIn = false;
    TIdSecurity m_security = seNone;
    int m_connectTimeout = -1;
};

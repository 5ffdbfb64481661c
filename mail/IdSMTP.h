#pragma once
#include "mail/IdMessageClient.h"

#include <string>
#include <vector>

enum TAuthenticationType { atNone, atLogin };

// The SMTP client: opens a session (greeting, EHLO or HELO, optional AUTH LOGIN), sends
// messages over it and closes it with QUIT.
class TIdSMTP : public TIdMessageClient {
  public:
    // RFC 5321: the well-known SMTP port.
    static constexpr int DefaultPort = 25;

    TIdSMTP();
    ~TIdSMTP() override = default;

    // Copies AuthenticationType (through its setter), Host, MailAgent, Password, Port and
    // Username from another client. Throws EIdException when source is not a TIdSMTP.
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
    const std::vector<std::string>& OfferedMechanisms() const { return m_offeredMechanisms; }
    bool LoggedIn() const { return m_loggedIn; }

    // Connects, reads the 220 greeting and greets with EHLO (HELO when refused or when
    // UseEhlo is off). On any failure after the TCP connect the session is closed (QUIT)
    // and the first error is thrown: EIdProtocolReplyError with the server's text, or the
    // connection's errors.
    void ConnectToHost(int timeout = -1) override;
    // Sends QUIT when connected (its reply is not read), closes the connection and resets
    // LoggedIn, also when writing QUIT throws (the error then continues).
    void CloseConnection() override;

    // For atLogin: whether the EHLO reply offered LOGIN.
    virtual bool ServerOffersLogin(TAuthenticationType type) const;
    // The AUTH LOGIN exchange (334, 334, 235); true when it took place. Sets LoggedIn.
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

  protected:
    // Fills OfferedMechanisms from the "AUTH" lines of the EHLO reply in LastReply.
    void CollectMechanisms();

  private:
    std::string GreetingName();

    TAuthenticationType m_authenticationType = atNone;
    bool m_useEhlo = true;
    std::string m_heloName;
    std::string m_mailAgent;
    std::string m_username;
    std::string m_password;
    std::vector<std::string> m_offeredMechanisms;
    bool m_loggedIn = false;
};

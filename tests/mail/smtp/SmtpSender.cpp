// Sends one message to 127.0.0.1:<port> for the end-to-end check, as the program would.
//
//   mail_smtp_sender <port> <mode> <subject> <to> <from> <body file> [user password]
//
// modes: "send" (SendOneMessage under a Spanish locale), "japanese" (the same under a
// Japanese locale), "login" (a session with AUTH LOGIN as user/password).
// The submission modes take the send-mail dialog's server text instead of the port and
// send as its "Enviar" does, with user and password when given: "submit" (the port counts
// as 25: STARTTLS when offered), "submit-other" (the port is any other: STARTTLS required),
// "implicit" (the port counts as 465: TLS from the first byte).
// Prints "error: <text>" and exits with 1 when the mail layer throws.
#include "mail/IdSMTP.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

std::string ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void SendInSession(int port, const std::string& subject, const std::string& to,
                   const std::string& from, const std::string& body, const std::string& user,
                   const std::string& password) {
    TIdSMTP smtp;
    smtp.SetHost("127.0.0.1");
    smtp.SetPort(port);
    smtp.SetReadTimeout(10000);
    smtp.SetAuthenticationType(atLogin);
    smtp.SetUsername(user);
    smtp.SetPassword(password);
    TIdMessage message;
    message.SetSubject(subject);
    ParseAddressList(message.Recipients(), to);
    message.From().SetText(from);
    message.Body() = SplitTextLines(body);
    smtp.ConnectToHost();
    try {
        smtp.SendMail(message);
    } catch (...) {
        smtp.CloseConnection();
        throw;
    }
    smtp.CloseConnection();
}

void Submit(const std::string& serverText, const std::string& mode, const std::string& subject,
            const std::string& to, const std::string& from, const std::string& body,
            const std::string& user, const std::string& password) {
    const int port = ParseServerText(serverText).Port;
    TIdSmtpServer server = mode == "submit"     ? ParseServerText(serverText, port)
                           : mode == "implicit" ? ParseServerText(serverText, 25, port)
                                                : ParseServerText(serverText);
    server.Username = user;
    server.Password = password;
    server.CodePage = veldrano::LocaleFromName("es_ES").codePage;
    TIdSMTP smtp;
    smtp.UseServer(server);
    TIdSMTP::SendOneMessage(smtp, subject, to, from, body, veldrano::LocaleFromName("es_ES"));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::cerr << "usage: mail_smtp_sender port mode subject to from bodyfile [user password]\n";
        return 2;
    }
    const int port = std::atoi(argv[1]); // the server text in the submission modes
    const std::string mode = argv[2];
    const std::string body = ReadFile(argv[6]);
    const veldrano::SystemLocale locale =
        veldrano::LocaleFromName(mode == "japanese" ? "ja_JP" : "es_ES");
    try {
        if (mode == "send" || mode == "japanese")
            TIdSMTP::SendOneMessage("127.0.0.1", argv[3], argv[4], argv[5], body, port, locale);
        else if (mode == "login" && argc >= 9)
            SendInSession(port, argv[3], argv[4], argv[5], body, argv[7], argv[8]);
        else if (mode == "submit" || mode == "submit-other" || mode == "implicit")
            Submit(argv[1], mode, argv[3], argv[4], argv[5], body, argc >= 9 ? argv[7] : "",
                   argc >= 9 ? argv[8] : "");
        else
            return 2;
    } catch (const std::exception& e) {
        std::cout << "error: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}

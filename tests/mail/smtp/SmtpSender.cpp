// Sends one message to 127.0.0.1:<port> for the end-to-end check, as the program would.
//
//   mail_smtp_sender <port> <mode> <subject> <to> <from> <body file> [user password]
//
// modes: "send" (SendOneMessage under a Spanish locale), "japanese" (the same under a
// Japanese locale), "login" (a session with AUTH LOGIN as user/password), "parts" (a
// message with a text part and an attachment whose bytes are the body file).
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
                   const std::string& from, const std::string& body, bool login, bool asAttachment,
                   const std::string& user, const std::string& password) {
    TIdSMTP smtp;
    smtp.SetHost("127.0.0.1");
    smtp.SetPort(port);
    smtp.SetReadTimeout(10000);
    if (login) {
        smtp.SetAuthenticationType(atLogin);
        smtp.SetUsername(user);
        smtp.SetPassword(password);
    }
    TIdMessage message;
    message.SetSubject(subject);
    ParseAddressList(message.Recipients(), to);
    message.From().SetText(from);
    if (asAttachment) {
        TIdText& text = message.PartList().AddText();
        text.Body = {"Adjunto el fichero.", ".punto"};
        TIdAttachment& file = message.PartList().AddAttachment();
        file.FileName = "datos.bin";
        file.Data = body;
    } else {
        message.Body() = SplitTextLines(body);
    }
    smtp.ConnectToHost();
    try {
        smtp.SendMail(message);
    } catch (...) {
        smtp.CloseConnection();
        throw;
    }
    smtp.CloseConnection();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::cerr << "usage: mail_smtp_sender port mode subject to from bodyfile [user password]\n";
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const std::string mode = argv[2];
    const std::string body = ReadFile(argv[6]);
    const veldrano::SystemLocale locale =
        veldrano::LocaleFromName(mode == "japanese" ? "ja_JP" : "es_ES");
    try {
        if (mode == "send" || mode == "japanese")
            TIdSMTP::SendOneMessage("127.0.0.1", argv[3], argv[4], argv[5], body, port, locale);
        else if (mode == "login" && argc >= 9)
            SendInSession(port, argv[3], argv[4], argv[5], body, true, false, argv[7], argv[8]);
        else if (mode == "parts")
            SendInSession(port, argv[3], argv[4], argv[5], body, false, true, "", "");
        else
            return 2;
    } catch (const std::exception& e) {
        std::cout << "error: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}

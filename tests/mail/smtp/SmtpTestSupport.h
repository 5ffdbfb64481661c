#pragma once
#include "mail/IdSMTP.h"
#include "tests/support/net/LoopbackServer.h"

#include <string>

namespace veldrano::test {

// The name the tests' clients greet with, so transcripts do not depend on the machine.
inline const std::string kHelo = "client.test";

// The Message-ID line of a message from an example.com sender.
inline const std::string kMessageIdLine = "Message-ID: <[0-9a-f.]+@example\\.com>";

// The body headers of a message whose body is plain ASCII in short lines.
inline const std::string kAsciiBodyHeaders =
    "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=us-ascii\r\n"
    "Content-Transfer-Encoding: 7bit\r\n";

// A client aimed at the scripted server; a read never waits longer than five seconds.
struct SmtpOnServer {
    LoopbackServer server;
    TIdSMTP smtp;

    SmtpOnServer() {
        smtp.SetHost(LoopbackServer::host());
        smtp.SetPort(server.port());
        smtp.SetHeloName(kHelo);
        smtp.SetReadTimeout(5000);
    }

    // Greeting and EHLO answered with the given extension lines (the last one ends it).
    LoopbackServer& greet(const std::string& ehloReply = "250 server.test\r\n") {
        return server.send("220 server.test ready\r\n")
            .expect("EHLO " + kHelo + "\r\n")
            .send(ehloReply);
    }
};

// The descriptors this process holds open now.
int OpenDescriptorCount();

// A message with one sender and the given recipients, ready for SendMail.
void FillMessage(TIdMessage& message, const std::string& from, const std::string& to);

} // namespace veldrano::test

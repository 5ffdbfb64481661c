#pragma once
#include "mail/IdSMTP.h"
#include "tests/support/net/LoopbackServer.h"

#include <string>

namespace veldrano::test {

// The name the tests' clients greet with, so transcripts do not depend on the machine.
inline const std::string kHelo = "client.test";

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

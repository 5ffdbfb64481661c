#pragma once
#include <chrono>
#include <string>

namespace veldrano {

// Passwords in the desktop's keyring (GNOME Keyring, KWallet) through the Secret Service
// on the session bus. Items carry the attributes service "VELDRANO" and key KEY, so
// `secret-tool lookup service VELDRANO key KEY` finds them. Every call waits at most `wait`
// for the keyring: a session without one (no session bus, no service, a keyring that cannot
// be opened) answers NoKeyring or false, and the caller keeps the password elsewhere.
// Texts are UTF-8. No call throws.
class Keyring {
  public:
    // Long enough for a keyring that is starting, short enough that a dialog never hangs.
    static constexpr std::chrono::milliseconds kShortWait{1500};
    // On a terminal the keyring may ask the user to unlock it first.
    static constexpr std::chrono::milliseconds kPatientWait{30000};

    enum class Answer { Found, Missing, NoKeyring };
    struct Lookup {
        Answer answer = Answer::NoKeyring;
        std::string secret; // when Found
    };

    // The password kept under `key`.
    static Lookup Read(const std::string& key, std::chrono::milliseconds wait);

    // Keeps `secret` under `key` in the default keyring, replacing any older one; `label` is
    // what keyring managers show. False when no keyring took it (or the text is not UTF-8).
    static bool Store(const std::string& key, const std::string& label, const std::string& secret,
                      std::chrono::milliseconds wait);

    // Forgets the password under `key`. True when a keyring answered, whether or not it held
    // one.
    static bool Remove(const std::string& key, std::chrono::milliseconds wait);

    // The keys this program keeps its passwords under: the mail login ("smtp:USER@SERVER",
    // the server as typed) and a CardDAV account ("carddav:USER@HOST[:PORT]", the host of
    // the URL, so every address book of one server shares the password).
    static std::string SmtpKey(const std::string& user, const std::string& server);
    static std::string CardDavKey(const std::string& user, const std::string& url);
};

} // namespace veldrano

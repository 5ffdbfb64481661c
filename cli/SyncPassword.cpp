#include "cli/SyncPassword.h"

#include "keyring/Keyring.h"
#include "sync/Password.h"

#include <fcntl.h>
#include <unistd.h>

using veldrano::Keyring;

namespace {

// What the server says when it refuses the login (a 401).
constexpr const char* kRefused = "no acepta el usuario o la contraseña";

// A yes-or-no question on the terminal; anything but "s" or "sí" is no. No terminal, no.
bool AskYes(const std::string& question) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0)
        return false;
    (void)!::write(tty, question.data(), question.size());
    std::string answer;
    char c = 0;
    while (::read(tty, &c, 1) == 1 && c != '\n')
        answer += c;
    ::close(tty);
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' '))
        answer.pop_back();
    return answer == "s" || answer == "S" || answer == "si" || answer == "sí" || answer == "Sí";
}

} // namespace

SyncLogin::SyncLogin(const SyncArguments& a) {
    if (a.user.empty())
        return; // the server is asked without logging in
    m_credentials.user = a.user;
    if (!a.passwordFile.empty()) {
        m_credentials.password = veldrano::ReadPasswordFile(a.passwordFile);
        m_source = Source::File;
        return;
    }
    m_key = Keyring::CardDavKey(a.user, a.url);
    const Keyring::Lookup kept = Keyring::Read(m_key, Keyring::kPatientWait);
    if (kept.answer == Keyring::Answer::Found && !kept.secret.empty()) {
        m_credentials.password = kept.secret;
        m_source = Source::Keyring;
        return;
    }
    m_credentials.password =
        veldrano::AskPassword("Contraseña de " + a.user + " en " + a.url + ": ");
    m_source = Source::Terminal;
    // Offered only where a keyring answered: without one there is nowhere to keep it.
    if (kept.answer == Keyring::Answer::Missing && !m_credentials.password.empty())
        m_keep = AskYes("¿Guardar la contraseña en el llavero? [s/N] ");
}

std::string SyncLogin::Accepted() const {
    if (!m_keep)
        return {};
    const std::string label = "VELDRANO: " + m_key.substr(m_key.find(':') + 1) + " (CardDAV)";
    if (Keyring::Store(m_key, label, m_credentials.password, Keyring::kPatientWait))
        return "Contraseña guardada en el llavero.";
    return "No se ha podido guardar la contraseña en el llavero.";
}

std::string SyncLogin::Failed(const std::string& error) const {
    if (m_source != Source::Keyring || error.find(kRefused) == std::string::npos)
        return {};
    if (!Keyring::Remove(m_key, Keyring::kPatientWait))
        return {};
    return " (la contraseña del llavero se ha olvidado; la próxima vez se pedirá)";
}

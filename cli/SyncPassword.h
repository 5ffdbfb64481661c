#pragma once
#include "cli/SyncCommand.h"
#include "sync/HttpClient.h"

#include <string>

// Who the sync logs in as, and where the password came from: --password-file (for scripts),
// the desktop's keyring (kept there by an earlier sync), or asked on the terminal, which then
// offers to keep it in the keyring ("¿Guardar la contraseña en el llavero?").
class SyncLogin {
  public:
    // Throws veldrano::SyncError when a password is needed and none can be had.
    explicit SyncLogin(const SyncArguments& arguments);

    const veldrano::Credentials& credentials() const { return m_credentials; }

    // After a run the server accepted: keeps the typed password when the user said yes.
    // Returns a line for the user, empty when there is nothing to say.
    std::string Accepted() const;

    // After a run that failed with `error`: a password from the keyring that the server
    // refuses is forgotten, so the next sync asks again. Returns the words to add to the
    // error, empty when there are none.
    std::string Failed(const std::string& error) const;

  private:
    enum class Source { None, File, Keyring, Terminal };
    veldrano::Credentials m_credentials;
    std::string m_key;
    Source m_source = Source::None;
    bool m_keep = false;
};

#include "cli/SyncCommand.h"

#include "cli/ProgressLine.h"
#include "cli/SyncPassword.h"
#include "book/BookFile.h"
#include "book/ContactFields.h"
#include "files/TextFile.h"
#include "sync/BookSync.h"
#include "sync/Password.h"
#include "sync/SyncState.h"
#include "text/Charset.h"
#include "text/CodePage.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

std::string Count(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Summary(const veldrano::SyncReport& r) {
    const auto& c = r.counts;
    std::string line = "Sincronizado con " + r.addressBook +
                       ". En la agenda: " + Count(c.addedHere, "añadido", "añadidos") + ", " +
                       Count(c.changedHere, "cambiado", "cambiados") + ", " +
                       Count(c.deletedHere, "borrado", "borrados") +
                       ". En el servidor: " + Count(c.addedThere, "añadido", "añadidos") + ", " +
                       Count(c.changedThere, "cambiado", "cambiados") + ", " +
                       Count(c.deletedThere, "borrado", "borrados") +
                       ". Conflictos: " + std::to_string(r.conflicts.size()) + ".";
    if (r.replaced > 0)
        line += " Caracteres que la página de códigos no admite, escritos como «?»: " +
                std::to_string(r.replaced) + ".";
    if (!r.unreadable.empty())
        line += " Tarjetas que no se han podido leer: " + std::to_string(r.unreadable.size()) + ".";
    return line;
}

int Failed(const std::string& what) {
    std::fprintf(stderr, "torvikalen: %s\n", what.c_str());
    return 1;
}

// A failure, with what the login makes of it (a refused password from the keyring is
// forgotten).
int Failed(const std::optional<SyncLogin>& login, const std::string& what) {
    return Failed(login ? what + login->Failed(what) : what);
}

void Say(const std::string& line) {
    if (!line.empty())
        std::printf("%s\n", line.c_str());
}

} // namespace

int SyncCommand(const SyncArguments& arguments) {
    veldrano::SyncOptions options;
    options.book = arguments.book;
    options.url = arguments.url;
    options.force = arguments.force;
    options.codePage = veldrano::CurrentLocale().codePage;
    // The tests' seam: the run ends right after one kind of request is recorded, as a kill.
    if (const char* stop = std::getenv("VELDRANO_SYNC_STOP_AFTER"))
        options.afterAction = [stop = std::string(stop)](const char* action) {
            if (stop == action)
                std::_Exit(137);
        };
    std::optional<SyncLogin> login;
    try {
        login.emplace(arguments);
        options.credentials = login->credentials();
        veldrano::SyncReport report;
        {
            ProgressLine progress;
            options.progress = [&](const char* what, size_t done, size_t total) {
                progress.Report(std::string(what) + ": " + std::to_string(done) + " de " +
                                std::to_string(total));
            };
            report = veldrano::SyncBook(options);
        }
        veldrano::Charset charset = veldrano::Charset::ForCodePage(options.codePage);
        size_t ignored = 0;
        const std::string logged =
            report.logError.empty()
                ? " (anotado en " + veldrano::ConflictLogPath(options.book) + ")"
                : "";
        for (const auto& c : report.conflicts)
            std::printf(
                "Conflicto en «%s», %s: se queda «%s» de la agenda; el servidor tenía «%s»%s\n",
                charset.ToUtf8(c.name, &ignored).c_str(), veldrano::FieldOf(c.field).columnCaption,
                charset.ToUtf8(c.here, &ignored).c_str(), charset.ToUtf8(c.there, &ignored).c_str(),
                logged.c_str());
        for (const auto& card : report.unreadable)
            std::fprintf(stderr, "torvikalen: tarjeta omitida, %s\n", card.c_str());
        std::printf("%s\n", Summary(report).c_str());
        Say(login->Accepted());
        if (!report.logError.empty()) // the book and the state are written: only the log failed
            return Failed(report.logError);
        if (!report.unreadable.empty()) // not done until every card is in the book
            return Failed(Count(report.unreadable.size(), "tarjeta omitida", "tarjetas omitidas") +
                          ": se volverán a pedir al servidor en la próxima sincronización");
        return 0;
    } catch (const veldrano::BookFormatError&) {
        return Failed(arguments.book + ": Formato de archivo no válido");
    } catch (const std::exception& e) { // the server, the state, a file
        return Failed(login, e.what());
    }
}

int SyncListCommand(const SyncArguments& arguments) {
    std::optional<SyncLogin> login;
    try {
        login.emplace(arguments);
        const auto books = veldrano::ListAddressBooks(arguments.url, login->credentials());
        if (books.empty())
            return Failed("no se ha encontrado ninguna libreta de direcciones en «" +
                          arguments.url + "»");
        for (const auto& book : books)
            std::printf("%s\t%s\t%s\n", book.name.c_str(), book.url.c_str(),
                        Count(book.cards, "tarjeta", "tarjetas").c_str());
        Say(login->Accepted());
        return 0;
    } catch (const std::exception& e) {
        return Failed(login, e.what());
    }
}

// The module's entries, which the command line loads by name.
extern "C" __attribute__((visibility("default"))) int VeldranoSync(const SyncArguments* arguments) {
    return SyncCommand(*arguments);
}

extern "C" __attribute__((visibility("default"))) int
VeldranoSyncList(const SyncArguments* arguments) {
    return SyncListCommand(*arguments);
}

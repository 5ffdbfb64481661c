#include "cli/CommandLine.h"

#include "cli/ProgressLine.h"
#include "cli/SortBook.h"
#include "cli/Modules.h"
#include "cli/SyncCommand.h"
#include "book/BookFile.h"
#include "interchange/Conversion.h"
#include "interchange/CsvImport.h"
#include "interchange/Interchange.h"
#include "text/CodePage.h"

#include <BuildInfo.h>
#include <cstdio>
#include <string>
#include <vector>

namespace CommandLine {

namespace {

constexpr char kUsage[] =
    "Uso: torvikalen [AGENDA.kbx]\n"
    "     torvikalen --convert ENTRADA SALIDA [--lossy] [--columns CAMPO=COLUMNA,...]\n"
    "     torvikalen --sort ENTRADA.kbx SALIDA.kbx\n"
    "     torvikalen --sync AGENDA.kbx URL [--user NOMBRE]\n"
    "                [--password-file ARCHIVO] [--force]\n"
    "     torvikalen --sync-list URL [--user NOMBRE] [--password-file ARCHIVO]\n"
    "     torvikalen --help | --version\n";

constexpr char kHelp[] =
    "\n"
    "VELDRANO, agenda de direcciones con su propio cliente de correo.\n"
    "\n"
    "Sin opciones abre la ventana; con AGENDA.kbx abre ese archivo en ella.\n"
    "\n"
    "  --convert ENTRADA SALIDA  convierte los contactos de ENTRADA y los escribe en\n"
    "                            SALIDA. Una ENTRADA .kbx es una agenda de VELDRANO;\n"
    "                            una .vcf, .csv o .ldif se lee por lo que contiene:\n"
    "                            vCard 2.1, 3.0 y 4.0, LDIF, y el CSV de VELDRANO, abook,\n"
    "                            Google, Outlook y Thunderbird (separado por comas, punto\n"
    "                            y coma o tabuladores; UTF-8, UTF-16 o Windows-1252).\n"
    "                            SALIDA tiene el formato de su extensión:\n"
    "                              .kbx  agenda de VELDRANO\n"
    "                              .vcf  vCard 4.0\n"
    "                              .csv  CSV en UTF-8 con una fila de cabecera\n"
    "                            SALIDA solo se escribe si todo se ha convertido. Lo\n"
    "                            que no tiene campo en la agenda (notas, cumpleaños, una\n"
    "                            segunda dirección...) se lista en la salida de errores.\n"
    "  --columns CAMPO=COLUMNA,...\n"
    "                            con --convert: el campo que llena cada columna de un CSV\n"
    "                            cuya cabecera no se reconoce, por ejemplo\n"
    "                            \"Nombre=Full name,Teléfono=Tel\"; CAMPO es el título de\n"
    "                            una columna de la agenda (Nombre y Apellidos, Dirección,\n"
    "                            Teléfono, Correo Electrónico, Código Postal, Móvil, Fax,\n"
    "                            Organización, Departamento, Página Web, Oficina) o el\n"
    "                            nombre de su campo. Las columnas que no se nombran no se\n"
    "                            importan\n"
    "  --lossy                   con --convert: escribe «?» en lugar de cada carácter\n"
    "                            que la página de códigos no admite, y dice cuántos fueron,\n"
    "                            en vez de detenerse en el primero\n"
    "  --sort ENTRADA SALIDA     abre la agenda ENTRADA como la ventana, con sus contactos\n"
    "                            en orden de nombre, y la guarda en SALIDA\n"
    "  --sync AGENDA URL         sincroniza en los dos sentidos la agenda con una libreta\n"
    "                            de direcciones CardDAV: URL es la libreta o el servidor,\n"
    "                            donde se busca. Una agenda que no existe se crea con los\n"
    "                            contactos del servidor. El estado queda junto a la\n"
    "                            agenda (.AGENDA.kbx.sync) y los conflictos, en\n"
    "                            AGENDA.kbx.conflictos.txt\n"
    "  --sync-list URL           lista las libretas de direcciones del servidor\n"
    "  --user NOMBRE             usuario del servidor; la contraseña se pide en el\n"
    "                            terminal sin mostrarla\n"
    "  --password-file ARCHIVO   con --user: la contraseña es la primera línea de ARCHIVO,\n"
    "                            que solo ha de poder leer su dueño\n"
    "  --force                   con --sync: sincroniza aunque la agenda o la libreta se\n"
    "                            hayan vaciado del todo, y vacía también la otra\n"
    "  -h, --help                muestra esta ayuda y termina\n"
    "  --version                 muestra la versión y termina\n";

bool IsOwnOption(const std::string& arg) {
    return arg == "--help" || arg == "-h" || arg == "--version" || arg == "--convert" ||
           arg == "--lossy" || arg == "--sort" || arg == "--sync" || arg == "--sync-list" ||
           arg == "--user" || arg == "--password-file" || arg == "--force" || arg == "--columns";
}

bool IsLdifPath(const std::string& path) {
    if (path.size() < 5 || path.find('/', path.size() - 5) != std::string::npos)
        return false;
    std::string ext = path.substr(path.size() - 5);
    for (char& c : ext)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext == ".ldif";
}

void ReportLost(const std::vector<veldrano::LostField>& lost) {
    if (lost.empty())
        return;
    std::fprintf(stderr, "torvikalen: no se ha guardado lo que no tiene campo en la agenda:\n");
    for (const auto& field : lost)
        std::fprintf(stderr, "  %s: %zu %s\n", field.name.c_str(), field.contacts,
                     field.contacts == 1 ? "contacto" : "contactos");
}

void ReportUnknownColumns(const std::string& in, const veldrano::UnknownColumnsError& e) {
    std::string columns;
    for (const std::string& column : e.columns())
        columns += (columns.empty() ? "«" : ", «") + column + "»";
    std::fprintf(stderr,
                 "torvikalen: %s: no se reconocen las columnas del archivo CSV: %s.\n"
                 "Diga con --columns qué campo llena cada una, por ejemplo\n"
                 "  --columns \"Nombre y Apellidos=%s\"\n",
                 in.c_str(), columns.c_str(),
                 e.columns().empty() ? "" : e.columns().front().c_str());
}

int Convert(const std::string& in, const std::string& out, bool lossy, const std::string& columns) {
    const auto outFormat = veldrano::FormatOfPath(out);
    if (!veldrano::FormatOfPath(in) && !IsLdifPath(in))
        return Misuse("no sé qué formato tiene «" + in +
                      "»: la extensión ha de ser .kbx, .vcf, .csv o .ldif");
    if (!outFormat)
        return Misuse("no sé qué formato tiene «" + out +
                      "»: la extensión ha de ser .kbx, .vcf o .csv");
    veldrano::ConversionOptions options;
    options.codePage = veldrano::CurrentLocale().codePage;
    options.lossy = lossy;
    options.columns = columns;
    try {
        veldrano::ConversionResult result;
        {
            ProgressLine progress;
            options.progress = [&](size_t done) {
                progress.Report("Convirtiendo: " + std::to_string(done) + " contactos");
            };
            result = veldrano::ConvertContacts(in, out, *outFormat, options);
        }
        ReportLost(result.lost);
        if (result.replaced > 0)
            std::fprintf(stderr,
                         "torvikalen: caracteres escritos como «?» porque la "
                         "página de códigos %d no los admite: %zu\n",
                         options.codePage, result.replaced);
        return 0;
    } catch (const veldrano::UnknownColumnsError& e) {
        ReportUnknownColumns(in, e);
    } catch (const veldrano::InterchangeError& e) {
        if (e.line() > 0)
            std::fprintf(stderr, "torvikalen: %s, línea %zu: %s\n", in.c_str(), e.line(), e.what());
        else
            std::fprintf(stderr, "torvikalen: %s: %s\n", in.c_str(), e.what());
    } catch (const veldrano::BookFormatError&) {
        std::fprintf(stderr, "torvikalen: %s: Formato de archivo no válido\n", in.c_str());
    } catch (const std::exception& e) { // a file that cannot be read or written
        std::fprintf(stderr, "torvikalen: %s\n", e.what());
    }
    return 1;
}

} // namespace

int Misuse(const std::string& what) {
    std::fprintf(stderr, "torvikalen: %s\n%s", what.c_str(), kUsage);
    return 2;
}

namespace {

// What the arguments asked for, once every one of them has been read.
struct Request {
    bool lossy = false, convert = false, sort = false, sync = false, syncList = false;
    SyncArguments syncArgs;
    std::string columns;
    std::vector<std::string> files;
};

// Reads the options into `r`; returns an exit status when the arguments are already
// answered (help, version) or misused.
std::optional<int> ReadArguments(const std::vector<std::string>& args, Request& r) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::printf("%s%s", kUsage, kHelp);
            return 0;
        }
        if (arg == "--version") {
            std::printf("torvikalen (VELDRANO) %s\n"
                        "Licencia GPL-3.0-or-later: GNU GPL, versión 3 o posterior.\n"
                        "Es software libre: puede modificarlo y redistribuirlo.\n"
                        "No hay NINGUNA GARANTÍA, en la medida que lo permita la ley.\n",
                        VELDRANO_VERSION);
            return 0;
        }
        if (arg == "--user" || arg == "--password-file" || arg == "--columns") {
            if (i + 1 == args.size())
                return Misuse(arg + " necesita un valor");
            (arg == "--user"      ? r.syncArgs.user
             : arg == "--columns" ? r.columns
                                  : r.syncArgs.passwordFile) = args[++i];
        } else if (arg == "--lossy")
            r.lossy = true;
        else if (arg == "--convert")
            r.convert = true;
        else if (arg == "--sort")
            r.sort = true;
        else if (arg == "--sync")
            r.sync = true;
        else if (arg == "--sync-list")
            r.syncList = true;
        else if (arg == "--force")
            r.syncArgs.force = true;
        else if (arg.size() > 1 && arg[0] == '-')
            return Misuse("opción desconocida «" + arg + "»");
        else
            r.files.push_back(arg);
    }
    return std::nullopt;
}

int RunSync(Request& r) {
    if (r.convert || r.sort || r.lossy || !r.columns.empty() || (r.sync && r.syncList))
        return Misuse("--sync y --sync-list no se combinan con otras órdenes");
    if (!r.syncArgs.passwordFile.empty() && r.syncArgs.user.empty())
        return Misuse("--password-file necesita --user");
    if (r.sync && r.files.size() != 2)
        return Misuse("--sync necesita una agenda y la URL de una libreta o un servidor");
    if (r.syncList && (r.files.size() != 1 || r.syncArgs.force))
        return Misuse("--sync-list necesita la URL de un servidor");
    r.syncArgs.url = r.files.back();
    if (r.sync)
        r.syncArgs.book = r.files[0];
    // The sync, with its HTTP and XML libraries, is a module of its own.
    auto run = reinterpret_cast<int (*)(const SyncArguments*)>(
        ModuleFunction("torvikalen-sync.so", r.syncList ? "VeldranoSyncList" : "VeldranoSync"));
    return run ? run(&r.syncArgs) : 1;
}

} // namespace

std::optional<int> Run(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    bool any = false;
    for (const auto& arg : args)
        any = any || IsOwnOption(arg);
    if (!any)
        return std::nullopt;

    Request r;
    if (const auto answered = ReadArguments(args, r))
        return answered;
    if (r.sync || r.syncList)
        return RunSync(r);
    if (!r.syncArgs.user.empty() || !r.syncArgs.passwordFile.empty() || r.syncArgs.force)
        return Misuse("--user, --password-file y --force solo valen con --sync o --sync-list");
    if (r.sort) {
        if (r.convert || r.lossy || !r.columns.empty() || r.files.size() != 2)
            return Misuse("--sort necesita una agenda de entrada y una de salida");
        return SortBook(r.files[0], r.files[1]);
    }
    if (!r.convert)
        return Misuse((r.lossy ? "--lossy" : "--columns") +
                      std::string(" solo vale con --convert"));
    if (r.files.size() != 2)
        return Misuse("--convert necesita un archivo de entrada y uno de salida");
    return Convert(r.files[0], r.files[1], r.lossy, r.columns);
}

} // namespace CommandLine

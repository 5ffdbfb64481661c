// Files of other address books, opened and written through the same Archivo commands as a
// book: an import becomes a new, unsaved book; an export leaves the book as it was.
#include "app/BookList.h"
#include "app/ColumnMapping.h"
#include "app/Commands.h"
#include "app/FileCommands.h"
#include "interchange/Import.h"
#include "model/BookModel.h"
#include "qtsupport/PlatformServices.h"
#include "text/CodePage.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>

using namespace veldrano;

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

using Icon = PlatformServices::Icon;

QString Contacts(size_t count) {
    return count == 1 ? U("1 contacto") : U("%1 contactos").arg(count);
}

// "notas (12 contactos), cumpleaños (1 contacto)".
QString LostText(const std::vector<LostField>& lost) {
    QStringList parts;
    for (const LostField& field : lost)
        parts << U("%1 (%2)").arg(Utf8(field.name), Contacts(field.contacts));
    return parts.join(QStringLiteral(", "));
}

} // namespace

const char* const FileCommands::kOpenFilter =
    "Archivos Agenda (*.kbx);;Contactos vCard (*.vcf);;Contactos CSV (*.csv);;"
    "Contactos LDIF (*.ldif);;Todos los contactos (*.kbx *.vcf *.csv *.ldif)";

bool FileCommands::IsContactsPath(const QString& path) {
    for (const char* ext : {".vcf", ".csv", ".ldif"})
        if (path.endsWith(QLatin1String(ext), Qt::CaseInsensitive))
            return true;
    return false;
}

void FileCommands::showImportError(const QString& path, const InterchangeError& e) {
    QString text = U("No se puede importar %1").arg(QFileInfo(path).fileName());
    if (e.line() > 0)
        text += U(", línea %1").arg(e.line());
    m_platform.showMessage(&m_window, U("Error"), text + U(": ") + Utf8(e.what()), Icon::Error);
}

std::optional<ImportResult> FileCommands::readContacts(const QString& path,
                                                       std::string_view bytes) {
    ImportOptions options;
    options.codePage = CurrentLocale().codePage;
    for (;;) {
        try {
            return ImportContacts(bytes, options);
        } catch (const UnknownColumnsError& e) {
            if (!options.columns.empty()) {
                showImportError(path, e); // a mapping the reader cannot take
                return std::nullopt;
            }
            const ColumnMapping start = RememberedMapping(e.columns());
            auto mapping = ColumnMappingDialog::Ask(&m_window, PreviewCsv(bytes, 5), start);
            if (!mapping)
                return std::nullopt;
            RememberMapping(e.columns(), *mapping);
            options.columns = *mapping;
        } catch (const UnrepresentableError& e) {
            if (!m_platform.askYesNo(&m_window, U("Aviso!"),
                                     U("¿Importar sustituyendo por \"?\" los %1 caracteres que "
                                       "la agenda no puede guardar?")
                                         .arg(e.count()),
                                     Icon::Question)) {
                showImportError(path, e);
                return std::nullopt;
            }
            options.lossy = true;
        } catch (const InterchangeError& e) {
            showImportError(path, e);
            return std::nullopt;
        }
    }
}

void FileCommands::importContacts(const QString& path) {
    // Everything is read and checked before the window changes, as for a book.
    const std::string bytes = ReadFileBytes(QFile::encodeName(path).toStdString());
    std::optional<ImportResult> result = readContacts(path, bytes);
    if (!result)
        return;
    BookStore store;
    store.reserve(result->records.size());
    for (const ContactRecord& record : result->records)
        store.insert(store.size(), record);
    result->records.clear();

    m_state.BorradoUltimo = false;
    NuevaAgenda();
    m_list.ResetColumns({});
    m_list.Quietly([&] { m_model.load(std::move(store)); });
    m_list.listview1onchange();
    Commands::SetEnabled({m_commands.Guardar, m_commands.imprimir, m_commands.Buscar,
                          m_commands.BorrarAgenda, m_commands.GuardarComo,
                          m_commands.SeleccionarTodo1},
                         true);
    m_state.Modificado = true;
    const QString name = QFileInfo(path).fileName();
    const int count = m_model.rowCount();
    m_status.setText((count == 1 ? U("Importado %1 de %2") : U("Importados %1 de %2"))
                         .arg(Contacts(static_cast<size_t>(count)), name));

    QStringList notes;
    if (result->replaced > 0)
        notes << U("%1 caracteres que la agenda no puede guardar se han sustituido por \"?\".")
                     .arg(result->replaced);
    if (!result->lost.empty())
        notes << U("Datos sin lugar en la agenda, no importados: %1.").arg(LostText(result->lost));
    if (!notes.isEmpty())
        m_platform.showMessage(&m_window, U("Importación"),
                               m_status.text() + U(" (%1).\n\n").arg(Utf8(result->format)) +
                                   notes.join(QStringLiteral("\n")),
                               Icon::Information);
}

bool FileCommands::exportContacts(QString name, ContactFormat format) {
    const QString ext = format == ContactFormat::VCard ? U(".vcf") : U(".csv");
    if (!name.endsWith(ext, Qt::CaseInsensitive))
        name += ext;
    const std::string target = QFile::encodeName(name).toStdString();
    if (StampOf(target).exists &&
        !m_platform.askYesNo(&m_window, U("Aviso!"),
                             U("El archivo %1 ya existe. ¿Desea reemplazarlo?").arg(name),
                             Icon::Question))
        return false;
    std::string bytes;
    try {
        bytes = ExportContacts(m_model.records(), format, CurrentLocale().codePage);
    } catch (const InterchangeError& e) {
        m_platform.showMessage(&m_window, U("Error"),
                               U("No se puede exportar la agenda: ") + Utf8(e.what()), Icon::Error);
        return false;
    }
    WriteFileAtomically(target, bytes);
    m_status.setText(
        (m_model.rowCount() == 1 ? U("Exportado %1 a %2") : U("Exportados %1 a %2"))
            .arg(Contacts(static_cast<size_t>(m_model.rowCount())), QFileInfo(name).fileName()));
    return true;
}

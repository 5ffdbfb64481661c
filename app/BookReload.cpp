// The open book follows its file: a change another program makes reaches the window.
#include "app/BookList.h"
#include "app/FileCommands.h"
#include "app/WindowSync.h"
#include "book/MergeEdits.h"
#include "model/BookModel.h"
#include "qtsupport/PlatformServices.h"

#include <QFile>
#include <QMainWindow>
#include <QScrollBar>

using namespace veldrano;

void FileCommands::fileChangedOnDisk() {
    if (m_state.ArchivoNuevo || m_state.SinAgenda)
        return; // the window shows no book of that file
    if (m_sync && m_sync->running())
        return; // the sync's own writes are taken up when it ends
    const std::string& path = m_state.ArchivoActual;
    const FileStamp now = StampOf(path);
    if (!now.exists || now == m_onDisk || now == m_declined)
        return;
    LoadedBook book;
    try {
        book = ReadBookFile(path);
    } catch (const std::exception&) {
        return; // not (yet) a whole book: the writer's next change calls again
    }
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    if (m_edited &&
        !m_platform.askYesNo(&m_window, QStringLiteral("Aviso!"),
                             QString::fromUtf8("El archivo %1 ha cambiado en el disco. ¿Desea "
                                               "cargarlo de nuevo y perder los cambios "
                                               "realizados?")
                                 .arg(name),
                             PlatformServices::Icon::Question)) {
        m_declined = now; // asked once; Save still asks before writing over it
        return;
    }
    reloadKeepingPlace(std::move(book));
}

void FileCommands::reloadKeepingPlace(LoadedBook book) {
    const int first = m_list.FirstSelectedRow();
    std::optional<ContactRecord> chosen;
    if (first >= 0)
        chosen = m_model.record(first);
    QScrollBar* scroll = m_list.view()->verticalScrollBar();
    const int position = scroll->value();

    showBook(QFile::decodeName(QByteArray::fromStdString(m_state.ArchivoActual)), std::move(book));

    scroll->setValue(position);
    if (!chosen)
        return;
    for (int row = 0; row < m_model.rowCount(); ++row) {
        if (m_model.record(row) != *chosen)
            continue;
        m_list.SelectRow(row);
        m_list.view()->selectionModel()->setCurrentIndex(m_model.index(row, 0),
                                                         QItemSelectionModel::NoUpdate);
        break;
    }
}

void FileCommands::syncChangedBook(BookStore base) {
    const FileStamp now = StampOf(m_state.ArchivoActual);
    if (!now.exists || now == m_onDisk)
        return;
    if (m_edited) {
        // Never under the user's hands: the next Save puts the edits into the synced file.
        m_syncBase = std::move(base);
        m_syncWrote = now;
        m_declined = now; // nothing to ask about either
        return;
    }
    reloadKeepingPlace(ReadBookFile(m_state.ArchivoActual));
}

void FileCommands::mergeSyncedBook(const std::string& path) {
    LoadedBook merged;
    for (int k = 0; k < kFieldCount; ++k)
        merged.hidden[k] = m_state.ColumnaOculta[k] != 0; // the window's columns stay
    const std::vector<ContactRecord> records =
        MergeEdits(*m_syncBase, m_model.store(), ReadBookFile(path).records);
    merged.records.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i)
        merged.records.insert(i, records[i]);
    const bool modified = m_state.Modificado;
    reloadKeepingPlace(std::move(merged));
    m_state.Modificado = modified; // a save keeps it, as always
}

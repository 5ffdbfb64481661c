// The open book follows its file: a change another program makes reaches the window.
#include "app/BookList.h"
#include "app/FileCommands.h"
#include "model/BookModel.h"
#include "qtsupport/PlatformServices.h"

#include <QFile>
#include <QMainWindow>
#include <QScrollBar>

using namespace veldrano;

void FileCommands::fileChangedOnDisk() {
    if (m_state.ArchivoNuevo || m_state.SinAgenda)
        return; // the window shows no book of that file
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
    if (m_state.Modificado &&
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

#include "app/RecordCommands.h"

#include "app/BookList.h"
#include "model/BookModel.h"
#include "app/Commands.h"
#include "app/Unit3.h"
#include "app/add.h"
#include "qtsupport/PlatformServices.h"

#include <QAction>

using namespace veldrano;

RecordCommands::RecordCommands(QWidget* window, PlatformServices& platform, WindowState& state,
                               BookModel& model, BookList& list, Commands& commands, TForm2& add,
                               Tform3& modify)
    : QObject(window), m_window(window), m_platform(platform), m_state(state), m_model(model),
      m_list(list), m_commands(commands), m_add(add), m_modify(modify) {}

void RecordCommands::AgregarRegExecute() {
    const auto record = m_add.Run();
    if (!record)
        return;
    Commands::SetEnabled({m_commands.Guardar, m_commands.imprimir, m_commands.Buscar,
                          m_commands.BorrarAgenda, m_commands.GuardarComo,
                          m_commands.SeleccionarTodo1},
                         true);
    m_state.ListaActivada = false;
    m_model.add(*record);
    m_state.Modificado = true;
}

void RecordCommands::ModificarRegExecute() {
    if (!m_state.RegistroElegido || m_state.IndiceElegido == -1) {
        m_platform.showMessage(m_window, QStringLiteral("Aviso"),
                               QStringLiteral("Debe elegir el componente a modificar de la lista"),
                               PlatformServices::Icon::Error);
        return;
    }
    const auto edited = m_modify.Run(m_model.record(m_state.IndiceElegido));
    if (!edited)
        return;
    // The chosen row is read again now: it is still the highlighted one.
    m_model.replace(m_state.IndiceElegido, *edited);
    m_state.Modificado = true;
}

void RecordCommands::deleteSelected() {
    m_state.Modificado = true;
    m_state.BorradoUltimo = m_model.rowCount() == 1;
    if (!m_state.RegistroElegido)
        return;
    std::vector<int> rows = m_list.SelectedRows();
    if (rows.empty())
        return;
    // The rows are deselected first, as the list reports it while they are still there;
    // the list-change rule sees the last record going.
    m_list.DeselectAll();
    m_list.Quietly([&] { m_model.remove(std::move(rows)); });
}

void RecordCommands::EliminarRegExecute() {
    deleteSelected();
}

void RecordCommands::CortarExecute() {
    deleteSelected();
}

void RecordCommands::copiarExecute() {
    // Rows as read from the file stay in the file's bytes: copying a million costs little.
    m_state.ListaCopia = m_model.store().clip(m_list.SelectedRows());
    m_commands.copiar->setEnabled(false);
    m_commands.Pegar->setEnabled(true);
    m_state.Modificado = true;
}

void RecordCommands::PegarExecute() {
    m_model.paste(m_state.ListaCopia);
    m_state.ListaCopia.clear();
    m_commands.copiar->setEnabled(true);
    m_commands.Pegar->setEnabled(false);
}

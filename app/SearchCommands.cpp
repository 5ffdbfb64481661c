#include "app/SearchCommands.h"

#include "app/BookList.h"
#include "model/BookModel.h"
#include "app/Commands.h"
#include "app/Unit4.h"

#include <QAction>

using namespace veldrano;

SearchCommands::SearchCommands(QObject* parent, WindowState& state, BookModel& model,
                               BookList& list, Commands& commands, TForm4& dialog)
    : QObject(parent), m_state(state), m_model(model), m_list(list), m_commands(commands),
      m_dialog(dialog) {
    auto follow = [this] { followMatch(); };
    connect(&model, &QAbstractItemModel::layoutChanged, this, follow);
    connect(&model, &QAbstractItemModel::rowsMoved, this, follow);
    connect(&model, &QAbstractItemModel::rowsRemoved, this, follow);
    connect(&model, &QAbstractItemModel::modelReset, this, follow);
    connect(&model, &QAbstractItemModel::rowsInserted, this, follow);
}

RowName SearchCommands::rowName() const {
    return [this](int row) { return m_model.name(row); };
}

void SearchCommands::followMatch() {
    if (!m_tracking)
        return;
    if (m_match.isValid()) {
        m_state.PosBusqueda = m_match.row();
        return;
    }
    // The matched row is gone, and with it the place find-next would go on from.
    track(-1);
    m_state.PosBusqueda = 0;
    m_state.SeguirBuscando = true;
    m_commands.BuscarSiguiente->setEnabled(false);
}

void SearchCommands::track(int row) {
    m_tracking = row != -1;
    m_match = m_tracking ? QPersistentModelIndex(m_model.index(row, 0)) : QPersistentModelIndex();
}

void SearchCommands::BuscarExecute() {
    const auto query = m_dialog.Run();
    if (!query)
        return;
    m_list.DeselectAll();
    const int found = FindFirst(m_model.rowCount(), rowName(), *query);
    if (found != -1)
        m_list.SelectRow(found);
    // Find-next goes on after the row found, so it starts there; with nothing found it has
    // nowhere to go on from.
    m_state.PosBusqueda = found == -1 ? 0 : found;
    m_state.SeguirBuscando = true;
    track(found);
    m_commands.BuscarSiguiente->setEnabled(found != -1);
}

void SearchCommands::BuscarSiguienteExecute() {
    SearchPosition position{m_state.PosBusqueda, m_state.SeguirBuscando};
    const FindNextStep step = FindNext(m_model.rowCount(), rowName(), m_dialog.query(), position);
    m_state.PosBusqueda = position.PosBusqueda;
    m_state.SeguirBuscando = position.SeguirBuscando;
    m_list.DeselectRow(step.deselect);
    if (step.select != -1)
        m_list.SelectRow(step.select);
    track(step.finished ? -1 : step.select);
    if (step.finished) {
        m_commands.Buscar->setEnabled(true);
        m_commands.BuscarSiguiente->setEnabled(false);
    }
}

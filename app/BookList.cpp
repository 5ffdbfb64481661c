#include "app/BookList.h"

#include "model/BookModel.h"
#include "app/Commands.h"
#include "qtsupport/GeneralError.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <algorithm>

using namespace veldrano;

ListView::ListView(QWidget* parent) : QTableView(parent) {
    setObjectName(QStringLiteral("ListView1"));
    setAccessibleName(QStringLiteral("Contactos")); // what a screen reader calls the list
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setTextElideMode(Qt::ElideRight);
    setContextMenuPolicy(Qt::CustomContextMenu);
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(1);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionResizeMode(QHeaderView::Interactive);
}

void ListView::keyPressEvent(QKeyEvent* event) {
    // The book's own copy and select-all are commands; the system clipboard stays untouched.
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll)) {
        event->ignore();
        return;
    }
    QTableView::keyPressEvent(event);
}

BookList::BookList(QWidget* window, PlatformServices& platform, BookModel& model,
                   WindowState& state, Commands& commands)
    : QObject(window), m_window(window), m_platform(platform), m_model(model), m_state(state),
      m_commands(commands), m_view(new ListView(window)) {
    m_view->setModel(&model);
    // The header draws no selection, yet the toolkit asks the selection whether each column
    // is selected, row by row, whenever it paints: with a million rows selected that is a
    // walk over every row per section. A selection of its own, always empty, answers at once.
    m_view->horizontalHeader()->setSelectionModel(new QItemSelectionModel(&model, m_view));
    veldrano::ResetColumns(m_state, m_columns, m_view->width());

    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        m_commands.PopupMenu1->popup(m_view->viewport()->mapToGlobal(pos));
    });
    QItemSelectionModel* selection = m_view->selectionModel();
    connect(selection, &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) {
                if (m_quiet)
                    return;
                guarded([&] {
                    listview1onchange();
                    if (!selected.isEmpty())
                        ListView1SelectItem();
                });
            });
    connect(selection, &QItemSelectionModel::currentChanged, this, [this] {
        if (!m_quiet)
            guarded([this] { listview1onchange(); });
    });
    connect(&model, &QAbstractItemModel::rowsInserted, this,
            [this] { guarded([this] { listview1onchange(); }); });
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [this] { guarded([this] { listview1onchange(); }); });
    // Rows that move, sort or go take the selection with them: the chosen row is whatever
    // is highlighted afterwards.
    auto follow = [this] { followSelection(); };
    connect(&model, &QAbstractItemModel::layoutChanged, this, follow);
    connect(&model, &QAbstractItemModel::rowsMoved, this, follow);
    connect(&model, &QAbstractItemModel::rowsRemoved, this, follow);
    connect(&model, &QAbstractItemModel::modelReset, this, follow);
    m_view->viewport()->installEventFilter(this);
}

void BookList::guarded(const std::function<void()>& handler) {
    GeneralError::Guard(m_window, m_platform, handler);
}

bool BookList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view->viewport()) {
        if (event->type() == QEvent::MouseButtonRelease)
            ListView1Click();
        else if (event->type() == QEvent::Resize)
            applyColumns(); // the shown columns share the new width
    }
    return QObject::eventFilter(watched, event);
}

// ---- selection

int BookList::FirstSelectedRow() const {
    int first = -1;
    for (const QItemSelectionRange& range : m_view->selectionModel()->selection())
        if (first == -1 || range.top() < first)
            first = range.top();
    return first;
}

std::vector<int> BookList::SelectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : m_view->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void BookList::SelectRow(int row) {
    m_view->selectionModel()->select(m_model.index(row, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void BookList::DeselectRow(int row) {
    m_view->selectionModel()->select(m_model.index(row, 0),
                                     QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

void BookList::DeselectAll() {
    m_view->selectionModel()->clearSelection();
}

void BookList::Quietly(const std::function<void()>& change) {
    m_quiet = true;
    try {
        change();
    } catch (...) {
        m_quiet = false;
        throw;
    }
    m_quiet = false;
}

void BookList::followSelection() {
    m_state.IndiceElegido = FirstSelectedRow();
}

// ---- list events

void BookList::ListView1SelectItem() {
    m_state.RegistroElegido = true;
    Commands::SetEnabled(m_commands.rowCommands(), true);
}

void BookList::ListView1Click() {
    m_state.IndiceElegido = FirstSelectedRow();
}

void BookList::listview1onchange() {
    m_state.IndiceElegido = FirstSelectedRow();
    const int rows = m_model.rowCount();
    if (rows == 0 || m_state.IndiceElegido == -1)
        Commands::SetEnabled(m_commands.rowCommands(), false);
    if (rows == 1 && m_state.ListaActivada && m_state.IndiceElegido == -1 &&
        m_state.BorradoUltimo) {
        Commands::SetEnabled(m_commands.bookCommands(), false); // the last record is going
    } else {
        Commands::SetEnabled(m_commands.bookCommands(), true);
        m_state.ListaActivada = true;
    }
}

void BookList::SeleccionarTodo1Click() {
    m_view->selectAll();
}

void BookList::OrdenarAgenda1Click() {
    m_model.setSorting(m_commands.OrdenarAgenda1->isChecked());
}

// ---- columns

void BookList::OcultarColumna(int k) {
    veldrano::OcultarColumna(m_state, m_columns, k);
}

void BookList::MostrarColumna(int k) {
    veldrano::MostrarColumna(m_state, m_columns, k);
}

void BookList::RefrescarColumnas() {
    veldrano::RefrescarColumnas(m_state, m_columns, m_view->width());
    applyColumns();
}

void BookList::ViewItemClick(int field) {
    // The action has flipped its own check mark already.
    if (m_commands.viewItem[field]->isChecked())
        MostrarColumna(field);
    else
        OcultarColumna(field);
    RefrescarColumnas();
}

void BookList::ResetColumns(const std::array<bool, kFieldCount>& hidden) {
    veldrano::ResetColumns(m_state, m_columns, m_view->width());
    for (QAction* item : m_commands.viewItem)
        item->setChecked(true);
    for (int k = 0; k < kFieldCount; ++k) {
        if (hidden[k]) {
            OcultarColumna(k);
            m_commands.viewItem[k]->setChecked(false);
            RefrescarColumnas();
        }
    }
    applyColumns();
}

void BookList::applyColumns() {
    ShareAutoWidths(m_columns, m_view->viewport()->width());
    QHeaderView* header = m_view->horizontalHeader();
    for (int k = 0; k < kFieldCount; ++k) {
        const bool hidden = m_state.ColumnaOculta[k] == -1;
        header->setSectionHidden(k, hidden);
        if (!hidden)
            header->resizeSection(k, m_columns[k].width);
    }
}

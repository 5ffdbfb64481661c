#pragma once
#include "book/ListColumns.h"
#include "book/WindowState.h"

#include <QObject>
#include <QTableView>
#include <functional>
#include <vector>

class BookModel;
class PlatformServices;
struct Commands;

// The report list: rows of the model, whole-row and multiple selection, no editing in
// place, headers that do not react to clicks. Uniform row heights, so a book of millions
// of rows costs nothing to lay out. Keys that a list would act on by itself and that
// belong to the window's commands (copy, select all) are left to the commands.
class ListView : public QTableView {
    Q_OBJECT
  public:
    explicit ListView(QWidget* parent);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The list's own rules: which row is chosen, which commands a selection enables, the
// columns of the "&Ver" menu and their widths, the ordering and select-all commands.
class BookList : public QObject {
    Q_OBJECT
  public:
    BookList(QWidget* window, PlatformServices& platform, BookModel& model,
             veldrano::WindowState& state, Commands& commands);

    ListView* view() const { return m_view; }

    // Selection, in list order.
    int FirstSelectedRow() const;
    std::vector<int> SelectedRows() const;
    void SelectRow(int row);
    void DeselectRow(int row);
    void DeselectAll();

    // Runs `change` (which empties the list or removes rows) without the list events that
    // a user's selection change would run.
    void Quietly(const std::function<void()>& change);

    // Columns.
    void OcultarColumna(int k);
    void MostrarColumna(int k);
    void RefrescarColumnas();
    // Every column shown, then the ones a book file marks hidden hidden again.
    void ResetColumns(const std::array<bool, veldrano::kFieldCount>& hidden);

    // Commands and list events.
    void SeleccionarTodo1Click();
    void OrdenarAgenda1Click();
    void ViewItemClick(int field);
    void ListView1SelectItem();
    void ListView1Click();
    void listview1onchange();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void applyColumns();
    void followSelection();
    void guarded(const std::function<void()>& handler);

    QWidget* m_window;
    PlatformServices& m_platform;
    BookModel& m_model;
    veldrano::WindowState& m_state;
    Commands& m_commands;
    ListView* m_view;
    veldrano::ListColumns m_columns{};
    bool m_quiet = false;
};

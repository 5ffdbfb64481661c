#pragma once
#include "book/Search.h"
#include "book/WindowState.h"

#include <QObject>
#include <QPersistentModelIndex>

class BookList;
class BookModel;
class TForm4;
struct Commands;

// Find (F3) through the search dialog, and find-next (F4) from the last match. The match
// found stays the search position when rows move, sort or go.
class SearchCommands : public QObject {
    Q_OBJECT
  public:
    SearchCommands(QObject* parent, veldrano::WindowState& state, BookModel& model, BookList& list,
                   Commands& commands, TForm4& dialog);

    void BuscarExecute();
    void BuscarSiguienteExecute();

  private:
    void followMatch();
    void track(int row);
    veldrano::RowName rowName() const;

    veldrano::WindowState& m_state;
    BookModel& m_model;
    BookList& m_list;
    Commands& m_commands;
    TForm4& m_dialog;
    QPersistentModelIndex m_match; // the row PosBusqueda names while it names a match
    bool m_tracking = false;
};

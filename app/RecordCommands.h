#pragma once
#include "book/WindowState.h"

#include <QObject>

class BookList;
class BookModel;
class PlatformServices;
class QWidget;
class TForm2;
class Tform3;
struct Commands;

// The "&Mantenimiento" record commands and the record buffer: add, modify and delete one
// record at a time through the record dialogs, and copy, cut and paste of records inside
// the window (the system clipboard is never used).
class RecordCommands : public QObject {
    Q_OBJECT
  public:
    RecordCommands(QWidget* window, PlatformServices& platform, veldrano::WindowState& state,
                   BookModel& model, BookList& list, Commands& commands, TForm2& add,
                   Tform3& modify);

    void AgregarRegExecute();
    void ModificarRegExecute();
    void EliminarRegExecute();
    void CortarExecute();
    void copiarExecute();
    void PegarExecute();

  private:
    void deleteSelected();

    QWidget* m_window;
    PlatformServices& m_platform;
    veldrano::WindowState& m_state;
    BookModel& m_model;
    BookList& m_list;
    Commands& m_commands;
    TForm2& m_add;
    Tform3& m_modify;
};

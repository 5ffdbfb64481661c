#pragma once
#include "book/WindowState.h"

#include <QObject>

class BookModel;
class PlatformServices;
class QWidget;
class TForm6;

// Mail: a message to the chosen contact (F9) or to the program's author, through the
// send-mail dialog.
class MailCommands : public QObject {
    Q_OBJECT
  public:
    MailCommands(QWidget* window, PlatformServices& platform, const veldrano::WindowState& state,
                 const BookModel& model, TForm6& dialog);

    void EnviarMailExecute();
    void Enviaremailautor1Click();

  private:
    QWidget* m_window;
    PlatformServices& m_platform;
    const veldrano::WindowState& m_state;
    const BookModel& m_model;
    TForm6& m_dialog;
};

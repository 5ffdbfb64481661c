#pragma once
#include "mail/IdSMTP.h"
#include "maildialog/MailSettings.h"

#include <QDialog>
#include <functional>
#include <string>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class PlatformServices;

// "Enviar e-mail": opens and closes a session with an SMTP server on the user's command,
// sends one short text message per "&Enviar Mensaje" through a session of its own, and
// writes the server settings back to correo.cfg on "&Salir".
class TForm6 : public QDialog {
    Q_OBJECT
  public:
    TForm6(QWidget* parent, PlatformServices& platform);

    void FormCreate();
    void conectarClick();
    void desconectarClick();
    void enviarClick();
    void salirClick();
    void VaciarMensaje();
    void ModoDesconectado();

    // The message text as typed: the user's lines joined by CR LF. A long line stays whole;
    // the message carries it in quoted-printable.
    std::string MessageText() const;

    // The send-mail command shows the settings of correo.cfg and the chosen contact's address.
    void SetSettings(const MailSettings& settings);
    void SetDestination(const QString& address);

    // The port that stands for 25 (SMTP with STARTTLS when offered) when "Servidor:" names
    // none; window tests point the dialog at a test server this way.
    void SetPortForTesting(int port);

    QPushButton *conectar = nullptr, *desconectar = nullptr, *enviar = nullptr, *salir = nullptr;
    QLineEdit *servidor = nullptr, *usuario = nullptr, *contrasena = nullptr;
    QLineEdit *remitente = nullptr, *respuesta = nullptr, *destino = nullptr, *asunto = nullptr;
    QPlainTextEdit* mensaje = nullptr;
    TIdSMTP MiSMTP;

  private:
    void createControls();
    void layOut();
    void connectedLayout();
    // The server, port, security and login the fields ask for; throws EIdServerTextError.
    TIdSmtpServer server() const;
    // Runs work (a session on session) off the window's thread behind a modal progress box
    // whose "&Cancelar" interrupts it; the window repaints meanwhile. Rethrows work's error.
    void runSession(const QString& label, TIdTCPConnection& session,
                    const std::function<void()>& work);
    void reportCancelled();
    // "No se ha podido establecer la conexión con el servidor", with the reason when given.
    void reportConnectFailure(const std::string& reason);
    void guarded(void (TForm6::*handler)());
    std::string text(QLineEdit* edit) const;

    PlatformServices& m_platform;
    int m_port = 25;
};

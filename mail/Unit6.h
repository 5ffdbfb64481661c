#pragma once
#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class PlatformServices;

// "Enviar e-mail": writes and sends a short text message through an SMTP server.
class TForm6 : public QDialog {
    Q_OBJECT
public:
    TForm6(QWidget* parent, PlatformServices& platform);

    QPushButton *conectar = nullptr, *desconectar = nullptr, *enviar = nullptr, *salir = nullptr;
    QLineEdit *servidor = nullptr, *usuario = nullptr, *contrasena = nullptr;
    QLineEdit *remitente = nullptr, *respuesta = nullptr, *destino = nullptr, *asunto = nullptr;
    QPlainTextEdit* mensaje = nullptr;

private:
    PlatformServices& m_platform;
};

#include "mail/Unit6.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TForm6::TForm6(QWidget* parent, PlatformServices& platform) : QDialog(parent), m_platform(platform) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Enviar e-mail"));
    auto* layout = new QVBoxLayout(this);
    auto make = [&](QLineEdit*& e, const char* name) {
        e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        layout->addWidget(e);
    };
    make(servidor, "servidor");
    make(usuario, "usuario");
    make(contrasena, "contrasena");
    make(remitente, "remitente");
    make(respuesta, "respuesta");
    make(destino, "destino");
    make(asunto, "asunto");
    mensaje = new QPlainTextEdit(this);
    layout->addWidget(mensaje);
}

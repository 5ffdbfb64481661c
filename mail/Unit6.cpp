#include "mail/Unit6.h"

#include "app/CodePageGuard.h"
#include "app/DataFolder.h"
#include "app/GeneralError.h"
#include "app/PlatformServices.h"
#include "app/TextCodec.h"
#include "book/TextFile.h"
#include "book/CodePage.h"

#include <QApplication>
#include <QStyle>
#include <algorithm>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The window is busy while a mail operation waits for the server.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

QString U(const char* s) {
    return QString::fromUtf8(s);
}

} // namespace

TForm6::TForm6(QWidget* parent, PlatformServices& platform)
    : QDialog(parent), m_platform(platform) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Enviar e-mail"));
    setModal(true);

    auto button = [this](QPushButton*& b, const char* name, const char* caption) {
        b = new QPushButton(U(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
    };
    button(conectar, "conectar", "&Conectar");
    button(desconectar, "desconectar", "&Desconectar");
    button(enviar, "enviar", "&Enviar Mensaje");
    button(salir, "salir", "&Salir");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {conectar, desconectar, enviar, salir})
        buttons->addWidget(b);

    auto edit = [this](QLineEdit*& e, const char* name) {
        e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setMinimumWidth(300);
        CodePageGuard::Attach(e, m_platform);
    };
    edit(servidor, "servidor");
    edit(usuario, "usuario");
    edit(contrasena, "contrasena");
    contrasena->setEchoMode(QLineEdit::Password);
    contrasena->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    edit(remitente, "remitente");
    edit(respuesta, "respuesta");
    edit(destino, "destino");
    edit(asunto, "asunto");

    auto* cabezera = new QGroupBox(QStringLiteral("Cabezera"), this);
    cabezera->setObjectName(QStringLiteral("Cabezera"));
    auto* server = new QFormLayout(cabezera);
    server->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    server->addRow(U("Servidor:"), servidor);
    server->addRow(U("Usuario:"), usuario);
    server->addRow(U("Contraseña:"), contrasena);

    auto* addresses = new QFormLayout;
    addresses->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    addresses->addRow(U("Remitente:"), remitente);
    addresses->addRow(U("Dir. Respuesta:"), respuesta);
    addresses->addRow(U("Destino:"), destino);
    addresses->addRow(U("Asunto:"), asunto);

    auto* box = new QGroupBox(QStringLiteral("Mensaje"), this);
    box->setObjectName(QStringLiteral("MensajeBox"));
    mensaje = new QPlainTextEdit(box);
    mensaje->setObjectName(QStringLiteral("mensaje"));
    mensaje->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mensaje->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mensaje->setMinimumHeight(180);
    CodePageGuard::Attach(mensaje, m_platform);
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->addWidget(mensaje);

    auto* top = new QVBoxLayout(this);
    top->addLayout(buttons);
    top->addWidget(cabezera);
    top->addLayout(addresses);
    top->addWidget(box);

    // The edits inside the group box start where the ones below it do: the group's labels
    // are narrower by the group's own inset.
    const int inset =
        server->contentsMargins().left() + style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    auto labelWidth = [](QFormLayout* form) {
        int width = 0;
        for (int row = 0; row < form->rowCount(); ++row)
            width = std::max(width, form->itemAt(row, QFormLayout::LabelRole)->sizeHint().width());
        return width;
    };
    const int outer = std::max(labelWidth(addresses), labelWidth(server) + inset);
    auto setLabelWidth = [](QFormLayout* form, int width) {
        for (int row = 0; row < form->rowCount(); ++row) {
            auto* label = static_cast<QLabel*>(form->itemAt(row, QFormLayout::LabelRole)->widget());
            label->setMinimumWidth(width);
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
    };
    setLabelWidth(addresses, outer);
    setLabelWidth(server, outer - inset);
    setFixedSize(sizeHint());

    connect(conectar, &QPushButton::clicked, this, [this] { guarded(&TForm6::conectarClick); });
    connect(desconectar, &QPushButton::clicked, this,
            [this] { guarded(&TForm6::desconectarClick); });
    connect(enviar, &QPushButton::clicked, this, [this] { guarded(&TForm6::enviarClick); });
    connect(salir, &QPushButton::clicked, this, [this] { guarded(&TForm6::salirClick); });

    MiSMTP.SetPort(25);
    MiSMTP.SetReadTimeout(0);
    MiSMTP.SetMaxLineAction(maException);
    MiSMTP.SetAuthenticationType(atNone);
    FormCreate();
}

void TForm6::guarded(void (TForm6::*handler)()) {
    try {
        (this->*handler)();
    } catch (const std::exception& e) {
        m_platform.showMessage(this, QStringLiteral("KTRVO"),
                               GeneralError::WithFullStop(GeneralError::DecodeMessage(e.what())),
                               PlatformServices::Icon::Error);
    }
}

std::string TForm6::text(QLineEdit* edit) const {
    return TextCodec::FromQString(edit->text());
}

void TForm6::SetPortForTesting(int port) {
    m_port = port;
}

void TForm6::FormCreate() {
    ModoDesconectado();
}

void TForm6::VaciarMensaje() {
    destino->clear();
    asunto->clear();
    mensaje->clear();
}

void TForm6::ModoDesconectado() {
    VaciarMensaje();
    conectar->setEnabled(true);
    desconectar->setEnabled(false);
    enviar->setEnabled(false);
    for (QLineEdit* e : {servidor, usuario, contrasena})
        e->setEnabled(true);
    for (QLineEdit* e : {remitente, respuesta, destino, asunto})
        e->setEnabled(false);
    mensaje->setEnabled(false);
}

void TForm6::connectedLayout() {
    conectar->setEnabled(false);
    for (QPushButton* b : {desconectar, enviar, salir})
        b->setEnabled(true);
    for (QLineEdit* e : {servidor, usuario, contrasena, remitente, respuesta, destino, asunto})
        e->setEnabled(true);
    mensaje->setEnabled(true);
}

void TForm6::conectarClick() {
    connectedLayout();
    MiSMTP.SetHost(text(servidor));
    MiSMTP.SetPort(m_port);
    MiSMTP.SetUsername(text(usuario));
    MiSMTP.SetPassword(text(contrasena));
    try {
        BusyCursor busy;
        MiSMTP.ConnectToHost(-1);
    } catch (const std::exception&) {
        m_platform.showMessage(this, QStringLiteral("Error"),
                               U("No se ha podido establecer la conexión con el servidor"),
                               PlatformServices::Icon::Error);
    }
}

void TForm6::desconectarClick() {
    {
        BusyCursor busy;
        MiSMTP.CloseConnection();
    }
    ModoDesconectado();
}

std::string TForm6::MessageText() const {
    std::string text;
    for (const QString& line : mensaje->toPlainText().split(QLatin1Char('\n'))) {
        if (!text.empty())
            text += "\r\n";
        text += TextCodec::FromQString(line);
    }
    return text;
}

void TForm6::enviarClick() {
    const std::string to = text(destino);
    const std::string from = text(respuesta);
    const std::string body = MessageText();
    const std::string subject = text(asunto);
    const std::string host = text(servidor);
    {
        BusyCursor busy;
        TIdSMTP::SendOneMessage(host, subject, to, from, body, m_port, veldrano::CurrentLocale());
    }
    VaciarMensaje();
}

void TForm6::salirClick() {
    const std::string path = DataFolder::File("correo.cfg");
    veldrano::Lines lines = veldrano::ReadTextLines(path);
    if (lines.size() < 3)
        throw std::runtime_error("List index out of bounds (" + std::to_string(lines.size()) + ")");
    lines[0] = text(servidor);
    lines[1] = text(usuario);
    lines[2] = text(contrasena);
    veldrano::WriteTextLines(path, lines, 0600);
    accept();
}

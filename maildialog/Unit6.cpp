#include "maildialog/Unit6.h"

#include "qtsupport/CodePageGuard.h"
#include "qtsupport/DataFolder.h"
#include "qtsupport/GeneralError.h"
#include "maildialog/MailSettings.h"
#include "qtsupport/PlatformServices.h"
#include "model/TextCodec.h"
#include "text/CodePage.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QStyle>
#include <algorithm>
#include <exception>
#include <thread>
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

// Gives the labels of both forms one right-aligned column, `inset` narrower inside the group.
void AlignLabels(QFormLayout* server, QFormLayout* addresses, int inset) {
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
}

} // namespace

TForm6::TForm6(QWidget* parent, PlatformServices& platform)
    : QDialog(parent), m_platform(platform) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Enviar e-mail"));
    setModal(true);
    createControls();
    layOut();
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

void TForm6::createControls() {
    auto button = [this](QPushButton*& b, const char* name, const char* caption) {
        b = new QPushButton(U(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
    };
    button(conectar, "conectar", "&Conectar");
    button(desconectar, "desconectar", "&Desconectar");
    button(enviar, "enviar", "&Enviar Mensaje");
    button(salir, "salir", "&Salir");

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
}

void TForm6::layOut() {
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {conectar, desconectar, enviar, salir})
        buttons->addWidget(b);

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
    AlignLabels(server, addresses, inset);
}

void TForm6::guarded(void (TForm6::*handler)()) {
    GeneralError::Guard(this, m_platform, [this, handler] { (this->*handler)(); });
}

std::string TForm6::text(QLineEdit* edit) const {
    return TextCodec::FromQString(edit->text());
}

void TForm6::SetSettings(const MailSettings& settings) {
    servidor->setText(TextCodec::ToQString(settings.servidor));
    usuario->setText(TextCodec::ToQString(settings.usuario));
    contrasena->setText(TextCodec::ToQString(settings.contrasena));
}

void TForm6::SetDestination(const QString& address) {
    destino->setText(address);
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

TIdSmtpServer TForm6::server() const {
    TIdSmtpServer server = ParseServerText(text(servidor), m_port);
    server.Username = text(usuario);
    server.Password = text(contrasena);
    server.CodePage = veldrano::CurrentLocale().codePage;
    return server;
}

void TForm6::runSession(const QString& label, TIdTCPConnection& session,
                        const std::function<void()>& work) {
    session.ResetInterrupt();
    QProgressDialog progress(label, U("&Cancelar"), 0, 0, this);
    progress.setObjectName(QStringLiteral("progreso"));
    progress.setWindowTitle(windowTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    // The socket is shut down at once; the worker then ends with EIdOperationCancelled.
    connect(&progress, &QProgressDialog::canceled, this, [&session] { session.Interrupt(); });

    // The window goes on repainting and answering Cancelar while the server is awaited.
    QEventLoop waiting;
    std::exception_ptr failure;
    BusyCursor busy;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    progress.show();
    waiting.exec();
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

void TForm6::reportCancelled() {
    m_platform.showMessage(this, QStringLiteral("Aviso"), U("Operación cancelada"),
                           PlatformServices::Icon::Information);
}

namespace {

// The mail layer says "Read Timeout" or "Connect timed out."; the user reads this instead.
constexpr const char* kNoAnswerInTime = "El servidor no ha respondido a tiempo.";

// Why a connect failed, by the kind of failure, when the reason is one the user can act on;
// empty for the others (the box then says only that the connection failed).
std::string ConnectFailureReason(const EIdException& e) {
    switch (e.Failure()) {
    case TIdFailure::Timeout:
        return kNoAnswerInTime;
    case TIdFailure::Tls:
    case TIdFailure::Login:
    case TIdFailure::ServerText:
    case TIdFailure::ReplyTooLong:
        return e.what();
    case TIdFailure::Other:
    case TIdFailure::Cancelled:
        break;
    }
    return {};
}

} // namespace

void TForm6::conectarClick() {
    connectedLayout();
    try {
        MiSMTP.UseServer(server());
        runSession(U("Conectando…"), MiSMTP, [this] { MiSMTP.ConnectToHost(-1); });
    } catch (const EIdOperationCancelled&) {
        reportCancelled();
    } catch (const EIdException& e) {
        reportConnectFailure(ConnectFailureReason(e));
    } catch (const std::exception&) {
        reportConnectFailure({});
    }
}

void TForm6::reportConnectFailure(const std::string& reason) {
    QString message = U("No se ha podido establecer la conexión con el servidor");
    if (!reason.empty())
        message += QStringLiteral(".\n\n") + GeneralError::DecodeMessage(reason.c_str());
    m_platform.showMessage(this, QStringLiteral("Error"), message, PlatformServices::Icon::Error);
}

void TForm6::desconectarClick() {
    {
        BusyCursor busy;
        MiSMTP.CloseConnection();
    }
    ModoDesconectado();
}

std::string TForm6::MessageText() const {
    // The edit separates lines with LF, which no code page uses inside a character.
    std::string text;
    for (char c : TextCodec::FromQString(mensaje->toPlainText())) {
        if (c == '\n')
            text += '\r';
        text += c;
    }
    return text;
}

void TForm6::enviarClick() {
    const std::string to = text(destino);
    const std::string from = text(respuesta);
    const std::string body = MessageText();
    const std::string subject = text(asunto);
    TIdSMTP smtp;
    smtp.UseServer(server());
    try {
        runSession(U("Enviando…"), smtp, [&] {
            TIdSMTP::SendOneMessage(smtp, subject, to, from, body, veldrano::CurrentLocale());
        });
    } catch (const EIdOperationCancelled&) {
        reportCancelled();
        return;
    } catch (const EIdException& e) {
        if (e.Failure() == TIdFailure::Timeout)
            throw EIdException(kNoAnswerInTime, TIdFailure::Timeout);
        throw;
    }
    VaciarMensaje();
}

void TForm6::salirClick() {
    MailSettings{text(servidor), text(usuario), text(contrasena)}.Save();
    accept();
}

// The send-mail dialog from the main window: mail settings, the two layouts, a session of
// the dialog's own and messages sent through sessions of their own.
#include "maildialog/Unit6.h"
#include "tests/support/app/WindowFixture.h"
#include "tests/support/net/LoopbackServer.h"

#include "BuildInfo.h"

#include <QAction>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace veldrano;
using veldrano::test::LoopbackServer;
using veldrano::test::ReadFileBytes;
using veldrano::test::WindowTest;
using veldrano::test::WriteFileBytes;

namespace {
const QString kNoSettings =
    QString::fromUtf8("No se encuentra CORREO.CFG o formato de archivo no válido");
const QString kNoConnection =
    QString::fromUtf8("No se ha podido establecer la conexión con el servidor");

// A port on 127.0.0.1 where nothing listens.
int ClosedPort() {
    LoopbackServer probe;
    return probe.port(); // closed again when the probe goes
}
// The tests' real SMTP server (aiosmtpd) in a child process, for one test.
class RealServer {
  public:
    explicit RealServer(const std::string& folder) {
        int toChild[2], fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(toChild[0], 0);
            ::dup2(fromChild[1], 1);
            ::close(toChild[1]);
            ::close(fromChild[0]);
            const std::string script = std::string(VELDRANO_TEST_SCRIPTS) + "/smtp_capture.py";
            ::execl("/usr/bin/python3", "python3", script.c_str(), folder.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_in = ::fdopen(toChild[1], "w");
        m_out = ::fdopen(fromChild[0], "r");
        if (std::fscanf(m_out, "%d", &m_port) != 1)
            m_port = 0;
    }
    ~RealServer() { stop(); }
    int port() const { return m_port; }
    // Ends the server; the messages are in the folder afterwards.
    void stop() {
        if (m_pid <= 0)
            return;
        std::fputs("\n", m_in);
        std::fclose(m_in);
        std::fclose(m_out);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = 0;
    }

  private:
    pid_t m_pid = 0;
    FILE* m_in = nullptr;
    FILE* m_out = nullptr;
    int m_port = 0;
};

// What Python's email package reads from a stored message, one line a value.
std::string Decode(const std::string& eml) {
    const std::string cmd = "/usr/bin/python3 " + std::string(VELDRANO_TEST_SCRIPTS) +
                            "/decode_message.py '" + eml + "'";
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

} // namespace

class SendMail : public WindowTest {
  protected:
    void loadContacts() {
        open((writeBook("l.kbx", {Record("Ana", "", "ana@correo.example"),
                                  Record("Bea", "", "bea@correo.example"),
                                  Record("Carla", "", "carla@correo.example")})));
    }
    TForm6& dialog() { return *form->findChild<TForm6*>("Form6"); }
    void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    // The session of one message, as SendOneMessage holds it.
    static void ScriptMessage(LoopbackServer& s, const std::string& from, const std::string& to,
                              const std::vector<std::string>& headerPatterns,
                              const std::vector<std::string>& body) {
        s.send("220 listo\r\n").expectLineMatching("EHLO .+").send("250 ok\r\n");
        s.expect("RSET\r\n").send("250 ok\r\n");
        s.expect("MAIL FROM:<" + from + ">\r\n").send("250 ok\r\n");
        s.expect("RCPT TO:<" + to + ">\r\n").send("250 ok\r\n");
        s.expect("DATA\r\n").send("354 adelante\r\n");
        for (const std::string& p : headerPatterns)
            s.expectLineMatching(p);
        s.expect("\r\n");
        for (const std::string& line : body)
            s.expect(line + "\r\n");
        s.expect(".\r\n").send("250 recibido\r\n").expect("QUIT\r\n").close();
    }
};

TEST_F(SendMail, TheDialogHasItsControlsAndStartsDisconnected) {
    start();
    TForm6& d = dialog();
    EXPECT_EQ(d.windowTitle(), "Enviar e-mail");
    EXPECT_EQ(d.conectar->text(), "&Conectar");
    EXPECT_EQ(d.desconectar->text(), "&Desconectar");
    EXPECT_EQ(d.enviar->text(), "&Enviar Mensaje");
    EXPECT_EQ(d.salir->text(), "&Salir");
    EXPECT_EQ(d.contrasena->echoMode(), QLineEdit::Password);
    EXPECT_EQ(d.minimumSize(), d.maximumSize());
    // The four buttons stand in one row at the top.
    d.layout()->activate();
    const int y = d.conectar->y();
    for (QPushButton* b : {d.desconectar, d.enviar, d.salir})
        EXPECT_EQ(b->y(), y);
    EXPECT_LT(y, d.servidor->mapTo(&d, QPoint(0, 0)).y());
    EXPECT_TRUE(d.conectar->isEnabled());
    EXPECT_FALSE(d.desconectar->isEnabled() || d.enviar->isEnabled());
    EXPECT_FALSE(d.destino->isEnabled() || d.asunto->isEnabled() || d.mensaje->isEnabled());
    EXPECT_TRUE(d.servidor->isEnabled());
    EXPECT_EQ(d.MiSMTP.Port(), 25);
    EXPECT_EQ(d.MiSMTP.ReadTimeout(), 0);
}

TEST_F(SendMail, F9FillsTheSettingsAndTheFirstSelectedContact) {
    WriteFileBytes(dataFile("correo.cfg"), "smtp.correo.example\r\nlucia\r\nsecreta\r\n");
    start();
    loadContacts();
    clickRow(1);
    clickRow(2, Qt::ControlModifier);
    clickRow(0, Qt::ControlModifier);
    withModal([&] { press(Qt::Key_F9); },
              [&](QWidget* w) {
                  EXPECT_EQ(w, &dialog());
                  EXPECT_EQ(dialog().servidor->text(), "smtp.correo.example");
                  EXPECT_EQ(dialog().usuario->text(), "lucia");
                  EXPECT_EQ(dialog().contrasena->text(), "secreta");
                  EXPECT_EQ(dialog().destino->text(), "ana@correo.example");
                  w->close(); // the close box saves nothing
              });
    EXPECT_EQ(ReadFileBytes(dataFile("correo.cfg")), "smtp.correo.example\r\nlucia\r\nsecreta\r\n");
}

TEST_F(SendMail, ShortOrMissingSettingsShowTheMessageAndNoDialog) {
    WriteFileBytes(dataFile("correo.cfg"), "smtp.correo.example\r\nlucia\r\n");
    start();
    loadContacts();
    clickRow(0);
    expectNoModal([&] { trigger("EnviarMail"); });
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text, kNoSettings);
    EXPECT_EQ(platform.shown[0].title, "Error");
    EXPECT_EQ(dialog().servidor->text(), "smtp.correo.example"); // filled before the failure
    std::filesystem::remove(dataFile("correo.cfg"));
    expectNoModal([&] { trigger("EnviarMail"); });
    EXPECT_EQ(platform.shown.size(), 2u);
}

TEST_F(SendMail, SalirWritesTheFirstThreeLinesAndKeepsTheRest) {
    WriteFileBytes(dataFile("correo.cfg"), "viejo\r\nusuario\r\nclave\r\ncuarta\r\nquinta\r\n");
    ::chmod(dataFile("correo.cfg").c_str(), 0600);
    start();
    loadContacts();
    clickRow(0);
    withModal([&] { trigger("EnviarMail"); },
              [&](QWidget*) {
                  dialog().servidor->setText("nuevo.example");
                  dialog().contrasena->setText(QString::fromUtf8("contraseña"));
                  click(dialog().salir);
              });
    EXPECT_EQ(ReadFileBytes(dataFile("correo.cfg")), "nuevo.example\r\nusuario\r\ncontrase\xF1"
                                                     "a\r\ncuarta\r\nquinta\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(dataFile("correo.cfg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(SendMail, SalirWithABadSettingsFileKeepsTheDialogOpen) {
    start();
    WriteFileBytes(dataFile("correo.cfg"), "solo\r\ndos\r\n");
    withModal([&] { trigger("Enviaremailautor1"); },
              [&](QWidget* w) {
                  click(dialog().salir);
                  EXPECT_TRUE(w->isVisible());
                  ASSERT_EQ(platform.shown.size(), 1u);
                  EXPECT_EQ(platform.shown[0].title, "KTRVO");
                  EXPECT_EQ(platform.shown[0].text, "List index out of bounds (2)");
                  w->close();
              });
}

TEST_F(SendMail, MailToTheAuthorNeedsNoSettings) {
    std::filesystem::remove(dataFile("correo.cfg"));
    start();
    withModal([&] { trigger("Enviaremailautor1"); },
              [&](QWidget* w) {
                  EXPECT_EQ(dialog().destino->text(), QString::fromUtf8(VELDRANO_AUTHOR_EMAIL));
                  EXPECT_TRUE(dialog().servidor->text().isEmpty());
                  w->close();
              });
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(SendMail, AFailedConnectKeepsTheConnectedLayoutAndSendStillDelivers) {
    start();
    TForm6& d = dialog();
    d.SetPortForTesting(ClosedPort());
    d.servidor->setText("127.0.0.1");
    click(d.conectar);
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text, kNoConnection);
    EXPECT_EQ(platform.shown[0].icon, PlatformServices::Icon::Error);
    EXPECT_FALSE(d.conectar->isEnabled());
    EXPECT_TRUE(d.enviar->isEnabled() && d.desconectar->isEnabled() && d.mensaje->isEnabled());

    LoopbackServer server;
    d.SetPortForTesting(server.port());
    d.destino->setText("ana@correo.example");
    d.respuesta->setText("lucia@correo.example");
    d.asunto->setText(QString::fromUtf8("Reunión de mañana"));
    d.mensaje->setPlainText(QString::fromUtf8("Hola Ana:\n.con punto\n\nAdiós"));
    ScriptMessage(
        server, "lucia@correo.example", "ana@correo.example",
        {"From: lucia@correo\\.example",
         "Subject: =\\?ISO-8859-1\\?Q\\?Reuni=F3n\\?= de =\\?ISO-8859-1\\?Q\\?ma=F1ana\\?=",
         "To: ana@correo\\.example", "Date: .+", "Message-ID: .+", "X-Priority: 3", "X-Library: .+",
         "MIME-Version: 1\\.0", "Content-Type: text/plain; charset=ISO-8859-1",
         "Content-Transfer-Encoding: quoted-printable"},
        {"Hola Ana:", "..con punto", "", "Adi=F3s"});
    click(d.enviar);
    EXPECT_TRUE(server.finished());
    EXPECT_EQ(platform.shown.size(), 1u);
    EXPECT_TRUE(d.destino->text().isEmpty() && d.asunto->text().isEmpty() &&
                d.mensaje->toPlainText().isEmpty());
    EXPECT_FALSE(d.conectar->isEnabled()); // still the connected layout
    click(d.desconectar);
    EXPECT_TRUE(d.conectar->isEnabled());
    EXPECT_FALSE(d.enviar->isEnabled());
}

TEST_F(SendMail, AnEmptyReplyAddressGivesAnEmptyEnvelopeSender) {
    start();
    TForm6& d = dialog();
    d.SetPortForTesting(ClosedPort());
    d.servidor->setText("127.0.0.1");
    click(d.conectar); // fails; Send is enabled all the same
    LoopbackServer server;
    d.SetPortForTesting(server.port());
    ScriptMessage(server, "", "bea@correo.example",
                  {"To: bea@correo\\.example", "Date: .+", "Message-ID: .+", "X-Priority: 3",
                   "X-Library: .+", "MIME-Version: 1\\.0",
                   "Content-Type: text/plain; charset=us-ascii", "Content-Transfer-Encoding: 7bit"},
                  {"x"});
    d.destino->setText("bea@correo.example");
    d.mensaje->setPlainText("x");
    click(d.enviar);
    EXPECT_TRUE(server.finished());
    EXPECT_EQ(platform.shown.size(), 1u);
}

TEST_F(SendMail, DisconnectEmptiesTheFieldsAndSalirKeepsTheSessionAndLayout) {
    start();
    TForm6& d = dialog();
    LoopbackServer server;
    d.SetPortForTesting(server.port());
    server.send("220 listo\r\n").expectLineMatching("EHLO .+").send("250 ok\r\n");
    withModal([&] { trigger("Enviaremailautor1"); },
              [&](QWidget*) {
                  d.servidor->setText("127.0.0.1");
                  click(d.conectar);
                  EXPECT_TRUE(d.MiSMTP.IsConnected());
                  click(d.salir);
              });
    EXPECT_TRUE(platform.shown.empty());
    withModal([&] { trigger("Enviaremailautor1"); },
              [&](QWidget* w) {
                  EXPECT_FALSE(d.conectar->isEnabled()); // connected layout kept
                  EXPECT_TRUE(d.MiSMTP.IsConnected());   // and the same session
                  d.asunto->setText("algo");
                  server.expect("QUIT\r\n");
                  click(d.desconectar);
                  EXPECT_TRUE(d.asunto->text().isEmpty() && d.destino->text().isEmpty());
                  EXPECT_TRUE(d.conectar->isEnabled());
                  w->close();
              });
    EXPECT_TRUE(server.finished());
}

TEST_F(SendMail, ASendThatFailsKeepsEveryField) {
    start();
    TForm6& d = dialog();
    d.SetPortForTesting(ClosedPort());
    d.servidor->setText("127.0.0.1");
    click(d.conectar);
    d.destino->setText("ana@correo.example");
    d.asunto->setText("Hola");
    click(d.enviar);
    ASSERT_EQ(platform.shown.size(), 2u);
    EXPECT_EQ(platform.shown[1].title, "KTRVO");
    EXPECT_EQ(platform.shown[1].text, "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(d.destino->text(), "ana@correo.example");
    EXPECT_EQ(d.asunto->text(), "Hola");
}

// The message carries a long line in quoted-printable, so the text keeps it whole.
TEST_F(SendMail, LongLinesStayWhole) {
    start();
    TForm6& d = dialog();
    QString line;
    while (line.size() < 2500)
        line += QStringLiteral("palabra ");
    d.mensaje->setPlainText(QStringLiteral("\ncorta\n") + line);
    EXPECT_EQ(d.MessageText(), "\r\ncorta\r\n" + line.toStdString());
}

TEST_F(SendMail, ARealServerReceivesWhatWasTypedAndAReaderDecodesIt) {
    std::filesystem::create_directories(path("buzon"));
    RealServer server(path("buzon"));
    ASSERT_GT(server.port(), 0) << "aiosmtpd did not start";
    WriteFileBytes(dataFile("correo.cfg"), "127.0.0.1\r\n\r\n\r\n");
    start();
    open((writeBook("l.kbx", {Record("Mar\xED"
                                     "a",
                                     "",
                                     "\"Mar\xED"
                                     "a Pe\xF1"
                                     "a\" <maria@correo.example>")})));
    clickRow(0);
    withModal([&] { press(Qt::Key_F9); },
              [&](QWidget*) {
                  TForm6& d = dialog();
                  d.SetPortForTesting(server.port());
                  click(d.conectar);
                  d.respuesta->setText(QString::fromUtf8("Lucía <lucia@correo.example>"));
                  d.asunto->setText(QString::fromUtf8("Cita del miércoles, ¿a qué hora?"));
                  d.mensaje->setPlainText(QString::fromUtf8(
                      "Hola María:\n.\nNos vemos el miércoles.\n\nUn saludo, Lucía"));
                  click(d.enviar);
                  EXPECT_TRUE(d.asunto->text().isEmpty());
                  click(d.desconectar);
                  d.close();
              });
    server.stop();
    EXPECT_TRUE(platform.shown.empty())
        << (platform.shown.empty() ? "" : platform.shown[0].text.toStdString());
    EXPECT_EQ(ReadFileBytes(path("buzon/0.env")), "lucia@correo.example\nmaria@correo.example\n");
    EXPECT_EQ(Decode(path("buzon/0.eml")),
              "Cita del mi\xC3\xA9rcoles, \xC2\xBF"
              "a qu\xC3\xA9 hora?\n"
              "Luc\xC3\xAD"
              "a <lucia@correo.example>\n"
              "Mar\xC3\xAD"
              "a Pe\xC3\xB1"
              "a <maria@correo.example>\n"
              "Hola Mar\xC3\xAD"
              "a:\n.\nNos vemos el mi\xC3\xA9rcoles.\n\nUn saludo, Luc\xC3\xAD"
              "a\n");
}

// The window's side of the sync, against a real CardDAV server and a real keyring, which
// check_window_sync.py starts: a book synced once from the terminal, then opened, edited
// and saved in the window while the server's cards change.
#include "files/TextFile.h"
#include "keyring/Keyring.h"
#include "sync/HttpClient.h"
#include "sync/SyncState.h"
#include "tests/support/app/WindowFixture.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

using namespace veldrano;
using veldrano::test::WindowTest;

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

const QString kSyncing = QString::fromUtf8("Sincronizando…");

} // namespace

class WindowSyncing : public WindowTest {
  protected:
    void SetUp() override {
        if (Env("VELDRANO_TEST_KEYRING") != "keyring" || Env("VELDRANO_TEST_CARDDAV").empty())
            GTEST_FAIL() << "run through check_window_sync.py";
        WindowTest::SetUp();
    }

    std::string book = Env("VELDRANO_TEST_BOOK"), url = Env("VELDRANO_TEST_CARDDAV"),
                user = Env("VELDRANO_TEST_USER");
    HttpClient phone{{user, Env("VELDRANO_TEST_PASSWORD")}};

    // Waits for the running sync to end; returns the longest the event loop went without
    // answering a 10 ms timer meanwhile.
    qint64 waitForSync() {
        QElapsedTimer since;
        since.start();
        qint64 longest = 0;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (status() == kSyncing)
                longest = std::max(longest, since.restart());
        });
        probe.start(10);
        QElapsedTimer waited;
        waited.start();
        while (status() == kSyncing && waited.elapsed() < 120000)
            QTest::qWait(20);
        EXPECT_NE(status(), kSyncing) << "the sync never ended";
        return longest;
    }

    // The card of a contact, as the last sync left it on the server.
    SyncedCard cardOf(const std::string& name) {
        const auto state = ReadSyncState(SyncStatePath(book));
        for (const SyncedCard& card : state->cards)
            if (card.record[0] == name)
                return card;
        ADD_FAILURE() << "no card for " << name;
        return {};
    }

    std::string cardUrl(const SyncedCard& card) { return ResolveUrl(url, card.href); }

    // The phone changes a line of a contact's card on the server.
    void phoneEdits(const std::string& name, const std::string& from, const std::string& to) {
        phoneEdits(cardOf(name), from, to);
    }
    void phoneEdits(const SyncedCard& card, const std::string& from, const std::string& to) {
        const std::string at = cardUrl(card);
        HttpResponse got = phone.Send({"GET", at, {}, {}, false});
        ASSERT_EQ(got.status, 200);
        const size_t line = got.body.find(from);
        ASSERT_NE(line, std::string::npos) << got.body;
        got.body.replace(line, from.size(), to);
        const HttpResponse put =
            phone.Send({"PUT", at, {"Content-Type: text/vcard; charset=utf-8"}, got.body, false});
        ASSERT_TRUE(put.status == 201 || put.status == 204) << put.status;
    }

    int rowOf(const std::string& name) {
        const auto shown = names();
        const auto it = std::find(shown.begin(), shown.end(), name);
        return it == shown.end() ? -1 : static_cast<int>(it - shown.begin());
    }

    std::string fieldOf(const std::string& name, Field field) {
        const int row = rowOf(name);
        return row < 0 ? "" : rows()[static_cast<size_t>(row)][FieldIndex(field)];
    }

    void modify(const std::string& name, const char* edit, const QString& value) {
        clickRow(rowOf(name));
        withModal([&] { trigger("ModificarReg"); },
                  [&](QWidget* dialog) {
                      type(dialog, edit, value);
                      click(dialog, "BitBtn1");
                  });
    }
};

TEST_F(WindowSyncing, OpenSaveAndTheServersChangesMeetInTheWindow) {
    start();
    const QString path = QString::fromStdString(book);

    // Open syncs: the thousand contacts typed here go up, the phone's one comes down, and
    // the window answers all the while.
    open(book);
    EXPECT_EQ(status(), kSyncing);
    QMenu* archivo = menu("Archivo1");
    const auto items = archivo->actions();
    ASSERT_GE(items.size(), 2);
    EXPECT_EQ(items[items.size() - 2]->objectName(), "SincronizarAhora");
    EXPECT_EQ(items.back()->objectName(), "Salir");
    EXPECT_EQ(items[items.size() - 2]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    EXPECT_LT(waitForSync(), 100);
    EXPECT_EQ(status(), QString::fromUtf8("Sincronizado: 1 añadido aquí, 1000 en el servidor, "
                                          "0 conflictos"));
    EXPECT_GE(rowOf("Tel\xE9"
                    "fono Nuevo"),
              0);
    EXPECT_EQ(names().size(), 1001u);
    EXPECT_TRUE(platform.texts().empty());
    QTRY_COMPARE_WITH_TIMEOUT(status(), path, 15000); // the summary stays 10 seconds

    // A change made on the phone meanwhile appears within one sync, the chosen contact kept.
    clickRow(rowOf("Persona 0007 Pe\xF1"
                   "a"));
    const ContactRecord chosen = rows()[static_cast<size_t>(selectedRows().at(0))];
    phoneEdits("Persona 0003 Pe\xF1"
               "a",
               "TEL;TYPE=cell:600000003", "TEL;TYPE=cell:699000003");
    trigger("SincronizarAhora");
    waitForSync();
    EXPECT_EQ(fieldOf("Persona 0003 Pe\xF1"
                      "a",
                      Field::movil),
              "699000003");
    ASSERT_EQ(selectedRows().size(), 1u);
    EXPECT_EQ(rows()[static_cast<size_t>(selectedRows()[0])], chosen);
    EXPECT_EQ(status(), QString::fromUtf8("Sincronizado: 0 añadidos aquí, 0 en el servidor, "
                                          "1 cambiado aquí, 0 en el servidor, 0 conflictos"));

    // Save of an edit reaches the server.
    withModal([&] { trigger("AgregarReg"); },
              [&](QWidget* dialog) {
                  type(dialog, "nombre", QStringLiteral("Zoe Ruiz"));
                  type(dialog, "e_mail", QStringLiteral("zoe@example.com"));
                  click(dialog, "BitBtn1");
              });
    trigger("Guardar");
    waitForSync();
    EXPECT_EQ(status(), QString::fromUtf8("Sincronizado: 0 añadidos aquí, 1 en el servidor, "
                                          "0 conflictos"));
    const HttpResponse zoe = phone.Send({"GET", cardUrl(cardOf("Zoe Ruiz")), {}, {}, false});
    EXPECT_EQ(zoe.status, 200);
    EXPECT_NE(zoe.body.find("zoe@example.com"), std::string::npos) << zoe.body;

    // The same field changed on both sides: one box names the contact and the server's value.
    phoneEdits("Persona 0005 Pe\xF1"
               "a",
               "TEL;TYPE=cell:600000005", "TEL;TYPE=cell:611111111");
    modify("Persona 0005 Pe\xF1"
           "a",
           "movil", QStringLiteral("622222222"));
    platform.clearShown();
    trigger("Guardar");
    waitForSync();
    ASSERT_EQ(platform.texts().size(), 1u);
    EXPECT_NE(platform.texts()[0].indexOf(QString::fromUtf8("«Persona 0005 Peña», Móvil: "
                                                            "«611111111»")),
              -1)
        << platform.texts()[0].toStdString();
    EXPECT_EQ(fieldOf("Persona 0005 Pe\xF1"
                      "a",
                      Field::movil),
              "622222222");
    EXPECT_TRUE(StampOf(book + ".conflictos.txt").exists);

    // Edits made while a sync runs: the rows stay as the user left them, nothing is asked,
    // and Save puts both together.
    const auto state = ReadSyncState(SyncStatePath(book));
    for (const SyncedCard& card : state->cards) {
        if (card.record[0].rfind("Persona 01", 0) == 0) // a hundred: a sync that takes a while
            phoneEdits(card, "TEL;TYPE=home:91", "TEL;TYPE=home:81");
    }
    platform.clearShown();
    trigger("SincronizarAhora");
    withModal([&] { trigger("AgregarReg"); },
              [&](QWidget* dialog) {
                  type(dialog, "nombre", QStringLiteral("Mia Sol"));
                  click(dialog, "BitBtn1");
              });
    ASSERT_EQ(status(), kSyncing) << "the edit came after the sync: no test of the merge";
    waitForSync();
    EXPECT_EQ(fieldOf("Persona 0150 Pe\xF1"
                      "a",
                      Field::telefono),
              "910000150");
    EXPECT_GE(rowOf("Mia Sol"), 0);
    EXPECT_TRUE(platform.texts().empty());
    trigger("Guardar");
    EXPECT_EQ(fieldOf("Persona 0150 Pe\xF1"
                      "a",
                      Field::telefono),
              "810000150");
    EXPECT_GE(rowOf("Mia Sol"), 0);
    waitForSync();
    EXPECT_EQ(phone.Send({"GET", cardUrl(cardOf("Mia Sol")), {}, {}, false}).status, 200);
    EXPECT_EQ(names().size(), 1003u);
    EXPECT_TRUE(platform.texts().empty());

    // A refused password: one error box, asked or not, and the book as it was.
    const std::string key = Keyring::CardDavKey(user, url);
    ASSERT_TRUE(Keyring::Store(key, "prueba", "mala", Keyring::kShortWait));
    platform.clearShown();
    const FileStamp before = StampOf(book);
    const auto shown = names();
    trigger("SincronizarAhora");
    waitForSync();
    ASSERT_EQ(platform.texts().size(), 1u);
    EXPECT_NE(
        platform.texts()[0].indexOf(QString::fromUtf8("no acepta el usuario o la contraseña")), -1)
        << platform.texts()[0].toStdString();
    EXPECT_EQ(StampOf(book), before);
    EXPECT_EQ(names(), shown);
    EXPECT_EQ(status(), path);
    trigger("Guardar"); // syncs again by itself, and fails the same way: not shown again
    waitForSync();
    EXPECT_EQ(platform.texts().size(), 1u);
    ASSERT_TRUE(Keyring::Store(key, "prueba", Env("VELDRANO_TEST_PASSWORD"), Keyring::kShortWait));
}

// A book that never synced shows no item and never syncs.
TEST_F(WindowSyncing, ABookWithoutAStateHasNoSync) {
    start();
    const std::string plain = writeBook("solo.kbx", {Record("Ana")});
    open(plain);
    EXPECT_EQ(status(), QString::fromStdString(plain));
    for (QAction* item : menu("Archivo1")->actions())
        EXPECT_NE(item->objectName(), "SincronizarAhora");
    EXPECT_FALSE(StampOf(SyncStatePath(plain)).exists);
}

// Other programs' contacts through Abrir, a drop and Guardar Como: an import becomes a new,
// unsaved book; an export leaves the book and its file as they were.
#include "book/BookFile.h"
#include "interchange/Import.h"
#include "tests/support/app/WindowFixture.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QUrl>
#include <filesystem>

using namespace veldrano;
using veldrano::test::ReadFileBytes;
using veldrano::test::WindowTest;
using veldrano::test::WriteFileBytes;

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const char* const kTwoCards = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Luis Gil\r\nTEL;TYPE=cell:600 "
                              "000 000\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nFN:\xC3\x81"
                              "ngel Mu\xC3\xB1oz\r\nEMAIL:angel@example.org\r\nEND:VCARD\r\n";

} // namespace

// What Python's vobject reads of a vCard file: per card its name, home telephone, e-mail
// and organisation.
QString VobjectReads(const std::string& file) {
    QProcess python;
    python.start(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys, vobject\n"
                        "for c in vobject.readComponents(open(sys.argv[1], encoding='utf-8')):\n"
                        "    v = lambda n: getattr(c, n).value if hasattr(c, n) else ''\n"
                        "    org = ';'.join(c.org.value) if hasattr(c, 'org') else None\n"
                        "    print('|'.join(x for x in [v('fn'), v('tel'), v('email'), org]"
                        " if x is not None))\n"),
         QString::fromStdString(file)});
    python.waitForFinished(30000);
    return QString::fromUtf8(python.readAllStandardOutput());
}

class ImportExport : public WindowTest {
  protected:
    std::vector<QString> texts() const { return platform.texts(); }
};

// Each way a file reaches the window ends in the same state: a new book holding the
// contacts, in name order, modified, that Guardar asks a name for.
TEST_F(ImportExport, AVCardOpensAsANewUnsavedBookInNameOrder) {
    start();
    WriteFileBytes(path("movil.vcf"), kTwoCards);
    for (const std::string how : {"open", "menu", "drop"}) {
        platform.clearShown();
        if (how == "open") {
            open(path("movil.vcf"));
        } else if (how == "menu") {
            platform.yesNo = {false}; // the previous import is not saved
            platform.openNames = {QString::fromStdString(path("movil.vcf"))};
            trigger("Abrir");
        } else {
            platform.yesNo = {false};
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path("movil.vcf")))});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
            QCoreApplication::sendEvent(form.get(), &enter);
            ASSERT_TRUE(enter.isAccepted());
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(form.get(), &drop);
        }
        EXPECT_EQ(names(), (std::vector<std::string>{"\xC1ngel Mu\xF1oz", "Luis Gil"})) << how;
        EXPECT_EQ(rows()[1][FieldIndex(Field::movil)], "600 000 000");
        EXPECT_EQ(status(), U("Importados 2 contactos de movil.vcf")) << how;
        EXPECT_TRUE(texts().size() <= 1u) << how; // only the save question, no summary
    }
    // Guardar asks for a name and writes a book; the .vcf is untouched.
    platform.saveNames = {QString::fromStdString(path("nuevo"))};
    trigger("Guardar");
    EXPECT_TRUE(std::filesystem::exists(path("nuevo.kbx")));
    EXPECT_EQ(ReadFileBytes(path("movil.vcf")), kTwoCards);
    EXPECT_EQ(ReadBookFile(path("nuevo.kbx")).records.size(), 2u);
}

// A character the code page cannot hold never disappears without a word.
TEST_F(ImportExport, CharactersTheBookCannotHoldAreNamedOrReplacedWhenTheUserSaysSo) {
    start();
    std::string p = writeBook("libro.kbx", {Record("Eva")});
    open(p);
    WriteFileBytes(path("ru.vcf"), "BEGIN:VCARD\r\nFN:\xD0\x90\xD0\xBD\xD0\xB0 "
                                   "Ruiz\r\nEND:VCARD\r\n");
    platform.yesNo = {false};
    open(path("ru.vcf"));
    ASSERT_EQ(texts().size(), 2u);
    EXPECT_EQ(texts()[0], U("¿Importar sustituyendo por \"?\" los 3 caracteres que la agenda no "
                            "puede guardar?"));
    EXPECT_TRUE(texts()[1].contains(U("ru.vcf"))) << texts()[1].toStdString();
    EXPECT_TRUE(texts()[1].contains(U("«А»"))) << texts()[1].toStdString();
    EXPECT_EQ(names(), std::vector<std::string>{"Eva"});
    EXPECT_EQ(status(), QString::fromStdString(p));

    platform.clearShown();
    platform.yesNo = {true};
    open(path("ru.vcf"));
    EXPECT_EQ(names(), std::vector<std::string>{"??? Ruiz"});
    ASSERT_EQ(texts().size(), 2u);
    EXPECT_TRUE(texts()[1].contains(U("3 caracteres"))) << texts()[1].toStdString();
}

TEST_F(ImportExport, ABrokenFileIsRefusedWithItsLineAndChangesNothing) {
    start();
    std::string p = writeBook("libro.kbx", {Record("Eva")});
    open(p);
    WriteFileBytes(path("roto.vcf"), "BEGIN:VCARD\r\nFN:Ana\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN "
                                     "sin dos puntos\r\nEND:VCARD\r\n");
    open(path("roto.vcf"));
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_TRUE(texts()[0].startsWith(U("No se puede importar roto.vcf, línea 5")))
        << texts()[0].toStdString();
    EXPECT_EQ(names(), std::vector<std::string>{"Eva"});
    EXPECT_EQ(status(), QString::fromStdString(p));
    EXPECT_FALSE(asksToSaveChanges());
}

// Guardar Como with vCard or CSV chosen exports every contact and every field; the book's
// file, its modified state and the status panel's file name stay.
TEST_F(ImportExport, SaveAsVCardOrCsvExportsAndLeavesTheBookAsItWas) {
    start();
    ContactRecord ana = Record("Ana Ruiz", "555 1234", "ana@example.org");
    ana[FieldIndex(Field::organizacion)] = "Taller \x80 Norte";
    std::string p = writeBook("libro.kbx", {ana, Record("Luis")});
    open(p);
    for (const char* filter : {"Contactos vCard (*.vcf)", "Contactos CSV (*.csv)"}) {
        const bool vcard = QString::fromUtf8(filter).contains(U("vCard"));
        platform.saveNames = {QString::fromStdString(path("fuera"))};
        platform.saveFilters = {U(filter)};
        trigger("GuardarComo");
        const std::string out = path(vcard ? "fuera.vcf" : "fuera.csv");
        ASSERT_TRUE(std::filesystem::exists(out)) << out;
        const ImportResult back = ImportContacts(ReadFileBytes(out), {});
        EXPECT_EQ(back.records, (std::vector<ContactRecord>{ana, Record("Luis")})) << filter;
        if (vcard) { // and a reader nobody here wrote reads it field by field
            EXPECT_EQ(VobjectReads(out), U("Ana Ruiz|555 1234|ana@example.org|Taller € Norte\n"
                                           "Luis||\n"));
        }
        EXPECT_EQ(status(),
                  U("Exportados 2 contactos a ") +
                      QString::fromStdString(std::filesystem::path(out).filename().string()));
        EXPECT_FALSE(asksToSaveChanges());
    }
    // The book's file is still the one Guardar writes.
    trigger("Guardar");
    EXPECT_EQ(status(), QString::fromStdString(p));
    EXPECT_FALSE(std::filesystem::exists(path("fuera.kbx")));
}

// Other address books' exports, told apart by their content: every kind opens with its
// fields in place, and the summary names what has no place in the book.
TEST_F(ImportExport, GoogleCsvAndThunderbirdLdifOpenWithAWordOnWhatWasLeftOut) {
    start();
    WriteFileBytes(path("google.csv"),
                   "\xEF\xBB\xBF"
                   "First Name,Last Name,E-mail 1 - Value,Phone 1 - Label,Phone 1 - Value,"
                   "Notes\r\nLuc\xC3\xAD"
                   "a,Pe\xC3\xB1"
                   "a,lucia@example.org ::: otra@example.org,Mobile,611 222 333,Vecina\r\n");
    open(path("google.csv"));
    EXPECT_EQ(names(), std::vector<std::string>{"Luc\xED"
                                                "a Pe\xF1"
                                                "a"});
    EXPECT_EQ(rows()[0][FieldIndex(Field::e_mail)], "lucia@example.org");
    EXPECT_EQ(rows()[0][FieldIndex(Field::movil)], "611 222 333");
    ASSERT_EQ(platform.texts().size(), 1u);
    EXPECT_TRUE(platform.texts()[0].contains(U("CSV de Google")))
        << platform.texts()[0].toStdString();
    EXPECT_TRUE(platform.texts()[0].contains(U("notas (1 contacto)")))
        << platform.texts()[0].toStdString();

    platform.clearShown();
    platform.yesNo = {false};
    WriteFileBytes(path("tb.ldif"), "dn: cn=Ana Ruiz,mail=ana@example.org\r\n"
                                    "objectclass: top\r\nobjectclass: person\r\n"
                                    "cn: Ana Ruiz\r\nmail: ana@example.org\r\n"
                                    "telephoneNumber: 555 1234\r\no: Taller\r\n\r\n");
    open(path("tb.ldif"));
    EXPECT_EQ(names(), std::vector<std::string>{"Ana Ruiz"});
    EXPECT_EQ(rows()[0][FieldIndex(Field::organizacion)], "Taller");
    EXPECT_EQ(status(), U("Importado 1 contacto de tb.ldif"));
}

// A CSV whose columns nobody knows is imported as the user maps it, and the mapping is
// offered again for the next file with the same header.
TEST_F(ImportExport, UnknownColumnsAreMappedByTheUserAndRemembered) {
    start();
    WriteFileBytes(path("raro.csv"), "Quien;Tel;Cosa\r\nAna Ruiz;555 1234;x\r\nLuis;600;y\r\n");
    auto choose = [](QWidget* dialog, int column, int field) {
        auto* box = dialog->findChild<QComboBox*>(QStringLiteral("columna%1").arg(column));
        ASSERT_NE(box, nullptr) << column;
        box->setCurrentIndex(box->findData(field));
    };
    withModal([&] { open(path("raro.csv")); },
              [&](QWidget* dialog) {
                  choose(dialog, 0, FieldIndex(Field::nombre));
                  choose(dialog, 1, FieldIndex(Field::telefono));
                  click(dialog, "Importar");
              });
    EXPECT_EQ(names(), (std::vector<std::string>{"Ana Ruiz", "Luis"}));
    EXPECT_EQ(rows()[0][FieldIndex(Field::telefono)], "555 1234");

    platform.yesNo = {false};
    std::vector<int> offered;
    withModal([&] { open(path("raro.csv")); },
              [&](QWidget* dialog) {
                  for (int c = 0; c < 3; ++c)
                      offered.push_back(
                          dialog->findChild<QComboBox*>(QStringLiteral("columna%1").arg(c))
                              ->currentData()
                              .toInt());
                  click(dialog, "Cancelar");
              });
    EXPECT_EQ(offered,
              (std::vector<int>{FieldIndex(Field::nombre), FieldIndex(Field::telefono), -1}));
    EXPECT_EQ(names(), (std::vector<std::string>{"Ana Ruiz", "Luis"})); // cancelled: unchanged
}

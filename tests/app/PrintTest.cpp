#include "app/PrintBuffer.h"

#include "model/TextCodec.h"
#include "book/PrintLines.h"
#include "files/TextFile.h"
#include "tests/support/RtfReader.h"
#include "tests/support/TempDir.h"
#include "tests/support/app/QtApp.h"
#include "tests/support/app/ScriptedPlatform.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <QFontMetricsF>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace veldrano {
namespace {

using test::ReadRtf;

// Runs a poppler tool and returns what it printed.
QString RunTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    EXPECT_TRUE(process.waitForFinished(30000)) << program.toStdString();
    EXPECT_EQ(process.exitCode(), 0)
        << program.toStdString() << ": " << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

int PdfPages(const QString& pdf) {
    auto match =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(RunTool("pdfinfo", {pdf}));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString PdfTitle(const QString& pdf) {
    auto match =
        QRegularExpression(QStringLiteral("Title:\\s+(.*)\\n")).match(RunTool("pdfinfo", {pdf}));
    return match.captured(1).trimmed();
}

// Text of the PDF (or of one page) with all blanks and line breaks taken out: a long line
// may wrap anywhere, but no character may be lost, doubled or moved.
QString Squeezed(const QString& text) {
    QString out = text;
    out.remove(QRegularExpression(QStringLiteral("\\s")));
    return out;
}

QString PdfText(const QString& pdf, int page = 0) {
    // -raw: the text in the order it was drawn, not regrouped by position on the page.
    QStringList args = {QStringLiteral("-raw"), QStringLiteral("-enc"), QStringLiteral("UTF-8")};
    if (page > 0)
        args << "-f" << QString::number(page) << "-l" << QString::number(page);
    return Squeezed(RunTool("pdftotext", args << pdf << QStringLiteral("-")));
}

QString SqueezedLines(const Lines& lines) {
    QString all;
    for (const auto& line : lines)
        all += TextCodec::ToQString(line);
    return Squeezed(all);
}

} // namespace
} // namespace veldrano

// Readable failure messages for texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << text.toStdString();
}
QT_END_NAMESPACE

namespace veldrano {
namespace {

std::string Bytes(const QString& text) {
    return TextCodec::FromQString(text);
}

ContactRecord Record(std::initializer_list<QString> fields) {
    ContactRecord record;
    int i = 0;
    for (const auto& f : fields)
        record[i++] = Bytes(f);
    return record;
}

class PrintCommand : public ::testing::Test {
  protected:
    void SetUp() override { test::EnsureQApplication(); }

    QString pdf(const char* name) const { return QString::fromStdString(dir.file(name).string()); }
    void print(const std::vector<ContactRecord>& rows, const QString& target) {
        platform.printTargets.push_back(target);
        PrintBook(nullptr, platform, memo1, rows, printFile);
    }

    test::TempDir dir;
    test::ScriptedPlatform platform;
    TPrintBuffer memo1;
    const Lines header = DefaultPrintHeader();
    std::string printFile = dir.file("imprimir.prn").string();
};

TEST_F(PrintCommand, EmptyBookPrintsTheHeaderAlone) {
    print({}, pdf("out.pdf"));
    EXPECT_EQ(ReadRtf(test::ReadFileBytes(printFile)).texts(), header);
    EXPECT_EQ(PdfPages(pdf("out.pdf")), 1);
    EXPECT_EQ(PdfText(pdf("out.pdf")), SqueezedLines(header));
    // The print file's path is the print job's title.
    EXPECT_EQ(PdfTitle(pdf("out.pdf")), QString::fromStdString(printFile));
}

TEST_F(PrintCommand, OneLinePerRowInListOrderAfterTheHeader) {
    std::vector<ContactRecord> rows = {
        Record({"Zoe", "", "", "", "", "", "", "", "", "", ""}),
        Record({"Ana Ruiz", "", "555 12 34"}),
        Record({"José Núñez", "Calle Ñandú 3", "91 555 00 11", "jose@example.es", "28001",
                "600 11 22 33", "91 555 00 12", "Cañas S.A.", "Compras", "www.example.es",
                "2ª planta"}),
        Record({"", "Plaza Mayor 1"}),
    };
    print(rows, pdf("out.pdf"));

    Lines expected = header;
    for (const QString& line : {
             QStringLiteral("< Zoe | -null- | -null- | -null- | -null- | -null- | -null- | "
                            "-null- | -null- | -null- | -null->"),
             QStringLiteral("< Ana Ruiz | -null- | 555 12 34 | -null- | -null- | -null- | "
                            "-null- | -null- | -null- | -null- | -null->"),
             QStringLiteral("< José Núñez | Calle Ñandú 3 | 91 555 00 11 | jose@example.es | "
                            "28001 | 600 11 22 33 | 91 555 00 12 | Cañas S.A. | Compras | "
                            "www.example.es | 2ª planta>"),
             QStringLiteral("< -null- | Plaza Mayor 1 | -null- | -null- | -null- | -null- | "
                            "-null- | -null- | -null- | -null- | -null->"),
         })
        expected.push_back(Bytes(line));

    auto rtf = ReadRtf(test::ReadFileBytes(printFile));
    EXPECT_EQ(rtf.texts(), expected);
    for (const auto& p : rtf.paragraphs) {
        EXPECT_TRUE(p.bold && p.centred && p.halfPoints == 18) << p.text;
    }
    EXPECT_EQ(PdfText(pdf("out.pdf")), SqueezedLines(expected));
    // Between prints the buffer holds the header alone.
    EXPECT_EQ(memo1.lines(), header);
}

TEST_F(PrintCommand, PrintingTwiceGivesTheSameOutput) {
    std::vector<ContactRecord> rows = {Record({"Ana", "Sol 2"}), Record({"Luis", "", "55"})};
    print(rows, pdf("first.pdf"));
    const std::string firstRtf = test::ReadFileBytes(printFile);
    print(rows, pdf("second.pdf"));
    EXPECT_EQ(test::ReadFileBytes(printFile), firstRtf);
    EXPECT_EQ(ReadRtf(firstRtf).texts().size(), header.size() + 2);
    EXPECT_EQ(PdfText(pdf("second.pdf")), PdfText(pdf("first.pdf")));
    EXPECT_EQ(memo1.lines(), header);
}

TEST_F(PrintCommand, CancelledDialogLeavesEverythingAsItWas) {
    test::WriteFileBytes(printFile, "earlier print file");
    platform.printTargets.push_back(std::nullopt);
    PrintBook(nullptr, platform, memo1, {Record({"Ana"})}, printFile);
    EXPECT_EQ(platform.printDialogs, 1);
    EXPECT_EQ(test::ReadFileBytes(printFile), "earlier print file");
    EXPECT_EQ(memo1.lines(), header);
}

TEST_F(PrintCommand, UnwritablePrintFileStopsBeforePrintingAndEmptiesTheBuffer) {
    printFile = dir.file("missing/imprimir.prn").string();
    try {
        print({Record({"Ana"})}, pdf("out.pdf"));
        FAIL() << "no error";
    } catch (const FileError& e) {
        const std::string text = e.what();
        EXPECT_EQ(text.rfind("Cannot create file \"" + printFile + "\". ", 0), 0u) << text;
        EXPECT_NE(text.find(std::strerror(ENOENT)), std::string::npos) << text;
    }
    EXPECT_FALSE(QFileInfo::exists(pdf("out.pdf")));
    EXPECT_EQ(memo1.lines(), header);
    // The next print works as if nothing had happened.
    printFile = dir.file("imprimir.prn").string();
    print({Record({"Ana"})}, pdf("out.pdf"));
    EXPECT_EQ(ReadRtf(test::ReadFileBytes(printFile)).texts().size(), header.size() + 1);
}

TEST_F(PrintCommand, PrinterFailureIsReportedAfterTheFileWasSaved) {
    const QString target = pdf("no-such-folder/out.pdf");
    try {
        print({Record({"Ana"})}, target);
        FAIL() << "no error";
    } catch (const PrintError& e) {
        EXPECT_NE(QString::fromStdString(e.what()).indexOf(target), -1) << e.what();
    }
    EXPECT_EQ(ReadRtf(test::ReadFileBytes(printFile)).texts().size(), header.size() + 1);
    EXPECT_EQ(memo1.lines(), header);
}

TEST_F(PrintCommand, LongBookFillsPagesOneAfterAnother) {
    // Enough one-line records for two and a half pages of the PDF printer's page.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const double lineHeight = QFontMetricsF(TPrintBuffer::Font(), &printer).lineSpacing();
    const int perPage =
        static_cast<int>(printer.pageRect(QPrinter::DevicePixel).height() / lineHeight);
    ASSERT_GT(perPage, 20);
    std::vector<ContactRecord> rows;
    for (int i = 0; i < perPage * 5 / 2; ++i)
        rows.push_back(Record({QStringLiteral("Contacto %1").arg(i, 4, 10, QLatin1Char('0'))}));
    print(rows, pdf("book.pdf"));

    ASSERT_EQ(PdfPages(pdf("book.pdf")), 3);
    // Every line once, in order, and the pages in order too.
    Lines expected = header;
    for (const auto& row : rows)
        expected.push_back(RecordPrintLine(row));
    QString pages;
    for (int page = 1; page <= 3; ++page) {
        QString text = PdfText(pdf("book.pdf"), page);
        EXPECT_FALSE(text.isEmpty()) << "page " << page;
        pages += text;
    }
    EXPECT_EQ(pages, SqueezedLines(expected));
    EXPECT_TRUE(PdfText(pdf("book.pdf"), 1).startsWith(QStringLiteral("Torvikalen.exe")));
    EXPECT_TRUE(
        PdfText(pdf("book.pdf"), 3).endsWith(Squeezed(TextCodec::ToQString(expected.back()))));
    EXPECT_NE(RunTool("pdffonts", {pdf("book.pdf")}).indexOf(QStringLiteral("Bold")), -1);
}

} // namespace
} // namespace veldrano

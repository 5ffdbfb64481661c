#include "app/PrintBuffer.h"

#include "BuildInfo.h"
#include "qtsupport/PlatformServices.h"
#include "model/TextCodec.h"
#include "text/CodePage.h"
#include "book/PrintLines.h"
#include "book/RtfWriter.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QTextBlock>
#include <QTextCursor>
#include <memory>

namespace {

QTextBlockFormat CentredParagraph() {
    QTextBlockFormat format;
    format.setAlignment(Qt::AlignHCenter);
    return format;
}

QTextCharFormat BufferText() {
    QTextCharFormat format;
    format.setFont(TPrintBuffer::Font());
    return format;
}

// Centred, and a line wider than the page breaks where it must, inside a word too (a run
// of hyphens has no word boundary), rather than running off the paper.
QTextOption TextOption() {
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

QString PrinterName(const QPrinter& printer) {
    return printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
}

[[noreturn]] void PrinterFailed(const QPrinter& printer) {
    throw PrintError("Cannot print on \"" + PrinterName(printer).toStdString() + "\"");
}

} // namespace

veldrano::Lines DefaultPrintHeader() {
    return veldrano::PrintHeaderLines(
        TextCodec::FromQString(QString::fromUtf8(VELDRANO_AUTHOR)),
        TextCodec::FromQString(QString::fromUtf8(VELDRANO_AUTHOR_EMAIL)));
}

TPrintBuffer::TPrintBuffer() : TPrintBuffer(DefaultPrintHeader()) {}

TPrintBuffer::TPrintBuffer(const veldrano::Lines& header)
    : m_headerLines(static_cast<int>(header.size())) {
    // Only appending and cutting back happen here; an undo history would only grow.
    m_doc.setUndoRedoEnabled(false);
    m_doc.setDefaultFont(Font());
    m_doc.setDefaultTextOption(TextOption());
    for (size_t i = 0; i < header.size(); ++i)
        appendLine(TextCodec::ToQString(header[i]), i == 0);
    if (header.empty())
        m_headerLines = 1; // the document's one empty paragraph
}

QFont TPrintBuffer::Font() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(9); // 12 pixels at 96 pixels per inch
    font.setBold(true);
    return font;
}

void TPrintBuffer::appendLine(const QString& text, bool first) {
    QTextCursor cursor(&m_doc);
    cursor.movePosition(QTextCursor::End);
    if (first) {
        cursor.setBlockFormat(CentredParagraph());
        cursor.setBlockCharFormat(BufferText());
    } else {
        cursor.insertBlock(CentredParagraph(), BufferText());
    }
    cursor.insertText(text, BufferText());
}

veldrano::Lines TPrintBuffer::lines() const {
    veldrano::Lines out;
    for (QTextBlock block = m_doc.begin(); block.isValid(); block = block.next())
        out.push_back(TextCodec::FromQString(block.text()));
    return out;
}

void TPrintBuffer::appendRecordLines(const std::vector<veldrano::ContactRecord>& records) {
    for (const auto& record : records)
        appendLine(TextCodec::ToQString(veldrano::RecordPrintLine(record)), false);
}

void TPrintBuffer::removeRecordLines() {
    if (m_doc.blockCount() <= m_headerLines)
        return;
    QTextBlock last = m_doc.findBlockByNumber(m_headerLines - 1);
    QTextCursor cursor(&m_doc);
    cursor.setPosition(last.position() + last.length() - 1);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void TPrintBuffer::saveAsRtf(const std::string& path) const {
    veldrano::RtfTextStyle style;
    style.codePage = veldrano::CurrentLocale().codePage;
    veldrano::WriteFileAtomically(path, veldrano::WriteRtf(lines(), style));
}

void TPrintBuffer::print(QPrinter& printer) const {
    QPainter painter;
    if (!painter.begin(&printer))
        PrinterFailed(printer);
    // A copy laid out for the printer's resolution and page, so the buffer itself stays as
    // it is; no margins of our own: the whole printable area is used.
    std::unique_ptr<QTextDocument> doc(m_doc.clone());
    doc->documentLayout()->setPaintDevice(&printer);
    doc->setDocumentMargin(0);
    doc->setDefaultTextOption(TextOption());
    const qreal pageHeight = printer.pageRect(QPrinter::DevicePixel).height();
    doc->setPageSize(printer.pageRect(QPrinter::DevicePixel).size());
    doc->documentLayout()->documentSize(); // lays the whole copy out into pages

    // Line by line: the paged layout puts each line wholly on one page, and a line is drawn
    // on that page alone (painting whole blocks would also put a block's first lines,
    // clipped but present, on the page before).
    painter.setPen(Qt::black);
    int page = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* text = block.layout();
        const QPointF origin = text->position();
        for (int i = 0; i < text->lineCount(); ++i) {
            const QTextLine line = text->lineAt(i);
            const int onPage =
                static_cast<int>((origin.y() + line.y() + line.height() / 2) / pageHeight);
            for (; page < onPage; ++page) {
                if (!printer.newPage())
                    PrinterFailed(printer);
            }
            line.draw(&painter, origin - QPointF(0, page * pageHeight));
        }
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        PrinterFailed(printer);
}

void PrintBook(QWidget* parent, PlatformServices& platform, QPrinter& printer, TPrintBuffer& memo1,
               const std::vector<veldrano::ContactRecord>& rowsInListOrder,
               const std::string& printFilePath) {
    if (!platform.runPrintDialog(parent, printer))
        return;
    // The whole book is printed whatever range the dialog offered.
    printer.setPrintRange(QPrinter::AllPages);
    printer.setPageRanges(QPageRanges());
    printer.setDocName(QFile::decodeName(QByteArray::fromStdString(printFilePath)));

    memo1.appendRecordLines(rowsInListOrder);
    // The buffer must hold only the header again for the next print, whatever happens here.
    struct Restore {
        TPrintBuffer& buffer;
        ~Restore() { buffer.removeRecordLines(); }
    } restore{memo1};
    memo1.saveAsRtf(printFilePath);
    memo1.print(printer);
}

void PrintBook(QWidget* parent, PlatformServices& platform, TPrintBuffer& memo1,
               const std::vector<veldrano::ContactRecord>& rowsInListOrder,
               const std::string& printFilePath) {
    QPrinter printer(QPrinter::HighResolution);
    PrintBook(parent, platform, printer, memo1, rowsInListOrder, printFilePath);
}

#pragma once
#include "book/ContactRecord.h"
#include "files/TextFile.h"

#include <QFont>
#include <QTextDocument>
#include <stdexcept>
#include <string>
#include <vector>

class PlatformServices;
class QPrinter;
class QWidget;

// A printer that could not print; the message is the text the user sees.
class PrintError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The program's print header: twelve lines with the author and e-mail of the build
// settings in the credit line, as bytes in the code page.
veldrano::Lines DefaultPrintHeader();

// The hidden print buffer: a rich-text page that holds the header between prints and the
// record lines during one. One line is one paragraph, bold, 9 points, centred.
class TPrintBuffer {
  public:
    TPrintBuffer();
    // A buffer with another header; `header` must not be empty.
    explicit TPrintBuffer(const veldrano::Lines& header);
    TPrintBuffer(const TPrintBuffer&) = delete;
    TPrintBuffer& operator=(const TPrintBuffer&) = delete;

    // "MS Sans Serif", bold, 9 points; a sans-serif family stands in where it is missing.
    static QFont Font();

    const QTextDocument& document() const { return m_doc; }
    // Every line of the buffer as bytes in the code page.
    veldrano::Lines lines() const;
    int lineCount() const { return m_doc.blockCount(); }

    // Appends one print line per record, in the given order, after the lines already there.
    void appendRecordLines(const std::vector<veldrano::ContactRecord>& records);
    // Leaves only the header.
    void removeRecordLines();

    // Writes the whole buffer to `path` as an RTF document, replacing any earlier file.
    // Throws veldrano::FileError ("Cannot create file "<path>". <reason>").
    void saveAsRtf(const std::string& path) const;

    // Prints the whole buffer on `printer`, laid out on the printer's full page area,
    // as many pages as it takes. Throws PrintError.
    void print(QPrinter& printer) const;

  private:
    void appendLine(const QString& text, bool first);

    QTextDocument m_doc;
    int m_headerLines = 0;
};

// The print command: shows the print dialog (cancel: nothing changes), appends one line per
// row in list order, saves the buffer to `printFilePath`, prints it with that path as the
// document title and removes the record lines again, also when saving or printing throws
// (veldrano::FileError or PrintError, for the general error box).
void PrintBook(QWidget* parent, PlatformServices& platform, QPrinter& printer, TPrintBuffer& memo1,
               const std::vector<veldrano::ContactRecord>& rowsInListOrder,
               const std::string& printFilePath);

// The same with a printer of its own for this one print.
void PrintBook(QWidget* parent, PlatformServices& platform, TPrintBuffer& memo1,
               const std::vector<veldrano::ContactRecord>& rowsInListOrder,
               const std::string& printFilePath);

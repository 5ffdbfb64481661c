#pragma once
#include "interchange/Import.h"

#include <QDialog>
#include <optional>
#include <vector>

class QComboBox;

// "Importar columnas": a CSV whose header the program does not know is imported as the
// user maps it. Each of the file's columns stands beside a choice of the book's eleven
// fields or "(no importar)", and beside what its first rows hold.
class ColumnMappingDialog : public QDialog {
    Q_OBJECT
  public:
    ColumnMappingDialog(const veldrano::CsvPreview& preview, const veldrano::ColumnMapping& start,
                        QWidget* parent = nullptr);

    veldrano::ColumnMapping mapping() const;

    // Shows the dialog; nullopt when the user cancels.
    static std::optional<veldrano::ColumnMapping>
    Ask(QWidget* parent, const veldrano::CsvPreview& preview, const veldrano::ColumnMapping& start);

  private:
    std::vector<QComboBox*> m_choices;
};

// The mapping a user gave last time for a CSV header, kept in the data folder; empty when
// none was.
veldrano::ColumnMapping RememberedMapping(const std::vector<std::string>& columns);
void RememberMapping(const std::vector<std::string>& columns,
                     const veldrano::ColumnMapping& mapping);

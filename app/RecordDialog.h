#pragma once
#include "book/ContactRecord.h"

#include <QDialog>
#include <array>

class QLineEdit;
class QPushButton;
class QStackedWidget;
class PlatformServices;
class TForm1;

// The layout the add and modify dialogs share: two pages, "Personal" and "Negocios", chosen
// with button-like tabs, each holding labelled edits named after their record fields, and
// "&Aceptar" / "&Cancelar" to the right. Neither button reacts to Enter or Escape; the close
// box closes like "&Cancelar".
class RecordDialog : public QDialog {
    Q_OBJECT
  public:
    RecordDialog(TForm1* form1, PlatformServices& platform, const QString& caption);

    // The edit of a field, by record field index.
    QLineEdit* edit(int field) const { return m_edits[field]; }
    veldrano::ContactRecord record() const;
    void setRecord(const veldrano::ContactRecord& record);
    void clearEdits();
    // The page showing: 0 "Personal", 1 "Negocios".
    int currentPage() const;
    void showPage(int page);

    QPushButton* BitBtn1 = nullptr; // "&Aceptar"
    QPushButton* BitBtn2 = nullptr; // "&Cancelar"

  protected:
    void keyPressEvent(QKeyEvent* event) override;

    TForm1* m_form1;
    PlatformServices& m_platform;

  private:
    std::array<QLineEdit*, veldrano::kFieldCount> m_edits{};
    QStackedWidget* m_pages = nullptr;
    std::array<QPushButton*, 2> m_tabs{};
};

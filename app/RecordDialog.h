#pragma once
#include "book/ContactRecord.h"

#include <QDialog>
#include <array>

class QLineEdit;
class QPushButton;
class QTabWidget;
class PlatformServices;

// The layout the add and modify dialogs share: two pages, "Personal" and "Negocios", chosen
// with button-like tabs (a page tab list to screen readers), each holding labelled edits named
// after their record fields, and
// "&Aceptar" / "&Cancelar" to the right. Neither button reacts to Enter or Escape; the close
// box closes like "&Cancelar". The dialog never sees the book: it hands back what was typed.
class RecordDialog : public QDialog {
    Q_OBJECT
  public:
    RecordDialog(QWidget* parent, PlatformServices& platform, const QString& caption);

  protected:
    veldrano::ContactRecord record() const;
    void setRecord(const veldrano::ContactRecord& record);
    void clearEdits();
    QLineEdit* edit(veldrano::Field field) const { return m_edits[veldrano::FieldIndex(field)]; }
    void showPage(int page);
    // Puts the cursor in the first edit of the page showing, so typing starts there.
    void focusFirstEdit();
    void keyPressEvent(QKeyEvent* event) override;

    PlatformServices& m_platform;
    QPushButton* BitBtn1 = nullptr; // "&Aceptar"
    QPushButton* BitBtn2 = nullptr; // "&Cancelar"

  private:
    void buildPages();
    void buildEdits();
    void buildButtons();

    std::array<QLineEdit*, veldrano::kFieldCount> m_edits{};
    std::array<QLineEdit*, 2> m_firstEdit{};
    QTabWidget* m_pages = nullptr;
};

#pragma once
#include <QDialog>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;
class PlatformServices;
class TForm1;

// "Busqueda": selects the first record whose name equals the text typed.
class TForm4 : public QDialog {
    Q_OBJECT
  public:
    TForm4(TForm1* form1, PlatformServices& platform);

    // Whole-name match: byte for byte when the check box is checked, otherwise after
    // upper-casing the letters a to z alone (accented letters and ñ stay as they are).
    static bool NameMatches(const std::string& name, const std::string& text, bool caseSensitive);
    // The same with the dialog's current text and check box.
    bool Matches(const std::string& name) const;

    void BitBtn1Click();
    void BitBtn2Click();

    QLineEdit* buscar = nullptr;
    QCheckBox* OpcionBusqueda = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

  private:
    TForm1* m_form1;
};

#pragma once
#include "book/Search.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QLineEdit;
class QPushButton;
class PlatformServices;

// "Busqueda": asks for a whole name to find. Its text and check box stay for the whole run,
// and find-next goes on with whatever they hold.
class TForm4 : public QDialog {
    Q_OBJECT
  public:
    TForm4(QWidget* parent, PlatformServices& platform);

    // The query of "&Busqueda"; nothing when the dialog was cancelled.
    std::optional<veldrano::SearchQuery> Run();
    // What the dialog holds now.
    veldrano::SearchQuery query() const;

  private:
    QLineEdit* buscar = nullptr;
    QCheckBox* OpcionBusqueda = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
};

#pragma once
#include "app/RecordDialog.h"

#include <optional>

// "Agregar Registro": a new record from the edits. The edits keep what was typed until an
// OK hands it back.
class TForm2 : public RecordDialog {
    Q_OBJECT
  public:
    TForm2(QWidget* parent, PlatformServices& platform);

    // Shows the dialog on its first page with the cursor in "Nombre:". The record typed
    // when the user pressed "&Aceptar" with a name; nothing when the dialog was cancelled.
    std::optional<veldrano::ContactRecord> Run();

  private:
    void BitBtn1Click();
};

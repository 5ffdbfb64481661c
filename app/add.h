#pragma once
#include "app/RecordDialog.h"

// "Agregar Registro": a new record from the edits. The edits keep what was typed until an
// OK adds it.
class TForm2 : public RecordDialog {
    Q_OBJECT
  public:
    TForm2(TForm1* form1, PlatformServices& platform);

    void BitBtn1Click();
    void BitBtn2Click();
};

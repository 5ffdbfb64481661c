#pragma once
#include "app/RecordDialog.h"

// "Modificar Registro": edits the record at IndiceElegido, refilled at every opening.
class Tform3 : public RecordDialog {
    Q_OBJECT
  public:
    Tform3(TForm1* form1, PlatformServices& platform);

    void FormShow();
    void BitBtn1Click();
    void BitBtn2Click();

  protected:
    void showEvent(QShowEvent* event) override;
};

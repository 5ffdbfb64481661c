#pragma once
#include "app/RecordDialog.h"

#include <optional>

// "Modificar Registro": edits a copy of one record, refilled at every opening.
class Tform3 : public RecordDialog {
    Q_OBJECT
  public:
    Tform3(QWidget* parent, PlatformServices& platform);

    // Shows `current` in the edits (on the page that showed last) and hands back the
    // edited record on "&Aceptar"; nothing when the dialog was cancelled.
    std::optional<veldrano::ContactRecord> Run(const veldrano::ContactRecord& current);
};

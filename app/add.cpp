#include "app/add.h"

#include "qtsupport/GeneralError.h"
#include "qtsupport/PlatformServices.h"

#include <QLineEdit>
#include <QPushButton>

TForm2::TForm2(QWidget* parent, PlatformServices& platform)
    : RecordDialog(parent, platform, QStringLiteral("Agregar Registro")) {
    setObjectName(QStringLiteral("Form2"));
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { GeneralError::Guard(this, m_platform, [this] { BitBtn1Click(); }); });
}

std::optional<veldrano::ContactRecord> TForm2::Run() {
    showPage(0);
    focusFirstEdit();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    veldrano::ContactRecord record = this->record();
    clearEdits();
    return record;
}

void TForm2::BitBtn1Click() {
    if (edit(veldrano::Field::nombre)->text().isEmpty()) {
        m_platform.showMessage(this, QStringLiteral("Error"),
                               QStringLiteral("Debe rellenar el campo Nombre"),
                               PlatformServices::Icon::None);
        return;
    }
    accept();
}

#include "app/Unit3.h"

#include <QPushButton>

Tform3::Tform3(QWidget* parent, PlatformServices& platform)
    : RecordDialog(parent, platform, QStringLiteral("Modificar Registro")) {
    setObjectName(QStringLiteral("Form3"));
    // No check here: a record may be given an empty name.
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

std::optional<veldrano::ContactRecord> Tform3::Run(const veldrano::ContactRecord& current) {
    setRecord(current);
    focusFirstEdit();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return record();
}

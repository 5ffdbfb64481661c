#include "app/Unit3.h"

#include "app/agenda.h"

#include <QPushButton>

Tform3::Tform3(TForm1* form1, PlatformServices& platform)
    : RecordDialog(form1, platform, QStringLiteral("Modificar Registro")) {
    setObjectName(QStringLiteral("Form3"));
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { m_form1->Guarded([this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, &Tform3::BitBtn2Click);
}

void Tform3::showEvent(QShowEvent* event) {
    RecordDialog::showEvent(event);
    m_form1->Guarded([this] { FormShow(); });
}

void Tform3::FormShow() {
    setRecord(m_form1->model->record(veldrano::IndiceElegido));
}

void Tform3::BitBtn1Click() {
    m_form1->model->setRecord(veldrano::IndiceElegido, record());
    m_form1->state.Modificado = true;
    accept();
}

void Tform3::BitBtn2Click() {
    reject();
}

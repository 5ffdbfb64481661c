#include "app/add.h"

#include "app/agenda.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>

TForm2::TForm2(TForm1* form1, PlatformServices& platform)
    : RecordDialog(form1, platform, QStringLiteral("Agregar Registro")) {
    setObjectName(QStringLiteral("Form2"));
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { m_form1->Guarded([this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, &TForm2::BitBtn2Click);
}

void TForm2::BitBtn1Click() {
    if (edit(veldrano::FieldIndex(veldrano::Field::nombre))->text().isEmpty()) {
        m_platform.showMessage(this, QStringLiteral("Error"),
                               QStringLiteral("Debe rellenar el campo Nombre"),
                               PlatformServices::Icon::None);
        return;
    }
    for (QAction* a : {m_form1->Guardar, m_form1->imprimir, m_form1->Buscar, m_form1->BorrarAgenda,
                       m_form1->GuardarComo, m_form1->SeleccionarTodo1})
        a->setEnabled(true);
    m_form1->state.ListaActivada = false;
    m_form1->model->appendRecord(record());
    clearEdits();
    m_form1->state.Modificado = true;
    accept();
}

void TForm2::BitBtn2Click() {
    reject();
}

#include "app/Unit4.h"

#include "qtsupport/CodePageGuard.h"
#include "model/TextCodec.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TForm4::TForm4(QWidget* parent, PlatformServices& platform) : QDialog(parent) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Busqueda"));
    setModal(true);

    auto* box = new QGroupBox(QStringLiteral("Buscar:"), this);
    box->setObjectName(QStringLiteral("GroupBox1"));
    buscar = new QLineEdit(box);
    buscar->setObjectName(QStringLiteral("buscar"));
    buscar->setMinimumWidth(240);
    CodePageGuard::Attach(buscar, platform);
    auto* label = new QLabel(QStringLiteral("Nombre:"), box);
    label->setBuddy(buscar);
    OpcionBusqueda = new QCheckBox(QString::fromUtf8("Sensible a mayúsculas y minusculas."), box);
    OpcionBusqueda->setObjectName(QStringLiteral("OpcionBusqueda"));
    OpcionBusqueda->setChecked(true);
    auto* grid = new QGridLayout(box);
    grid->addWidget(label, 0, 0);
    grid->addWidget(buscar, 0, 1);
    grid->addWidget(OpcionBusqueda, 1, 1);

    BitBtn1 = new QPushButton(QStringLiteral("&Busqueda"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(QStringLiteral("&Cancelar"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    for (QPushButton* b : {BitBtn1, BitBtn2}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* top = new QVBoxLayout(this);
    top->addWidget(box);
    top->addLayout(buttons);
    setFixedSize(sizeHint());

    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<veldrano::SearchQuery> TForm4::Run() {
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return query();
}

veldrano::SearchQuery TForm4::query() const {
    return {TextCodec::FromQString(buscar->text()), OpcionBusqueda->isChecked()};
}

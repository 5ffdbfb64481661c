#include "app/Unit4.h"

#include "qtsupport/CodePageGuard.h"
#include "qtsupport/TextCodec.h"
#include "app/agenda.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TForm4::TForm4(TForm1* form1, PlatformServices& platform) : QDialog(form1), m_form1(form1) {
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

    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { m_form1->Guarded([this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, &TForm4::BitBtn2Click);
}

bool TForm4::NameMatches(const std::string& name, const std::string& text, bool caseSensitive) {
    if (name.size() != text.size())
        return false;
    if (caseSensitive)
        return name == text;
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    for (size_t i = 0; i < name.size(); ++i)
        if (upper(name[i]) != upper(text[i]))
            return false;
    return true;
}

bool TForm4::Matches(const std::string& name) const {
    return NameMatches(name, TextCodec::FromQString(buscar->text()), OpcionBusqueda->isChecked());
}

void TForm4::BitBtn1Click() {
    m_form1->DeselectAll();
    const int rows = m_form1->model->rowCount();
    const std::string text = TextCodec::FromQString(buscar->text());
    const bool caseSensitive = OpcionBusqueda->isChecked();
    int found = -1;
    for (int row = 0; row < rows && found == -1; ++row)
        if (NameMatches(m_form1->model->record(row)[0], text, caseSensitive))
            found = row;
    if (found != -1)
        m_form1->SelectRow(found);
    // Find-next goes on after the row found, so it starts there; with nothing found it has
    // nowhere to go on from.
    m_form1->state.PosBusqueda = found == -1 ? 0 : found;
    m_form1->state.SeguirBuscando = true;
    m_form1->BuscarSiguiente->setEnabled(found != -1);
    accept();
}

void TForm4::BitBtn2Click() {
    reject();
}

#include "app/RecordDialog.h"

#include "qtsupport/CodePageGuard.h"
#include "app/agenda.h"
#include "qtsupport/TextCodec.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

using veldrano::Field;
using veldrano::FieldIndex;

namespace {

struct EditRow {
    const char* label;
    const char* name;
    Field field;
};

// Top-to-bottom and tab order of each page; values move by field name, not by position.
constexpr EditRow kPersonal[] = {
    {"Nombre:", "nombre", Field::nombre}, {"Dirección:", "direccion", Field::direccion},
    {"Código Postal:", "cp", Field::cp},  {"Teléfono:", "telefono", Field::telefono},
    {"Móvil:", "movil", Field::movil},    {"e_mail:", "e_mail", Field::e_mail},
};
constexpr EditRow kNegocios[] = {
    {"Organización:", "organizacion", Field::organizacion},
    {"Departamento:", "departamento", Field::departamento},
    {"Oficina:", "oficina", Field::oficina},
    {"Fax:", "fax", Field::fax},
    {"Página Web", "web", Field::web},
};

} // namespace

RecordDialog::RecordDialog(TForm1* form1, PlatformServices& platform, const QString& caption)
    : QDialog(form1), m_form1(form1), m_platform(platform) {
    setWindowTitle(caption);
    setModal(true);

    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    auto* tabRow = new QHBoxLayout;
    tabRow->setSpacing(2);
    auto* group = new QButtonGroup(this);
    const char* const tabNames[2] = {"Personal", "Negocios"};
    for (int page = 0; page < 2; ++page) {
        auto* tab = new QPushButton(QString::fromUtf8(tabNames[page]), this);
        tab->setObjectName(QStringLiteral("TabSheet%1").arg(page + 1));
        tab->setCheckable(true);
        tab->setAutoDefault(false);
        tab->setFocusPolicy(Qt::TabFocus);
        group->addButton(tab, page);
        tabRow->addWidget(tab);
        m_tabs[page] = tab;

        auto* sheet = new QWidget(m_pages);
        auto* form = new QFormLayout(sheet);
        form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
        form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        auto addRows = [&](const auto& rows) {
            for (const EditRow& row : rows) {
                auto* edit = new QLineEdit(sheet);
                edit->setObjectName(QString::fromLatin1(row.name));
                edit->setMinimumWidth(260);
                CodePageGuard::Attach(edit, m_platform);
                auto* label = new QLabel(QString::fromUtf8(row.label), sheet);
                label->setBuddy(edit);
                form->addRow(label, edit);
                m_edits[FieldIndex(row.field)] = edit;
            }
        };
        if (page == 0)
            addRows(kPersonal);
        else
            addRows(kNegocios);
        m_pages->addWidget(sheet);
    }
    tabRow->addStretch();
    connect(group, &QButtonGroup::idClicked, this, &RecordDialog::showPage);

    BitBtn1 = new QPushButton(QStringLiteral("&Aceptar"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(QStringLiteral("&Cancelar"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    for (QPushButton* b : {BitBtn1, BitBtn2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setMinimumWidth(90);
    }

    auto* left = new QVBoxLayout;
    left->addLayout(tabRow);
    left->addWidget(m_pages);
    auto* right = new QVBoxLayout;
    right->addSpacing(30);
    right->addWidget(BitBtn1);
    right->addWidget(BitBtn2);
    right->addStretch();
    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(right);

    showPage(0);
    setFixedSize(sizeHint());
}

veldrano::ContactRecord RecordDialog::record() const {
    veldrano::ContactRecord r;
    for (int f = 0; f < veldrano::kFieldCount; ++f)
        r[f] = TextCodec::FromQString(m_edits[f]->text());
    return r;
}

void RecordDialog::setRecord(const veldrano::ContactRecord& r) {
    for (int f = 0; f < veldrano::kFieldCount; ++f)
        m_edits[f]->setText(TextCodec::ToQString(r[f]));
}

void RecordDialog::clearEdits() {
    for (QLineEdit* e : m_edits)
        e->clear();
}

int RecordDialog::currentPage() const {
    return m_pages->currentIndex();
}

void RecordDialog::showPage(int page) {
    m_pages->setCurrentIndex(page);
    m_tabs[page]->setChecked(true);
}

void RecordDialog::keyPressEvent(QKeyEvent* event) {
    // No default and no cancel button: Enter and Escape do nothing here.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

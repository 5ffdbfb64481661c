#include "app/RecordDialog.h"

#include "book/ContactFields.h"
#include "qtsupport/CodePageGuard.h"
#include "model/TextCodec.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace veldrano;

RecordDialog::RecordDialog(QWidget* parent, PlatformServices& platform, const QString& caption)
    : QDialog(parent), m_platform(platform) {
    setWindowTitle(caption);
    setModal(true);

    QHBoxLayout* tabRow = buildPages();
    buildEdits();
    buildButtons();

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

QHBoxLayout* RecordDialog::buildPages() {
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    auto* tabRow = new QHBoxLayout;
    tabRow->setSpacing(2);
    auto* group = new QButtonGroup(this);
    for (int page = 0; page < 2; ++page) {
        auto* tab = new QPushButton(QString::fromUtf8(kDialogPages[page]), this);
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
        m_pages->addWidget(sheet);
    }
    tabRow->addStretch();
    connect(group, &QButtonGroup::idClicked, this, &RecordDialog::showPage);
    return tabRow;
}

void RecordDialog::buildEdits() {
    // Top-to-bottom and tab order of each page; values move by field, not by position.
    for (int page = 0; page < 2; ++page) {
        std::vector<const FieldInfo*> rows;
        for (const FieldInfo& field : kFields)
            if (field.dialogPage == page)
                rows.push_back(&field);
        std::sort(rows.begin(), rows.end(), [](const FieldInfo* a, const FieldInfo* b) {
            return a->dialogPosition < b->dialogPosition;
        });
        QWidget* sheet = m_pages->widget(page);
        auto* form = static_cast<QFormLayout*>(sheet->layout());
        for (const FieldInfo* field : rows) {
            auto* line = new QLineEdit(sheet);
            line->setObjectName(QString::fromLatin1(field->name));
            line->setMinimumWidth(260);
            CodePageGuard::Attach(line, m_platform);
            auto* label = new QLabel(QString::fromUtf8(field->dialogLabel), sheet);
            label->setBuddy(line);
            form->addRow(label, line);
            m_edits[FieldIndex(field->field)] = line;
            if (!m_firstEdit[page])
                m_firstEdit[page] = line;
        }
    }
}

void RecordDialog::buildButtons() {
    BitBtn1 = new QPushButton(QStringLiteral("&Aceptar"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(QStringLiteral("&Cancelar"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    for (QPushButton* b : {BitBtn1, BitBtn2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setMinimumWidth(90);
    }
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

ContactRecord RecordDialog::record() const {
    ContactRecord r;
    for (int f = 0; f < kFieldCount; ++f)
        r[f] = TextCodec::FromQString(m_edits[f]->text());
    return r;
}

void RecordDialog::setRecord(const ContactRecord& r) {
    for (int f = 0; f < kFieldCount; ++f)
        m_edits[f]->setText(TextCodec::ToQString(r[f]));
}

void RecordDialog::clearEdits() {
    for (QLineEdit* e : m_edits)
        e->clear();
}

void RecordDialog::showPage(int page) {
    m_pages->setCurrentIndex(page);
    m_tabs[page]->setChecked(true);
}

void RecordDialog::focusFirstEdit() {
    // On a hidden dialog this is where the focus goes when it opens.
    m_firstEdit[m_pages->currentIndex()]->setFocus();
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

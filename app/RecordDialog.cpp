#include "app/RecordDialog.h"

#include "book/ContactFields.h"
#include "qtsupport/CodePageGuard.h"
#include "model/TextCodec.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace veldrano;

RecordDialog::RecordDialog(QWidget* parent, PlatformServices& platform, const QString& caption)
    : QDialog(parent), m_platform(platform) {
    setWindowTitle(caption);
    setModal(true);

    buildPages();
    buildEdits();
    buildButtons();

    auto* left = new QVBoxLayout;
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

// Tabs drawn as buttons, the chosen one pressed in, over pages without a frame. A tab widget
// underneath, so that screen readers and the keyboard meet a page tab list.
constexpr char kButtonTabs[] =
    "QTabWidget::pane { border: none; }"
    "QTabBar::tab { border: 1px solid palette(dark); border-radius: 2px; padding: 4px 14px;"
    " margin-right: 2px; background: palette(button); }"
    "QTabBar::tab:selected { background: palette(midlight); border-color: palette(shadow); }";

void RecordDialog::buildPages() {
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->setStyleSheet(QString::fromLatin1(kButtonTabs));
    m_pages->tabBar()->setDrawBase(false);
    m_pages->tabBar()->setExpanding(false);
    m_pages->tabBar()->setUsesScrollButtons(false);
    for (int page = 0; page < 2; ++page) {
        auto* sheet = new QWidget(m_pages);
        sheet->setObjectName(QStringLiteral("TabSheet%1").arg(page + 1));
        auto* form = new QFormLayout(sheet);
        form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
        form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        m_pages->addTab(sheet, QString::fromUtf8(kDialogPages[page]));
    }
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

#include "app/ColumnMapping.h"

#include "book/ContactFields.h"
#include "qtsupport/DataFolder.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QVBoxLayout>

using namespace veldrano;

namespace {

QString U(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// What the first rows hold in a column, on one line.
QString Sample(const CsvPreview& preview, size_t column) {
    QStringList values;
    for (const auto& row : preview.rows)
        if (column < row.size() && !row[column].empty())
            values << U(row[column]);
    return values.join(QStringLiteral(" · "));
}

QComboBox* FieldChoice(QWidget* parent, int chosen) {
    auto* box = new QComboBox(parent);
    box->addItem(QStringLiteral("(no importar)"), -1);
    for (int k = 0; k < kFieldCount; ++k)
        box->addItem(QString::fromUtf8(kFields[k].columnCaption), k);
    box->setCurrentIndex(box->findData(chosen));
    return box;
}

} // namespace

ColumnMappingDialog::ColumnMappingDialog(const CsvPreview& preview, const ColumnMapping& start,
                                         QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ColumnMapping"));
    setWindowTitle(QStringLiteral("Importar columnas"));
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("<b>Columna del archivo</b>")), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("<b>Campo de la agenda</b>")), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("<b>Primeras filas</b>")), 0, 2);
    for (size_t c = 0; c < preview.columns.size(); ++c) {
        const int row = static_cast<int>(c) + 1;
        auto* name = new QLabel(U(preview.columns[c]));
        name->setTextFormat(Qt::PlainText);
        QComboBox* choice = FieldChoice(this, c < start.size() ? start[c] : -1);
        choice->setObjectName(QStringLiteral("columna%1").arg(c));
        choice->setAccessibleName(name->text());
        name->setBuddy(choice);
        auto* sample = new QLabel(Sample(preview, c));
        sample->setTextFormat(Qt::PlainText);
        grid->addWidget(name, row, 0);
        grid->addWidget(choice, row, 1);
        grid->addWidget(sample, row, 2);
        m_choices.push_back(choice);
    }
    auto* inner = new QWidget;
    inner->setLayout(grid);
    auto* scroll = new QScrollArea;
    scroll->setWidget(inner);
    scroll->setWidgetResizable(true);

    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(QStringLiteral("&Importar"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("Importar"));
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("&Cancelar"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("Cancelar"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral(
        "Las columnas de este archivo no se reconocen. Elija el campo de cada una:")));
    layout->addWidget(scroll);
    layout->addWidget(buttons);
}

ColumnMapping ColumnMappingDialog::mapping() const {
    ColumnMapping mapping;
    for (const QComboBox* choice : m_choices)
        mapping.push_back(choice->currentData().toInt());
    return mapping;
}

std::optional<ColumnMapping> ColumnMappingDialog::Ask(QWidget* parent, const CsvPreview& preview,
                                                      const ColumnMapping& start) {
    ColumnMappingDialog dialog(preview, start, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.mapping();
}

namespace {

QString HeaderKey(const std::vector<std::string>& columns) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const std::string& column : columns) {
        hash.addData(QByteArrayView(column.data(), static_cast<qsizetype>(column.size())));
        hash.addData(QByteArrayView("\n", 1));
    }
    return QStringLiteral("columnas/") + QString::fromLatin1(hash.result().toHex());
}

QSettings Remembered() {
    return QSettings(QFile::decodeName(QByteArray::fromStdString(DataFolder::File("columnas.ini"))),
                     QSettings::IniFormat);
}

} // namespace

ColumnMapping RememberedMapping(const std::vector<std::string>& columns) {
    ColumnMapping mapping;
    for (const QVariant& v : Remembered().value(HeaderKey(columns)).toList())
        mapping.push_back(v.toInt());
    if (mapping.size() != columns.size())
        mapping.clear();
    return mapping;
}

void RememberMapping(const std::vector<std::string>& columns, const ColumnMapping& mapping) {
    QVariantList values;
    for (int field : mapping)
        values << field;
    Remembered().setValue(HeaderKey(columns), values);
}

#include "qtsupport/PlatformServices.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace {

QMessageBox::Icon ToQt(PlatformServices::Icon icon) {
    switch (icon) {
    case PlatformServices::Icon::Question:
        return QMessageBox::Question;
    case PlatformServices::Icon::Information:
        return QMessageBox::Information;
    case PlatformServices::Icon::Warning:
        return QMessageBox::Warning;
    case PlatformServices::Icon::Error:
        return QMessageBox::Critical;
    case PlatformServices::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

bool QtPlatformServices::askYesNo(QWidget* parent, const QString& title, const QString& text,
                                  Icon icon) {
    QMessageBox box(ToQt(icon), title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Sí"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&No"));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtPlatformServices::showMessage(QWidget* parent, const QString& title, const QString& text,
                                     Icon icon) {
    QMessageBox box(ToQt(icon), title, text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("&Aceptar"));
    box.exec();
}

std::optional<QString> QtPlatformServices::getOpenFileName(QWidget* parent, const QString& title,
                                                           const QString& filter) {
    QString name = QFileDialog::getOpenFileName(parent, title, QString(), filter);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> QtPlatformServices::getSaveFileName(QWidget* parent, const QString& title,
                                                           const QString& filter, QString* chosen) {
    // No overwrite question: the program appends ".kbx" itself and replaces the file.
    QString name = QFileDialog::getSaveFileName(parent, title, QString(), filter, chosen,
                                                QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

bool QtPlatformServices::runPrintDialog(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void QtPlatformServices::openUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

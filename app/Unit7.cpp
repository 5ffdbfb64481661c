#include "app/Unit7.h"

#include "BuildInfo.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int kPictureSide = 96;

QLabel* TitlePart(QWidget* parent, const char* name, const QString& text, const QColor& colour) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font = label->font();
    font.setPointSize(14);
    font.setBold(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

QLabel* TextLine(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

TForm7::TForm7(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("Acerca de"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setModal(true);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("imagen"));
    picture->setPixmap(Picture(kPictureSide));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* first = TitlePart(this, "titulo1", QStringLiteral("Agenda"), QColor(0, 128, 255));
    auto* second = TitlePart(this, "titulo2", QStringLiteral("VELDRANO"), QColor(255, 0, 0));
    auto* title = new QHBoxLayout;
    title->setSpacing(first->fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    title->addWidget(first);
    title->addWidget(second);
    title->addStretch();

    auto* author = TextLine(this, "autor",
                            QStringLiteral("Programa de ") + QString::fromUtf8(VELDRANO_AUTHOR));
    auto* email =
        TextLine(this, "correo",
                 QStringLiteral("Correo electrónico: ") + QString::fromUtf8(VELDRANO_AUTHOR_EMAIL));

    // Below the program's own lines, so that they stay as they always were.
    auto* licence = TextLine(this, "licencia",
                             QStringLiteral("Software libre: GNU GPL, versión 3 o posterior"));

    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addLayout(title);
    texts->addSpacing(8);
    texts->addWidget(author);
    texts->addWidget(email);
    texts->addWidget(licence);
    texts->addStretch();
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(ok);
    texts->addLayout(buttonRow);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(16);
    layout->addWidget(picture);
    layout->addLayout(texts);
    // The box keeps the size of its content; the user cannot resize it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
}

void TForm7::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnParent();
}

void TForm7::centreOnParent() {
    QRect around;
    if (QWidget* owner = parentWidget())
        around = owner->window()->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        around = screen->availableGeometry();
    else
        return;
    QRect box = frameGeometry();
    box.moveCenter(around.center());
    move(box.topLeft());
}

QPixmap TForm7::Picture(int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 96.0, side / 96.0);

    // Pages peeking out at the right of the cover.
    p.setPen(QPen(QColor(150, 150, 150), 1));
    p.setBrush(QColor(250, 248, 240));
    p.drawRoundedRect(QRectF(20, 10, 66, 80), 5, 5);

    // Cover, blue like the first half of the title, darker at the spine.
    QLinearGradient cover(QPointF(14, 0), QPointF(82, 0));
    cover.setColorAt(0, QColor(0, 92, 190));
    cover.setColorAt(1, QColor(0, 140, 255));
    p.setPen(QPen(QColor(0, 60, 130), 1.5));
    p.setBrush(cover);
    p.drawRoundedRect(QRectF(14, 6, 66, 84), 6, 6);

    // Rings along the spine.
    p.setPen(QPen(QColor(200, 200, 210), 3, Qt::SolidLine, Qt::RoundCap));
    for (int y : {22, 48, 74})
        p.drawLine(QPointF(8, y), QPointF(22, y));

    // A card with a person on it.
    p.setPen(QPen(QColor(0, 60, 130), 1));
    p.setBrush(QColor(255, 255, 255));
    p.drawRoundedRect(QRectF(30, 22, 40, 46), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 40, 40));
    p.drawEllipse(QPointF(50, 37), 7, 7);
    QPainterPath shoulders;
    shoulders.moveTo(36, 62);
    shoulders.cubicTo(36, 50, 64, 50, 64, 62);
    shoulders.closeSubpath();
    p.drawPath(shoulders);

    // Lines for the entries under the card.
    p.setPen(QPen(QColor(255, 255, 255, 180), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 76), QPointF(68, 76));
    p.drawLine(QPointF(32, 82), QPointF(60, 82));
    return pixmap;
}

#include "app/Unit7.h"

#include "BuildInfo.h"
#include "tests/support/app/QtApp.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class AboutBox : public ::testing::Test {
  protected:
    void SetUp() override {
        veldrano::test::EnsureQApplication();
        owner = std::make_unique<QWidget>();
        owner->setGeometry(120, 90, 700, 500);
        owner->show();
        box = new TForm7(owner.get());
    }
    void TearDown() override {
        owner.reset();
        // Nothing of the test may be left on screen.
        for (QWidget* w : QApplication::topLevelWidgets())
            EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
    }
    template <class T> T* child(const char* name) const {
        auto* w = box->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QRect inBox(QWidget* w) const { return QRect(w->mapTo(box, QPoint(0, 0)), w->size()); }

    std::unique_ptr<QWidget> owner;
    TForm7* box = nullptr; // owned by `owner`
};

TEST_F(AboutBox, ShowsTitleAuthorAndEmail) {
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Acerca de"));
    auto* first = child<QLabel>("titulo1");
    auto* second = child<QLabel>("titulo2");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->text() + ' ' + second->text(), QStringLiteral("Agenda VELDRANO"));
    for (QLabel* part : {first, second}) {
        EXPECT_TRUE(part->font().bold());
        EXPECT_EQ(part->font().pointSize(), 14);
    }
    EXPECT_EQ(first->palette().color(QPalette::WindowText), QColor(0, 128, 255));
    EXPECT_EQ(second->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(child<QLabel>("autor")->text(),
              QStringLiteral("Programa de ") + QString::fromUtf8(VELDRANO_AUTHOR));
    EXPECT_EQ(child<QLabel>("correo")->text(),
              QStringLiteral("Correo electrónico: ") + QString::fromUtf8(VELDRANO_AUTHOR_EMAIL));
    EXPECT_EQ(child<QLabel>("licencia")->text(),
              QStringLiteral("Software libre: GNU GPL, versión 3 o posterior"));
    EXPECT_EQ(child<QPushButton>("Button1")->text(), QStringLiteral("&Ok"));
}

TEST_F(AboutBox, PictureThenTitleOnOneLineThenTheTwoTextLines) {
    box->show();
    auto* picture = child<QLabel>("imagen");
    ASSERT_FALSE(picture->pixmap().isNull());
    QImage image = picture->pixmap().toImage();
    EXPECT_GT(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 0) << "empty picture";

    QRect pic = inBox(picture), t1 = inBox(child<QLabel>("titulo1")),
          t2 = inBox(child<QLabel>("titulo2")), author = inBox(child<QLabel>("autor")),
          email = inBox(child<QLabel>("correo")), licence = inBox(child<QLabel>("licencia"));
    EXPECT_LT(pic.right(), t1.left());
    EXPECT_LT(t1.right(), t2.left());
    EXPECT_EQ(t1.center().y(), t2.center().y());
    EXPECT_GT(author.top(), t1.bottom());
    EXPECT_GT(email.top(), author.bottom());
    EXPECT_GT(licence.top(), email.bottom());
    // Nothing is cut off: every text fits its label.
    for (auto* label : box->findChildren<QLabel*>())
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->objectName().toStdString();
    box->close();
}

TEST_F(AboutBox, FixedSizeAndCentredOnItsOwnerEachTime) {
    box->show();
    const QSize size = box->size();
    EXPECT_EQ(box->minimumSize(), box->maximumSize());
    box->resize(size + QSize(200, 100));
    EXPECT_EQ(box->size(), size);
    EXPECT_LE((box->frameGeometry().center() - owner->frameGeometry().center()).manhattanLength(),
              2);
    box->close();

    owner->move(400, 300);
    box->show();
    EXPECT_LE((box->frameGeometry().center() - owner->frameGeometry().center()).manhattanLength(),
              2);
    box->close();
}

TEST_F(AboutBox, OkAndCloseBoxBothJustClose) {
    QTimer::singleShot(
        0, box, [this] { QTest::mouseClick(child<QPushButton>("Button1"), Qt::LeftButton); });
    EXPECT_EQ(box->exec(), QDialog::Accepted);
    EXPECT_FALSE(box->isVisible());

    // Shown again, the box closes from its title bar as well.
    QTimer::singleShot(0, box, [this] { box->close(); });
    EXPECT_EQ(box->exec(), QDialog::Rejected);
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(child<QLabel>("titulo2")->text(), QStringLiteral("VELDRANO"));
}

} // namespace

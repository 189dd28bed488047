// The program's picture at every size it is used in: beside the convert button (50 pixels), as
// the window icon and as the icon files the build installs.

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QtTest>

#include "ui/decoration.h"
#include "test_pictures.h"

using namespace hakomiru;

namespace {

const QRgb topFace = qRgb(255, 255, 192);
const QRgb leftFace = qRgb(192, 255, 255);
const QRgb rightFace = qRgb(255, 192, 255);

} // namespace

class tst_decoration : public QObject
{
    Q_OBJECT

private slots:
    void facesAtEverySize_data();
    void facesAtEverySize();
    void iconOffersEverySize();
    void installedIconsAreThePicture_data();
    void installedIconsAreThePicture();
};

void tst_decoration::facesAtEverySize_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<QPointF>("designPoint");
    QTest::addColumn<QRgb>("expected");

    // Points of the 50-pixel design well inside each face, away from the outlines and the fold.
    const struct
    {
        const char* name;
        QPointF point;
        QRgb color;
    } faces[] = {{"top", {20, 17.4}, topFace},
                 {"left", {15.5, 30.5}, leftFace},
                 {"right", {34.5, 30.5}, rightFace}};
    for (int side : {16, 24, 32, 48, 50, 64, 128, 256})
        for (const auto& face : faces)
            QTest::addRow("%d %s", side, face.name) << side << face.point << face.color;
}

void tst_decoration::facesAtEverySize()
{
    QFETCH(int, side);
    QFETCH(QPointF, designPoint);
    QFETCH(QRgb, expected);

    const QImage picture = decorationPicture(side);
    QCOMPARE(picture.size(), QSize(side, side));
    QVERIFY(picture.hasAlphaChannel());

    // The picture is the 50-pixel design scaled: the face lies at the scaled point.
    const double scale = side / 50.0;
    const QPoint at(int(designPoint.x() * scale), int(designPoint.y() * scale));
    const QRgb found = picture.pixel(at);
    QVERIFY2(qAlpha(found) == 255 && testing::closeColor(found, expected, 8),
             qPrintable(QStringLiteral("at (%1, %2): %3 alpha %4, expected %5")
                            .arg(at.x())
                            .arg(at.y())
                            .arg(testing::colorText(found))
                            .arg(qAlpha(found))
                            .arg(testing::colorText(expected))));

    // The corners of the square stay transparent.
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(side - 1, 0), QPoint(0, side - 1), QPoint(side - 1, side - 1)})
        QVERIFY2(qAlpha(picture.pixel(corner)) == 0,
                 qPrintable(QStringLiteral("corner (%1, %2) is not transparent")
                                .arg(corner.x())
                                .arg(corner.y())));
}

void tst_decoration::iconOffersEverySize()
{
    const QIcon icon = programIcon();
    for (int side : iconSides) {
        QVERIFY2(icon.availableSizes().contains(QSize(side, side)),
                 qPrintable(QStringLiteral("no %1-pixel window icon").arg(side)));
        // A pixmap holds premultiplied pixels, so both are compared in that form.
        const QImage shown = icon.pixmap(QSize(side, side))
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage drawn =
            decorationPicture(side).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QVERIFY2(
            shown == drawn,
            qPrintable(QStringLiteral("the %1-pixel window icon is another picture").arg(side)));
    }
}

void tst_decoration::installedIconsAreThePicture_data()
{
    QTest::addColumn<int>("side");
    for (int side : iconSides)
        QTest::addRow("%d", side) << side;
}

void tst_decoration::installedIconsAreThePicture()
{
    QFETCH(int, side);
    const QString file = QStringLiteral(HAKOMIRU_ICON_FOLDER "/%1x%1/apps/hakomiru.png").arg(side);
    QImage installed;
    QVERIFY2(installed.load(file), qPrintable(QStringLiteral("cannot read ") + file));
    QCOMPARE(installed.size(), QSize(side, side));
    QVERIFY2(installed.convertToFormat(QImage::Format_ARGB32) == decorationPicture(side),
             qPrintable(file + QStringLiteral(" differs from the program's picture")));
}

QTEST_MAIN(tst_decoration)
#include "tst_decoration.moc"

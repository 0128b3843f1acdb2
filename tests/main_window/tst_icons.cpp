// SPDX-License-Identifier: MIT
#include <QImage>
#include <QTest>

// The window icon comes from resources compiled into the static UI library; a program that
// links the library must find every size under the short ":/icons/" path.
class tst_icons : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resourceImage_data();
    void resourceImage();
};

void tst_icons::resourceImage_data()
{
    QTest::addColumn<int>("size");
    for (const int size : { 16, 32, 48, 64, 128, 256 }) {
        QTest::addRow("%d px", size) << size;
    }
}

void tst_icons::resourceImage()
{
    QFETCH(int, size);
    const QString path = QStringLiteral(":/icons/rotavex-%1.png").arg(size);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());
    // Rounded plate: the corners show the desktop through, the middle is solid.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(size - 1, size - 1)), 0);
    QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
}

QTEST_MAIN(tst_icons)
#include "tst_icons.moc"

// SPDX-License-Identifier: MIT
#include "evening/evening.h"
#include "main_window/board_art.h"
#include "main_window/frm_main.h"
#include "main_window/rotor_logo.h"
#include "support/pty_pair.h"

#include <QImage>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdlib>

using main_window::BoardArt;
using main_window::RotorLogo;

// A window built on pictures drawn beforehand, on another thread, looks as one that draws
// them itself; pictures for another screen density are left alone.
class tst_BoardArt : public QObject
{
    Q_OBJECT
private slots:
    void looksAsDrawnInPlace_data()
    {
        QTest::addColumn<qreal>("artDensity");
        QTest::newRow("this screen's density") << 1.0;
        QTest::newRow("another density") << 2.0;
    }
    void looksAsDrawnInPlace()
    {
        QFETCH(qreal, artDensity);
        TempSettings settings;
        const BoardArt art(artDensity);
        frmMain drawing;
        evening::Evening evening;
        frmMain prepared(evening, &art);
        auto *logo = prepared.findChild<RotorLogo *>(QStringLiteral("PctLogo"));
        QCOMPARE(logo->size(), RotorLogo::kDesignSize);
        const int difference = maxDifference(
            drawing.findChild<RotorLogo *>(QStringLiteral("PctLogo"))->grab(), logo->grab());
        QVERIFY2(difference <= 2, qPrintable(QString::number(difference)));
        for (const QPushButton *button : prepared.findChildren<QPushButton *>()) {
            const auto *own = drawing.findChild<QPushButton *>(button->objectName());
            for (const QIcon::State state : { QIcon::Off, QIcon::On }) {
                QCOMPARE(button->icon().pixmap(32, QIcon::Normal, state).toImage(),
                    own->icon().pixmap(32, QIcon::Normal, state).toImage());
            }
        }
    }

private:
    // Composited once more than a picture drawn in place, a blended edge may differ by rounding.
    static int maxDifference(const QPixmap &a, const QPixmap &b)
    {
        const QImage one = a.toImage().convertToFormat(QImage::Format_RGB32);
        const QImage other = b.toImage().convertToFormat(QImage::Format_RGB32);
        if (one.size() != other.size()) {
            return 255;
        }
        int most = 0;
        for (int y = 0; y < one.height(); ++y) {
            for (int x = 0; x < one.width(); ++x) {
                const QRgb p = one.pixel(x, y);
                const QRgb q = other.pixel(x, y);
                most = std::max({ most, std::abs(qRed(p) - qRed(q)),
                    std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q)) });
            }
        }
        return most;
    }
};

QTEST_MAIN(tst_BoardArt)
#include "tst_board_art.moc"

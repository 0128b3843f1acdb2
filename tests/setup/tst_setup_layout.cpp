// SPDX-License-Identifier: MIT
#include "setup/setup_layout.h"

#include <QRect>
#include <QSet>
#include <QTest>

namespace
{

QRect asRect(const twips::TwipsRect &r) { return { r.Left, r.Top, r.Width, r.Height }; }

} // namespace

class tst_SetupLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyControlInsideItsContainer();
    void everyPlayerHasAFrameOfItsOwn();
};

// A control sticking out of its frame or the dialog is cut off on screen.
void tst_SetupLayout::everyControlInsideItsContainer()
{
    const QRect dialog(0, 0, setup_layout::kDesignClientWidth, setup_layout::kDesignClientHeight);
    const QRect frame = asRect(twips::designRect(setup_layout::DesignInventory(), "fr0"));
    for (const twips::DesignControl &control : setup_layout::DesignInventory()) {
        const bool inFrame = QByteArrayView(control.container) == "fr";
        const QRect container = inFrame ? QRect(QPoint(0, 0), frame.size()) : dialog;
        QVERIFY2(container.contains(asRect(control.rect)), control.objectName);
    }
}

void tst_SetupLayout::everyPlayerHasAFrameOfItsOwn()
{
    QSet<int> indexes;
    QList<QRect> frames;
    for (rotavex::PlayerSlot p = rotavex::kFirstPlayer; p <= rotavex::kLastPlayer; ++p) {
        const int index = setup_layout::FrameIndex(p);
        indexes.insert(index);
        const auto rect = twips::FindDesignRect(
            setup_layout::DesignInventory(), QStringLiteral("fr%1").arg(index));
        QVERIFY(rect);
        for (const QRect &other : frames) {
            QVERIFY(!other.intersects(asRect(*rect)));
        }
        frames << asRect(*rect);
    }
    QCOMPARE(indexes, (QSet<int> { 0, 1, 2, 3 }));
}

QTEST_GUILESS_MAIN(tst_SetupLayout)
#include "tst_setup_layout.moc"

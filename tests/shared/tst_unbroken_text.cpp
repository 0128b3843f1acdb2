// SPDX-License-Identifier: MIT
#include "shared/unbroken_text.h"

#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

class tst_unbroken_text : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wrapsAtBlanksOnly_data();
    void wrapsAtBlanksOnly();
    void htmlShowsTheLinesAsWritten();
};

namespace
{

// One unit per character: lines can be checked by counting.
double characters(QStringView text) { return double(text.size()); }

} // namespace

void tst_unbroken_text::wrapsAtBlanksOnly_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<double>("maxWidth");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("fits on one line") << "COM3 closed" << 40.0 << QStringList { "COM3 closed" };
    QTest::newRow("device path stays whole")
        << "No device for COM9: looked for /run/user/0/rotavex/COM9 and /dev/rfcomm8" << 40.0
        << QStringList { "No device for COM9: looked for", "/run/user/0/rotavex/COM9 and",
               "/dev/rfcomm8" };
    QTest::newRow("hyphenated word stays whole")
        << "COM1 could not be opened at start-up: busy." << 30.0
        << QStringList { "COM1 could not be opened at", "start-up: busy." };
    QTest::newRow("own line breaks kept, CR LF too")
        << "Cannot open COM9 !\r\nDevice gone\n\nRetrying" << 40.0
        << QStringList { "Cannot open COM9 !", "Device gone", "", "Retrying" };
    QTest::newRow("path wider than a line gets a line of its own")
        << "for /a/very/long/path/name ok" << 10.0
        << QStringList { "for", "/a/very/lo", "ng/path/na", "me ok" };
    QTest::newRow("runs of blanks at a break vanish")
        << "alpha     beta" << 6.0 << QStringList { "alpha", "beta" };
    QTest::newRow("surrogate pair never split")
        << QString(QStringLiteral("ab") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("cd"))
        << 3.0
        << QStringList { QStringLiteral("ab"), QString::fromUcs4(U"\U0001F600") + u'c',
               QStringLiteral("d") };
}

void tst_unbroken_text::wrapsAtBlanksOnly()
{
    QFETCH(QString, plain);
    QFETCH(double, maxWidth);
    QFETCH(QStringList, lines);
    QCOMPARE(unbroken_text::WrapAtBlanks(plain, maxWidth, characters), lines);
}

void tst_unbroken_text::htmlShowsTheLinesAsWritten()
{
    const QStringList lines { "Zoe & <i>co</i>", "", "/dev/rfcomm8 at start-up" };
    QTextDocument document;
    document.setHtml(unbroken_text::LinesAsHtml(lines));
    // However narrow the document, no line breaks again inside one of ours.
    document.setTextWidth(10);
    QVERIFY(document.size().width() > 10); // lays the document out
    QCOMPARE(document.toPlainText(), lines.join(u'\n'));
    const QTextLayout *layout = document.firstBlock().layout();
    QCOMPARE(layout->lineCount(), int(lines.size()));
    const QString text = document.firstBlock().text();
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        QCOMPARE(
            text.mid(line.textStart(), line.textLength()).remove(QChar::LineSeparator), lines[i]);
    }
}

QTEST_MAIN(tst_unbroken_text)
#include "tst_unbroken_text.moc"

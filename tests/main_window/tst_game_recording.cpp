// SPDX-License-Identifier: MIT
#include "main_window/frm_main.h"
#include "results/results_store.h"
#include "scores/frm_score.h"
#include "support/pty_pair.h"

#include "../results/game_fixtures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace results;

namespace
{

template <typename T> T *control(const QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    if (!found) {
        qFatal("no control %s", qPrintable(name));
    }
    return found;
}

QList<QMessageBox *> noticeBoxes(const frmMain &w)
{
    return w.findChildren<QMessageBox *>(QStringLiteral("msgResults"));
}

} // namespace

// The main window with a real results file: what is recorded when games end, the score button,
// and how problems with the file reach the user.
class tst_GameRecording : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_settings = std::make_unique<TempSettings>(); }
    void cleanup() { m_settings.reset(); }

    void scoreButtonOpensTheBoard();
    void unreadableFileToldOnceWithoutBlocking();

private:
    std::unique_ptr<TempSettings> m_settings;
};

void tst_GameRecording::scoreButtonOpensTheBoard()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    GameRecord game = fixtures::Speed(fixtures::At(1, 20), { { "Ann", 7000 } });
    store.addGame(game);
    frmMain w(nullptr, &store);
    w.show();
    QVERIFY(!w.scoreWindow());
    control<QPushButton>(w, QStringLiteral("CmdScore"))->click();
    frmScore *score = w.scoreWindow();
    QVERIFY(score);
    QVERIFY(score->isVisible());
    QCOMPARE(score->objectName(), QStringLiteral("frmScore"));
    QCOMPARE(control<QTableWidget>(*score, QStringLiteral("lstBestSpeed"))->item(0, 1)->text(),
        QStringLiteral("Ann"));
    // A second click brings the same window back rather than opening another.
    control<QPushButton>(w, QStringLiteral("CmdScore"))->click();
    QCOMPARE(w.findChildren<frmScore *>().size(), 1);
    score->close();
    QTRY_VERIFY(!w.scoreWindow());
}

void tst_GameRecording::unreadableFileToldOnceWithoutBlocking()
{
    QTemporaryDir dir;
    {
        QFile file(dir.filePath(QStringLiteral("results.sqlite")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<b>not</b> a database");
    }
    ResultsStore store(dir.path());
    frmMain w(nullptr, &store);
    w.show();
    QTRY_COMPARE(noticeBoxes(w).size(), 1);
    QMessageBox *box = noticeBoxes(w).first();
    QCOMPARE(box->textFormat(), Qt::PlainText);
    QVERIFY(!box->isModal());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    const QStringList aside =
        QDir(dir.path()).entryList({ QStringLiteral("results.sqlite.unreadable-*") });
    QCOMPARE(aside.size(), 1);
    QVERIFY(box->text().contains(dir.filePath(aside.first())));
    box->close();
    QTRY_VERIFY(noticeBoxes(w).isEmpty());

    frmMain again(nullptr, &store);
    again.show();
    QTest::qWait(50);
    QVERIFY(noticeBoxes(again).isEmpty());
}

QTEST_MAIN(tst_GameRecording)
#include "tst_game_recording.moc"

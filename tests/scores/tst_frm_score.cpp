// SPDX-License-Identifier: MIT
#include "results/csv.h"
#include "results/results_store.h"
#include "scores/frm_score.h"
#include "scores/recent_games_model.h"

#include "../results/csv_reader.h"
#include "../results/game_fixtures.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace results;
using fixtures::At;

namespace
{

QStringList column(const QTableWidget *table, int column)
{
    QStringList cells;
    for (int row = 0; row < table->rowCount(); ++row) {
        cells.append(table->item(row, column) ? table->item(row, column)->text() : QString());
    }
    return cells;
}

template <typename T> T *child(const QWidget &w, const char *name)
{
    T *found = w.findChild<T *>(QLatin1String(name));
    Q_ASSERT(found);
    return found;
}

} // namespace

class tst_frmScore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void listsShowTheBestWithDates();
    void newBestIsMarkedWithoutADialog();
    void selectingAGameDrawsIt();
    void exportRoundTrip_data();
    void exportRoundTrip();
    void exportGuardsFormulas_data();
    void exportGuardsFormulas();
    void exportToFifoWithoutReader();
    void deleteOneAndAll();
    void manyGamesArriveByPages();
};

void tst_frmScore::listsShowTheBestWithDates()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    for (GameRecord game : { fixtures::Speed(At(1, 20), { { "Ann", 7000 }, { "Bob", 9000 } }),
             fixtures::Strength(At(2, 20), 60, { { "Cy", 6000, 3000.4 } }),
             fixtures::Strength(At(3, 20), 60, { { "Di", 5000, 2999.6 } }, false),
             fixtures::Strength(At(4, 20), 30, { { "Ed", 5000, 1500 } }) }) {
        store.addGame(game);
    }
    frmScore w(store);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const auto *speed = child<QTableWidget>(w, "lstBestSpeed");
    QCOMPARE(column(speed, 1), (QStringList { "Bob", "Ann" }));
    QCOMPARE(
        column(speed, 2), (QStringList { QLocale().toString(9000), QLocale().toString(7000) }));
    QCOMPARE(speed->item(0, 3)->text(),
        QLocale().toString(At(1, 20).toLocalTime(), QLocale::ShortFormat));
    QCOMPARE(column(child<QTableWidget>(w, "lstBestStrength60"), 1), QStringList { "Cy" });
    QCOMPARE(column(child<QTableWidget>(w, "lstBestStrength60"), 2),
        QStringList { QLocale().toString(3000) });
    QCOMPARE(column(child<QTableWidget>(w, "lstBestStrength30"), 1), QStringList { "Ed" });
    QCOMPARE(child<QTableWidget>(w, "lstBestStrength90")->rowCount(), 0);
}

void tst_frmScore::newBestIsMarkedWithoutADialog()
{
    QTemporaryDir dir;
    {
        ResultsStore earlier(dir.path());
        GameRecord old = fixtures::Speed(At(1, 20), { { "old", 8000 } });
        earlier.addGame(old);
    }
    ResultsStore store(dir.path());
    frmScore w(store);
    w.show();
    QCOMPARE(w.windowTitle(), QStringLiteral("Hight Score"));
    GameRecord game = fixtures::Speed(At(2, 20), { { "slow", 100 }, { "fast", 8500 } });
    QCOMPARE(store.addGame(game), QList<BestList> { BestList::Speed });
    w.reload();
    QCOMPARE(w.windowTitle(), QStringLiteral("Hight Score - new best: Speed"));
    const auto *speed = child<QTableWidget>(w, "lstBestSpeed");
    QCOMPARE(column(speed, 1), (QStringList { "fast", "old", "slow" }));
    QCOMPARE(column(speed, 4), (QStringList { "NEW", "", "" }));
    QVERIFY(speed->item(0, 1)->font().bold());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void tst_frmScore::selectingAGameDrawsIt()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    GameRecord first =
        fixtures::Strength(At(1, 20), 90, { { "<b>Ann</b>", 6000, 4000 }, { "Bob", 5000, 3000 } });
    GameRecord second = fixtures::Speed(At(2, 20), { { "Cy", 7000 } });
    store.addGame(first);
    store.addGame(second);
    frmScore w(store);
    w.show();
    QCOMPARE(w.selectedGame(), second.id);
    QVERIFY(w.selectGame(first.id));
    const QList<QAbstractSeries *> series = child<QChartView>(w, "chtGame")->chart()->series();
    QCOMPARE(series.size(), 2);
    const auto *ann = qobject_cast<QLineSeries *>(series[0]);
    QCOMPARE(ann->name(), QStringLiteral("&lt;b&gt;Ann&lt;/b&gt;"));
    QCOMPARE(ann->points().size(), first.players[0].samples.size());
    QCOMPARE(ann->points()[1], QPointF(2, first.players[0].samples[1]));
    const auto *players = child<QTableWidget>(w, "lstPlayers");
    QCOMPARE(column(players, 1), (QStringList { "<b>Ann</b>", "Bob" }));
    QCOMPARE(
        column(players, 4), (QStringList { QLocale().toString(4000), QLocale().toString(3000) }));
    QCOMPARE(child<QLabel>(w, "lblGame")->textFormat(), Qt::PlainText);
}

void tst_frmScore::exportRoundTrip_data()
{
    QTest::addColumn<bool>("all");
    QTest::newRow("the selected game") << false;
    QTest::newRow("every game") << true;
}

void tst_frmScore::exportRoundTrip()
{
    QFETCH(bool, all);
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    const QStringList names = fixtures::HostileNames();
    GameRecord hostile = fixtures::Speed(At(2, 20), {});
    for (int i = 0; i < 4; ++i) {
        hostile.players.append(fixtures::Speed(At(2, 20), { { names[i + 2], 1000 } }).players[0]);
        hostile.players.last().player = rotavex::PlayerSlot(i + 1);
    }
    hostile.players[0].name = names[6]; // ten thousand characters
    GameRecord other = fixtures::Speed(At(1, 20), { { names[0], 2000 } });
    store.addGame(other);
    store.addGame(hostile);

    frmScore w(store);
    const QString target = dir.filePath(QStringLiteral("export.csv"));
    QString suggested;
    w.setFileChooser([&](QWidget *, const QString &name) {
        suggested = name;
        return target;
    });
    QVERIFY(w.selectGame(hostile.id));
    all ? w.exportAllGames() : w.exportSelectedGame();
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const std::optional<QList<QStringList>> records = ReadCsv(QString::fromUtf8(file.readAll()));
    QVERIFY(records);
    QCOMPARE(records->first().join(u','), QLatin1String(kCsvHeader));
    QStringList exported;
    for (const QStringList &row : records->mid(1)) {
        exported.append(row[7]);
    }
    QStringList expected { names[6], names[3], names[4], names[5] };
    if (all) {
        expected.prepend(names[0]);
    }
    QCOMPARE(exported, expected);
    QCOMPARE(suggested,
        all ? QStringLiteral("rotavex-results.csv")
            : QStringLiteral("rotavex-game-%1.csv").arg(hostile.id));
    QVERIFY(child<QLabel>(w, "lblStatus")->text().contains(target));
}

void tst_frmScore::deleteOneAndAll()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    QList<qint64> ids;
    for (int day = 1; day <= 3; ++day) {
        GameRecord game = fixtures::Speed(At(day, 20), { { QString::number(day), 1000 * day } });
        store.addGame(game);
        ids.append(game.id);
    }
    frmScore w(store);
    QVERIFY(w.selectGame(ids[1]));
    child<QPushButton>(w, "cmdDeleteGame")->click();
    QCOMPARE(store.gameCount(), 2);
    QVERIFY(!store.game(ids[1]));
    QCOMPARE(w.selectedGame(), ids[0]);
    QCOMPARE(column(child<QTableWidget>(w, "lstBestSpeed"), 1), (QStringList { "3", "1" }));

    int asked = 0;
    bool answer = false;
    w.setConfirmation([&](QWidget *, const QString &question) {
        ++asked;
        return question.contains(QLatin1String("2")) && answer;
    });
    child<QPushButton>(w, "cmdDeleteAll")->click();
    QCOMPARE(asked, 1);
    QCOMPARE(store.gameCount(), 2);
    answer = true;
    child<QPushButton>(w, "cmdDeleteAll")->click();
    QCOMPARE(store.gameCount(), 0);
    QCOMPARE(child<QTableView>(w, "lstGames")->model()->rowCount(), 0);
    QVERIFY(!w.selectedGame());
    QVERIFY(!child<QPushButton>(w, "cmdDeleteAll")->isEnabled());
    QVERIFY(!child<QPushButton>(w, "cmdExportGame")->isEnabled());
}

void tst_frmScore::manyGamesArriveByPages()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    const int count = scores::RecentGamesModel::kPageSize * 2 + 5;
    for (int i = 0; i < count; ++i) {
        GameRecord game =
            fixtures::Speed(At(1, 0).addSecs(60 * i), { { QString::number(i), 1000 + i } });
        store.addGame(game);
    }
    frmScore w(store);
    w.show();
    QAbstractItemModel *model = child<QTableView>(w, "lstGames")->model();
    QVERIFY(model->rowCount() < count);
    while (model->canFetchMore(QModelIndex())) {
        model->fetchMore(QModelIndex());
    }
    QCOMPARE(model->rowCount(), count);
    QCOMPARE(model->index(count - 1, scores::RecentGamesModel::Players).data().toString(),
        QStringLiteral("0"));
}

void tst_frmScore::exportGuardsFormulas_data()
{
    QTest::addColumn<bool>("raw");
    QTest::addColumn<bool>("ontoResults");
    QTest::addColumn<QString>("written");
    QTest::newRow("spreadsheet-safe unless asked") << false << false << "'=1+1";
    QTest::newRow("names as typed with the box checked") << true << false << "=1+1";
    QTest::newRow("the results file is never a target") << false << true << "";
}

void tst_frmScore::exportGuardsFormulas()
{
    QFETCH(bool, raw);
    QFETCH(bool, ontoResults);
    QFETCH(QString, written);
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    GameRecord game = fixtures::Speed(At(1, 20), { { "=1+1", 2000 } });
    store.addGame(game);
    frmScore w(store);
    const QString target = ontoResults ? store.filePath() : dir.filePath(QStringLiteral("x.csv"));
    w.setFileChooser([&](QWidget *, const QString &) { return target; });
    child<QCheckBox>(w, "chkRawNames")->setChecked(raw);
    w.exportAllGames();
    if (ontoResults) {
        QVERIFY(child<QLabel>(w, "lblStatus")->text().contains(QLatin1String("results file")));
        QCOMPARE(ResultsStore(dir.path()).gameCount(), 1);
        return;
    }
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const std::optional<QList<QStringList>> records = ReadCsv(QString::fromUtf8(file.readAll()));
    QVERIFY(records);
    QCOMPARE(records->at(1).at(7), written);
}

void tst_frmScore::exportToFifoWithoutReader()
{
    // The window never waits for a reader, and never puts a file in the FIFO's place.
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    GameRecord game = fixtures::Speed(At(1, 20), { { "Ann", 2000 } });
    store.addGame(game);
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    frmScore w(store);
    w.setFileChooser([&](QWidget *, const QString &) { return fifo; });
    w.exportAllGames();
    QVERIFY2(child<QLabel>(w, "lblStatus")->text().contains(fifo),
        qPrintable(child<QLabel>(w, "lblStatus")->text()));
    QVERIFY(!QFileInfo(fifo).isFile());
    QVERIFY(QFileInfo::exists(fifo));
}

QTEST_MAIN(tst_frmScore)
#include "tst_frm_score.moc"

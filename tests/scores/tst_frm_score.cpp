// SPDX-License-Identifier: MIT
#include "results/csv.h"
#include "results/results_store.h"
#include "scores/frm_score.h"
#include "scores/recent_games_model.h"
#include "scores/score_text.h"
#include "settings/settings_store.h"
#include "support/keyboard_walk.h"
#include "support/pty_pair.h"
#include "widgets/focus_ring.h"

#include "../results/csv_reader.h"
#include "../results/game_fixtures.h"

#include <QAccessibleTableInterface>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QValueAxis>

#include <functional>
#include <memory>

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

// Games in the file itself, read through a connection of its own.
int gamesInFile(const QString &folder)
{
    int count = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "tst_count");
        db.setDatabaseName(QDir(folder).filePath(QLatin1String(ResultsStore::kFileName)));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("SELECT COUNT(*) FROM games")) && query.next()) {
                count = query.value(0).toInt();
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("tst_count"));
    return count;
}

QList<qint64> listedGames(const QWidget &w)
{
    const auto *model =
        qobject_cast<const scores::RecentGamesModel *>(child<QTableView>(w, "lstGames")->model());
    QList<qint64> ids;
    for (int row = 0; row < model->rowCount(); ++row) {
        ids << model->gameId(row);
    }
    return ids;
}

// Runs `act` on the first message box that comes up, however deep the caller's nested loop.
void whenMessageBox(QObject *scope, const std::function<void(QMessageBox *)> &act)
{
    auto *poll = new QTimer(scope);
    QObject::connect(poll, &QTimer::timeout, scope, [poll, act] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box != nullptr && box->isVisible()) {
            poll->stop();
            act(box);
        }
    });
    poll->start(5);
}

QString setting(const char *key)
{
    return settings_store::ReadSetting(QLatin1String(settings_store::kApplication),
        QLatin1String(settings_store::kSection), QLatin1String(key), QString());
}

} // namespace

class tst_frmScore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_settings = std::make_unique<TempSettings>(); }
    void cleanup() { m_settings.reset(); }
    void listsShowTheBestWithDates();
    void readableAtDefaultSize();
    void newBestIsMarkedWithoutADialog();
    void selectingAGameDrawsIt();
    void exportRoundTrip_data();
    void exportRoundTrip();
    void exportGuardsFormulas_data();
    void exportGuardsFormulas();
    void exportToFifoWithoutReader();
    void deletedGameComesBackWithUndo();
    void deletionReachesTheFileWhenUndoEnds_data();
    void deletionReachesTheFileWhenUndoEnds();
    void deleteAllAsksWithNoAsDefault_data();
    void deleteAllAsksWithNoAsDefault();
    void exportStartsInDocumentsThenTheLastFolder();
    void windowRemembersItsSize();
    void shortGameHasWholeSecondTicks();
    void keyboardAndAssistiveTechnology();
    void manyGamesArriveByPages();

private:
    std::unique_ptr<TempSettings> m_settings;
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
        score_text::CompactDate(At(1, 20), QDateTime::currentDateTime(), QLocale()));
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
    QCOMPARE(QFileInfo(suggested).fileName(),
        all ? QStringLiteral("rotavex-results.csv")
            : QStringLiteral("rotavex-game-%1.csv").arg(hostile.id));
    QVERIFY(child<QLabel>(w, "lblStatus")->text().contains(target));
}

// Long but ordinary names, at the size the board opens with: nothing may be cut.
void tst_frmScore::readableAtDefaultSize()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    // Pairs of players take turns, so the lists rank all four names.
    const QList<QList<fixtures::Player>> pairs { { { "Alexandra", 12750, 2999.6 },
                                                     { "Bartholomew", 11000, 2500 } },
        { { "Christopher", 9000, 2100 }, { "Maximiliane", 8000, 1900 } } };
    // This year's games, so the Started column shows its compact form with the time.
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < 12; ++i) {
        const QDateTime start = now.addSecs(-3600 * (i + 1));
        GameRecord game = i % 4 == 0
            ? fixtures::Speed(start, pairs[i % 2])
            : fixtures::Strength(start, 30 * (i % 4), pairs[(i / 2) % 2], i % 5 != 0);
        store.addGame(game);
    }
    frmScore w(store);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.size(), QSize(1000, 640));

    const auto check = [&w](QTableView *table) {
        table->window()->layout()->activate();
        QHeaderView *header = table->horizontalHeader();
        const QString where = table->objectName();
        QVERIFY2(header->length() <= table->viewport()->width(), qPrintable(where));
        const int headerMargin = w.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        const int cellMargin =
            w.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
        QAbstractItemModel *model = table->model();
        for (int column = 0; column < model->columnCount(); ++column) {
            const QString title = model->headerData(column, Qt::Horizontal).toString();
            QVERIFY2(QFontMetrics(header->font()).horizontalAdvance(title) + 2 * headerMargin
                    <= header->sectionSize(column),
                qPrintable(where + u' ' + title));
            for (int row = 0; row < model->rowCount(); ++row) {
                const QModelIndex index = model->index(row, column);
                const QString text = index.data().toString();
                const QVariant font = index.data(Qt::FontRole);
                const QFontMetrics metrics(font.isValid() ? font.value<QFont>() : table->font());
                QVERIFY2(
                    metrics.horizontalAdvance(text) + 2 * cellMargin <= table->columnWidth(column),
                    qPrintable(where + u' ' + title + u' ' + text));
            }
        }
    };
    check(child<QTableView>(w, "lstBestSpeed"));
    auto *tabs = child<QTabWidget>(w, "tabBestStrength");
    for (const char *name : { "lstBestStrength30", "lstBestStrength60", "lstBestStrength90" }) {
        tabs->setCurrentWidget(child<QWidget>(w, name));
        QVERIFY(child<QTableWidget>(w, name)->rowCount() > 0);
        check(child<QTableView>(w, name));
    }
    check(child<QTableView>(w, "lstGames"));
    check(child<QTableView>(w, "lstPlayers"));
    const QString started =
        child<QTableView>(w, "lstGames")->model()->index(0, 0).data().toString();
    QVERIFY2(!started.contains(QString::number(now.date().year())), qPrintable(started));
    // A really long name is cut, and whole in its tooltip.
    const QString longName = QStringLiteral("Anna-Katharina Bartholomew von Hohenzollern");
    GameRecord lengthy = fixtures::Speed(now, { { longName, 20000 } });
    store.addGame(lengthy);
    w.reload();
    auto *speed = child<QTableWidget>(w, "lstBestSpeed");
    QVERIFY(QFontMetrics(speed->font()).horizontalAdvance(longName) > speed->columnWidth(1));
    QTextDocument tip;
    tip.setHtml(speed->item(0, 1)->toolTip());
    QCOMPARE(tip.toPlainText().simplified(), longName);
    QCOMPARE(w.size(), QSize(1000, 640));
}

void tst_frmScore::deletedGameComesBackWithUndo()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    const QList<qint64> ids = fixtures::AddThreeSpeedGames(store);
    frmScore w(store);
    w.show();
    auto *undo = child<QPushButton>(w, "cmdUndo");
    QVERIFY(!undo->isVisible());
    QVERIFY(w.selectGame(ids[1]));
    child<QPushButton>(w, "cmdDeleteGame")->click();
    // Gone from every list, the next game selected in its place, but still in the file.
    QCOMPARE(listedGames(w), (QList<qint64> { ids[2], ids[0] }));
    QCOMPARE(column(child<QTableWidget>(w, "lstBestSpeed"), 1), (QStringList { "3", "1" }));
    QCOMPARE(w.selectedGame(), ids[0]);
    QCOMPARE(w.pendingDeletion(), ids[1]);
    QCOMPARE(gamesInFile(dir.path()), 3);
    QVERIFY(undo->isVisible());
    QVERIFY(child<QLabel>(w, "lblStatus")->text().startsWith(QLatin1String("Deleted the game")));

    // Export all holds what the board shows.
    const QString target = dir.filePath(QStringLiteral("all.csv"));
    w.setFileChooser([&target](QWidget *, const QString &) { return target; });
    w.exportAllGames();
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const std::optional<QList<QStringList>> records = ReadCsv(QString::fromUtf8(file.readAll()));
    QVERIFY(records);
    QCOMPARE(records->size(), 3);

    undo->click();
    QCOMPARE(listedGames(w), (QList<qint64> { ids[2], ids[1], ids[0] }));
    QCOMPARE(column(child<QTableWidget>(w, "lstBestSpeed"), 1), (QStringList { "3", "2", "1" }));
    QCOMPARE(w.selectedGame(), ids[1]);
    QVERIFY(!w.pendingDeletion());
    QVERIFY(!undo->isVisible());
    w.close();
    QCOMPARE(gamesInFile(dir.path()), 3);
    QVERIFY(store.game(ids[1]));
}

void tst_frmScore::deletionReachesTheFileWhenUndoEnds_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("the next deletion") << "next";
    QTest::newRow("the board is closed") << "close";
    QTest::newRow("the program ends with the board open") << "end";
}

void tst_frmScore::deletionReachesTheFileWhenUndoEnds()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    const QList<qint64> ids = fixtures::AddThreeSpeedGames(store);
    auto w = std::make_unique<frmScore>(store);
    w->show();
    QVERIFY(w->selectGame(ids[2]));
    child<QPushButton>(*w, "cmdDeleteGame")->click();
    QCOMPARE(gamesInFile(dir.path()), 3);
    if (how == QLatin1String("next")) {
        QVERIFY(w->selectGame(ids[0]));
        child<QPushButton>(*w, "cmdDeleteGame")->click();
        QCOMPARE(gamesInFile(dir.path()), 2);
        QCOMPARE(listedGames(*w), QList<qint64> { ids[1] });
        // Undo now brings back the second game only.
        child<QPushButton>(*w, "cmdUndo")->click();
        QCOMPARE(listedGames(*w), (QList<qint64> { ids[1], ids[0] }));
    } else if (how == QLatin1String("close")) {
        w->close();
        QCOMPARE(gamesInFile(dir.path()), 2);
    } else {
        w.reset();
        QCOMPARE(gamesInFile(dir.path()), 2);
    }
    QVERIFY(!store.game(ids[2]));
    QCOMPARE(store.gameCount(), 2);
}

void tst_frmScore::deleteAllAsksWithNoAsDefault_data()
{
    QTest::addColumn<int>("key"); // 0: click Yes
    QTest::addColumn<int>("gamesLeft");
    QTest::newRow("Enter keeps the games") << int(Qt::Key_Return) << 3;
    QTest::newRow("keypad Enter keeps the games") << int(Qt::Key_Enter) << 3;
    QTest::newRow("Escape keeps the games") << int(Qt::Key_Escape) << 3;
    QTest::newRow("Yes deletes them") << 0 << 0;
}

void tst_frmScore::deleteAllAsksWithNoAsDefault()
{
    QFETCH(int, key);
    QFETCH(int, gamesLeft);
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    for (int day = 1; day <= 4; ++day) {
        GameRecord game = fixtures::Speed(At(day, 20), { { QString::number(day), 1000 * day } });
        store.addGame(game);
    }
    frmScore w(store);
    w.show();
    // One game waits for its deletion: the question counts the three the board shows.
    child<QPushButton>(w, "cmdDeleteGame")->click();
    QString question;
    bool noIsDefault = false;
    whenMessageBox(&w, [&](QMessageBox *box) {
        question = box->text();
        noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
        if (key == 0) {
            box->button(QMessageBox::Yes)->click();
        } else {
            QTest::keyClick(box, Qt::Key(key));
        }
    });
    QTimer::singleShot(20000, &w, [] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
    child<QPushButton>(w, "cmdDeleteAll")->click();
    QCOMPARE(question, QStringLiteral("Delete all 3 recorded games? This cannot be undone."));
    QVERIFY(noIsDefault);
    QCOMPARE(listedGames(w).size(), gamesLeft);
    w.close();
    QCOMPARE(gamesInFile(dir.path()), gamesLeft);
    QCOMPARE(child<QPushButton>(w, "cmdDeleteAll")->isEnabled(), gamesLeft > 0);
}

void tst_frmScore::exportStartsInDocumentsThenTheLastFolder()
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    const QString documents = QDir(home.path()).filePath(QStringLiteral("Documents"));
    QVERIFY(QDir().mkpath(documents));
    const QString elsewhere = QDir(home.path()).filePath(QStringLiteral("evening"));
    QVERIFY(QDir().mkpath(elsewhere));

    QTemporaryDir dir;
    ResultsStore store(dir.path());
    GameRecord game = fixtures::Speed(At(1, 20), { { "Ann", 7000 } });
    store.addGame(game);
    QStringList suggested;
    {
        frmScore w(store);
        w.setFileChooser([&](QWidget *, const QString &path) {
            suggested << path;
            return QDir(elsewhere).filePath(QStringLiteral("mine.csv"));
        });
        w.exportAllGames();
    }
    {
        frmScore again(store);
        again.setFileChooser([&](QWidget *, const QString &path) {
            suggested << path;
            return QString();
        });
        again.exportSelectedGame();
        QVERIFY(QDir(elsewhere).removeRecursively());
        again.exportAllGames();
    }
    qputenv("HOME", oldHome);
    if (!oldConfig.isEmpty()) {
        qputenv("XDG_CONFIG_HOME", oldConfig);
    }
    QCOMPARE(suggested,
        (QStringList { QDir(documents).filePath(QStringLiteral("rotavex-results.csv")),
            QDir(elsewhere).filePath(QStringLiteral("rotavex-game-%1.csv").arg(game.id)),
            QDir(documents).filePath(QStringLiteral("rotavex-results.csv")) }));
    QCOMPARE(setting("ExportFolder"), elsewhere);
}

void tst_frmScore::windowRemembersItsSize()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    {
        frmScore w(store);
        QCOMPARE(w.size(), QSize(1000, 640));
        w.show();
        w.resize(1240, 760);
        QCOMPARE(w.size(), QSize(1240, 760));
    }
    QCOMPARE(setting("ScoreWidth"), QStringLiteral("1240"));
    {
        frmScore w(store);
        QCOMPARE(w.size(), QSize(1240, 760));
    }
    // A size no one could use is not taken over.
    settings_store::WriteSetting(QLatin1String(settings_store::kApplication),
        QLatin1String(settings_store::kSection), QStringLiteral("ScoreWidth"),
        QStringLiteral("12"));
    frmScore w(store);
    QCOMPARE(w.size(), QSize(1000, 640));
}

void tst_frmScore::shortGameHasWholeSecondTicks()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    GameRecord game = fixtures::Speed(At(1, 20), { { "Ann", 12750 } });
    game.ticks = 2;
    game.players[0].samples = { 12000, 12750 };
    store.addGame(game);
    frmScore w(store);
    w.show();
    QVERIFY(w.selectGame(game.id));
    const QChart *chart = child<QChartView>(w, "chtGame")->chart();
    const auto *seconds = qobject_cast<QValueAxis *>(chart->axes(Qt::Horizontal).value(0));
    const auto *rpm = qobject_cast<QValueAxis *>(chart->axes(Qt::Vertical).value(0));
    QVERIFY(seconds && rpm);
    QCOMPARE(QList<double>({ seconds->min(), seconds->max(), double(seconds->tickCount()) }),
        QList<double>({ 0, 2, 3 }));
    QCOMPARE(QList<double>({ rpm->min(), rpm->max(), double(rpm->tickCount()) }),
        QList<double>({ 0, 14000, 8 }));
}

void tst_frmScore::keyboardAndAssistiveTechnology()
{
    QTemporaryDir dir;
    ResultsStore store(dir.path());
    for (int day = 1; day <= 3; ++day) {
        GameRecord game = fixtures::Strength(At(day, 20), 60, { { "Alexandra", 9000, 3000 } });
        store.addGame(game);
    }
    frmScore w(store);
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // Undo is on the status line only after a deletion: tab through with it there.
    child<QPushButton>(w, "cmdDeleteGame")->click();

    const QString faults = test_support::KeyboardWalkFaults(&w);
    QVERIFY2(faults.isEmpty(), qPrintable(faults));
    // The ring follows the keyboard: a list clicked with the mouse gets no ring.
    auto *games = child<QTableView>(w, "lstGames");
    QTest::mouseClick(games->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(games->hasFocus());
    QVERIFY(!w.findChild<widgets::FocusRing *>()->isVisible());
    QCOMPARE(test_support::UnnamedControls(&w), QStringList());
    QAccessibleInterface *best =
        QAccessible::queryAccessibleInterface(child<QWidget>(w, "lstBestStrength60"));
    QVERIFY(best && best->tableInterface());
    QCOMPARE(best->text(QAccessible::Name), QStringLiteral("Best Strength 60 s"));
    QCOMPARE(
        best->tableInterface()->cellAt(0, 1)->text(QAccessible::Name), QStringLiteral("Alexandra"));
    QCOMPARE(
        best->tableInterface()->cellAt(0, 2)->text(QAccessible::Name), QLocale().toString(3000));
    // Escape from a list puts the window away, as it would a dialog.
    QTest::keyClick(games, Qt::Key_Escape);
    QVERIFY(!w.isVisible());
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

// SPDX-License-Identifier: MIT
#include "competition/frm_competition.h"

#include "competition/competition_csv.h"
#include "competition/competition_store.h"
#include "competition/heat_text.h"
#include "competition/running_competition.h"
#include "results/results_store.h"
#include "support/pty_pair.h"
#include "support/widget_lookup.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace competition;
using test_support::control;

namespace
{

// The game a heat's players play on the board: the player at device d scores d × 100
// revolutions plus `bonus`; devices whose link is closed have no result.
results::GameRecord gameFor(const QStringList &names, const OpenLinks &open, double bonus = 0)
{
    results::GameRecord game;
    game.id = 1000;
    game.mode = rotavex::PlayMode::Strength;
    game.presetSeconds = 30;
    game.complete = true;
    game.startedAt = QDateTime::currentDateTime();
    for (int d = 0; d < kDevices; ++d) {
        if (!open[std::size_t(d)]) {
            continue;
        }
        results::PlayerResult player;
        player.player = rotavex::PlayerSlot(d + 1);
        player.name = names[d];
        player.bestRpm = 7000;
        player.revolutions = (d + 1) * 100.0 + bonus;
        game.players.append(player);
    }
    return game;
}

QStringList column(const QTableWidget &table, int col)
{
    QStringList texts;
    for (int row = 0; row < table.rowCount(); ++row) {
        texts.append(table.item(row, col) ? table.item(row, col)->text() : QString());
    }
    return texts;
}

QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class tst_frmCompetition : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void createNeedsNameAndPlayers_data();
    void createNeedsNameAndPlayers();
    void anEveningInTheWindow();
    void gameWithoutCalledHeatIsNotTheCompetitions();
    void anotherInstanceChangedItFirst_data();
    void anotherInstanceChangedItFirst();
    void damagedRowsOpenWithAMessage_data();
    void damagedRowsOpenWithAMessage();

private:
    frmCompetition *open();
    frmCompetition *create(const QString &roster, int rounds);

    std::unique_ptr<TempSettings> m_settings;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<results::ResultsStore> m_games;
    std::unique_ptr<CompetitionStore> m_store;
};

void tst_frmCompetition::init()
{
    m_settings = std::make_unique<TempSettings>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_games = std::make_unique<results::ResultsStore>(m_dir->path());
    m_store = std::make_unique<CompetitionStore>(m_games.get());
}

void tst_frmCompetition::cleanup()
{
    m_store.reset();
    m_games.reset();
    m_dir.reset();
    m_settings.reset();
}

// A window on the competition left open in the store, as the host opens one; the model goes
// with the window.
frmCompetition *tst_frmCompetition::open()
{
    auto *model = new RunningCompetition(*m_store);
    model->resume();
    auto *window = new frmCompetition(*model);
    model->setParent(window);
    return window;
}

frmCompetition *tst_frmCompetition::create(const QString &roster, int rounds)
{
    auto *window = open();
    control<QLineEdit>(*window, QStringLiteral("txtCompetitionName"))
        ->setText(QStringLiteral("Club"));
    control<QSpinBox>(*window, QStringLiteral("spnRounds"))->setValue(rounds);
    control<QPlainTextEdit>(*window, QStringLiteral("txtRoster"))->setPlainText(roster);
    control<QPushButton>(*window, QStringLiteral("cmdCreate"))->click();
    return window;
}

void tst_frmCompetition::createNeedsNameAndPlayers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("roster");
    QTest::addColumn<bool>("created");
    QTest::newRow("name and players")
        << QStringLiteral("Club") << QStringLiteral("Ann\nBob") << true;
    QTest::newRow("no name") << QStringLiteral("  ") << QStringLiteral("Ann\nBob") << false;
    QTest::newRow("blank roster") << QStringLiteral("Club") << QStringLiteral("\n  \n") << false;
}

void tst_frmCompetition::createNeedsNameAndPlayers()
{
    QFETCH(QString, name);
    QFETCH(QString, roster);
    QFETCH(bool, created);
    std::unique_ptr<frmCompetition> window(open());
    control<QLineEdit>(*window, QStringLiteral("txtCompetitionName"))->setText(name);
    control<QPlainTextEdit>(*window, QStringLiteral("txtRoster"))->setPlainText(roster);
    QCOMPARE(window->createCompetition(), created);
    QCOMPARE(window->model().current() != nullptr, created);
    QCOMPARE(m_store->openCompetition().has_value(), created);
    QVERIFY(!control<QLabel>(*window, QStringLiteral("lblStatus"))->text().isEmpty());
}

void tst_frmCompetition::anEveningInTheWindow()
{
    std::unique_ptr<frmCompetition> window(
        create(QStringLiteral("Ann\nBob\nCem\nDai\nEve\nFay\nGus\nHal\nIda\nJo"), 2));
    QVERIFY(window->model().current());
    auto *heats = control<QTableWidget>(*window, QStringLiteral("tblHeats"));
    auto *standings = control<QTableWidget>(*window, QStringLiteral("tblStandings"));
    auto *next = control<QPushButton>(*window, QStringLiteral("cmdNextHeat"));
    auto *redo = control<QPushButton>(*window, QStringLiteral("cmdRedoHeat"));
    QCOMPARE(heats->rowCount(), 6); // 4, 3, 3 in each of two rounds
    QVERIFY(!redo->isEnabled());

    // Heat 1, the player at device 2 has no open link: absent, not a zero.
    QSignalSpy called(&window->model(), &RunningCompetition::heatCalled);
    next->click();
    QCOMPARE(called.count(), 1);
    const QStringList names = called.first().at(0).toStringList();
    QCOMPARE(names.size(), kDevices);
    QCOMPARE(called.first().at(1).toString(), QStringLiteral("Heat 1 of 6"));
    QVERIFY(called.first().at(2).toString().startsWith(QStringLiteral("Next: ")));
    QVERIFY(!next->isEnabled() && !redo->isEnabled());
    QCOMPARE(heats->item(0, 6)->text(), QStringLiteral("called"));
    // A late arrival while the heat is on the board leaves that heat as announced.
    const Heat onBoard = window->model().current()->heats[0];
    QVERIFY(window->addPlayers(QStringLiteral("Early Bird")));
    QCOMPARE(window->model().current()->heats[0], onBoard);
    window->model().takeGame(
        gameFor(names, { true, false, true, true }), { true, false, true, true });
    QCOMPARE(window->model().calledHeat(), std::nullopt);
    QCOMPARE(column(*standings, 1).mid(0, 3), (QStringList { names[3], names[2], names[0] }));
    QCOMPARE(column(*standings, 0).mid(0, 3), (QStringList { "1", "2", "3" }));
    const int absentRow = int(column(*standings, 1).indexOf(names[1]));
    QCOMPARE(standings->item(absentRow, 0)->text(), QString());
    QCOMPARE(standings->item(absentRow, 4)->text(), QStringLiteral("missed 1"));

    // Redo: the link is back; the new result counts, the earlier one stays in the history.
    redo->click();
    QCOMPARE(called.count(), 2);
    QCOMPARE(called.last().at(1).toString(), QStringLiteral("Heat 1 of 6"));
    window->model().takeGame(
        gameFor(names, { true, true, true, true }, 1), { true, true, true, true });
    QCOMPARE(standings->item(absentRow, 4)->text(), QString());
    QCOMPARE(heats->item(0, 6)->text(), QStringLiteral("played (2 times, the last counts)"));
    QCOMPARE(window->model().current()->attempts.size(), 2);

    // A late arrival joins the round in progress, typed into the window: Space then calls the
    // next heat, not the add button again. A player retires.
    control<QPlainTextEdit>(*window, QStringLiteral("txtAddPlayers"))
        ->setPlainText(QStringLiteral("Zed"));
    control<QPushButton>(*window, QStringLiteral("cmdAddPlayers"))->click();
    QCOMPARE(window->focusWidget(), next);
    QCOMPARE(heats->rowCount(), 1 + 2 + 3); // 8 left in round 1: 4 + 4; round 2: 4, 4, 4
    auto *players = control<QListWidget>(*window, QStringLiteral("lstPlayers"));
    QCOMPARE(players->count(), 12);
    players->setCurrentRow(0);
    const QString leaving = players->item(0)->text();
    QVERIFY(window->retireSelectedPlayer());
    for (int row = 1; row < heats->rowCount(); ++row) {
        for (int col = 2; col < 6; ++col) {
            QVERIFY(heats->item(row, col)->text() != leaving);
        }
    }

    // Renaming in place renames everywhere, and a taken name is refused.
    players->item(1)->setText(QStringLiteral("Roberta"));
    QCOMPARE(window->model().current()->players[1].name, QStringLiteral("Roberta"));
    players->item(2)->setText(QStringLiteral("roberta"));
    QCOMPARE(players->item(2)->text(), QStringLiteral("Cem"));

    // Swap someone of the next heat with someone of the round's other heat.
    auto *swapOut = control<QComboBox>(*window, QStringLiteral("cboSwapOut"));
    auto *swapIn = control<QComboBox>(*window, QStringLiteral("cboSwapIn"));
    QVERIFY(swapOut->count() > 0 && swapIn->count() > 0);
    const QString out = swapOut->currentText();
    const QString in = swapIn->currentText();
    control<QPushButton>(*window, QStringLiteral("cmdSwap"))->click();
    QStringList nextHeat;
    for (int col = 2; col < 6; ++col) {
        nextHeat.append(heats->item(1, col)->text());
    }
    QVERIFY(nextHeat.contains(in));
    QVERIFY(!nextHeat.contains(out));

    // Export both files where the user chose; the second dialog starts where the first ended.
    QStringList suggested;
    window->setFileChooser([&](QWidget *, const QString &path) {
        suggested << path;
        return m_dir->filePath(QFileInfo(path).fileName());
    });
    QVERIFY(window->exportStandings());
    QVERIFY(window->exportHeats());
    QCOMPARE(suggested.last(), m_dir->filePath(QStringLiteral("rotavex-heats.csv")));
    QVERIFY(fileText(m_dir->filePath(QStringLiteral("rotavex-standings.csv")))
                .startsWith(QLatin1String(kStandingsCsvHeader)));
    QVERIFY(fileText(m_dir->filePath(QStringLiteral("rotavex-heats.csv")))
                .contains(QStringLiteral(",absent,")));

    // Never over the results file itself.
    window->setFileChooser([this](QWidget *, const QString &) { return m_games->filePath(); });
    QVERIFY(!window->exportStandings());
    QVERIFY(m_store->load(window->model().current()->id));

    // Closing the window loses nothing: a new window resumes at the next heat.
    const Competition before = *window->model().current();
    window.reset();
    window.reset(open());
    QVERIFY(window->model().current());
    QCOMPARE(*window->model().current(), before);
    QCOMPARE(control<QTableWidget>(*window, QStringLiteral("tblHeats"))->rowCount(), 6);

    // Closing the competition (after asking) brings back the form.
    QSignalSpy closed(&window->model(), &RunningCompetition::closed);
    window->setConfirmation([](QWidget *, const QString &) { return false; });
    QVERIFY(!window->closeCompetition());
    window->setConfirmation([](QWidget *, const QString &) { return true; });
    QVERIFY(window->closeCompetition());
    QCOMPARE(closed.count(), 1);
    QVERIFY(!window->model().current());
    QCOMPARE(m_store->openCompetition(), std::nullopt);
}

void tst_frmCompetition::gameWithoutCalledHeatIsNotTheCompetitions()
{
    std::unique_ptr<frmCompetition> window(create(QStringLiteral("Ann\nBob"), 1));
    const QStringList names { "Ann", "Bob", "", "" };
    window->model().takeGame(
        gameFor(names, { true, true, false, false }), { true, true, false, false });
    QVERIFY(window->model().current()->attempts.isEmpty());
    QVERIFY(window->callNextHeat());
    QVERIFY(!window->callNextHeat());
    QVERIFY(!window->callRedo());
}

void tst_frmCompetition::anotherInstanceChangedItFirst_data()
{
    QTest::addColumn<bool>("late");
    QTest::newRow("a late arrival meets it") << true;
    QTest::newRow("a new ranking rule meets it") << false;
}

// Whatever change here meets the other program's newer competition, the window shows theirs
// whole, and the heat it had called is no longer waiting.
void tst_frmCompetition::anotherInstanceChangedItFirst()
{
    QFETCH(bool, late);
    std::unique_ptr<frmCompetition> window(create(QStringLiteral("Ann\nBob\nCem\nDai\nEve"), 1));
    QVERIFY(window->callNextHeat());
    results::ResultsStore otherGames(m_dir->path());
    CompetitionStore other(&otherGames);
    Competition theirs = *other.load(*other.openCompetition());
    AddPlayers(theirs, { QStringLiteral("Theirs") });
    QCOMPARE(other.save(theirs), CompetitionStore::Saved::Written);
    if (late) {
        window->addPlayers(QStringLiteral("Ours"));
    } else {
        window->setRankingRule(RankingRule::Best);
    }
    auto *players = control<QListWidget>(*window, QStringLiteral("lstPlayers"));
    QCOMPARE(players->item(players->count() - 1)->text(), QStringLiteral("Theirs"));
    QCOMPARE(
        control<QTableWidget>(*window, QStringLiteral("tblHeats"))->item(0, 6)->text(), QString());
    QVERIFY(control<QPushButton>(*window, QStringLiteral("cmdNextHeat"))->isEnabled());
}

void tst_frmCompetition::damagedRowsOpenWithAMessage_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("named");
    QTest::newRow("a heat naming player 999")
        << "UPDATE competition_heats SET player = 999 WHERE rowid = (SELECT max(rowid) FROM "
           "competition_heats)"
        << "not in the competition";
    QTest::newRow("a result of heat 500")
        << "INSERT INTO competition_results SELECT competition_id, 500, attempt, device, player, "
           "absent, revolutions, best_rpm, game_id FROM competition_results"
        << "heat that does not exist";
    QTest::newRow("a heat numbered fifty million")
        << "UPDATE competition_heats SET heat = 50000000 WHERE heat = 3"
        << "";
    QTest::newRow("huge numbers in a result")
        << "UPDATE competition_results SET revolutions = 1e300, best_rpm = 9000000000000000000"
        << "impossible numbers";
    QTest::newRow("a seat at device 9")
        << "UPDATE competition_heats SET device = 9 WHERE rowid = (SELECT max(rowid) FROM "
           "competition_heats)"
        << "device that does not exist";
    QTest::newRow("a player numbered -5")
        << "UPDATE competition_players SET player = -5 WHERE player = 1"
        << "bad number";
    QTest::newRow("a round of its own") << "UPDATE competition_heats SET round = 77"
                                        << "round";
}

void tst_frmCompetition::damagedRowsOpenWithAMessage()
{
    QFETCH(QString, damage);
    QFETCH(QString, named);
    int heats = 0;
    {
        std::unique_ptr<frmCompetition> window(create(QStringLiteral("A\nB\nC\nD\nE\nF"), 2));
        heats = int(window->model().current()->heats.size());
        const QStringList names =
            SeatNames(*window->model().current(), window->model().current()->heats[0]);
        QVERIFY(window->callNextHeat());
        window->model().takeGame(
            gameFor(names, { true, true, true, true }), { true, true, true, true });
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("x"));
        db.setDatabaseName(m_games->filePath());
        QVERIFY(db.open());
        // As damage would: past the file's own checks.
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("PRAGMA ignore_check_constraints = ON")));
        QVERIFY(QSqlQuery(db).exec(damage));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("x"));
    // A restart: the window opens the damaged competition from the file.
    m_store.reset();
    m_games = std::make_unique<results::ResultsStore>(m_dir->path());
    m_store = std::make_unique<CompetitionStore>(m_games.get());
    std::unique_ptr<frmCompetition> window(open());
    window->show();
    const Competition *c = window->model().current();
    QVERIFY(c);
    QVERIFY2(control<QLabel>(*window, QStringLiteral("lblStatus"))->text().contains(named),
        qPrintable(control<QLabel>(*window, QStringLiteral("lblStatus"))->text()));
    QVERIFY(c->heats.size() <= heats);
    for (const Heat &heat : c->heats) {
        for (const PlayerId id : heat.seats) {
            QVERIFY(id == kNoPlayer || FindPlayer(*c, id));
        }
    }
    for (const Attempt &attempt : c->attempts) {
        QVERIFY(attempt.heat >= 0 && attempt.heat < c->heats.size());
    }
    window->callNextHeat();
    window->repaint();
}

QTEST_MAIN(tst_frmCompetition)
#include "tst_frm_competition.moc"

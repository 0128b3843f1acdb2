// SPDX-License-Identifier: MIT
// Whole evenings played through the core alone, as the windows would drive it but with no
// window at all: four simulated devices on real pseudo-terminals, the real serial layer, a real
// results file, the competition and its standings.
#include "competition/competition_host.h"
#include "competition/running_competition.h"
#include "competition/standings.h"
#include "evening/evening.h"
#include "evening/scoreboard_state.h"
#include "game/game_clock.h"
#include "game/game_session.h"
#include "link/player_links.h"
#include "results/game_recorder.h"
#include "results/results_store.h"
#include "settings/settings_store.h"
#include "support/four_devices.h"
#include "support/pty_pair.h"
#include "web/feed_json.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>

using namespace competition;
using rotavex::PlayerSlot;

namespace
{

// An evening on four simulated devices whose links are open; the test's own ticks are the
// game's seconds.
class Rig
{
public:
    Rig(results::ResultsStore &store, const QString &portDir)
        : evening(&store)
        , m_devices(portDir)
    {
        test_support::FourDevices::takeOver(evening, evening.links());
        evening.startDeferred();
    }

    // One refresh and countdown tick with a fresh frame from every open link's device.
    void tick()
    {
        m_devices.sendFrames(evening.links());
        evening.clock().refreshTick();
        evening.clock().countdownTick();
    }

    bool running() { return evening.session().snapshot().running; }

    // Ticks while the game runs, at most `limit` times; returns the ticks played.
    int tickWhileRunning(int limit)
    {
        int ticks = 0;
        while (ticks < limit && running()) {
            tick();
            ++ticks;
        }
        return ticks;
    }

    RunningCompetition &model() { return evening.competition().model(); }

    evening::Evening evening;

private:
    test_support::FourDevices m_devices;
};

Settings ClubNight(PlayMode game, int rounds)
{
    Settings settings;
    settings.name = QStringLiteral("Club night");
    settings.gameKind = game;
    settings.seconds = 30;
    settings.rounds = rounds;
    return settings;
}

} // namespace

class tst_Evening : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void threeHeats();
    void heatResult_data();
    void heatResult();
    void setupNamesKeptAside();

private:
    TempSettings m_settings;
};

// A competition of four players over three rounds, played heat by heat through the core: every
// heat's game is recorded once and counted once, the standings add up what the file holds, and
// a new evening on the same file resumes the competition at once.
void tst_Evening::threeHeats()
{
    TempRuntimeDir runtime;
    QVERIFY(QDir().mkpath(runtime.portDir()));
    QTemporaryDir data;
    results::ResultsStore store(data.path());
    {
        Rig rig(store, runtime.portDir());
        QVERIFY(!rig.model().current());
        QVERIFY(rig.model().create(
            ClubNight(PlayMode::Strength, 3), QStringLiteral("Ann\nBob\nCem\nDai")));
        QCOMPARE(rig.model().current()->heats.size(), 3);
        int recorded = 0;
        connect(&rig.evening.recorder(), &results::GameRecorder::recorded, this,
            [&recorded] { ++recorded; });
        for (int heat = 0; heat < 3; ++heat) {
            QVERIFY(rig.model().callNextHeat());
            QCOMPARE(rig.evening.session().snapshot().chosen, PlayMode::Strength);
            rig.evening.clock().start();
            QCOMPARE(rig.tickWhileRunning(100), 30);
            QCOMPARE(recorded, heat + 1);
            QCOMPARE(rig.model().current()->attempts.size(), heat + 1);
        }
        QVERIFY(!NextHeat(*rig.model().current()));
        QCOMPARE(store.gameCount(), 3);

        // Each player's total is what the recorded games say they spun.
        const Competition &played = *rig.model().current();
        const QList<Standing> standings = Standings(played);
        QCOMPARE(standings.size(), 4);
        for (const Standing &line : standings) {
            double total = 0;
            for (int heat = 0; heat < 3; ++heat) {
                const Attempt *attempt = CountedAttempt(played, heat);
                QVERIFY(attempt);
                const std::optional<results::GameRecord> game = store.game(attempt->gameId);
                QVERIFY(game);
                for (const results::PlayerResult &result : game->players) {
                    if (result.name == line.name) {
                        total += std::floor(result.revolutions.value_or(0));
                    }
                }
            }
            QCOMPARE(std::floor(line.score), total);
            QCOMPARE(line.roundsPlayed, 3);
            QVERIFY(line.rank >= 1);
        }
        for (int i = 1; i < standings.size(); ++i) {
            QVERIFY(standings[i - 1].score >= standings[i].score);
        }

        // The web page's feed carries the same standings, as numbers.
        const QJsonObject feed =
            QJsonDocument::fromJson(web::FeedJson(rig.evening.scoreboard().state())).object();
        const QJsonArray lines = feed.value(QStringLiteral("competition"))
                                     .toObject()
                                     .value(QStringLiteral("standings"))
                                     .toArray();
        QCOMPARE(lines.size(), standings.size());
        for (int i = 0; i < lines.size(); ++i) {
            const QJsonObject line = lines[i].toObject();
            QCOMPARE(line.value(QStringLiteral("name")).toString(), standings[i].name);
            QCOMPARE(line.value(QStringLiteral("rank")).toInt(), standings[i].rank);
            QVERIFY(line.value(QStringLiteral("score")).isDouble());
            QCOMPARE(
                line.value(QStringLiteral("score")).toDouble(), std::floor(standings[i].score));
        }
    }
    // The program is started again: the competition is back before any window asks for it.
    Rig again(store, runtime.portDir());
    QVERIFY(again.model().current());
    QCOMPARE(again.model().current()->attempts.size(), 3);
    QVERIFY(again.evening.competition().board());
}

void tst_Evening::heatResult_data()
{
    QTest::addColumn<PlayMode>("game");
    QTest::addColumn<int>("stopAt"); // ticks before Stop is pressed by hand; -1 never
    QTest::addColumn<bool>("startAgain"); // Start once more after that stop
    QTest::addColumn<int>("ticks"); // ticks the heat's games run in all
    QTest::addColumn<results::Ending>("ending");
    QTest::addColumn<bool>("counted");

    QTest::newRow("Strength played out")
        << PlayMode::Strength << -1 << false << 30 << results::Ending::RanOut << true;
    QTest::newRow("Strength stopped at 10 s: not yet the heat's result")
        << PlayMode::Strength << 10 << false << 10 << results::Ending::Stopped << false;
    QTest::newRow("Strength stopped at 10 s, then played out: one game, counted")
        << PlayMode::Strength << 10 << true << 30 << results::Ending::RanOut << true;
    QTest::newRow("Speed stops by itself after its 30 s")
        << PlayMode::Speed << -1 << false << 30 << results::Ending::TimeUp << true;
    QTest::newRow("Speed stopped by hand at 10 s: not the heat's result")
        << PlayMode::Speed << 10 << false << 10 << results::Ending::Stopped << false;
}

void tst_Evening::heatResult()
{
    QFETCH(PlayMode, game);
    QFETCH(int, stopAt);
    QFETCH(bool, startAgain);
    QFETCH(int, ticks);
    QFETCH(results::Ending, ending);
    QFETCH(bool, counted);

    TempRuntimeDir runtime;
    QVERIFY(QDir().mkpath(runtime.portDir()));
    QTemporaryDir data;
    results::ResultsStore store(data.path());
    Rig rig(store, runtime.portDir());
    QVERIFY(rig.model().create(ClubNight(game, 1), QStringLiteral("Ann\nBob\nCem\nDai")));
    QList<results::GameRecord> records;
    connect(&rig.evening.recorder(), &results::GameRecorder::recorded, this,
        [&records](const results::GameRecord &record) { records.append(record); });
    // The board's game is chosen for the heat, whatever it was set to before.
    rig.evening.clock().nextPreset(); // 60 s
    QVERIFY(rig.model().callNextHeat());
    QCOMPARE(rig.evening.session().snapshot().presetSeconds, 30);

    rig.evening.clock().start();
    QCOMPARE(rig.evening.session().snapshot().mode, game);
    int played = rig.tickWhileRunning(stopAt < 0 ? 100 : stopAt);
    if (stopAt >= 0) {
        QVERIFY(rig.running());
        rig.evening.clock().stop();
    }
    if (startAgain) {
        rig.evening.clock().start();
        played += rig.tickWhileRunning(100);
    }
    QVERIFY(!rig.running());
    QCOMPARE(played, ticks);

    // The record says how the game ended and who was there; the competition decides from it.
    QVERIFY(!records.isEmpty());
    QCOMPARE(records.last().ending, ending);
    QCOMPARE(records.last().linkedAtStart, rotavex::PerPlayer<bool>({ true, true, true, true }));
    // Every game is an ordinary recorded one; a game stopped and started again is one game.
    QCOMPARE(store.gameCount(), 1);
    const Attempt *result = CountedAttempt(*rig.model().current(), 0);
    QCOMPARE(result != nullptr, counted);
    QCOMPARE(NextHeat(*rig.model().current()), counted ? std::nullopt : std::optional<int>(0));
    if (result) {
        for (const SeatResult &seat : result->seats) {
            QVERIFY(!seat.absent);
        }
    }
}

// Setup's names are kept aside while a heat's are on the board, and come back, as edited, when
// the competition closes.
void tst_Evening::setupNamesKeptAside()
{
    for (PlayerSlot p = 1; p <= 4; ++p) {
        settings_store::WritePlayerName(p, QStringLiteral("Setup %1").arg(p));
    }
    TempRuntimeDir runtime;
    QVERIFY(QDir().mkpath(runtime.portDir()));
    QTemporaryDir data;
    results::ResultsStore store(data.path());
    Rig rig(store, runtime.portDir());
    rig.evening.loadPlayers();
    CompetitionHost &host = rig.evening.competition();
    QVERIFY(rig.model().create(
        ClubNight(PlayMode::Strength, 1), QStringLiteral("Ann\nBob\nCem\nDai\nEve")));
    QVERIFY(rig.model().callNextHeat());
    const rotavex::PlayerName heatNames = rig.evening.session().playerNames();
    QCOMPARE(host.setupNames()[1], QStringLiteral("Setup 1"));
    QVERIFY(heatNames[1] != QStringLiteral("Setup 1"));

    // The heat is played out: its result carries the heat's names, also once they are gone
    // from the board.
    rig.evening.clock().start();
    rig.tickWhileRunning(100);
    const auto resultNames = [&rig] {
        QStringList names;
        for (const evening::Place &place :
            rig.evening.scoreboard().state().result.value_or(evening::Ranking {})) {
            names.append(place.name);
        }
        names.sort();
        return names;
    };
    QVERIFY(!resultNames().isEmpty());
    const QStringList played = resultNames();

    rotavex::PlayerName edited = host.setupNames();
    edited[1] = QStringLiteral("Zoe");
    host.setSetupNames(edited);
    QCOMPARE(rig.evening.session().playerNames(), heatNames);

    QVERIFY(rig.model().close());
    QCOMPARE(rig.evening.session().playerNames(), edited);
    QVERIFY(!host.board());
    QCOMPARE(resultNames(), played);
    QVERIFY(!played.contains(QStringLiteral("Zoe")));
}

QTEST_GUILESS_MAIN(tst_Evening)
#include "tst_evening.moc"

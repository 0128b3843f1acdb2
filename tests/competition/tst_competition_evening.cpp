// SPDX-License-Identifier: MIT
// A whole competition played on the real main window: nine players over three rounds on four
// simulated devices (the simulator's virtual ports), a device missing at a heat's start, a
// redo, a late arrival, the spectators' display between heats, and a restart mid-evening.
#include "competition/competition_host.h"
#include "competition/frm_competition.h"
#include "competition/heat_console.h"
#include "competition/running_competition.h"
#include "competition/standings.h"
#include "display/frm_display.h"
#include "evening/evening.h"
#include "link/player_links.h"
#include "main_window/competition_view.h"
#include "main_window/frm_main.h"
#include "results/results_store.h"
#include "settings/settings_store.h"
#include "support/four_devices.h"
#include "support/pty_pair.h"
#include "support/widget_lookup.h"
#include "widgets/tag_label.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <map>

using namespace competition;
using rotavex::PlayerSlot;
using test_support::control;

namespace
{

class Evening
{
public:
    Evening(results::ResultsStore &store, const QString &portDir)
        : m_devices(portDir)
    {
        m_evening = std::make_unique<evening::Evening>(&store);
        m_window = std::make_unique<frmMain>(*m_evening);
        test_support::FourDevices::takeOver(*m_evening, m_window->links());
        m_window->competitionView().setHeatStartQuestion([this](QWidget *, const QString &text,
                                                             bool canStartWithLinked) {
            asked.append(text);
            return canStartWithLinked ? answer
                                      : main_window::CompetitionView::HeatStartAnswer::OpenLinks;
        });
        control<QPushButton>(*m_window, QStringLiteral("CmdCompetition"))->click();
    }

    /// What the board asked before a heat on closed links, and what it is answered.
    QStringList asked;
    main_window::CompetitionView::HeatStartAnswer answer =
        main_window::CompetitionView::HeatStartAnswer::StartWithLinked;

    // The window goes before the devices it reads.
    ~Evening() { m_window.reset(); }

    frmMain &main() { return *m_window; }
    frmCompetition &competition() { return *m_window->competitionWindow(); }

    // One refresh tick with a fresh frame from every open link's device.
    void tick()
    {
        m_devices.sendFrames(m_window->links());
        m_window->tmrRefresh_Timer();
        m_window->tmrStrenght_Timer();
    }

    // Starts the called heat from the console by keyboard (Space, or Enter) and plays the
    // countdown out; the board's Start only shows the game.
    void playHeat(Qt::Key key = Qt::Key_Space)
    {
        auto *start = control<QPushButton>(*m_window, QStringLiteral("CmdStart"));
        QCOMPARE(competition().focusWidget(), &competition().console());
        QTest::keyClick(&competition().console(), key);
        QVERIFY(start->isChecked());
        // While the heat plays, the spectators see the game itself.
        if (const frmDisplay *display = m_window->display()) {
            for (const frmDisplay::DrawnText &drawn : display->drawnTexts()) {
                QVERIFY(drawn.item.id != QLatin1String("heatTitle"));
            }
        }
        for (int second = 0; second < 100 && start->isChecked(); ++second) {
            tick();
        }
        QVERIFY(!start->isChecked());
    }

private:
    test_support::FourDevices m_devices;
    std::unique_ptr<evening::Evening> m_evening;
    std::unique_ptr<frmMain> m_window;
};

QStringList boardNames(frmMain &window)
{
    QStringList names;
    for (PlayerSlot p = 1; p <= 4; ++p) {
        names.append(window.playerName()[p]);
    }
    return names;
}

bool displayShows(const frmDisplay &display, const QString &id, const QString &text)
{
    for (const frmDisplay::DrawnText &drawn : display.drawnTexts()) {
        if (drawn.item.id == id && drawn.item.text == text) {
            return true;
        }
    }
    return false;
}

} // namespace

class tst_CompetitionEvening : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void threeRoundsOfNine();
    void heatOnClosedLinks();
};

// A heat whose players all have closed links does not play at 0 rpm: the organiser is asked,
// the links are opened, and the next Start plays it.
void tst_CompetitionEvening::heatOnClosedLinks()
{
    TempSettings settings;
    TempRuntimeDir runtime;
    QVERIFY(QDir().mkpath(runtime.portDir()));
    for (PlayerSlot p = 1; p <= 4; ++p) {
        settings_store::WritePlayerPort(p, p);
    }
    // The test's own ticks are the heat's seconds: no count-in before them.
    settings_store::Write(settings_store::sound::kCountInForHeats, false);
    QTemporaryDir data;
    results::ResultsStore store(data.path());
    Evening evening(store, runtime.portDir());
    frmCompetition &window = evening.competition();
    competition::Settings club;
    club.name = QStringLiteral("Club night");
    club.seconds = 30;
    club.rounds = 1;
    QVERIFY(window.model().create(club, QStringLiteral("Ann\nBob\nCem\nDai")));
    control<QPushButton>(window, QStringLiteral("cmdNextHeat"))->click();
    evening.main().links().closeAll();

    QTest::keyClick(&window.console(), Qt::Key_Space);
    QCOMPARE(evening.asked.size(), 1);
    QVERIFY(!evening.main().session().snapshot().running);
    // The stored ports are opened; once they are, the heat plays without a question.
    QTRY_VERIFY_WITH_TIMEOUT(
        evening.main().links().isOpen(1) && evening.main().links().isOpen(4), 60000);
    window.console().setFocus();
    evening.playHeat();
    QCOMPARE(evening.asked.size(), 1);
    QVERIFY(CountedAttempt(*window.model().current(), 0));
}

void tst_CompetitionEvening::threeRoundsOfNine()
{
    TempSettings settings;
    TempRuntimeDir runtime;
    QVERIFY(QDir().mkpath(runtime.portDir()));
    for (PlayerSlot p = 1; p <= 4; ++p) {
        settings_store::WritePlayerName(p, QStringLiteral("Setup %1").arg(p));
    }
    // The test's own ticks are the game's seconds: a heat starts on the key, without a count-in.
    settings_store::Write(settings_store::sound::kCountInForHeats, false);
    QTemporaryDir data;
    results::ResultsStore store(data.path());
    const QStringList setupNames { "Setup 1", "Setup 2", "Setup 3", "Setup 4" };

    int gamesPlayed = 0;
    QString absentPlayer;
    {
        Evening evening(store, runtime.portDir());
        QCOMPARE(boardNames(evening.main()), setupNames);
        frmCompetition &window = evening.competition();
        control<QLineEdit>(window, QStringLiteral("txtCompetitionName"))
            ->setText(QStringLiteral("Club night"));
        control<QSpinBox>(window, QStringLiteral("spnRounds"))->setValue(3);
        control<QComboBox>(window, QStringLiteral("cboSeconds"))->setCurrentIndex(0); // 30 s
        control<QPlainTextEdit>(window, QStringLiteral("txtRoster"))
            ->setPlainText(QStringLiteral("Ann\nBob\nCem\nDai\nEve\nFay\nGus\nHal\nIda"));
        window.setFileChooser([](QWidget *, const QString &) { return QString(); });
        control<QPushButton>(window, QStringLiteral("cmdCreate"))->click();
        QVERIFY(window.model().current());
        QCOMPARE(window.model().current()->heats.size(), 9);

        // The console opens the board's display, so it is in reach when this window covers
        // the board.
        control<QPushButton>(window, QStringLiteral("cmdConsoleDisplay"))->click();
        frmDisplay *display = evening.main().display();
        QVERIFY(display && display->isVisible());
        QVERIFY(control<QPushButton>(evening.main(), QStringLiteral("CmdDisplay"))->isChecked());
        QVERIFY(displayShows(*display, QStringLiteral("heatTitle"), QStringLiteral("Heat 1 of 9")));

        // The Competition window opens beside the board, not over it.
        QVERIFY(!window.frameGeometry().intersects(evening.main().frameGeometry()));
        auto *next = control<QPushButton>(window, QStringLiteral("cmdNextHeat"));

        // Round 1, played as three ordinary games from the console, by keyboard after the first
        // click; in the second heat device 2's link is closed at the start, so its player is
        // absent.
        for (int heat = 0; heat < 3; ++heat) {
            if (heat == 0) {
                next->click();
            } else {
                QCOMPARE(window.focusWidget(), next);
                QTest::keyClick(next, Qt::Key_Space);
            }
            const Heat &called = window.model().current()->heats[heat];
            QStringList expected;
            for (const PlayerId id : called.seats) {
                expected.append(
                    id == kNoPlayer ? QString() : FindPlayer(*window.model().current(), id)->name);
            }
            QCOMPARE(boardNames(evening.main()), expected);
            QVERIFY(displayShows(*display, QStringLiteral("heatTitle"),
                QStringLiteral("Heat %1 of 9").arg(heat + 1)));
            // The first seated device of the second heat has no open link at its start.
            const auto missing = PlayerSlot(
                called.deviceOf(called.seats[0] != kNoPlayer ? called.seats[0] : called.seats[1]));
            if (heat == 1) {
                absentPlayer = expected[missing - 1];
                evening.main().links().close(missing);
            }
            const auto emptySeat =
                PlayerSlot(std::find(called.seats.begin(), called.seats.end(), kNoPlayer)
                    - called.seats.begin() + 1);
            // The console names the heat's players by device, bold while the link is open.
            for (PlayerSlot p = 1; p <= 4; ++p) {
                const auto *seat =
                    control<QLabel>(window, QStringLiteral("lblConsoleSeat%1").arg(p));
                QVERIFY(seat->text().endsWith(expected[p - 1].isEmpty() ? "–" : expected[p - 1]));
                QCOMPARE(seat->font().bold(), evening.main().links().isOpen(p));
            }
            evening.playHeat(heat == 2 ? Qt::Key_Enter : Qt::Key_Space);
            ++gamesPlayed;
            // The absent player's closed link was asked about; the heat went on without them.
            QCOMPARE(evening.asked.size(), heat >= 1 ? 1 : 0);
            if (heat == 1) {
                QVERIFY(evening.asked.first().contains(absentPlayer));
            }
            if (heat == 0) {
                // Three players on four open links: the empty seat's device spins fastest
                // (12000 rpm) yet shows, leads and records nothing.
                QCOMPARE(control<widgets::TagLabel>(
                             evening.main(), QStringLiteral("lblRPM%1").arg(emptySeat))
                             ->text(),
                    QString(QChar(0x2014)));
                const auto game = store.game(CountedAttempt(*window.model().current(), 0)->gameId);
                QVERIFY(game);
                QCOMPARE(game->players.size(), 3);
                for (const results::PlayerResult &player : game->players) {
                    QVERIFY(player.player != emptySeat && !player.name.isEmpty());
                }
            }
            if (heat == 1) {
                QCOMPARE(evening.main().links().open(missing, missing), std::nullopt);
            }
            // While a heat plays the display shows the game, between heats the competition.
            QVERIFY(displayShows(*display, QStringLiteral("heatTitle"),
                heat < 2 ? QStringLiteral("Heat %1 of 9").arg(heat + 2)
                         : QStringLiteral("Heat 4 of 9")));
        }
        // Redo the last heat of the round; its first result stays in the history.
        control<QPushButton>(window, QStringLiteral("cmdRedoHeat"))->click();
        QCOMPARE(control<QLabel>(window, QStringLiteral("lblConsoleHeat"))->text(),
            QStringLiteral("Heat 3 of 9 again: press Start"));
        evening.playHeat();
        ++gamesPlayed;
        QCOMPARE(window.model().current()->attempts.size(), 4);
        QCOMPARE(CountedAttempt(*window.model().current(), 2)->attempt, 2);
        // Setup's names were never touched.
        for (PlayerSlot p = 1; p <= 4; ++p) {
            QCOMPARE(settings_store::ReadPlayerName(p), setupNames[p - 1]);
        }
    }

    // The program is closed mid-evening and started again: the competition resumes.
    Evening evening(store, runtime.portDir());
    frmCompetition &window = evening.competition();
    QVERIFY(window.model().current());
    QCOMPARE(NextHeat(*window.model().current()), std::optional<int>(3));
    QCOMPARE(boardNames(evening.main()), setupNames);

    // A late arrival joins round 2; every heat still to play is played.
    QVERIFY(window.addPlayers(QStringLiteral("Jo")));
    while (NextHeat(*window.model().current())) {
        control<QPushButton>(window, QStringLiteral("cmdNextHeat"))->click();
        evening.playHeat();
        ++gamesPlayed;
    }

    const Competition done = *window.model().current();
    QCOMPARE(store.gameCount(), gamesPlayed);
    // Every counted seat is the recorded game's result for that device.
    for (int heat = 0; heat < done.heats.size(); ++heat) {
        const Attempt *counted = CountedAttempt(done, heat);
        QVERIFY(counted);
        const std::optional<results::GameRecord> game = store.game(counted->gameId);
        QVERIFY(game);
        for (const SeatResult &seat : counted->seats) {
            if (seat.absent) {
                continue;
            }
            const auto found = std::find_if(game->players.begin(), game->players.end(),
                [&](const results::PlayerResult &r) { return r.player == seat.device; });
            QVERIFY(found != game->players.end());
            QCOMPARE(seat.revolutions, found->revolutions.value_or(-1));
        }
    }
    const QList<Standing> standings = Standings(done);
    QCOMPARE(standings.size(), 10);
    std::map<QString, Standing> byName;
    for (const Standing &s : standings) {
        byName[s.name] = s;
        QVERIFY2(s.rank >= 1, qPrintable(s.name));
    }
    QCOMPARE(byName[QStringLiteral("Jo")].roundsPlayed, 2);
    QCOMPARE(byName[QStringLiteral("Jo")].roundsMissed, 1);
    QCOMPARE(byName[absentPlayer].roundsPlayed, 2);
    QCOMPARE(byName[absentPlayer].roundsMissed, 1);
    QCOMPARE(standings.first().rank, 1);

    // Closing the competition gives the board its own names back.
    window.setConfirmation([](QWidget *, const QString &) { return true; });
    QVERIFY(window.closeCompetition());
    QCOMPARE(boardNames(evening.main()), setupNames);
}

QTEST_MAIN(tst_CompetitionEvening)
#include "tst_competition_evening.moc"

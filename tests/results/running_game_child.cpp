// SPDX-License-Identifier: MIT
// A game as the program plays it, on a real results file, for a test to kill mid-game: a
// session and a recorder wired as the main window wires them, fed steady samples every 10 ms.
// Arguments: the results folder and what to play before ticking on until killed:
//   running  one game, never ended
//   ended    one Speed game of 5 ticks, stopped (recorded), then nothing runs
//   resumed  a Strength game stopped after 5 ticks (recorded), started again and running
// Prints "kept N" after the recorder kept tick N, and "ended" once a game was recorded.
#include "game/game_session.h"
#include "results/game_recorder.h"
#include "results/results_store.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: running_game_child FOLDER running|ended|resumed\n");
        return 2;
    }
    const QString scenario = args[2];
    results::ResultsStore store(args[1]);
    results::GameRecorder recorder(&store);
    game::GameSession session;
    QObject::connect(&session, &game::GameSession::ended, &recorder, &results::GameRecorder::take);
    QObject::connect(
        &session, &game::GameSession::progressed, &recorder, &results::GameRecorder::keep);
    QObject::connect(
        &session, &game::GameSession::progressed, &app, [](const results::GameRecord &running) {
            std::printf("kept %d\n", running.ticks);
            std::fflush(stdout);
        });
    QObject::connect(&recorder, &results::GameRecorder::recorded, &app, [] {
        std::printf("ended\n");
        std::fflush(stdout);
    });
    rotavex::PlayerName names;
    names[1] = QStringLiteral("Ann");
    names[2] = QStringLiteral("Bob");
    session.setPlayerNames(names);
    session.setLink(1, true, QStringLiteral("ttyS1"));
    session.setLink(2, true, QStringLiteral("ttyS2"));
    const rotavex::PlayMode mode =
        scenario == QLatin1String("ended") ? rotavex::PlayMode::Speed : rotavex::PlayMode::Strength;
    session.start(mode, QDateTime::currentDateTime());

    port_events::LatestSamples latest;
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &app, [&] {
        ++ticks;
        for (rotavex::PlayerSlot p = 1; p <= 2; ++p) {
            latest.rpm[p] = 3000 + 100 * p + (ticks % 3) * 10;
            ++latest.stored[p];
        }
        // The countdown runs until the stop, so the start after it goes on with the game.
        if (scenario == QLatin1String("resumed") && ticks <= 5) {
            session.countdownTick(latest);
        }
        session.refreshTick(latest);
        if (ticks == 5 && scenario != QLatin1String("running")) {
            session.stop();
            if (scenario == QLatin1String("resumed")) {
                session.start(mode, QDateTime::currentDateTime());
            }
        }
    });
    tick.start(10);
    return app.exec();
}

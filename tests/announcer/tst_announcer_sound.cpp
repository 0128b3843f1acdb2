// SPDX-License-Identifier: MIT
// What a listener hears: the announcer plays into a PulseAudio daemon of the test's own (a null
// sink), whose monitor is recorded and searched for the tones.
#include "announcer/announcer.h"
#include "competition/competition_host.h"
#include "competition/running_competition.h"
#include "evening/evening.h"
#include "game/game_clock.h"
#include "game/game_session.h"
#include "link/comm.h"
#include "link/player_links.h"
#include "settings/settings_store.h"
#include "support/process_wait.h"
#include "support/pty_pair.h"
#include "support/pulse_rig.h"
#include "virtual_port.h"

#include <QDir>
#include <QTest>
#include <QTimer>

#include <memory>

using game::PlayMode;

namespace
{

constexpr int kRate = 48000;

// Waits until the recording holds `ms` more of sound after `fromMs` (on the rig's clock).
bool RecordedUntil(PulseRig &rig, qint64 untilMs)
{
    return QTest::qWaitFor(
        [&] {
            return rig.firstSampleMs() >= 0
                && rig.firstSampleMs() + rig.samples() * 1000 / kRate >= untilMs;
        },
        kProcessCapMs);
}

// What was heard, for a failure's message.
QString Describe(const QList<HeardTone> &tones)
{
    QString heard = QStringLiteral("heard:");
    for (const HeardTone &tone : tones) {
        heard += QStringLiteral(" %1 ms (%2 ms, %3 Hz)")
                     .arg(tone.onsetMs, 0, 'f', 0)
                     .arg(tone.lengthMs, 0, 'f', 0)
                     .arg(tone.hz, 0, 'f', 0);
    }
    return heard;
}

} // namespace

class tst_AnnouncerSound : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // One daemon for the whole run: the sound library keeps its first connection to a sound
    // server for the life of the process, as it would on a user's desktop.
    void initTestCase()
    {
        m_rig = std::make_unique<PulseRig>();
        QVERIFY2(m_rig->ready(), qPrintable(m_rig->error()));
        QVERIFY(m_rig->record(kRate));
        QVERIFY(QTest::qWaitFor([&] { return m_rig->samples() > 0; }, kProcessCapMs));
    }
    void cleanupTestCase() { m_rig.reset(); }

    void countIn_data()
    {
        QTest::addColumn<bool>("heat");
        QTest::newRow("a heat started from its console") << true;
        QTest::newRow("the board's Start with the count-in set for it") << false;
    }
    // Four tones a second apart, the last higher and longer, and the game's clock starts no
    // earlier than the go tone is heard.
    void countIn()
    {
        QFETCH(bool, heat);
        TempSettings settings;
        settings_store::Write(settings_store::sound::kCountInOnBoard, !heat);
        PulseRig &rig = *m_rig;

        evening::Evening evening;
        announcer::Announcer announcer(evening);
        QString problem;
        connect(&announcer, &announcer::Announcer::problemFound, this,
            [&](const QString &message) { problem = message; });
        evening.clock().choose(PlayMode::Strength, 30);
        qint64 startedMs = -1;
        connect(&evening.session(), &game::GameSession::started, this,
            [&] { startedMs = rig.clock().elapsed(); });
        const qint64 askedMs = rig.clock().elapsed();
        if (heat) {
            evening.clock().startHeat();
        } else {
            evening.clock().start();
        }
        QVERIFY(evening.clock().countingIn());
        QVERIFY(QTest::qWaitFor([&] { return startedMs >= 0; }, kProcessCapMs));
        QVERIFY(RecordedUntil(rig, startedMs + 1500));
        evening.clock().stop();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));

        const qint64 skip = std::max<qint64>(0, askedMs - rig.firstSampleMs()) * kRate / 1000;
        const QList<HeardTone> tones = FindTones(rig.recorded().mid(skip * 2), kRate);
        QVERIFY2(tones.size() >= 4, qPrintable(Describe(tones)));
        for (int i = 1; i < 4; ++i) {
            const double apart = tones[i].onsetMs - tones[i - 1].onsetMs;
            QVERIFY2(std::abs(apart - 1000) <= 30, qPrintable(QString::number(apart)));
        }
        for (int i = 0; i < 3; ++i) {
            QVERIFY(tones[3].hz > tones[i].hz * 1.5);
            QVERIFY(tones[3].lengthMs > tones[i].lengthMs * 2);
        }
        const double goHeardMs =
            rig.firstSampleMs() + double(skip) * 1000 / kRate + tones[3].onsetMs;
        qInfo("go tone heard at %.1f ms, clock started at %lld ms (%+.1f ms)", goHeardMs, startedMs,
            startedMs - goHeardMs);
        QVERIFY2(startedMs >= goHeardMs, qPrintable(QString::number(startedMs - goHeardMs)));
    }

    // A called heat is spoken: sound in the recording where no tone was played.
    void heatCalled()
    {
        TempSettings settings;
        PulseRig &rig = *m_rig;
        evening::Evening evening;
        announcer::Announcer announcer(evening);
        QString problem;
        connect(&announcer, &announcer::Announcer::problemFound, this,
            [&](const QString &message) { problem = message; });
        competition::Settings club;
        club.name = QStringLiteral("Club night");
        club.gameKind = PlayMode::Strength;
        club.seconds = 30;
        club.rounds = 1;
        competition::RunningCompetition &model = evening.competition().model();
        QVERIFY(model.create(club, QStringLiteral("Ana\nBen\nCleo\nDan")));
        const qint64 fromSample = rig.samples();
        QVERIFY(model.callNextHeat());
        // "Heat 1 of 1: Ana, Ben, Cleo and Dan" takes a few seconds to say.
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QList<HeardTone> sounds =
                    FindTones(rig.recorded().mid(fromSample * 2), kRate, 0.01, 200);
                double spoken = 0;
                for (const HeardTone &sound : sounds) {
                    spoken += sound.lengthMs;
                }
                return spoken > 1000 || !problem.isEmpty();
            },
            kProcessCapMs));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // A 30-s Strength game: its last five seconds tick, then the horn, lower and longer.
    void strengthEnd()
    {
        TempSettings settings;
        PulseRig &rig = *m_rig;
        evening::Evening evening;
        announcer::Announcer announcer(evening);
        evening.clock().choose(PlayMode::Strength, 30);
        const qint64 fromSample = rig.samples();
        evening.clock().start();
        QVERIFY(
            QTest::qWaitFor([&] { return !evening.session().snapshot().running; }, kProcessCapMs));
        QVERIFY(RecordedUntil(rig, rig.clock().elapsed() + 1500));
        const QList<HeardTone> tones = FindTones(rig.recorded().mid(fromSample * 2), kRate);
        QVERIFY2(tones.size() == 6, qPrintable(Describe(tones)));
        for (int i = 0; i < 5; ++i) {
            QVERIFY(tones[i].lengthMs < 150);
            QVERIFY(tones[5].hz < tones[i].hz / 2);
        }
        QVERIFY(tones[5].lengthMs > 500);
    }

    // The sound server dies during a game: the program says so once, the game plays on to its
    // end and is recorded. Last, since the daemon is gone after it.
    void serverKilledMidGame()
    {
        TempSettings settings;
        TempRuntimeDir runtime;
        settings_store::Write(settings_store::sound::kCountInOnBoard, true);
        QVERIFY(QDir().mkpath(runtime.portDir()));
        QString error;
        const std::unique_ptr<VirtualPort> device =
            VirtualPort::create(1, runtime.portDir(), &error);
        QVERIFY2(device, qPrintable(error));
        evening::Evening evening;
        announcer::Announcer announcer(evening);
        QStringList problems;
        connect(&announcer, &announcer::Announcer::problemFound, this,
            [&](const QString &message) { problems.append(message); });
        QVERIFY(!evening.links().open(1, 1));
        QTimer spin;
        connect(&spin, &QTimer::timeout, this, [&] { device->send(comm::encodeFrame(1000)); });
        spin.start(100);
        QList<results::GameRecord> records;
        connect(&evening.session(), &game::GameSession::ended, this,
            [&](const results::GameRecord &record) { records.append(record); });
        evening.clock().choose(PlayMode::Speed);
        evening.clock().setTimeLimit(8);
        evening.clock().start();
        QVERIFY(
            QTest::qWaitFor([&] { return evening.session().snapshot().running; }, kProcessCapMs));
        m_rig->kill();
        QVERIFY(QTest::qWaitFor([&] { return !records.isEmpty(); }, kProcessCapMs));
        QCOMPARE(records.first().ending, results::Ending::TimeUp);
        QCOMPARE(records.first().ticks, 8);
        // The last seconds' ticks and the horn found no server: said, and only once.
        QVERIFY(QTest::qWaitFor([&] { return !problems.isEmpty(); }, kProcessCapMs));
        QTest::qWait(500);
        QCOMPARE(problems.removeDuplicates(), 0);
    }

private:
    std::unique_ptr<PulseRig> m_rig;
};

QTEST_GUILESS_MAIN(tst_AnnouncerSound)
#include "tst_announcer_sound.moc"

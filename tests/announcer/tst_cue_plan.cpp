// SPDX-License-Identifier: MIT
#include "announcer/cue_plan.h"

#include <QTest>

using announcer::Tone;
using announcer::ToneCue;
using rotavex::PlayMode;

namespace
{

// One thing that happens to the game, at a time on the test's own clock.
struct Event {
    enum Kind { Start, StartCounted, Stop, Left, Heat, End, EndHeat } kind;
    qint64 atMs = 0;
    int value = 0; ///< seconds left; the game's best rpm at its end
    PlayMode mode = PlayMode::Strength;
};

// What a listener hears after the events: planned tones (a cancel drops those still to come)
// and the spoken lines.
struct Heard {
    QList<ToneCue> tones;
    QStringList lines;
};

Heard Play(const QList<Event> &events)
{
    announcer::CuePlan plan;
    plan.setTopRecord(9000);
    Heard heard;
    for (const Event &e : events) {
        announcer::Cues cues;
        switch (e.kind) {
        case Event::Start:
        case Event::StartCounted:
            cues = plan.startRequested(e.atMs, e.kind == Event::StartCounted);
            break;
        case Event::Stop:
            cues = plan.stopped(e.atMs);
            break;
        case Event::Left:
            cues = plan.secondsLeft(e.atMs, e.value);
            break;
        case Event::Heat:
            cues =
                plan.heatCalled(QStringLiteral("Heat 5 of 24"), { "Ana", "", "Ben <b>", "Cleo" });
            break;
        case Event::End:
        case Event::EndHeat: {
            announcer::GameEnd end;
            end.mode = e.mode;
            end.timeUp = true;
            end.winner = QStringLiteral("Ana");
            end.winnerValue = 1234;
            end.bestName = QStringLiteral("Ben");
            end.bestRpm = e.value;
            cues = plan.gameEnded(e.atMs, end, e.kind == Event::EndHeat);
            break;
        }
        }
        if (cues.cancel) {
            heard.tones.removeIf([&](const ToneCue &t) { return t.atMs > e.atMs; });
        }
        heard.tones += cues.tones;
        heard.lines += cues.lines;
    }
    return heard;
}

QList<Event> StrengthSeconds(qint64 fromMs, int seconds)
{
    QList<Event> events;
    for (int left = seconds - 1; left >= 0; --left) {
        events.append({ Event::Left, fromMs + (seconds - left) * 1000, left });
    }
    return events;
}

} // namespace

class tst_CuePlan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cues_data()
    {
        QTest::addColumn<QList<Event>>("events");
        QTest::addColumn<QList<ToneCue>>("tones");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("board's Start without a count-in is silent")
            << QList<Event> { { Event::Start, 100 } } << QList<ToneCue> {} << QStringList {};
        QTest::newRow("count-in: three counts a second apart, go a second later")
            << QList<Event> { { Event::StartCounted, 100 } }
            << QList<ToneCue> { { Tone::Count, 100 }, { Tone::Count, 1100 }, { Tone::Count, 2100 },
                   { Tone::Go, 3100 } }
            << QStringList {};
        QTest::newRow("stop during the count-in: nothing after the stop")
            << QList<Event> { { Event::StartCounted, 0 }, { Event::Stop, 1500 } }
            << QList<ToneCue> { { Tone::Count, 0 }, { Tone::Count, 1000 } } << QStringList {};
        QTest::newRow("stop after go keeps what was heard")
            << QList<Event> { { Event::StartCounted, 0 }, { Event::Stop, 9000 } }
            << QList<ToneCue> { { Tone::Count, 0 }, { Tone::Count, 1000 }, { Tone::Count, 2000 },
                   { Tone::Go, 3000 } }
            << QStringList {};
        QTest::newRow("Strength 10 s: five ticks, a horn, the winner")
            << StrengthSeconds(0, 10) + QList<Event> { { Event::End, 10000, 5000 } }
            << QList<ToneCue> { { Tone::Tick, 5000 }, { Tone::Tick, 6000 }, { Tone::Tick, 7000 },
                   { Tone::Tick, 8000 }, { Tone::Tick, 9000 }, { Tone::Horn, 10000 } }
            << QStringList { "Ana wins with 1 234 revolutions" };
        QTest::newRow("Speed heat at its limit: ticks, horn, the winner in rpm")
            << QList<Event> { { Event::Left, 1000, 6 }, { Event::Left, 2000, 5 },
                   { Event::Left, 6000, 1 }, { Event::Left, 7000, 0 },
                   { Event::EndHeat, 7000, 100, PlayMode::Speed } }
            << QList<ToneCue> { { Tone::Tick, 2000 }, { Tone::Tick, 6000 }, { Tone::Horn, 7000 } }
            << QStringList { "Ana wins with 1 234 rpm" };
        QTest::newRow("Strength nobody played: the horn all the same")
            << QList<Event> { { Event::Left, 3000, 1 }, { Event::Left, 4000, 0 } }
            << QList<ToneCue> { { Tone::Tick, 3000 }, { Tone::Horn, 4000 } } << QStringList {};
        QTest::newRow("Speed game off a heat: no winner called")
            << QList<Event> { { Event::End, 500, 100, PlayMode::Speed } }
            << QList<ToneCue> { { Tone::Horn, 500 } } << QStringList {};
        QTest::newRow("a new top record chimes after the horn, once")
            << QList<Event> { { Event::End, 1000, 12345 }, { Event::End, 5000, 12000 } }
            << QList<ToneCue> { { Tone::Horn, 1000 }, { Tone::Chime, 2100 }, { Tone::Horn, 5000 } }
            << QStringList { "Ana wins with 1 234 revolutions", "New record: Ben, 12 345 rpm",
                   "Ana wins with 1 234 revolutions" };
        QTest::newRow("a heat called by its names, free seats left out, markup not passed on")
            << QList<Event> { { Event::Heat, 0 } } << QList<ToneCue> {}
            << QStringList { "Heat 5 of 24: Ana, Ben b and Cleo" };
    }
    void cues()
    {
        QFETCH(QList<Event>, events);
        const Heard heard = Play(events);
        QTEST(heard.tones, "tones");
        QTEST(heard.lines, "lines");
    }

    void countInNumber_data()
    {
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<int>("shown");
        QTest::newRow("before") << qint64(-1) << 0;
        QTest::newRow("first tone") << qint64(0) << 3;
        QTest::newRow("just before the second") << qint64(999) << 3;
        QTest::newRow("second tone") << qint64(1000) << 2;
        QTest::newRow("third tone") << qint64(2999) << 1;
        QTest::newRow("go") << qint64(3000) << 0;
    }
    void countInNumber()
    {
        QFETCH(qint64, elapsedMs);
        QTEST(announcer::CountInNumber(elapsedMs), "shown");
    }

    void spokenName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("as typed") << "Ana-Lu O'Neil"
                                  << "Ana-Lu O'Neil";
        QTest::newRow("speech markup") << "<speak>Bo</speak>"
                                       << "speak Bo /speak";
        QTest::newRow("control characters and blanks") << "  Ana\n\tBen\x1b "
                                                       << "Ana Ben";
        QTest::newRow("cut to a sensible length") << "Maximiliana Wolkenstein-Habsburg"
                                                  << "Maximiliana Wolkenstein";
    }
    void spokenName()
    {
        QFETCH(QString, typed);
        QTEST(announcer::SpokenName(typed), "spoken");
    }
};

QTEST_GUILESS_MAIN(tst_CuePlan)
#include "tst_cue_plan.moc"

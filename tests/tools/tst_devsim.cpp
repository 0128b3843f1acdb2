// SPDX-License-Identifier: MIT
#include "profile.h"

#include "link/comm.h"
#include "link/player_links.h"
#include "link/port_names.h"
#include "link/serial_control.h"
#include "support/process_wait.h"
#include "support/pty_pair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <map>
#include <memory>
#include <set>

using namespace std::chrono_literals;

namespace
{

constexpr int kNoCount = -1;

// Decodes one read the way the program does: a state per port, the last usable sample.
qint32 decode(comm::PacketState &state, QByteArrayView bytes)
{
    rotavex::LinkSeen linkSeen;
    return comm::ReadPort(state, bytes, linkSeen, rotavex::kFirstPlayer);
}

// The real simulator binary, started in the test's private runtime folder.
class Devsim
{
public:
    explicit Devsim(const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        m_process.setProcessEnvironment(environment);
        m_process.setProgram(QStringLiteral(ROTAVEX_DEVSIM_PATH));
        m_process.setArguments(arguments);
        m_process.start();
    }
    ~Devsim()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    QProcess &process() { return m_process; }

    // Waits until the simulator says it serves its links.
    bool waitUntilServing()
    {
        while (!m_output.contains("Serving")) {
            if (!m_process.waitForReadyRead(kProcessCapMs)) {
                return false;
            }
            m_output += m_process.readAllStandardOutput();
        }
        return true;
    }

    bool stop(int signalNumber)
    {
        ::kill(static_cast<pid_t>(m_process.processId()), signalNumber);
        return m_process.waitForFinished(kProcessCapMs);
    }

    QByteArray output()
    {
        m_output += m_process.readAllStandardOutput();
        return m_output;
    }

private:
    QProcess m_process;
    QByteArray m_output;
};

// One link opened the way the program opens it, decoding every read as it arrives.
class Reader : public QObject
{
public:
    explicit Reader(const QString &device)
    {
        m_port.setPortName(device);
        m_port.setBaudRate(QSerialPort::Baud9600);
        m_port.setDataBits(QSerialPort::Data8);
        m_port.setParity(QSerialPort::NoParity);
        m_port.setStopBits(QSerialPort::OneStop);
        connect(&m_port, &QSerialPort::readyRead, this, [this] {
            const QByteArray bytes = m_port.readAll();
            if (m_firstRead < 0) {
                m_firstRead = bytes.size();
            }
            samples.push_back(decode(m_state, bytes));
        });
    }

    bool open() { return m_port.open(QIODevice::ReadWrite); }
    void close() { m_port.close(); }
    QSerialPort &port() { return m_port; }
    qsizetype firstReadBytes() const { return m_firstRead; }
    // Decoded speeds, rejected and incomplete reads left out.
    std::set<qint32> speeds() const
    {
        std::set<qint32> out;
        for (const qint32 sample : samples) {
            if (sample > 0) {
                out.insert(sample);
            }
        }
        return out;
    }
    qsizetype speedCount() const
    {
        return std::count_if(samples.begin(), samples.end(), [](qint32 s) { return s > 0; });
    }

    std::vector<qint32> samples;

private:
    QSerialPort m_port;
    comm::PacketState m_state;
    qsizetype m_firstRead = -1;
};

QStringList comEntries(const QString &dir)
{
    return QDir(dir).entryList(
        { QStringLiteral("COM*") }, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class tst_devsim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void countForRpm_data();
    void countForRpm();
    void encodedFrameDecodes_data();
    void encodedFrameDecodes();
    void pacedFrames_data();
    void pacedFrames();
    void parseRpmList_data();
    void parseRpmList();
    void baseSpeedPerPlayer_data();
    void baseSpeedPerPlayer();
    void demoStaysWithinWhatTheBoardFollows_data();
    void demoStaysWithinWhatTheBoardFollows();
    void demoDropsOutAndComesBack();
    void noisyStreamMixesFaultsIntoTheBase_data();
    void noisyStreamMixesFaultsIntoTheBase();

    void helpExitsZero();
    void rejectsBadArguments_data();
    void rejectsBadArguments();
    void servesSteadySpeeds();
    void survivesProgramWritesAndReopens();
    void dropsFramesNobodyRead();
    void stopsCleanly_data();
    void stopsCleanly();
    void privateRuntimeWithoutXdgRuntimeDir();
};

void tst_devsim::countForRpm_data()
{
    QTest::addColumn<double>("rpm");
    QTest::addColumn<int>("count");
    QTest::newRow("fastest the decoder accepts") << 20000.0 << 375;
    QTest::newRow("slowest the decoder accepts") << 1000.0 << 7500;
    QTest::newRow("worked example") << 7500.0 << 1000;
    QTest::newRow("fraction rounds up") << 13000.0 << 577; // 576.92
    QTest::newRow("fraction rounds down") << 7000.0 << 1071; // 1071.43
    QTest::newRow("slowest that fits 16 bits") << 115.0 << 65217;
    QTest::newRow("too slow for 16 bits") << 114.0 << kNoCount;
    QTest::newRow("standing still") << 0.0 << kNoCount;
    QTest::newRow("negative speed") << -7500.0 << kNoCount;
    QTest::newRow("too fast for count 1") << 20'000'000.0 << kNoCount;
}

void tst_devsim::countForRpm()
{
    QFETCH(double, rpm);
    QFETCH(int, count);
    const auto result = devsim::countForRpm(rpm);
    QCOMPARE(result ? int(*result) : kNoCount, count);
    QCOMPARE(devsim::framesPerSecond(rpm) > 0.0, count != kNoCount);
}

void tst_devsim::encodedFrameDecodes_data()
{
    QTest::addColumn<double>("rpm");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("decoded");
    QTest::newRow("worked example") << 7500.0 << QByteArray("<\x03\xE8>", 4) << 7500;
    QTest::newRow("fastest accepted") << 20000.0 << QByteArray("<\x01\x77>", 4) << 20000;
    QTest::newRow("slowest accepted") << 1000.0 << QByteArray("<\x1D\x4C>", 4) << 1000;
    QTest::newRow("rounded count") << 13000.0 << QByteArray("<\x02\x41>", 4) << 12998;
    QTest::newRow("too fast for the decoder") << 25000.0 << QByteArray("<\x01\x2C>", 4) << -1;
    QTest::newRow("too slow for the decoder") << 999.0 << QByteArray("<\x1D\x54>", 4) << -1;
    // A high byte equal to "<" restarts the frame; such counts lie far below the window.
    QTest::newRow("high byte equal to the start marker")
        << 486.0 << QByteArray("<\x3C\x48>", 4) << -1;
}

void tst_devsim::encodedFrameDecodes()
{
    QFETCH(double, rpm);
    QFETCH(QByteArray, frame);
    QFETCH(int, decoded);
    const auto count = devsim::countForRpm(rpm);
    QVERIFY(count);
    const QByteArray bytes = comm::encodeFrame(*count);
    QCOMPARE(bytes.toHex(' '), frame.toHex(' '));
    const devsim::Profile steady { devsim::ProfileKind::Steady, { qint32(rpm) } };
    QCOMPARE(devsim::frameBytes(steady, 1, 0, rpm), bytes);
    comm::PacketState state;
    QCOMPARE(decode(state, bytes), decoded);
}

void tst_devsim::pacedFrames_data()
{
    QTest::addColumn<double>("rpm");
    QTest::addColumn<QList<int>>("stepsMs"); // repeated until `totalMs` has passed
    QTest::addColumn<int>("totalMs");
    QTest::addColumn<int>("frames");
    QTest::newRow("one frame per revolution") << 7500.0 << QList<int> { 4 } << 10'000 << 1250;
    QTest::newRow("slow device") << 1000.0 << QList<int> { 4 } << 9'000 << 150;
    QTest::newRow("20000 rpm held to 240 a second")
        << 20000.0 << QList<int> { 4 } << 10'000 << 2400;
    QTest::newRow("far beyond the line's rate") << 1e6 << QList<int> { 4 } << 10'000 << 2400;
    QTest::newRow("uneven timer steps keep the average")
        << 3000.0 << QList<int> { 1, 15, 9 } << 10'000 << 500;
    QTest::newRow("steps longer than a frame") << 20000.0 << QList<int> { 50 } << 1'000 << 240;
    QTest::newRow("a stall is not made up for") << 20000.0 << QList<int> { 5'000 } << 5'000 << 24;
    QTest::newRow("standing still is silent") << 0.0 << QList<int> { 4 } << 10'000 << 0;
    QTest::newRow("too slow to encode is silent") << 100.0 << QList<int> { 4 } << 10'000 << 0;
}

void tst_devsim::pacedFrames()
{
    QFETCH(double, rpm);
    QFETCH(QList<int>, stepsMs);
    QFETCH(int, totalMs);
    QFETCH(int, frames);
    devsim::FramePacer pacer;
    int sent = 0;
    int passedMs = 0;
    for (qsizetype i = 0; passedMs < totalMs; ++i) {
        const int step = stepsMs[i % stepsMs.size()];
        sent += pacer.advance(std::chrono::milliseconds(step), devsim::framesPerSecond(rpm));
        passedMs += step;
    }
    QCOMPARE(passedMs, totalMs);
    QCOMPARE(sent, frames);
}

void tst_devsim::parseRpmList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<std::vector<qint32>>("rpm");
    QTest::newRow("one speed") << "7500" << true << std::vector<qint32> { 7500 };
    QTest::newRow("several with spaces")
        << "7500, 3000 ,0" << true << std::vector<qint32> { 7500, 3000, 0 };
    QTest::newRow("slowest and fastest encodable")
        << "115,7500000" << true << std::vector<qint32> { 115, 7500000 };
    QTest::newRow("empty") << "" << false << std::vector<qint32> {};
    QTest::newRow("empty entry") << "7500,,3000" << false << std::vector<qint32> {};
    QTest::newRow("not a number") << "fast" << false << std::vector<qint32> {};
    QTest::newRow("fraction") << "7500.5" << false << std::vector<qint32> {};
    QTest::newRow("negative") << "-7500" << false << std::vector<qint32> {};
    QTest::newRow("too slow to encode") << "114" << false << std::vector<qint32> {};
    QTest::newRow("too fast to encode") << "7500001" << false << std::vector<qint32> {};
}

void tst_devsim::parseRpmList()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(std::vector<qint32>, rpm);
    const auto result = devsim::parseRpmList(text);
    QCOMPARE(result.has_value(), valid);
    if (valid) {
        QCOMPARE(*result, rpm);
    }
}

void tst_devsim::baseSpeedPerPlayer_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<std::vector<qint32>>("list");
    QTest::addColumn<int>("player");
    QTest::addColumn<double>("rpm");
    const int steady = int(devsim::ProfileKind::Steady);
    const int noisy = int(devsim::ProfileKind::Noisy);
    QTest::newRow("first player") << steady << std::vector<qint32> { 7500, 3000 } << 1 << 7500.0;
    QTest::newRow("second player") << steady << std::vector<qint32> { 7500, 3000 } << 2 << 3000.0;
    QTest::newRow("beyond the list takes its last")
        << steady << std::vector<qint32> { 7500, 3000 } << 4 << 3000.0;
    QTest::newRow("silent player") << steady << std::vector<qint32> { 7500, 0 } << 2 << 0.0;
    QTest::newRow("noisy base") << noisy << std::vector<qint32> { 7500, 4000 } << 2 << 4000.0;
}

void tst_devsim::baseSpeedPerPlayer()
{
    QFETCH(int, kind);
    QFETCH(std::vector<qint32>, list);
    QFETCH(int, player);
    QFETCH(double, rpm);
    const devsim::Profile profile { devsim::ProfileKind(kind), list };
    for (const auto at : { 0ms, 1'234ms, 3'600'000ms }) {
        QCOMPARE(devsim::rpmAt(profile, player, at), rpm);
    }
}

void tst_devsim::demoStaysWithinWhatTheBoardFollows_data()
{
    QTest::addColumn<int>("player");
    for (int player = 1; player <= 6; ++player) {
        QTest::addRow("player %d", player) << player;
    }
}

// The board samples once a second and only takes a speed that stays within a third of the
// previous one, and a first speed of at most 4200 rpm; a demo beyond that shows gaps and zeros.
void tst_devsim::demoStaysWithinWhatTheBoardFollows()
{
    QFETCH(int, player);
    const devsim::Profile demo { devsim::ProfileKind::Demo, {} };
    double fastest = 0.0;
    for (const auto offset : { 0ms, 250ms, 500ms, 750ms }) {
        double previous = 0.0;
        for (auto t = offset; t < 2 * devsim::kDemoCycle; t += 1s) {
            const double rpm = devsim::rpmAt(demo, player, t);
            QVERIFY2(rpm == 0.0 || (rpm >= 1000.0 && rpm <= 20000.0),
                qPrintable(QStringLiteral("%1 rpm at %2 ms").arg(rpm).arg(t.count())));
            if (previous == 0.0 && rpm > 0.0) {
                QVERIFY2(rpm <= 4200.0, qPrintable(QStringLiteral("starts at %1").arg(rpm)));
            } else if (previous > 0.0 && rpm > 0.0) {
                QVERIFY2(std::abs(rpm - previous) <= previous / 3.0,
                    qPrintable(QStringLiteral("%1 -> %2 rpm at %3 ms")
                                   .arg(previous)
                                   .arg(rpm)
                                   .arg(t.count())));
            }
            QCOMPARE(devsim::rpmAt(demo, player, t + devsim::kDemoCycle), rpm);
            fastest = std::max(fastest, rpm);
            previous = rpm;
        }
    }
    QVERIFY2(fastest >= 6000.0, qPrintable(QStringLiteral("peaks at %1 rpm").arg(fastest)));
}

void tst_devsim::demoDropsOutAndComesBack()
{
    const devsim::Profile demo { devsim::ProfileKind::Demo, {} };
    // Silence per player within the spinning part of the round, in whole seconds.
    std::map<int, int> silentSeconds;
    std::map<int, int> spinningAfterSilence;
    std::set<int> peaks;
    for (int player = 1; player <= 4; ++player) {
        bool wasSilent = false;
        double peak = 0.0;
        for (auto t = 10s; t < 45s; t += 1s) {
            const double rpm = devsim::rpmAt(demo, player, t);
            peak = std::max(peak, rpm);
            if (rpm == 0.0) {
                ++silentSeconds[player];
                wasSilent = true;
            } else if (wasSilent) {
                ++spinningAfterSilence[player];
            }
        }
        peaks.insert(int(peak / 1000));
    }
    // Only player 4, silent long enough for the program's link watchdog to notice (4 s).
    QCOMPARE(silentSeconds.size(), std::size_t(1));
    QVERIFY(silentSeconds[4] >= 5);
    QVERIFY(spinningAfterSilence[4] >= 5);
    QCOMPARE(peaks.size(), std::size_t(4)); // four different speeds
    // Everybody has stopped when the round ends, so the repeat starts from rest.
    for (int player = 1; player <= 4; ++player) {
        QCOMPARE(devsim::rpmAt(demo, player, devsim::kDemoCycle - 1ms), 0.0);
    }
}

void tst_devsim::noisyStreamMixesFaultsIntoTheBase_data()
{
    QTest::addColumn<int>("player");
    QTest::addColumn<qint32>("base");
    QTest::newRow("player 1 at 7500") << 1 << 7500;
    QTest::newRow("player 2 at 4000") << 2 << 4000;
    QTest::newRow("player 3 at 16000") << 3 << 16000;
}

void tst_devsim::noisyStreamMixesFaultsIntoTheBase()
{
    QFETCH(int, player);
    QFETCH(qint32, base);
    const devsim::Profile noisy { devsim::ProfileKind::Noisy, { base, base, base } };
    const auto asDecoded = [](double rpm) { return comm::CountToRpm(*devsim::countForRpm(rpm)); };
    const qint32 expected = asDecoded(base);
    const std::set<qint32> spikes { asDecoded(base * 2.5), asDecoded(base * 0.4) };

    constexpr int kFrames = 20'000;
    comm::PacketState state;
    std::map<qint32, int> outcomes;
    qsizetype bytes = 0;
    for (int i = 0; i < kFrames; ++i) {
        const QByteArray frame = devsim::frameBytes(noisy, player, quint64(i), base);
        QCOMPARE(devsim::frameBytes(noisy, player, quint64(i), base), frame); // reproducible
        bytes += frame.size();
        const qint32 sample = decode(state, frame);
        QVERIFY2(sample == -1 || sample == expected || spikes.contains(sample),
            qPrintable(QStringLiteral("frame %1 decodes to %2").arg(i).arg(sample)));
        ++outcomes[sample == expected ? 0 : sample > 0 ? 1 : -1];
    }
    // Mostly the base speed, and every kind of fault often enough to matter.
    QVERIFY(outcomes[0] >= kFrames * 80 / 100);
    QVERIFY(outcomes[1] >= kFrames * 2 / 100); // spikes inside the decoder's window
    QVERIFY(outcomes[-1] >= kFrames * 3 / 100); // rejected or broken frames
    QVERIFY(bytes >= kFrames * 4 + kFrames / 50); // garbage between frames
}

void tst_devsim::helpExitsZero()
{
    Devsim devsim({ QStringLiteral("--help") });
    QVERIFY(devsim.process().waitForFinished(kProcessCapMs));
    QCOMPARE(devsim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(devsim.process().exitCode(), 0);
    const QByteArray help = devsim.output();
    for (const char *option : { "--profile", "--rpm", "--players", "--first-port", "--duration" }) {
        QVERIFY2(help.contains(option), option);
    }
}

void tst_devsim::rejectsBadArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown profile") << QStringList { "--profile", "turbo" };
    QTest::newRow("malformed speed") << QStringList { "--profile", "steady", "--rpm", "7500,x" };
    QTest::newRow("speed too slow to encode")
        << QStringList { "--profile", "steady", "--rpm", "100" };
    QTest::newRow("speeds for the demo") << QStringList { "--rpm", "7500" };
    QTest::newRow("more speeds than players")
        << QStringList { "--profile", "noisy", "--players", "1", "--rpm", "7500,3000" };
    QTest::newRow("no players") << QStringList { "--players", "0" };
    QTest::newRow("ports beyond COM16") << QStringList { "--first-port", "15", "--players", "3" };
    QTest::newRow("port 0") << QStringList { "--first-port", "0" };
    QTest::newRow("no duration") << QStringList { "--duration", "0" };
    QTest::newRow("unknown option") << QStringList { "--speed", "7500" };
    QTest::newRow("stray argument") << QStringList { "steady" };
}

void tst_devsim::rejectsBadArguments()
{
    QFETCH(QStringList, arguments);
    TempRuntimeDir runtime;
    Devsim devsim(arguments);
    QVERIFY(devsim.process().waitForFinished(kProcessCapMs));
    QCOMPARE(devsim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(devsim.process().exitCode(), 2);
    QVERIFY(!devsim.process().readAllStandardError().isEmpty());
    QVERIFY(comEntries(runtime.portDir()).isEmpty());
}

// The way the program meets the simulator: port numbers resolved in the runtime folder, opened
// by the program's serial control, every read decoded.
void tst_devsim::servesSteadySpeeds()
{
    TempRuntimeDir runtime;
    Devsim devsim({ "--profile", "steady", "--rpm", "7500,3000", "--players", "2" });
    QVERIFY(devsim.waitUntilServing());
    QCOMPARE(comEntries(runtime.portDir()), QStringList({ "COM1", "COM2" }));
    const QFile::Permissions othersMay = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
        | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QVERIFY(!(QFileInfo(runtime.portDir()).permissions() & othersMay));

    std::map<qint16, std::vector<qint32>> samples;
    PlayerLinks links;
    for (const qint16 port : { 1, 2 }) {
        QCOMPARE(
            port_names::Resolve(port).device, runtime.portDir() + "/COM" + QString::number(port));
        // After the links' own handler: the sample each event stored.
        connect(links.control(port), &SerialControl::OnComm, this,
            [&samples, &links, port] { samples[port].push_back(links.playerRpm()[port]); });
        const auto error = links.open(port, port);
        QVERIFY2(!error, qPrintable(error.value_or(QString())));
    }
    const auto speeds = [&samples](qint16 port) {
        std::multiset<qint32> out;
        for (const qint32 sample : samples[port]) {
            if (sample > 0) {
                out.insert(sample);
            }
        }
        return out;
    };
    QTRY_VERIFY_WITH_TIMEOUT(speeds(1).size() >= 20 && speeds(2).size() >= 20, 10'000);
    QCOMPARE(speeds(1).count(7500), speeds(1).size());
    QCOMPARE(speeds(2).count(3000), speeds(2).size());
}

void tst_devsim::survivesProgramWritesAndReopens()
{
    TempRuntimeDir runtime;
    Devsim devsim({ "--profile", "steady", "--rpm", "20000", "--players", "1" });
    QVERIFY(devsim.waitUntilServing());
    Reader reader(runtime.portDir() + QStringLiteral("/COM1"));
    QVERIFY(reader.open());
    // More than a pseudo-terminal buffers: the simulator must keep draining it.
    const QByteArray chatter(64 * 1024, 'x');
    QCOMPARE(reader.port().write(chatter), chatter.size());
    QTRY_VERIFY_WITH_TIMEOUT(reader.port().bytesToWrite() == 0, 10'000);
    reader.close();

    reader.samples.clear();
    QVERIFY(reader.open());
    QTRY_VERIFY_WITH_TIMEOUT(reader.speedCount() >= 20, 10'000);
    QCOMPARE(reader.speeds(), std::set<qint32> { 20000 });
    QCOMPARE(devsim.process().state(), QProcess::Running);
}

// A link nobody reads must not hand a late opener seconds-old frames.
void tst_devsim::dropsFramesNobodyRead()
{
    TempRuntimeDir runtime;
    Devsim devsim({ "--profile", "steady", "--rpm", "20000", "--players", "1" });
    QVERIFY(devsim.waitUntilServing());
    QTest::qWait(1'200); // 288 frames at 240 a second; half a second's worth may wait
    Reader reader(runtime.portDir() + QStringLiteral("/COM1"));
    QVERIFY(reader.open());
    QTRY_VERIFY_WITH_TIMEOUT(reader.firstReadBytes() >= 0, 10'000);
    // Each step of the simulator drops what waits beyond the stale limit before it sends, and
    // one step sends at most kMaxCatchUp's worth of frames plus the fraction carried over.
    constexpr double kRate = 240.0;
    constexpr qsizetype kFrameBytes = 4;
    const qsizetype mostFramesOneStep =
        qsizetype(std::ceil(
            std::chrono::duration<double>(devsim::FramePacer::kMaxCatchUp).count() * kRate))
        + 1;
    QVERIFY2(reader.firstReadBytes()
            <= devsim::staleInputLimitBytes(kRate) + kFrameBytes * mostFramesOneStep,
        qPrintable(QString::number(reader.firstReadBytes())));
}

void tst_devsim::stopsCleanly_data()
{
    QTest::addColumn<int>("signalNumber"); // 0: let --duration end it
    QTest::addColumn<int>("firstPort");
    QTest::newRow("SIGTERM") << SIGTERM << 1;
    QTest::newRow("SIGINT") << SIGINT << 1;
    QTest::newRow("SIGHUP") << SIGHUP << 1;
    QTest::newRow("duration over, ports from COM15") << 0 << 15;
}

void tst_devsim::stopsCleanly()
{
    QFETCH(int, signalNumber);
    QFETCH(int, firstPort);
    TempRuntimeDir runtime;
    // A link of a simulator that died earlier: taken over, then removed like our own.
    QVERIFY(QDir().mkpath(runtime.portDir()));
    QVERIFY(QFile::link(
        QStringLiteral("/dev/null"), runtime.portDir() + "/COM" + QString::number(firstPort)));

    QStringList arguments { "--profile", "noisy", "--players", "2", "--first-port",
        QString::number(firstPort) };
    if (signalNumber == 0) {
        arguments << "--duration"
                  << "0.3";
    }
    Devsim devsim(arguments);
    QVERIFY(devsim.waitUntilServing());
    const QStringList expected { QStringLiteral("COM%1").arg(firstPort),
        QStringLiteral("COM%1").arg(firstPort + 1) };
    QCOMPARE(comEntries(runtime.portDir()), expected);
    QVERIFY(devsim.output().contains("replaced an existing link"));
    for (const QString &name : expected) {
        QVERIFY(QFile::symLinkTarget(runtime.portDir() + '/' + name).startsWith("/dev/pts/"));
    }

    if (signalNumber != 0) {
        QVERIFY(devsim.stop(signalNumber));
    } else {
        QVERIFY(devsim.process().waitForFinished(kProcessCapMs));
    }
    QCOMPARE(devsim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(devsim.process().exitCode(), 0);
    QVERIFY(devsim.output().contains("links removed"));
    QCOMPARE(comEntries(runtime.portDir()), QStringList());
}

// Without XDG_RUNTIME_DIR the simulator makes a private folder for the run, says once where the
// ports are, and removes the folder when it stops; nothing is warned about again and again.
void tst_devsim::privateRuntimeWithoutXdgRuntimeDir()
{
    QTemporaryDir temp;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    environment.insert(QStringLiteral("TMPDIR"), temp.path());
    Devsim devsim({ "--profile", "steady", "--players", "2" }, environment);
    QVERIFY(devsim.waitUntilServing());
    const QStringList made = QDir(temp.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(made.size(), 1);
    const QString runtime = temp.filePath(made.first());
    QCOMPARE(QFileInfo(runtime).permissions()
            & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther
                | QFile::ExeGroup | QFile::ExeOther),
        QFile::Permissions());
    QCOMPARE(comEntries(runtime + QStringLiteral("/rotavex")), (QStringList { "COM1", "COM2" }));
    QCOMPARE(devsim.output().count("XDG_RUNTIME_DIR is not set"), 1);
    QVERIFY(devsim.output().contains(QFile::encodeName(runtime)));

    QVERIFY(devsim.stop(SIGTERM));
    QCOMPARE(devsim.process().exitCode(), 0);
    QVERIFY(!QFileInfo::exists(runtime));
    const QByteArray errors = devsim.process().readAllStandardError();
    QVERIFY2(!errors.contains("XDG_RUNTIME_DIR"), errors.constData());
}

QTEST_GUILESS_MAIN(tst_devsim)
#include "tst_devsim.moc"

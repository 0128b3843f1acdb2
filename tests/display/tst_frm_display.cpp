// SPDX-License-Identifier: MIT
#include "display/frm_display.h"
#include "link/player_links.h"
#include "main_window/frm_main.h"
#include "main_window/led_display.h"
#include "main_window/speed_bar.h"
#include "settings/settings_store.h"
#include "support/keyboard_walk.h"
#include "support/pty_pair.h"
#include "support/widget_lookup.h"
#include "twips/twips.h"
#include "twips/twips_adapter.h"
#include "widgets/tag_label.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <array>
#include <memory>
#include <numeric>

using rotavex::PlayerSlot;
using scoreboard::PlayMode;

Q_DECLARE_METATYPE(PlayMode)
Q_DECLARE_METATYPE(game::Snapshot)

namespace
{

using test_support::control;
using test_support::named;

QString setting(const char *key)
{
    return settings_store::ReadSetting(
        QStringLiteral("Rotavex"), QStringLiteral("Properties"), QLatin1String(key), QString());
}

// What a spectator has to be able to read at every window size.
const rotavex::PlayerName kHostileNames { {
    QStringLiteral("Maximilian Alexander Featherstonehaugh-Worthington of Little Snoring"),
    QStringLiteral("<b>bold</b>\n&amp;\t\u202Eevil<img src=x>"),
    QString(300, QLatin1Char('W')),
    QString(),
} };

// A game in `mode` with these live values (rpm, or revolutions in Strength) and records.
game::Snapshot gameOf(
    PlayMode mode, std::array<qint32, 4> live, std::array<qint32, 4> records, int countdown = 30)
{
    game::Snapshot snapshot;
    snapshot.mode = mode;
    snapshot.running = countdown > 0;
    snapshot.reading = mode == PlayMode::Speed ? game::Reading::Speed : game::Reading::Strength;
    snapshot.countdownSeconds = countdown;
    snapshot.ranOut = countdown == 0;
    for (PlayerSlot p = 1; p <= 4; ++p) {
        game::PlayerSnapshot &player = snapshot.players[p];
        player.name = QStringLiteral("Player %1").arg(p);
        player.rpm = live[std::size_t(p - 1)];
        player.revolutions = live[std::size_t(p - 1)];
        player.record = records[std::size_t(p - 1)];
        snapshot.topRpm = std::max(snapshot.topRpm, *player.record);
        player.bar = player.rpm;
        player.participating = true;
    }
    return snapshot;
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class tst_FrmDisplay : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempSettings> m_settings;

    QPushButton *cmdDisplay(const frmMain &w) { return control<QPushButton>(w, "CmdDisplay"); }

    // Opens the display from the main window, as the operator does.
    frmDisplay &openDisplay(frmMain &w)
    {
        cmdDisplay(w)->click();
        if (!w.display() || !w.display()->isVisible()) {
            qFatal("the display did not open");
        }
        return *w.display();
    }

    void startGame(frmMain &w, int mode)
    {
        control<QRadioButton>(w, named("OptMode", mode))->click();
        control<QPushButton>(w, "CmdStart")->click();
    }

    // The display shows exactly what the board shows. Bar colours are only compared once a
    // refresh has coloured the bars: before that the board's bars keep their design colours.
    void compareWithBoard(const frmMain &w, const frmDisplay &display, bool coloured = true)
    {
        const evening::ScoreboardState &shown = display.state();
        for (PlayerSlot p = 1; p <= 4; ++p) {
            const evening::PlayerState &player = shown.players[p];
            QCOMPARE(player.name, control<widgets::TagLabel>(w, named("lblName", p))->text());
            // The same number as the speed label, without its unit ("" is a total of none).
            QString caption = control<widgets::TagLabel>(w, named("lblRPM", p))->text();
            caption.remove(QStringLiteral(" rpm")).remove(QStringLiteral(" rev"));
            const QString live = player.unit == evening::Unit::Revolutions
                ? QLocale().toString(player.live)
                : QString::number(player.live);
            QCOMPARE(live, caption.trimmed().isEmpty() ? QStringLiteral("0") : caption.trimmed());
            QCOMPARE(QString::number(player.bestRpm),
                control<widgets::TagLabel>(w, named("lblHI", p))->tag());
            const auto *bar = control<main_window::SpeedBar>(w, named("pbar", p));
            QCOMPARE(player.bar, std::clamp(bar->value() / evening::kBarMaximumRpm, 0.0, 1.0));
            if (coloured) {
                QCOMPARE(player.colour, bar->fillColourBgr());
            }
        }
        QCOMPARE(double(shown.topRpm), control<main_window::LedDisplay>(w, "CurSpeed")->number());
    }

private Q_SLOTS:
    void init() { m_settings = std::make_unique<TempSettings>(); }
    void cleanup() { m_settings.reset(); }

    void everyTextFits_data();
    void everyTextFits();
    void followsTheGameTickByTick_data();
    void followsTheGameTickByTick();
    void repaintsOnlyWhatChanged_data();
    void repaintsOnlyWhatChanged();
    void openCloseAndFullScreen();
    void closingTheMainWindowClosesTheDisplay();
    void namesFromSetupShowAtOnce();
    void keyboardAndAssistiveTechnology();
};

void tst_FrmDisplay::everyTextFits_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<PlayMode>("mode");
    QTest::addColumn<bool>("ranked");

    for (const QSize size : { QSize(1920, 1080), QSize(1280, 720), QSize(800, 600) }) {
        const QString name = QStringLiteral("%1x%2 ").arg(size.width()).arg(size.height());
        QTest::newRow(qPrintable(name + QStringLiteral("speed game")))
            << size << PlayMode::Speed << false;
        QTest::newRow(qPrintable(name + QStringLiteral("strength game")))
            << size << PlayMode::Strength << false;
        QTest::newRow(qPrintable(name + QStringLiteral("strength result")))
            << size << PlayMode::Strength << true;
    }
}

void tst_FrmDisplay::everyTextFits()
{
    QFETCH(QSize, size);
    QFETCH(PlayMode, mode);
    QFETCH(bool, ranked);
    frmDisplay display;
    display.resize(size);
    game::Snapshot snapshot;
    snapshot.mode = mode;
    snapshot.reading = mode == PlayMode::Speed ? game::Reading::Speed : game::Reading::Strength;
    snapshot.countdownSeconds = 90;
    snapshot.topRpm = 20000;
    snapshot.ranOut = ranked;
    for (PlayerSlot p = 1; p <= 4; ++p) {
        game::PlayerSnapshot &player = snapshot.players[p];
        player.name = kHostileNames[p];
        // The widest values a game can reach.
        player.rpm = 20000;
        player.revolutions = 30000.0;
        player.record = 20000;
        player.bar = 20000.0;
        player.participating = true;
    }
    display.showState(evening::StateFrom(snapshot));
    QCOMPARE(display.size(), size);

    const std::vector<frmDisplay::DrawnText> texts = display.drawnTexts();
    int liveNumbers = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const frmDisplay::DrawnText &drawn = texts[i];
        const QFontMetrics metrics(drawn.font);
        const QString id = drawn.item.id;
        QVERIFY2(QRect(QPoint(0, 0), size).contains(drawn.item.area), qPrintable(id));
        QVERIFY2(metrics.horizontalAdvance(drawn.text) <= drawn.item.area.width(), qPrintable(id));
        QVERIFY2(metrics.height() <= drawn.item.area.height(), qPrintable(id));
        for (std::size_t j = i + 1; j < texts.size(); ++j) {
            QVERIFY2(!drawn.item.area.intersects(texts[j].item.area),
                qPrintable(id + QStringLiteral(" overlaps ") + texts[j].item.id));
        }
        if (drawn.item.live) {
            ++liveNumbers;
            // Digits at least a twelfth of the window's height, to be read across a room.
            const int digitHeight =
                metrics.tightBoundingRect(QStringLiteral("0123456789")).height();
            QVERIFY2(digitHeight * 12 >= size.height(), qPrintable(QString::number(digitHeight)));
        }
        if (id == QLatin1String("name2") || id == QLatin1String("rankName2")) {
            // Markup stays text: the elided name starts as typed.
            QVERIFY2(drawn.text.startsWith(QStringLiteral("<b>")), qPrintable(drawn.text));
        }
        if (id == QLatin1String("name1")) {
            QVERIFY2(drawn.text.endsWith(QChar(0x2026)), qPrintable(drawn.text));
        }
    }
    QCOMPARE(liveNumbers, ranked ? 0 : 4);
    QVERIFY(!display.grab().isNull());
}

void tst_FrmDisplay::followsTheGameTickByTick_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("speed") << 0;
    QTest::newRow("strength, then its result") << 1;
}

void tst_FrmDisplay::followsTheGameTickByTick()
{
    QFETCH(int, mode);
    frmMain w;
    w.show();
    frmDisplay &display = openDisplay(w);
    control<QPushButton>(w, "cmdStr")->click(); // a 30 s countdown
    // Players 1 to 3 have their links open; player 4's never opens, so it takes no part.
    for (PlayerSlot p = 1; p <= 3; ++p) {
        w.session().setLink(p, true, p);
    }
    QSignalSpy ended(&w.session(), &game::GameSession::ended);
    startGame(w, mode);
    QCOMPARE(display.state().mode, mode == 0 ? PlayMode::Speed : PlayMode::Strength);
    compareWithBoard(w, display, false);
    // Players 1 and 3 turn alike and end level; player 4 comes late, without a link.
    for (int second = 0; second < 30; ++second) {
        const std::array<qint32, 4> samples { 6000, 3000 + second, 6000, second > 20 ? 9000 : 0 };
        for (PlayerSlot p = 1; p <= 4; ++p) {
            w.links().storeSample(p, samples[std::size_t(p - 1)]);
        }
        w.tmrRefresh_Timer();
        if (mode == 1) {
            w.tmrStrenght_Timer();
            QCOMPARE(double(display.state().countdownSeconds),
                control<main_window::LedDisplay>(w, "CurTimer")->number());
        }
        compareWithBoard(w, display);
    }
    if (mode == 0) {
        QVERIFY(!display.state().result);
        return;
    }
    QVERIFY(!control<QPushButton>(w, "CmdStart")->isChecked());
    QVERIFY(display.state().result);
    QStringList order;
    QCOMPARE(ended.size(), 1);
    const auto game = ended.first().first().value<results::GameRecord>();
    for (const evening::Place &entry : *display.state().result) {
        order << QStringLiteral("%1:%2").arg(entry.seat).arg(entry.rank);
        // The mean of the speeds the game recorded for the player, second by second.
        const QList<qint32> &samples = game.players[entry.seat - 1].samples;
        QCOMPARE(
            entry.meanRpm, std::accumulate(samples.begin(), samples.end(), 0LL) / samples.size());
        QCOMPARE(QString::number(entry.bestRpm),
            control<widgets::TagLabel>(w, named("lblHI", entry.seat))->tag());
    }
    QCOMPARE(order.join(QLatin1Char(' ')), QStringLiteral("1:1 3:1 2:3"));
    // The result stays until the next Clear or Start.
    w.tmrRefresh_Timer();
    QVERIFY(display.state().result);
    control<QPushButton>(w, "CmdClear")->click();
    QVERIFY(!display.state().result);
}

void tst_FrmDisplay::repaintsOnlyWhatChanged_data()
{
    QTest::addColumn<game::Snapshot>("before");
    QTest::addColumn<game::Snapshot>("after");
    const game::Snapshot speed =
        gameOf(PlayMode::Speed, { 12000, 9000, 3000, 15000 }, { 12500, 9100, 3000, 16000 });
    QTest::newRow("nothing changes") << speed << speed;
    QTest::newRow("a number loses a digit")
        << speed
        << gameOf(PlayMode::Speed, { 9990, 9000, 3000, 15000 }, { 12500, 9100, 3000, 16000 });
    QTest::newRow("the lead passes to another player")
        << speed
        << gameOf(PlayMode::Speed, { 12000, 9000, 3000, 15000 }, { 17000, 9100, 3000, 16000 });
    game::Snapshot renamed = speed;
    renamed.players[2].name = QStringLiteral("Al");
    QTest::newRow("a name gets shorter") << speed << renamed;
    QTest::newRow("the countdown runs out into the result")
        << gameOf(PlayMode::Strength, { 310, 290, 305, 12 }, { 9000, 8000, 7000, 6000 }, 1)
        << gameOf(PlayMode::Strength, { 311, 291, 305, 12 }, { 9000, 8000, 7000, 6000 }, 0);
}

void tst_FrmDisplay::repaintsOnlyWhatChanged()
{
    QFETCH(game::Snapshot, before);
    QFETCH(game::Snapshot, after);
    frmDisplay display;
    display.resize(1280, 720);
    display.showState(evening::StateFrom(before));
    display.show();
    QVERIFY(QTest::qWaitForWindowExposed(&display));
    QCoreApplication::processEvents();
    PaintCounter counter;
    display.installEventFilter(&counter);
    display.showState(evening::StateFrom(after));
    QCoreApplication::processEvents();
    // A frame that shows the same values draws nothing.
    QCOMPARE(counter.paints > 0, QTest::currentDataTag() != QByteArray("nothing changes"));
    // What is on the screen, painted in parts, is the whole picture painted afresh.
    const QImage onScreen = display.screen()
                                ->grabWindow(display.winId())
                                .toImage()
                                .convertToFormat(QImage::Format_RGB32);
    QCOMPARE(onScreen, display.grab().toImage().convertToFormat(QImage::Format_RGB32));
}

void tst_FrmDisplay::openCloseAndFullScreen()
{
    frmMain w;
    w.show();
    QPushButton *button = cmdDisplay(w);
    QVERIFY(button->isCheckable());
    QVERIFY(button->text().isEmpty());
    QVERIFY(!button->icon().isNull());
    QCOMPARE(button->toolTip(), QStringLiteral("Scoreboard for spectators"));
    QCOMPARE(button->geometry(), twips::toPixels({ 6255, 60, 480, 405 }, w));
    QVERIFY(!w.display());

    frmDisplay &display = openDisplay(w);
    QVERIFY(button->isChecked());
    QCOMPARE(display.objectName(), QStringLiteral("frmDisplay"));
    QCOMPARE(display.windowTitle(), QStringLiteral("Rotavex Scoreboard"));
    QVERIFY(display.isWindow());
    QVERIFY(!display.isFullScreen());

    QTest::keyClick(&display, Qt::Key_F11);
    QVERIFY(display.isFullScreen());
    QCOMPARE(setting("DisplayFullScreen"), QStringLiteral("1"));
    QTest::keyClick(&display, Qt::Key_Escape);
    QVERIFY(!display.isFullScreen());
    QTest::mouseDClick(&display, Qt::LeftButton);
    QVERIFY(display.isFullScreen());
    QTest::keyClick(&display, Qt::Key_Escape);
    QVERIFY(!display.isFullScreen());
    QTest::keyClick(&display, Qt::Key_Escape); // not full screen: nothing happens
    QVERIFY(display.isVisible());

    // Closing the window releases the button; the button opens it again.
    display.close();
    QVERIFY(!display.isVisible());
    QVERIFY(!button->isChecked());
    QCOMPARE(setting("DisplayScreen"), QStringLiteral("0"));
    QCOMPARE(setting("DisplayFullScreen"), QStringLiteral("0"));
    button->click();
    QVERIFY(display.isVisible());
    QCOMPARE(w.display(), &display);
    button->click();
    QVERIFY(!display.isVisible());
    QVERIFY(!button->isChecked());
}

void tst_FrmDisplay::closingTheMainWindowClosesTheDisplay()
{
    frmMain w;
    w.show();
    frmDisplay &display = openDisplay(w);
    QVERIFY(w.close());
    QVERIFY(!display.isVisible());
}

void tst_FrmDisplay::namesFromSetupShowAtOnce()
{
    frmMain w;
    w.show();
    frmDisplay &display = openDisplay(w);
    QCOMPARE(display.state().players[3].name, QStringLiteral("PLAYER 3"));
    bool edited = false;
    QTimer::singleShot(0, &w, [&edited] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return; // the comparison below fails; nothing is left waiting
        }
        if (auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("txtName3"))) {
            field->setText(QStringLiteral("Ada"));
            edited = true;
        }
        dialog->accept();
    });
    w.cmdSetup_Click();
    QVERIFY(edited);
    QCOMPARE(display.state().players[3].name, QStringLiteral("Ada"));
}

// The display paints everything itself: no control takes Tab, and assistive technology reads
// the window by its title with every text it shows as its value.
void tst_FrmDisplay::keyboardAndAssistiveTechnology()
{
    frmMain w;
    w.show();
    frmDisplay &display = openDisplay(w);
    startGame(w, 0);
    for (int tick = 0; tick < 3; ++tick) {
        w.links().storeSample(2, 7500);
        w.tmrRefresh_Timer();
    }
    QVERIFY(test_support::ScreenOrder(&display).isEmpty());
    QCOMPARE(test_support::UnnamedControls(&display), QStringList());
    QAccessibleInterface *node = QAccessible::queryAccessibleInterface(&display);
    QVERIFY(node);
    QCOMPARE(node->text(QAccessible::Name), QStringLiteral("Rotavex Scoreboard"));
    const QStringList value = node->text(QAccessible::Value).split(u'\n');
    QStringList drawn;
    for (const frmDisplay::DrawnText &text : display.drawnTexts()) {
        drawn << text.item.text;
    }
    QCOMPARE(value, drawn);
    QVERIFY(value.contains(QStringLiteral("PLAYER 2")));
    QVERIFY2(value.contains(QStringLiteral("7500")), qPrintable(value.join(u'|')));
}

QTEST_MAIN(tst_FrmDisplay)
#include "tst_frm_display.moc"

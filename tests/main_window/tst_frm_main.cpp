// SPDX-License-Identifier: MIT
#include "link/player_links.h"
#include "link/serial_control.h"
#include "main_window/frm_main.h"
#include "main_window/layout.h"
#include "main_window/led_display.h"
#include "main_window/player_chart.h"
#include "main_window/speed_bar.h"
#include "settings/settings_store.h"
#include "setup/frm_setup.h"
#include "support/keyboard_walk.h"
#include "support/pty_pair.h"
#include "support/widget_lookup.h"
#include "twips/twips.h"
#include "version.h"
#include "widgets/tag_label.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <functional>
#include <memory>

using main_window::LedDisplay;
using main_window::PlayerChart;
using main_window::SpeedBar;
using rotavex::PlayerSlot;
using widgets::TagLabel;

namespace
{

using test_support::control;
using test_support::named;

constexpr auto kPlayers = { PlayerSlot(1), PlayerSlot(2), PlayerSlot(3), PlayerSlot(4) };

// The frame a device sends for one revolution of 1000 × 8 µs, that is 7500 rpm.
const QByteArray kFrame7500("<\x03\xE8>", 4);

int px(const QWidget &window, double twips, Qt::Orientation direction)
{
    return twips::TwipsToPixels(
        twips, direction == Qt::Horizontal ? window.logicalDpiX() : window.logicalDpiY());
}

} // namespace

class tst_FrmMain : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempSettings> m_settings;

    LedDisplay *curTimer(const frmMain &w) { return control<LedDisplay>(w, "CurTimer"); }
    QPushButton *cmdStart(const frmMain &w) { return control<QPushButton>(w, "CmdStart"); }
    QTimer *timer(const frmMain &w, const char *name) { return control<QTimer>(w, name); }

    // The samples the links would have stored from their devices.
    static void feed(frmMain &w, const rotavex::PlayerRpm &rpm)
    {
        for (const PlayerSlot p : kPlayers) {
            w.links().storeSample(p, rpm[p]);
        }
    }

    void startGame(frmMain &w, int mode)
    {
        control<QRadioButton>(w, named("OptMode", mode))->click();
        cmdStart(w)->click();
    }

private Q_SLOTS:
    void init() { m_settings = std::make_unique<TempSettings>(); }
    void cleanup() { m_settings.reset(); }

    // Every button of the window carries a picture; the preset button has none.
    void buttonPictures()
    {
        frmMain w;
        for (const QAbstractButton *button : w.findChildren<QPushButton *>()) {
            QCOMPARE(button->icon().isNull(), button->objectName() == QLatin1String("cmdStr"));
            QVERIFY(!button->isChecked());
        }
        QCOMPARE(control<QPushButton>(w, "cmdStr")->text(), QStringLiteral("Strength Mode"));
    }

    void startUp()
    {
        settings_store::WritePlayerName(1, QStringLiteral("<b>Ann</b>"));
        settings_store::WritePlayerName(3, QString());
        frmMain w;

        QCOMPARE(w.windowTitle(),
            QStringLiteral("Rotavex Bluetooth %1.%2.%3")
                .arg(rotavex::kVersionMajor)
                .arg(rotavex::kVersionMinor)
                .arg(rotavex::kVersionPatch));
        // The icon comes once the window has shown its first picture.
        w.show();
        QTRY_VERIFY(!w.windowIcon().pixmap(QSize(32, 32)).isNull());
        const QStringList expectedNames { "<b>Ann</b>", "PLAYER 2", "", "PLAYER 4" };
        auto *chart = control<PlayerChart>(w, "MSChart1");
        for (const PlayerSlot n : kPlayers) {
            const QString name = expectedNames[n - 1];
            QCOMPARE(w.playerName()[n], name);
            const auto *label = control<TagLabel>(w, named("lblName", n));
            QCOMPARE(label->text(), name);
            QCOMPARE(label->textFormat(), Qt::PlainText);
            QCOMPARE(chart->columnLabel(n), name);
            QVERIFY(!w.nameBold(n));
            QVERIFY(control<TagLabel>(w, named("lblHI", n))->font().bold());
            QVERIFY(!w.links().isOpen(n));
            QCOMPARE(control<SerialControl>(w, named("MSComm", n))->parent(), &w.links());
            QCOMPARE(QTextDocumentFragment::fromHtml(label->toolTip()).toPlainText(),
                name + QStringLiteral("\nCOM1 closed"));
            QCOMPARE(control<SpeedBar>(w, named("pbar", n))->maximum(), 20000.0);
        }
        QCOMPARE(chart->legendName(1), QStringLiteral("<b>Ann</b>"));

        QVERIFY(timer(w, "tmrTimeout")->isActive());
        QCOMPARE(timer(w, "tmrTimeout")->interval(), 2000);
        QVERIFY(!timer(w, "tmrRefresh")->isActive());
        QCOMPARE(timer(w, "tmrRefresh")->interval(), 1000);
        QVERIFY(!timer(w, "tmrStrenght")->isActive());
        QCOMPARE(timer(w, "tmrStrenght")->interval(), 1000);

        QCOMPARE(curTimer(w)->number(), 90.0);
        QCOMPARE(curTimer(w)->tag(), QStringLiteral("90"));
        QCOMPARE(curTimer(w)->digitCount(), 3);
        auto *curSpeed = control<LedDisplay>(w, "CurSpeed");
        QCOMPARE(curSpeed->digitCount(), 6);
        QCOMPARE(curSpeed->onColour(), QColor(0, 128, 0));
        const auto *score = control<QPushButton>(w, "CmdScore");
        QVERIFY(!score->isHidden());
        QVERIFY(score->isEnabled());
        QVERIFY(control<QRadioButton>(w, "OptMode0")->isChecked());
        QVERIFY(control<QWidget>(w, "pctBase")->isHidden());
        QVERIFY(!control<QWidget>(w, "MSChart1")->isHidden());
        QCOMPARE(control<QGroupBox>(w, "frBase0")->title(), QStringLiteral("Play Mode"));
        QCOMPARE(control<QGroupBox>(w, "frBase1")->title(), QStringLiteral("Monitor"));
        QCOMPARE(w.playMode(), game::PlayMode::Unset);
    }

    void longNamesCutShort_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("cut");
        QTest::newRow("short name shows whole") << "Ann" << false;
        QTest::newRow("two long words") << "Dmitri Alexandrovich" << true;
        QTest::newRow("100 000 characters") << QString(100000, QLatin1Char('W')) << true;
        QTest::newRow("markup stays text") << "<b>Maximilian Alexandrovich</b> & co" << true;
    }
    void longNamesCutShort()
    {
        QFETCH(QString, name);
        QFETCH(bool, cut);
        settings_store::WritePlayerName(2, name);
        frmMain w;
        w.show();
        auto *label = control<TagLabel>(w, "lblName2");
        // Cut short at the label's own size, never shrunk.
        QCOMPARE(label->font().pointSizeF(), label->designPointSize());
        const QString shown = label->shownText();
        QCOMPARE(shown.endsWith(QChar(0x2026)), cut);
        QCOMPARE(shown == name, !cut);
        QVERIFY(QFontMetricsF(label->font()).horizontalAdvance(shown) <= label->room());
        // The bar is drawn over the label's right end; the name stays left of it.
        QVERIFY(label->x() + label->room() <= control<QWidget>(w, "pbar2")->x());
        // The whole name, then the link's state on a line of its own.
        // (in lines that break at blanks, and inside a word only when it is wider than a line);
        // "whole" as far as the setup dialog's field would take it.
        const QStringList tip =
            QTextDocumentFragment::fromHtml(label->toolTip()).toPlainText().split(u'\n');
        const QString held = name.left(settings_store::kMaxNameLength);
        QVERIFY2(tip.last() == QLatin1String("COM1 closed"), qPrintable(tip.last()));
        QCOMPARE(
            tip.mid(0, tip.size() - 1).join(QString()).remove(u' '), QString(held).remove(u' '));

        auto *chart = control<PlayerChart>(w, "MSChart1");
        const QString legend = chart->legendName(2);
        QCOMPARE(legend.endsWith(QChar(0x2026)), cut);
        QVERIFY(legend.size() < 200);
        QCOMPARE(chart->columnLabel(2), held);
    }

    void columnsShareOneSize()
    {
        frmMain w;
        w.show();
        startGame(w, 1);
        for (int tick = 0; tick < 3; ++tick) {
            feed(w, rotavex::PlayerRpm({ 15856, 5462, 19999, 1200 }));
            w.tmrRefresh_Timer();
        }
        QCOMPARE(control<TagLabel>(w, "lblHI1")->text(), QStringLiteral("15856 rpm max"));
        for (const char *column : { "lblRPM", "lblHI" }) {
            const qreal size = control<TagLabel>(w, named(column, 1))->font().pointSizeF();
            for (const PlayerSlot n : kPlayers) {
                const auto *label = control<TagLabel>(w, named(column, n));
                QCOMPARE(label->font().pointSizeF(), size);
                QCOMPARE(label->shownText(), label->text());
                QVERIFY(
                    QFontMetricsF(label->font()).horizontalAdvance(label->text()) <= label->room());
            }
            // The largest size that fits: a step up would not.
            const auto *first = control<TagLabel>(w, named(column, 1));
            if (size < first->designPointSize()) {
                QFont larger = first->font();
                larger.setPointSizeF(size + 0.25);
                qreal widestLarger = 0;
                for (const PlayerSlot n : kPlayers) {
                    widestLarger = std::max(widestLarger,
                        QFontMetricsF(larger).horizontalAdvance(
                            control<TagLabel>(w, named(column, n))->text()));
                }
                QVERIFY(widestLarger > first->room());
            }
        }
    }

    void optionShowsCountdownPanel()
    {
        frmMain w;
        auto *panel = control<QWidget>(w, "pctBase");
        control<QRadioButton>(w, "OptMode1")->click();
        QVERIFY(!panel->isHidden());
        QVERIFY(!control<QRadioButton>(w, "OptMode0")->isChecked());
        control<QRadioButton>(w, "OptMode0")->click();
        QVERIFY(panel->isHidden());
        // Choosing a mode starts nothing.
        w.tmrRefresh_Timer();
        QCOMPARE(w.playMode(), game::PlayMode::Unset);
        QCOMPARE(control<TagLabel>(w, "lblRPM1")->text(), QStringLiteral("0 rpm"));
    }

    void startStop_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<game::PlayMode>("mode");
        QTest::addColumn<QString>("speedCaption");
        QTest::newRow("speed") << 0 << game::PlayMode::Speed << "0 rpm";
        QTest::newRow("strength starts its board from zero")
            << 1 << game::PlayMode::Strength << "0 rev";
    }
    void startStop()
    {
        QFETCH(int, option);
        QFETCH(game::PlayMode, mode);
        QFETCH(QString, speedCaption);
        frmMain w;
        const bool strength = mode == game::PlayMode::Strength;

        startGame(w, option);
        QVERIFY(cmdStart(w)->isChecked());
        QCOMPARE(cmdStart(w)->text(), QStringLiteral("Stop"));
        QVERIFY(timer(w, "tmrRefresh")->isActive());
        QCOMPARE(timer(w, "tmrStrenght")->isActive(), strength);
        QCOMPARE(w.playMode(), mode);
        QCOMPARE(control<TagLabel>(w, "lblHI2")->tag(), QStringLiteral("0"));
        QCOMPARE(control<TagLabel>(w, "lblRPM2")->text(), speedCaption);

        cmdStart(w)->click();
        QVERIFY(!cmdStart(w)->isChecked());
        QCOMPARE(cmdStart(w)->text(), QStringLiteral("Start"));
        QVERIFY(!timer(w, "tmrRefresh")->isActive());
        QVERIFY(!timer(w, "tmrStrenght")->isActive());
        QCOMPARE(w.playMode(), mode);
    }

    void countdownRunsOut()
    {
        frmMain w;
        control<QPushButton>(w, "cmdStr")->click();
        QCOMPARE(curTimer(w)->tag(), QStringLiteral("30"));
        startGame(w, 1);
        for (int shown = 29; shown >= 1; --shown) {
            w.tmrStrenght_Timer();
            QCOMPARE(curTimer(w)->number(), double(shown));
            QVERIFY(timer(w, "tmrStrenght")->isActive());
        }
        w.tmrStrenght_Timer();
        QCOMPARE(curTimer(w)->number(), 0.0);
        QVERIFY(!timer(w, "tmrStrenght")->isActive());
        QVERIFY(!timer(w, "tmrRefresh")->isActive());
        QVERIFY(!cmdStart(w)->isChecked());
        QCOMPARE(cmdStart(w)->text(), QStringLiteral("Start"));
        QCOMPARE(w.playMode(), game::PlayMode::Strength);
        QCOMPARE(curTimer(w)->tag(), QStringLiteral("30"));
    }

    void strengthGameCountsEverySecond_data()
    {
        QTest::addColumn<int>("presetClicks");
        QTest::addColumn<bool>("countdownFirst");
        QTest::addColumn<QString>("total");
        // The first refresh after the start sees an empty filter window and adds nothing; every
        // later second at 6000 rpm adds 100 revolutions.
        QTest::newRow("30 s, countdown fires first") << 1 << true << "2,900 rev";
        QTest::newRow("30 s, refresh fires first") << 1 << false << "2,900 rev";
        QTest::newRow("60 s, countdown fires first") << 2 << true << "5,900 rev";
        QTest::newRow("90 s, countdown fires first") << 3 << true << "8,900 rev";
    }
    void strengthGameCountsEverySecond()
    {
        QFETCH(int, presetClicks);
        QFETCH(bool, countdownFirst);
        QFETCH(QString, total);
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::English));
        const auto restoreLocale = qScopeGuard([&before] { QLocale::setDefault(before); });
        frmMain w;
        for (int i = 0; i < presetClicks; ++i) {
            control<QPushButton>(w, "cmdStr")->click();
        }
        const int seconds = int(curTimer(w)->number());
        startGame(w, 1);
        auto *refresh = timer(w, "tmrRefresh");
        auto *countdown = timer(w, "tmrStrenght");
        // A tick of a timer that is off never arrives.
        const auto tick = [&w](QTimer *timer) {
            if (timer->isActive()) {
                QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
            }
        };
        for (int second = 1; second <= seconds; ++second) {
            feed(w, rotavex::PlayerRpm({ 6000, 0, 0, 0 }));
            tick(countdownFirst ? countdown : refresh);
            tick(countdownFirst ? refresh : countdown);
            QCOMPARE(curTimer(w)->number(), double(seconds - second));
        }
        QVERIFY(!refresh->isActive());
        QVERIFY(!countdown->isActive());
        QVERIFY(!cmdStart(w)->isChecked());
        QCOMPARE(control<TagLabel>(w, "lblRPM1")->text(), total);
        QCOMPARE(control<TagLabel>(w, "lblHI1")->text(), QStringLiteral("6000 rpm max"));
    }

    void presetCycling_data()
    {
        QTest::addColumn<int>("clicks");
        QTest::addColumn<double>("shown");
        QTest::addColumn<QString>("newTag");
        QTest::newRow("design 90, once") << 1 << 30.0 << "30";
        QTest::newRow("design 90, twice") << 2 << 60.0 << "60";
        QTest::newRow("design 90, three times") << 3 << 90.0 << "90";
        QTest::newRow("design 90, four times") << 4 << 30.0 << "30";
    }
    void presetCycling()
    {
        QFETCH(int, clicks);
        QFETCH(double, shown);
        QFETCH(QString, newTag);
        frmMain w;
        QCOMPARE(curTimer(w)->tag(), QStringLiteral("90"));
        for (int i = 0; i < clicks; ++i) {
            control<QPushButton>(w, "cmdStr")->click();
        }
        QCOMPARE(curTimer(w)->number(), shown);
        QCOMPARE(curTimer(w)->tag(), newTag);
    }

    void presetDuringCountdownJumps()
    {
        frmMain w;
        startGame(w, 1);
        w.tmrStrenght_Timer();
        QCOMPARE(curTimer(w)->number(), 89.0);
        control<QPushButton>(w, "cmdStr")->click();
        QCOMPARE(curTimer(w)->number(), 30.0);
        w.tmrStrenght_Timer();
        QCOMPARE(curTimer(w)->number(), 29.0);
    }

    void clearWhileStrengthSelected()
    {
        frmMain w;
        startGame(w, 1);
        for (int tick = 0; tick < 3; ++tick) {
            feed(w, rotavex::PlayerRpm({ 8000, 8000, 8000, 8000 }));
            w.tmrRefresh_Timer();
        }
        cmdStart(w)->click();
        auto *curSpeed = control<LedDisplay>(w, "CurSpeed");
        QCOMPARE(curSpeed->number(), 8000.0);
        QCOMPARE(control<TagLabel>(w, "lblHI2")->text(), QStringLiteral("8000 rpm max"));
        control<QPushButton>(w, "CmdClear")->click();
        QCOMPARE(curSpeed->number(), 0.0);
        for (const PlayerSlot n : kPlayers) {
            QCOMPARE(control<TagLabel>(w, named("lblHI", n))->tag(), QStringLiteral("0"));
            // The Speed reset's captions, whatever mode is selected.
            QCOMPARE(control<TagLabel>(w, named("lblHI", n))->text(), QStringLiteral("0 rpm"));
            QCOMPARE(control<TagLabel>(w, named("lblRPM", n))->text(), QStringLiteral("0 rpm"));
            QCOMPARE(control<SpeedBar>(w, named("pbar", n))->value(), 0.0);
        }
        QVERIFY(!timer(w, "tmrRefresh")->isActive());
    }

    void viewToggle()
    {
        frmMain w;
        w.resize(700, 560);
        auto *chart = control<QWidget>(w, "MSChart1");
        auto *board = control<QWidget>(w, "frBase1");
        const double outerHeight =
            twips::PixelsToTwips(w.frameGeometry().height(), w.logicalDpiY());

        control<QPushButton>(w, "CmdVisual")->click();
        QVERIFY(chart->isHidden());
        const int frameTwips = static_cast<int>(outerHeight - 420 - 525);
        QCOMPARE(w.boardGeometry().frBase1.Height, frameTwips);
        QCOMPARE(board->height(), px(w, frameTwips, Qt::Vertical));
        QCOMPARE(control<SpeedBar>(w, "pbar2")->height(), px(w, 800, Qt::Vertical));

        control<QPushButton>(w, "CmdVisual")->click();
        QVERIFY(!chart->isHidden());
        QCOMPARE(board->height(), px(w, 1845, Qt::Vertical));
        QCOMPARE(control<SpeedBar>(w, "pbar2")->height(), px(w, 280, Qt::Vertical));
        QCOMPARE(control<QWidget>(w, "lblRPM3")->y(), px(w, 1110, Qt::Vertical));
    }

    void resizeAppliesLayout_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("design size") << QSize(665, 526);
        QTest::newRow("wide") << QSize(1200, 600);
        QTest::newRow("tall") << QSize(700, 1000);
    }
    void resizeAppliesLayout()
    {
        QFETCH(QSize, size);
        frmMain w;
        w.show();
        w.resize(size);
        const double dpiX = w.logicalDpiX();
        const double dpiY = w.logicalDpiY();
        const double outerW = twips::PixelsToTwips(w.frameGeometry().width(), dpiX);
        const double outerH = twips::PixelsToTwips(w.frameGeometry().height(), dpiY);
        const auto x = [&](double t) { return twips::TwipsToPixels(t, dpiX); };
        const auto y = [&](double t) { return twips::TwipsToPixels(t, dpiY); };
        const auto at = [&](const char *name) { return control<QWidget>(w, name)->geometry(); };

        QCOMPARE(at("pc").x(), x(float(outerW - 40 - 2370)));
        QCOMPARE(at("frBase0").x(), x(float(outerW - 100 - 2385)));
        QCOMPARE(at("PctLogo").topLeft(),
            QPoint(x(float(outerW - 40 - 3600)), y(float(outerH - 420 - 3480))));
        const float board = float(outerW - 120 - 2385);
        QCOMPARE(at("frBase1").width(), x(board));
        QCOMPARE(at("lblHI4").x(), x(board - 1200 - 120));
        QCOMPARE(at("MSChart1").height(), y(float(outerH - 420 - 2415)));
        QCOMPARE(at("lblName1").x(), x(90));
    }

    void tinyWindowKeepsWorking()
    {
        frmMain w;
        w.show();
        for (const QSize size : { QSize(1, 1), QSize(30, 20), QSize(800, 600) }) {
            w.resize(size);
            QCoreApplication::processEvents();
            const QList<QWidget *> all = w.findChildren<QWidget *>();
            for (const QWidget *child : all) {
                QVERIFY2(
                    child->width() >= 0 && child->height() >= 0, qPrintable(child->objectName()));
            }
        }
        w.showMinimized();
        QCoreApplication::processEvents();
        w.showNormal();
        w.resize(800, 600);
        QCOMPARE(control<QWidget>(w, "pc")->x(),
            twips::TwipsToPixels(
                float(twips::PixelsToTwips(w.frameGeometry().width(), w.logicalDpiX()) - 2410),
                w.logicalDpiX()));
    }

    void barColourFromBgr_data()
    {
        QTest::addColumn<quint32>("bgr");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("green") << quint32(0x0000FF00) << QColor(0, 255, 0);
        QTest::newRow("red in the low byte") << quint32(0x000000FF) << QColor(255, 0, 0);
        QTest::newRow("orange") << quint32(0x000080FF) << QColor(255, 128, 0);
        QTest::newRow("blue in the high byte") << quint32(0x00FF0000) << QColor(0, 0, 255);
        QTest::newRow("top byte ignored") << quint32(0xFF102030) << QColor(0x30, 0x20, 0x10);
    }
    void barColourFromBgr()
    {
        QFETCH(quint32, bgr);
        QFETCH(QColor, colour);
        frmMain w;
        auto *bar = control<SpeedBar>(w, "pbar3");
        bar->setFillColour(bgr);
        QCOMPARE(bar->fillColour(), colour);
        // The bar paints its value in that colour from its left edge.
        bar->setValue(20000);
        bar->resize(100, 20);
        const QImage picture = bar->grab().toImage();
        QCOMPARE(picture.pixelColor(50, 15).rgb() & 0xFFFFFF, colour.rgb() & 0xFFFFFF);
    }

    void chartGaps_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QList<int>>("runLengths");
        QTest::newRow("no data") << QList<int>() << QList<int>();
        QTest::newRow("one run from row 1") << QList<int> { 1, 2, 3 } << QList<int> { 3 };
        QTest::newRow("a gap splits the line")
            << QList<int> { 1, 2, 4, 5, 6 } << QList<int> { 2, 3 };
        QTest::newRow("lone points") << QList<int> { 3, 5, 7 } << QList<int> { 1, 1, 1 };
        QTest::newRow("last row") << QList<int> { 89, 90 } << QList<int> { 2 };
    }
    void chartGaps()
    {
        QFETCH(QList<int>, rows);
        QFETCH(QList<int>, runLengths);
        frmMain w;
        auto *chart = control<PlayerChart>(w, "MSChart1");
        speed_mode::ChartTable table;
        for (int row = 1; row <= 90; ++row) {
            table.setCell(row, 1, 5000); // a full line first, to see the next data replace it
        }
        chart->setData(table);
        table.clear();
        for (const int row : rows) {
            table.setCell(row, 2, row * 100);
        }
        chart->setData(table);

        QVERIFY(chart->columnRuns(1).isEmpty());
        const QList<QList<QPointF>> runs = chart->columnRuns(2);
        QList<int> lengths;
        QList<int> shownRows;
        for (const QList<QPointF> &run : runs) {
            lengths << int(run.size());
            for (const QPointF &point : run) {
                QCOMPARE(point.y(), point.x() * 100);
                shownRows << int(point.x());
            }
        }
        QCOMPARE(lengths, runLengths);
        QCOMPARE(shownRows, rows);
    }

    // Left by its close box, the dialog still hands its edited names to the board.
    void setupShowsEditedNamesAtOnce()
    {
        frmMain w;
        bool edited = false;
        QTimer::singleShot(0, &w, [&edited] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return; // the comparisons below fail; nothing is left waiting
            }
            if (auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("txtName1"))) {
                field->setText(QStringLiteral("Zoe & <i>co</i>"));
                edited = true;
            }
            dialog->reject();
        });
        w.cmdSetup_Click();
        QVERIFY(edited);
        QCOMPARE(w.playerName()[1], QStringLiteral("Zoe & <i>co</i>"));
        QCOMPARE(control<TagLabel>(w, "lblName1")->text(), QStringLiteral("Zoe & <i>co</i>"));
        QCOMPARE(
            control<PlayerChart>(w, "MSChart1")->columnLabel(1), QStringLiteral("Zoe & <i>co</i>"));
    }

    void setupTellsWhatWasNotSaved_data()
    {
        QTest::addColumn<bool>("damaged"); // junk in the file, otherwise a folder in its place
        QTest::addColumn<QString>("said");
        QTest::newRow("settings file replaced by a folder")
            << false << "could not be saved to %1: a folder of that name";
        QTest::newRow("damaged settings file") << true << "It was copied to %1.unreadable-";
    }
    void setupTellsWhatWasNotSaved()
    {
        QFETCH(bool, damaged);
        QFETCH(QString, said);
        const QString file = settings_store::StoreFile();
        if (damaged) {
            QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write("[Properties]\nName1=Ann\n[\x01\xff junk\nName2=Bo\n");
        } else {
            QVERIFY(QDir().mkpath(file));
        }
        frmMain w;
        QString message;
        Qt::TextFormat format = Qt::AutoText;
        auto *poll = new QTimer(&w);
        connect(poll, &QTimer::timeout, &w, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *dialog = qobject_cast<QDialog *>(modal);
                dialog && !modal->inherits("QMessageBox")) {
                if (auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("txtName1"))) {
                    field->setText(QStringLiteral("Zoe"));
                }
                dialog->accept();
            } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                message = box->text();
                format = box->textFormat();
                box->accept();
                poll->stop();
            }
        });
        poll->start(5);
        QTimer::singleShot(20000, &w, [] {
            while (QWidget *modal = QApplication::activeModalWidget()) {
                modal->close();
            }
        });
        w.cmdSetup_Click();
        // (broken into lines at blanks when it is wider than a box can be)
        QVERIFY2(QString(message)
                     .replace(u'\n', u' ')
                     .contains(said.arg(QDir::toNativeSeparators(file))),
            qPrintable(message));
        QCOMPARE(format, Qt::PlainText);
        // Whatever the file did, the edited name is on the board for this run.
        QCOMPARE(w.playerName()[1], QStringLiteral("Zoe"));
        QCOMPARE(control<TagLabel>(w, "lblName1")->text(), QStringLiteral("Zoe"));
    }

    // Every Tab stop draws its focus; a control that took focus and showed nothing used to hide
    // where the keyboard was.
    void everyTabStopShowsFocus()
    {
        frmMain w;
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // Focus is drawn once the keyboard has moved it, as a user's Tab does.
        QTest::keyClick(&w, Qt::Key_Tab);
        QList<QWidget *> stops;
        for (QWidget *child : w.findChildren<QWidget *>()) {
            if (child->isVisibleTo(&w) && child->isEnabled()
                && (child->focusPolicy() & Qt::TabFocus) == Qt::TabFocus) {
                stops << child;
            }
        }
        QVERIFY(stops.size() >= 7);
        for (QWidget *stop : stops) {
            QWidget *elsewhere = stops.first() == stop ? stops.last() : stops.first();
            elsewhere->setFocus(Qt::TabFocusReason);
            const QImage unfocused = stop->grab().toImage();
            stop->setFocus(Qt::TabFocusReason);
            QVERIFY(stop->hasFocus());
            QVERIFY2(stop->grab().toImage() != unfocused,
                qPrintable(stop->objectName() + u' ' + stop->metaObject()->className() + u' '
                    + stop->parentWidget()->objectName()));
        }
    }

    // Tab used to reach "Hight Score" before the screen button to its left; now it goes as the
    // eye does, in either mode, and the ring shows where it is.
    void tabFollowsTheScreen_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("Speed: the countdown panel hidden") << 0;
        QTest::newRow("Strength: with the preset button") << 1;
    }
    void tabFollowsTheScreen()
    {
        QFETCH(int, mode);
        frmMain w;
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        control<QRadioButton>(w, named("OptMode", mode))->click();
        const QString faults = test_support::KeyboardWalkFaults(&w);
        QVERIFY2(faults.isEmpty(), qPrintable(faults));
    }

    void enterPressesFocusedButton_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("button");
        QTest::newRow("Return on Start") << int(Qt::Key_Return) << "CmdStart";
        QTest::newRow("keypad Enter on Start") << int(Qt::Key_Enter) << "CmdStart";
        QTest::newRow("Return on the Strength option") << int(Qt::Key_Return) << "OptMode1";
        QTest::newRow("Return on the preset button") << int(Qt::Key_Return) << "cmdStr";
    }
    void enterPressesFocusedButton()
    {
        QFETCH(int, key);
        QFETCH(QString, button);
        frmMain w;
        w.show();
        control<QRadioButton>(w, "OptMode1")->click(); // the preset button is on its panel
        control<QRadioButton>(w, "OptMode0")->setChecked(true);
        auto *target = control<QAbstractButton>(w, button);
        QSignalSpy clicked(target, &QAbstractButton::clicked);
        target->setFocus(Qt::TabFocusReason);
        QTest::keyClick(target, Qt::Key(key));
        QCOMPARE(clicked.count(), 1);
        if (button == QLatin1String("CmdStart")) {
            QCOMPARE(target->text(), QStringLiteral("Stop"));
        }
        QVERIFY(target->isChecked() || !target->isCheckable());
    }

    // Assistive technology finds every control of both windows by name, and the board's
    // figures as they stand.
    void accessibleNamesAndValues()
    {
        frmMain w;
        w.show();
        startGame(w, 0);
        for (int tick = 0; tick < 3; ++tick) {
            feed(w, rotavex::PlayerRpm({ 0, 7500, 0, 0 }));
            w.tmrRefresh_Timer();
        }
        frmSetup setup(w.links(), w.playerName(), &w);
        setup.show();
        for (QWidget *window : { static_cast<QWidget *>(&w), static_cast<QWidget *>(&setup) }) {
            QStringList unnamed;
            std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *node) {
                static const QList<QAccessible::Role> kControls { QAccessible::PushButton,
                    QAccessible::CheckBox, QAccessible::RadioButton, QAccessible::ComboBox,
                    QAccessible::EditableText, QAccessible::ProgressBar, QAccessible::StaticText,
                    QAccessible::Grouping, QAccessible::Chart };
                if (node->state().invisible) {
                    return;
                }
                if (kControls.contains(node->role()) && node->text(QAccessible::Name).isEmpty()) {
                    unnamed << (node->object() ? node->object()->objectName() : QString("?"));
                }
                for (int i = 0; i < node->childCount(); ++i) {
                    walk(node->child(i));
                }
            };
            walk(QAccessible::queryAccessibleInterface(window));
            QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u' ')));
        }

        const auto accessible = [&w](const char *name) {
            return QAccessible::queryAccessibleInterface(control<QWidget>(w, name));
        };
        const auto check = [&](const char *name, const QString &accessibleName,
                               const QString &value) {
            QAccessibleInterface *node = accessible(name);
            QVERIFY(node);
            QCOMPARE(node->text(QAccessible::Name), accessibleName);
            QCOMPARE(node->text(QAccessible::Value), value);
        };
        check("lblName2", "Player 2 name", "PLAYER 2");
        check("lblRPM2", "Player 2 speed", " 7500 rpm");
        check("lblHI2", "Player 2 record", "7500 rpm");
        check("pbar2", "Speed bar, player 2", "7500");
        check("CurSpeed", "Best speed", "7500");
        check("CurTimer", "Seconds left", "90");
        QCOMPARE(accessible("pbar2")->valueInterface()->currentValue().toDouble(), 7500.0);
        QCOMPARE(accessible("pbar2")->valueInterface()->maximumValue().toDouble(), 20000.0);
        QCOMPARE(accessible("CmdVisual")->text(QAccessible::Name), QStringLiteral("View Mode"));
        QCOMPARE(accessible("MSChart1")->text(QAccessible::Name), QStringLiteral("Speed chart"));
    }

    // At 320×240 the logo sat on the mode buttons, the counts on the names and buttons were cut
    // off; the window now stops shrinking where that would begin.
    void smallestWindowKeepsControlsApart()
    {
        frmMain w;
        w.show();
        const auto problems = [&w] {
            QStringList found;
            const QList<QWidget *> all = w.findChildren<QWidget *>();
            for (QWidget *a : all) {
                if (!a->isVisibleTo(&w) || a->objectName().isEmpty()
                    || !layout::DesignRect(a->objectName())) {
                    continue;
                }
                // A pixel of slack for rounding twips to pixels.
                const QRect inner = a->geometry().adjusted(1, 1, -1, -1);
                if (!a->parentWidget()->rect().contains(inner)) {
                    found << a->objectName();
                }
                for (QWidget *b : all) {
                    if (b != a && b->parentWidget() == a->parentWidget() && b->isVisibleTo(&w)
                        && layout::DesignRect(b->objectName()) && a->objectName() < b->objectName()
                        && inner.intersects(b->geometry().adjusted(1, 1, -1, -1))) {
                        found << a->objectName() + u'|' + b->objectName();
                    }
                }
            }
            return found;
        };
        w.resize(2000, 1500);
        QCoreApplication::processEvents();
        const QStringList roomy = problems();

        w.resize(1, 1);
        QCoreApplication::processEvents();
        QVERIFY(w.width() > 1 && w.height() > 1);
        QCOMPARE(w.size(), w.minimumSize());
        for (const QString &problem : problems()) {
            QVERIFY2(roomy.contains(problem), qPrintable(problem));
        }
    }

    void closeClosesOpenPorts()
    {
        TempRuntimeDir runtime;
        PtyPair first;
        PtyPair third;
        QVERIFY(first.exposeAs(runtime.portDir(), 1));
        QVERIFY(third.exposeAs(runtime.portDir(), 3));
        frmMain w;
        w.show();
        for (const PlayerSlot n : { PlayerSlot(1), PlayerSlot(3) }) {
            QCOMPARE(w.links().open(n, n), std::nullopt);
        }
        QVERIFY(w.close());
        QVERIFY(!w.links().isOpen(1));
        QVERIFY(!w.links().isOpen(3));
    }

    void quitSkipsCloseSteps()
    {
        TempRuntimeDir runtime;
        PtyPair device;
        QVERIFY(device.exposeAs(runtime.portDir(), 4));
        frmMain w;
        w.show();
        QCOMPARE(w.links().open(4, 4), std::nullopt);

        QEventLoop loop;
        QTimer::singleShot(0, control<QPushButton>(w, "cmdQuit"), &QPushButton::click);
        QCOMPARE(loop.exec(), 0);
        QVERIFY(w.isVisible());
        QVERIFY(w.links().isOpen(4));
    }

    // The name's weight and tooltip follow the link through a loss and the device's return.
    void nameFollowsLostAndReturningLink()
    {
        TempRuntimeDir runtime;
        auto device = std::make_unique<PtyPair>();
        QVERIFY(device->exposeAs(runtime.portDir(), 2));
        frmMain w;
        const auto *label = control<TagLabel>(w, "lblName2");
        const auto toolTipLine = [label] {
            QTextDocument document;
            document.setHtml(label->toolTip());
            // The name's line, then the link's (wrapped at blanks).
            return document.toPlainText().section(QLatin1Char('\n'), 1).replace(u'\n', u' ');
        };
        QCOMPARE(w.links().open(2, 2), std::nullopt);
        QVERIFY(w.nameBold(2));
        QVERIFY2(toolTipLine().startsWith(QStringLiteral("COM2 open since ")),
            qPrintable(toolTipLine()));

        device->vanish();
        QTRY_VERIFY(!w.nameBold(2));
        QVERIFY(!w.links().isOpen(2));
        const QRegularExpression lost(
            QStringLiteral("^COM2 lost at \\d\\d:\\d\\d:\\d\\d: the device disconnected\\. "
                           "Reconnecting when it returns\\.$"));
        QVERIFY2(lost.match(toolTipLine()).hasMatch(), qPrintable(toolTipLine()));

        device = std::make_unique<PtyPair>();
        QVERIFY(device->exposeAs(runtime.portDir(), 2));
        QTRY_VERIFY(w.nameBold(2));
        QVERIFY2(toolTipLine().startsWith(QStringLiteral("COM2 open since ")),
            qPrintable(toolTipLine()));
    }

    void openAtStartUp_data()
    {
        QTest::addColumn<QString>("stored"); // "" = absent
        QTest::addColumn<bool>("opens");

        QTest::newRow("absent keeps links closed") << "" << false;
        QTest::newRow("0 keeps links closed") << "0" << false;
        QTest::newRow("neither yes nor no keeps links closed") << "maybe" << false;
        QTest::newRow("1 opens the stored links") << "1" << true;
    }

    // Player 1's device is there, player 2's is not: no message, the link waits and opens
    // when the device appears. Players 3 and 4 have no port chosen and stay closed.
    void openAtStartUp()
    {
        QFETCH(QString, stored);
        QFETCH(bool, opens);

        TempRuntimeDir runtime;
        PtyPair first;
        QVERIFY(first.exposeAs(runtime.portDir(), 1));
        if (!stored.isEmpty()) {
            settings_store::WriteSetting(QStringLiteral("Rotavex"), QStringLiteral("Properties"),
                QStringLiteral("OpenAtStart"), stored);
        }
        settings_store::WritePlayerPort(1, 1);
        settings_store::WritePlayerPort(2, 2);
        settings_store::WritePlayerPort(3, 0);
        settings_store::WritePlayerPort(4, 0);
        frmMain w; // a message box here would stop the test: no one dismisses it

        QCOMPARE(w.links().isOpen(1), opens);
        QCOMPARE(w.nameBold(1), opens);
        for (const PlayerSlot n : { PlayerSlot(2), PlayerSlot(3), PlayerSlot(4) }) {
            QVERIFY(!w.links().isOpen(n));
        }
        const link_status::LinkState second = w.links().status(2).state;
        QCOMPARE(
            second, opens ? link_status::LinkState::StartFailed : link_status::LinkState::Closed);
        if (opens) {
            QTextDocument document;
            document.setHtml(control<TagLabel>(w, "lblName2")->toolTip());
            QCOMPARE(document.toPlainText().replace(u'\n', u' '),
                QStringLiteral("PLAYER 2 COM2 could not be opened at start-up: No device for "
                               "COM2: looked for "
                               "%1/COM2 and /dev/rfcomm1. Retrying.")
                    .arg(runtime.portDir()));
            // The paths and "start-up" stay whole on their lines in the tooltip as shown.
            const QString breaks = test_support::ToolTipBreaks(control<TagLabel>(w, "lblName2"));
            QVERIFY2(breaks.isEmpty(), qPrintable(breaks));
        }
        QCOMPARE(w.links().status(3).state, link_status::LinkState::Closed);

        PtyPair late;
        QVERIFY(late.exposeAs(runtime.portDir(), 2));
        if (opens) {
            QTRY_VERIFY(w.nameBold(2));
            QVERIFY(w.links().isOpen(2));
        }
    }

    void speedGameEndToEnd()
    {
        TempRuntimeDir runtime;
        PtyPair device;
        QVERIFY(device.isValid());
        QVERIFY(device.exposeAs(runtime.portDir(), 2));
        frmMain w;
        QCOMPARE(w.links().open(2, 2), std::nullopt);

        startGame(w, 0);
        // Seconds made by hand: the watchdog's own tick would mark the link unseen again.
        timer(w, "tmrTimeout")->setInterval(std::chrono::hours(1));
        for (int tick = 0; tick < 4; ++tick) {
            w.links().linkSeen()[2] = -1;
            QVERIFY(device.write(kFrame7500));
            QTRY_COMPARE(w.links().linkSeen()[2], qint16(0));
            QCOMPARE(w.links().playerRpm()[2], 7500);
            w.tmrRefresh_Timer();
        }

        QCOMPARE(control<TagLabel>(w, "lblRPM2")->text(), QStringLiteral(" 7500 rpm"));
        QCOMPARE(control<TagLabel>(w, "lblHI2")->text(), QStringLiteral("7500 rpm"));
        QCOMPARE(control<TagLabel>(w, "lblHI2")->tag(), QStringLiteral("7500"));
        QCOMPARE(control<LedDisplay>(w, "CurSpeed")->number(), 7500.0);
        auto *bar = control<SpeedBar>(w, "pbar2");
        QCOMPARE(bar->value(), 7500.0);
        QCOMPARE(bar->fillColourBgr(), quint32(0x0000FF00));
        QCOMPARE(bar->fillColour(), QColor(0, 255, 0));
        const QList<QList<QPointF>> runs = control<PlayerChart>(w, "MSChart1")->columnRuns(2);
        QVERIFY(!runs.isEmpty());
        QCOMPARE(runs.last().last().y(), 7500.0);
    }
};

QTEST_MAIN(tst_FrmMain)
#include "tst_frm_main.moc"

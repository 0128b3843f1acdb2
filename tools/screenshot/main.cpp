// SPDX-License-Identifier: MIT
// rotavex-screenshot OUTPUT.png [--ticks N] [--strength] [--board] [--display] [--scores]
//                              [--setup] [--open-failed] [--competition [--players N]]
//                              [--console] [--web] [--phone]
// Shows the main window offscreen with sample players, plays N refresh ticks of sample speeds
// and saves the window (or, with --display, the spectators' display) as a picture. Nothing is
// read from or written to the user's settings. With --web the web scoreboard serves the game on
// the loopback and a headless Chromium pictures its page (or, with --display, the display shows
// its address and QR code).
#include "announcer/announcer.h"
#include "competition/competition.h"
#include "competition/competition_host.h"
#include "competition/frm_competition.h"
#include "competition/running_competition.h"
#include "display/frm_display.h"
#include "evening/evening.h"
#include "headless_browser.h"
#include "link/player_links.h"
#include "link/port_names.h"
#include "main_window/competition_view.h"
#include "main_window/frm_main.h"
#include "main_window/web_view.h"
#include "results/results_store.h"
#include "scores/frm_score.h"
#include "settings/settings_store.h"
#include "setup/frm_setup.h"
#include "virtual_port.h"
#include "web/web_settings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace
{

// A steady, slightly wavering speed per player; player 4 drops out for a while.
qint32 sampleRpm(rotavex::PlayerSlot player, int tick)
{
    const double base[] { 11500.0, 7500.0, 4200.0, 9000.0 };
    const double wave = std::sin(tick * 0.35 + player) * 600.0;
    const double rise = std::min(1.0, (tick + 1) / 6.0);
    if (player == 4 && tick >= 14 && tick < 18) {
        return 0;
    }
    return static_cast<qint32>(base[player - 1] * rise + wave * rise);
}

// The windows drawn one over the other where they stand, as a screen would show them.
QImage composite(const QList<QWidget *> &windows)
{
    QImage picture = windows.first()->grab().toImage();
    QPainter painter(&picture);
    for (QWidget *window : windows.mid(1)) {
        painter.drawPixmap(
            window->geometry().topLeft() - windows.first()->geometry().topLeft(), window->grab());
    }
    return picture;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Saves a picture of the Rotavex board."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("output"), QStringLiteral("PNG file to write"));
    const QCommandLineOption ticks(QStringLiteral("ticks"), QStringLiteral("refresh ticks"),
        QStringLiteral("N"), QStringLiteral("30"));
    const QCommandLineOption strength(
        QStringLiteral("strength"), QStringLiteral("play a Strength game"));
    const QCommandLineOption board(
        QStringLiteral("board"), QStringLiteral("hide the chart (full-height board)"));
    const QCommandLineOption width(
        QStringLiteral("width"), QStringLiteral("window width (px)"), QStringLiteral("PX"));
    const QCommandLineOption height(
        QStringLiteral("height"), QStringLiteral("window height (px)"), QStringLiteral("PX"));
    const QCommandLineOption display(QStringLiteral("display"),
        QStringLiteral("save the spectators' display (1920x1080 unless sized); a Strength game "
                       "that runs out shows its result"));
    const QCommandLineOption scores(QStringLiteral("scores"),
        QStringLiteral("play a few sample games and picture the high-score window instead"));
    const QCommandLineOption setup(QStringLiteral("setup"),
        QStringLiteral("picture the Setup dialog with the sample links open"));
    const QCommandLineOption openFailed(QStringLiteral("open-failed"),
        QStringLiteral("picture the message of an Open without a device, over Setup"));
    const QCommandLineOption competition(QStringLiteral("competition"),
        QStringLiteral("play the first round of a sample competition of ten and picture the "
                       "spectators' display with the next heat and the standings"));
    const QCommandLineOption webPage(QStringLiteral("web"),
        QStringLiteral("serve the game on the loopback and picture the web page in Chromium "
                       "(1920x1080 unless sized); with --display, the display with the address"));
    const QCommandLineOption phone(
        QStringLiteral("phone"), QStringLiteral("with --web: a portrait phone, 390x844"));
    const QCommandLineOption players(QStringLiteral("players"),
        QStringLiteral("with --competition or --console: the roster's size (ten by default)"),
        QStringLiteral("N"), QStringLiteral("10"));
    const QCommandLineOption console(QStringLiteral("console"),
        QStringLiteral("as --competition, but picture the Competition window with its heat "
                       "console"));
    parser.addOptions({ ticks, strength, board, width, height, display, scores, setup, openFailed,
        competition, players, console, webPage, phone });
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        parser.showHelp(1);
    }

    // Sample names must not come from, or land in, the user's own settings, and the sample
    // devices must not meet the user's own ports.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QTemporaryDir runtimeDir;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    const QStringList names { QStringLiteral("Anna"), QStringLiteral("Ben"),
        QStringLiteral("Chloé"), QStringLiteral("David") };
    for (rotavex::PlayerSlot n = 1; n <= 4; ++n) {
        settings_store::WritePlayerName(n, names[n - 1]);
    }
    if (parser.isSet(webPage)) {
        web::WriteWebSettings({ true, 18080, false });
    }

    // Sample games go to a results file of their own, never the user's.
    QTemporaryDir resultsDir;
    results::ResultsStore results(resultsDir.path());
    evening::Evening evening(&results);
    frmMain window(evening);
    // As the program has it, so the pictures show the Sound button; it stays silent here.
    announcer::Announcer announcer(evening);
    window.hearWith(announcer);
    const bool organising = parser.isSet(competition) || parser.isSet(console);
    if (!parser.isSet(display) && !organising && !parser.isSet(webPage)
        && (parser.isSet(width) || parser.isSet(height))) {
        window.resize(
            parser.value(width).toInt() > 0 ? parser.value(width).toInt() : window.width(),
            parser.value(height).toInt() > 0 ? parser.value(height).toInt() : window.height());
    }
    window.show();
    // Players 1, 2 and 4 have their links open (bold names); player 3's is closed.
    QDir().mkpath(port_names::VirtualPortDir());
    std::vector<std::unique_ptr<VirtualPort>> devices;
    for (const rotavex::PlayerSlot n : { 1, 2, 4 }) {
        QString error;
        auto device = VirtualPort::create(n, port_names::VirtualPortDir(), &error);
        if (!device || window.links().open(n, n)) {
            QTextStream(stderr) << "could not open a sample link for player " << n << ": " << error
                                << '\n';
            return 1;
        }
        devices.push_back(std::move(device));
    }

    const auto click = [&window](const char *name) {
        if (auto *button = window.findChild<QAbstractButton *>(QLatin1String(name))) {
            button->click();
        }
    };
    // The web page as Chromium shows it, once it shows the game's (or the heat's) names.
    const auto savePage = [&](const QString &output) {
        const QSize size = parser.isSet(phone)
            ? QSize(390, 844)
            : QSize(parser.value(width).toInt() > 0 ? parser.value(width).toInt() : 1920,
                parser.value(height).toInt() > 0 ? parser.value(height).toInt() : 1080);
        HeadlessBrowser browser(size, parser.isSet(phone));
        const auto shows = [&] {
            return browser.evaluate(QStringLiteral("document.body.textContent"))
                .toString()
                .contains(names[1]);
        };
        for (int i = 0; i < 100 && window.web().address().isEmpty(); ++i) {
            QTest::qWait(50);
        }
        if (!browser.open(QUrl(window.web().address())) || !QTest::qWaitFor(shows, 10000)) {
            QTextStream(stderr) << "the web page did not show: " << browser.error() << '\n';
            return false;
        }
        QTest::qWait(300); // the last message drawn
        QFile file(output);
        if (!file.open(QIODevice::WriteOnly) || file.write(browser.screenshot()) <= 0) {
            QTextStream(stderr) << "could not write " << output << '\n';
            return false;
        }
        QTextStream(stdout) << output << '\n';
        return true;
    };
    if (parser.isSet(scores)) {
        click("cmdStr"); // Strength games of 30 s
        for (int game = 0; game < 6; ++game) {
            const bool strengthGame = game % 2 == 1;
            click(strengthGame ? "OptMode1" : "OptMode0");
            click("CmdStart");
            const double form = 0.8 + 0.06 * ((game * 5) % 7);
            for (int tick = 0; tick < (strengthGame ? 30 : 25); ++tick) {
                for (rotavex::PlayerSlot n = 1; n <= 4; ++n) {
                    window.links().storeSample(
                        n, static_cast<qint32>(sampleRpm(n, tick + 3 * game) * form));
                }
                window.tmrRefresh_Timer();
                if (strengthGame) {
                    window.tmrStrenght_Timer();
                }
            }
            if (!strengthGame) {
                click("CmdStart");
            }
        }
        click("CmdScore");
        frmScore *board = window.scoreWindow();
        board->resize(1000, 640); // the size it opens with
        QApplication::processEvents();
        const QString output = parser.positionalArguments().constFirst();
        if (!board->grab().save(output, "PNG")) {
            QTextStream(stderr) << "could not write " << output << '\n';
            return 1;
        }
        QTextStream(stdout) << output << '\n';
        return 0;
    }
    if (organising) {
        QString error;
        auto third = VirtualPort::create(3, port_names::VirtualPortDir(), &error);
        if (!third || window.links().open(3, 3)) {
            QTextStream(stderr) << "could not open a sample link for player 3: " << error << '\n';
            return 1;
        }
        // The sample heats play at once, on whichever sample links there are, without asking.
        window.clock().setCountIn(false, false);
        window.competitionView().setHeatStartQuestion([](QWidget *, const QString &, bool) {
            return main_window::CompetitionView::HeatStartAnswer::StartWithLinked;
        });
        click("CmdDisplay");
        click("CmdCompetition");
        frmCompetition *organiser = window.competitionWindow();
        organiser->findChild<QLineEdit *>(QStringLiteral("txtCompetitionName"))
            ->setText(QStringLiteral("Friday cup"));
        organiser->findChild<QComboBox *>(QStringLiteral("cboSeconds"))->setCurrentIndex(0);
        organiser->findChild<QSpinBox *>(QStringLiteral("spnRounds"))->setValue(3);
        QStringList roster { "Anna", "Ben", "Chloé", "David", "Emre", "Fatima", "Greta", "Hiroshi",
            "Ingrid", "Jonas" };
        for (int n = int(roster.size()); n < parser.value(players).toInt(); ++n) {
            roster.append(QStringLiteral("Player %1").arg(n + 1));
        }
        roster = roster.mid(0, std::max(1, parser.value(players).toInt()));
        organiser->findChild<QPlainTextEdit *>(QStringLiteral("txtRoster"))
            ->setPlainText(roster.join(u'\n'));
        organiser->createCompetition();
        // Round 1 from the heat console, every player at a form of their own.
        auto *startHeat = organiser->findChild<QPushButton *>(QStringLiteral("cmdStartHeat"));
        for (std::optional<int> heat = competition::NextHeat(*organiser->model().current());
             heat && organiser->model().current()->heats[*heat].round == 1;
             heat = competition::NextHeat(*organiser->model().current())) {
            organiser->callNextHeat();
            const competition::Heat seats = organiser->model().current()->heats[*heat];
            startHeat->click();
            for (int tick = 0; tick < 40 && window.session().snapshot().running; ++tick) {
                for (rotavex::PlayerSlot n = 1; n <= 4; ++n) {
                    const int id = seats.seats[std::size_t(n - 1)];
                    const double form = 0.7 + 0.05 * ((id * 7) % 9);
                    window.links().storeSample(n, static_cast<qint32>(sampleRpm(n, tick) * form));
                }
                window.tmrRefresh_Timer();
                window.tmrStrenght_Timer();
            }
        }
        organiser->callNextHeat();
        if (parser.isSet(webPage)) {
            return savePage(parser.positionalArguments().constFirst()) ? 0 : 1;
        }
        QWidget *shown = organiser;
        if (parser.isSet(competition)) {
            shown = window.display();
            shown->resize(parser.value(width).toInt() > 0 ? parser.value(width).toInt() : 1920,
                parser.value(height).toInt() > 0 ? parser.value(height).toInt() : 1080);
        }
        QApplication::processEvents();
        const QString output = parser.positionalArguments().constFirst();
        if (!shown->grab().save(output, "PNG")) {
            QTextStream(stderr) << "could not write " << output << '\n';
            return 1;
        }
        QTextStream(stdout) << output << '\n';
        return 0;
    }
    if (parser.isSet(setup) || parser.isSet(openFailed)) {
        frmSetup dialog(window.links(), window.playerName(), &window);
        dialog.show();
        QApplication::processEvents();
        const QString output = parser.positionalArguments().constFirst();
        QImage picture = dialog.grab().toImage();
        if (parser.isSet(openFailed)) {
            // Player 3 opens COM5, where no device is: the message comes up over the dialog.
            QTimer::singleShot(200, &dialog, [&] {
                if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                    picture = composite({ &window, &dialog, box });
                    box->accept();
                }
            });
            dialog.findChild<QComboBox *>(QStringLiteral("cboPort3"))->setCurrentIndex(4);
            dialog.findChild<QPushButton *>(QStringLiteral("cmdOpen3"))->click();
        }
        if (!picture.save(output, "PNG")) {
            QTextStream(stderr) << "could not write " << output << '\n';
            return 1;
        }
        QTextStream(stdout) << output << '\n';
        return 0;
    }
    if (parser.isSet(board)) {
        click("CmdVisual");
    }
    QWidget *shown = &window;
    if (parser.isSet(display)) {
        click("CmdDisplay");
        shown = window.display();
        shown->resize(parser.value(width).toInt() > 0 ? parser.value(width).toInt() : 1920,
            parser.value(height).toInt() > 0 ? parser.value(height).toInt() : 1080);
    }
    click(parser.isSet(strength) ? "OptMode1" : "OptMode0");
    click("CmdStart");
    const int tickCount = parser.value(ticks).toInt();
    for (int tick = 0; tick < tickCount; ++tick) {
        for (rotavex::PlayerSlot n = 1; n <= 4; ++n) {
            window.links().storeSample(n, sampleRpm(n, tick));
        }
        window.tmrRefresh_Timer();
        if (parser.isSet(strength)) {
            window.tmrStrenght_Timer();
            // A countdown that has run out ends the game: no more ticks.
            if (!window.findChild<QAbstractButton *>(QStringLiteral("CmdStart"))->isChecked()) {
                break;
            }
        }
    }
    QApplication::processEvents();

    const QString output = parser.positionalArguments().constFirst();
    if (parser.isSet(webPage) && !parser.isSet(display)) {
        return savePage(output) ? 0 : 1;
    }
    if (parser.isSet(webPage)) {
        for (int i = 0; i < 100 && window.web().address().isEmpty(); ++i) {
            QTest::qWait(50);
        }
    }
    if (!shown->grab().save(output, "PNG")) {
        QTextStream(stderr) << "could not write " << output << '\n';
        return 1;
    }
    QTextStream(stdout) << output << '\n';
    return 0;
}

// SPDX-License-Identifier: MIT
#include "announcer/announcer.h"
#include "evening/evening.h"
#include "main_window/board_art.h"
#include "main_window/font_warm_up.h"
#include "main_window/frm_main.h"
#include "main_window/stop_signals.h"
#include "results/export_command.h"
#include "results/results_store.h"
#include "version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTextStream>

namespace
{

// The export and the help run without a display, so they are recognised before any
// application object exists: only a GUI application needs one.
bool runsWithoutWindow(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--export-results" || arg.startsWith("--export-results=") || arg == "-h"
            || arg == "--help" || arg == "--help-all" || arg == "-v" || arg == "--version") {
            return true;
        }
    }
    return false;
}

void describe(QCommandLineParser &parser, const QList<QCommandLineOption> &options)
{
    parser.setApplicationDescription(QStringLiteral(
        "Live scoreboard for up to four players' spinning devices.\n"
        "Without options it opens the scoreboard window. Recorded games are kept in "
        "results.sqlite in the per-user data folder.\n"
        "Exit status of --export-results: 0 when every game was written, 1 when the results "
        "file could not be read, the target is the results file itself or could not be "
        "written (the message names the reason)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions(options);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Rotavex"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(rotavex::kVersionText));
    const QCommandLineOption exportOption(QStringLiteral("export-results"),
        QStringLiteral("Write every recorded game as CSV (UTF-8, one line per player) to FILE, "
                       "or to standard output when FILE is -, and exit without a window. A "
                       "device, FIFO or terminal is written straight through, never replaced. "
                       "Names that a spreadsheet would run as a formula (beginning with =, +, "
                       "-, @, a tab or a carriage return) get a leading apostrophe."),
        QStringLiteral("FILE"));
    const QCommandLineOption rawOption(QStringLiteral("raw"),
        QStringLiteral("With --export-results: write names exactly as typed, without the "
                       "apostrophe before a formula."));

    if (runsWithoutWindow(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCommandLineParser parser;
        describe(parser, { exportOption, rawOption });
        parser.process(app);
        QTextStream errors(stderr);
        return int(results::ExportResults(results::ResultsStore::defaultFolder(),
            parser.value(exportOption), errors,
            parser.isSet(rawOption) ? results::CsvText::Raw : results::CsvText::SpreadsheetSafe));
    }

    main_window::FontWarmUp fonts;
    QApplication app(argc, argv);
    // From here on a stop signal waits for the event loop instead of killing the program.
    main_window::StopSignals stopSignals;
    QCommandLineParser parser;
    describe(parser, { exportOption, rawOption });
    parser.process(app);
    // Lets desktops match the window to the installed launcher and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.rotavex.Rotavex"));
    // Opened once the window has its first picture, which shows nothing of the file.
    results::ResultsStore results(results::ResultsStore::defaultFolder(),
        results::ResultsStore::Access::ReadWrite, results::ResultsStore::Opening::Deferred);
    // The board's pictures are drawn beside the fonts being read; the window then only takes them.
    const QScreen *screen = QGuiApplication::primaryScreen();
    const main_window::BoardArt art(screen ? screen->devicePixelRatio() : 1.0);
    // The evening (links, game, recorder, competition, web page) outlives every window on it.
    evening::Evening evening(&results);
    fonts.wait();
    // The evening heard; it opens nothing until there is something to play.
    announcer::Announcer announcer(evening);
    frmMain window(evening, &art);
    window.hearWith(announcer);
    QObject::connect(
        &stopSignals, &main_window::StopSignals::received, &window, &frmMain::endBySignal);
    window.show();
    return app.exec();
}

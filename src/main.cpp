// SPDX-License-Identifier: MIT
#include "main_window/frm_main.h"
#include "results/export_command.h"
#include "results/results_store.h"
#include "version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>

#include <memory>

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

void describe(QCommandLineParser &parser, const QCommandLineOption &exportOption)
{
    parser.setApplicationDescription(
        QStringLiteral("Live scoreboard for up to four players' spinning devices.\n"
                       "Without options it opens the scoreboard window. Recorded games are kept "
                       "in results.sqlite in the per-user data folder."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(exportOption);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Rotavex"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(rotavex::kVersionText));
    const QCommandLineOption exportOption(QStringLiteral("export-results"),
        QStringLiteral("Write every recorded game as CSV (UTF-8, one line per player) to FILE, "
                       "or to standard output when FILE is -, and exit without a window."),
        QStringLiteral("FILE"));

    if (runsWithoutWindow(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCommandLineParser parser;
        describe(parser, exportOption);
        parser.process(app);
        QTextStream errors(stderr);
        return results::ExportResults(
            results::ResultsStore::defaultFolder(), parser.value(exportOption), errors);
    }

    QApplication app(argc, argv);
    QCommandLineParser parser;
    describe(parser, exportOption);
    parser.process(app);
    // Lets desktops match the window to the installed launcher and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.rotavex.Rotavex"));
    results::ResultsStore results(results::ResultsStore::defaultFolder());
    frmMain window(nullptr, &results);
    window.show();
    return app.exec();
}

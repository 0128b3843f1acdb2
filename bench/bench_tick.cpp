// SPDX-License-Identifier: MIT
// One refresh tick of the real main window (offscreen): the mode update with every widget
// write and the chart handover, and the same tick followed by the repaint it causes.
#include "display/frm_display.h"
#include "link/player_links.h"
#include "main_window/frm_main.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace
{

// Four players at steady speeds in different colour bands, so every tick is accepted and
// writes the whole board, records included.
const rotavex::PlayerRpm kSteady { { 7500, 12000, 3000, 16000 } };

// The steady samples, stored as the links store decoded frames.
void feed(frmMain &window)
{
    for (rotavex::PlayerSlot p = 1; p <= 4; ++p) {
        window.links().storeSample(p, kSteady[p]);
    }
}

// A main window in the middle of a game of the given mode (0 Speed, 1 Strength), shown, with
// its filters settled on the steady samples.
void startGame(frmMain &window, int mode)
{
    window.show();
    QCoreApplication::processEvents();
    window.findChild<QRadioButton *>(QStringLiteral("OptMode%1").arg(mode))->click();
    window.findChild<QPushButton *>(QStringLiteral("CmdStart"))->click();
    for (int i = 0; i < 5; ++i) {
        feed(window);
        window.tmrRefresh_Timer();
    }
    QCoreApplication::processEvents();
}

// With `display`, the spectators' display is open at 1920×1080 and repainted with the board.
void tick(benchmark::State &state, int mode, bool repaint, bool display = false)
{
    frmMain window;
    if (display) {
        window.findChild<QPushButton *>(QStringLiteral("CmdDisplay"))->click();
        window.display()->resize(1920, 1080);
    }
    startGame(window, mode);
    for (auto _ : state) {
        feed(window);
        window.tmrRefresh_Timer();
        if (repaint) {
            window.repaint();
            if (display) {
                // The display repaints what the tick changed, as the event loop would have it.
                QCoreApplication::sendPostedEvents(window.display(), QEvent::UpdateRequest);
            }
        }
    }
    benchmark::DoNotOptimize(window.links().playerRpm());
}

void BM_SpeedRefreshTick(benchmark::State &state) { tick(state, 0, false); }
void BM_StrengthRefreshTick(benchmark::State &state) { tick(state, 1, false); }
void BM_SpeedRefreshTickAndPaint(benchmark::State &state) { tick(state, 0, true); }
void BM_StrengthRefreshTickAndPaint(benchmark::State &state) { tick(state, 1, true); }
void BM_SpeedRefreshTickWithDisplay(benchmark::State &state) { tick(state, 0, false, true); }
void BM_StrengthRefreshTickWithDisplay(benchmark::State &state) { tick(state, 1, false, true); }
void BM_SpeedRefreshTickAndPaintWithDisplay(benchmark::State &state) { tick(state, 0, true, true); }
void BM_StrengthRefreshTickAndPaintWithDisplay(benchmark::State &state)
{
    tick(state, 1, true, true);
}

} // namespace

BENCHMARK(BM_SpeedRefreshTick);
BENCHMARK(BM_StrengthRefreshTick);
BENCHMARK(BM_SpeedRefreshTickAndPaint);
BENCHMARK(BM_StrengthRefreshTickAndPaint);
BENCHMARK(BM_SpeedRefreshTickWithDisplay);
BENCHMARK(BM_StrengthRefreshTickWithDisplay);
BENCHMARK(BM_SpeedRefreshTickAndPaintWithDisplay);
BENCHMARK(BM_StrengthRefreshTickAndPaintWithDisplay);

int main(int argc, char *argv[])
{
    // Widgets need a platform; the offscreen one paints into memory like a hidden screen.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

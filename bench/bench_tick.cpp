// SPDX-License-Identifier: MIT
// One refresh tick of the real main window (offscreen): the mode update with every widget
// write and the chart handover, and the same tick followed by the repaint it causes.
#include "display/frm_display.h"
#include "game/countdown.h"
#include "link/player_links.h"
#include "main_window/frm_main.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace
{

// Four players at steady speeds in different colour bands, so every tick is accepted and
// writes the whole board, records included.
const rotavex::PlayerRpm kSteady { { 7500, 12000, 3000, 16000 } };

// Refresh ticks that settle the players' filters before a benchmark's ticks are timed.
constexpr int kSettlingTicks = 5;

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
    for (int i = 0; i < kSettlingTicks; ++i) {
        feed(window);
        window.tmrRefresh_Timer();
    }
    QCoreApplication::processEvents();
}

// Untimed: a Strength game's countdown runs out, as it does after at most 90 s, and the next
// game starts from no revolutions.
void playNextStrengthGame(frmMain &window)
{
    while (window.session().snapshot().running) {
        window.tmrStrenght_Timer();
    }
    window.findChild<QPushButton *>(QStringLiteral("CmdStart"))->click();
}

// With `display`, the spectators' display is open at 1920×1080 and repainted with the board.
// A Strength game gets as many refresh ticks as its countdown has seconds (the board's first
// preset, the longest), so its revolution counts grow as large as a real game's, and no larger;
// a Speed game has no end.
void tick(benchmark::State &state, int mode, bool repaint, bool display = false)
{
    frmMain window;
    if (display) {
        window.findChild<QPushButton *>(QStringLiteral("CmdDisplay"))->click();
        window.display()->resize(1920, 1080);
    }
    startGame(window, mode);
    int refreshes = kSettlingTicks;
    for (auto _ : state) {
        if (mode == 1 && refreshes == game::kFirstPresetSeconds) {
            state.PauseTiming();
            playNextStrengthGame(window);
            refreshes = 0;
            state.ResumeTiming();
        }
        ++refreshes;
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

// Two moments of a Speed game a second apart: every speed and bar differs, records and names
// stay.
game::Snapshot speedGame(qint32 offset)
{
    game::Snapshot snapshot;
    snapshot.mode = game::PlayMode::Speed;
    snapshot.running = true;
    snapshot.reading = game::Reading::Speed;
    for (rotavex::PlayerSlot p = 1; p <= 4; ++p) {
        game::PlayerSnapshot &player = snapshot.players[p];
        player.name = QStringLiteral("Player %1").arg(p);
        player.rpm = kSteady[p] + offset * p;
        player.record = kSteady[p] + 500;
        player.bar = player.rpm;
        player.barColour = 0x0000C000;
        player.participating = true;
        snapshot.topRpm = std::max(snapshot.topRpm, *player.record);
    }
    return snapshot;
}

enum class Frame { Unchanged, Layout, LayoutAndPaint, WholeRepaint };

// One frame of the spectators' display alone (shown, 1920×1080): the values of the next tick
// laid out, and the part they changed painted as the event loop would; or the whole window
// painted again, as an expose does.
void displayFrame(benchmark::State &state, Frame frame)
{
    frmDisplay display;
    display.resize(1920, 1080);
    display.show();
    const std::array<game::Snapshot, 2> ticks { speedGame(0), speedGame(37) };
    display.showState(evening::StateFrom(ticks[0]));
    QCoreApplication::processEvents();
    std::size_t next = 1;
    for (auto _ : state) {
        if (frame == Frame::WholeRepaint) {
            display.repaint();
            continue;
        }
        display.showState(evening::StateFrom(ticks[frame == Frame::Unchanged ? 0 : next]));
        next = 1 - next;
        if (frame == Frame::LayoutAndPaint) {
            QCoreApplication::sendPostedEvents(&display, QEvent::UpdateRequest);
        }
    }
}

void BM_DisplayFrameUnchanged(benchmark::State &state) { displayFrame(state, Frame::Unchanged); }
void BM_DisplayFrameLayout(benchmark::State &state) { displayFrame(state, Frame::Layout); }
void BM_DisplayFrameLayoutAndPaint(benchmark::State &state)
{
    displayFrame(state, Frame::LayoutAndPaint);
}
void BM_DisplayFrameWholeRepaint(benchmark::State &state)
{
    displayFrame(state, Frame::WholeRepaint);
}

} // namespace

BENCHMARK(BM_DisplayFrameUnchanged);
BENCHMARK(BM_DisplayFrameLayout);
BENCHMARK(BM_DisplayFrameLayoutAndPaint);
BENCHMARK(BM_DisplayFrameWholeRepaint);
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

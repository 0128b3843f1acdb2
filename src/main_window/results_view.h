// SPDX-License-Identifier: MIT
#pragma once

#include "results/game_recorder.h"
#include "shared/player_tables.h"

#include <QPointer>

#include <memory>

class QWidget;
class frmScore;

namespace results
{
class ResultsStore;
} // namespace results

namespace widgets
{
class TagLabel;
} // namespace widgets

namespace main_window
{

using widgets::TagLabel;

/// What the main window shows of the results file: each ended game recorded (a new best marked
/// on the record label's tooltip), the high-score window, and any notice about the file.
class ResultsView
{
public:
    /// `store` may be nullptr: nothing is recorded and the high-score window never opens.
    /// Games that waited and were written later, or news about the file, reach the user too.
    ResultsView(results::ResultsStore *store, QWidget &window,
        const rotavex::PerPlayer<TagLabel *> &recordLabels);
    ~ResultsView();

    /// Records the game and marks its new bests; the open high-score window shows it. Returns
    /// the game as recorded, with its id (0 when there is no results file).
    results::GameRecord record(const results::GameRecord &game);
    /// The results file the games go to; nullptr without one.
    results::ResultsStore *store() const { return m_store; }
    /// Opens the high-score window, or brings it up to date and to the front.
    void showScores();
    frmScore *scoreWindow() const { return m_score.data(); }
    /// Tells the user, once and without blocking the board, what went wrong with the file (or
    /// with the settings file).
    void showNotice();
    /// Whether the program may end now: asks when games wait to be written.
    bool mayEnd();

private:
    results::ResultsStore *m_store;
    QWidget &m_window;
    rotavex::PerPlayer<TagLabel *> m_recordLabels;
    std::unique_ptr<results::GameRecorder> m_recorder;
    QPointer<frmScore> m_score;
};

} // namespace main_window

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

/// What the main window shows of the results file: the recorder's new bests marked on the
/// record labels' tooltips, each recorded game in the open high-score window, and any notice
/// about the file.
class ResultsView
{
public:
    /// `store` may be nullptr: nothing is recorded and the high-score window never opens.
    /// Games that waited and were written later, or news about the file, reach the user too.
    ResultsView(results::ResultsStore *store, const results::GameRecorder &recorder,
        QWidget &window, const rotavex::PerPlayer<TagLabel *> &recordLabels);
    ~ResultsView();

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
    void markNewBest(const results::GameRecorder::NewBest &best);
    void recorded(const results::GameRecord &game);

    results::ResultsStore *m_store;
    QWidget &m_window;
    rotavex::PerPlayer<TagLabel *> m_recordLabels;
    QPointer<frmScore> m_score;
};

} // namespace main_window

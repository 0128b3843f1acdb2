// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
class frmCompetition;
class frmDisplay;

namespace evening
{
class Evening;
} // namespace evening

namespace main_window
{

/// The windows' side of the evening's competition: the Competition window (made when first
/// opened, beside the board), its heat console playing the called heat through the clock as
/// the board's Start does, and the spectators' display's picture between heats.
class CompetitionView : public QObject
{
    Q_OBJECT
public:
    /// `evening` and `window` (the board) must outlive the view.
    CompetitionView(evening::Evening &evening, QWidget &window);

    /// Opens (or raises) the Competition window.
    void open();
    /// The Competition window, nullptr until first opened.
    frmCompetition *window() const { return m_window.data(); }
    /// The spectators' display shows the competition between heats from now on.
    void attach(frmDisplay *display);

Q_SIGNALS:
    /// The heat console asks for the board's Setup, or for the spectators' display.
    void setupRequested();
    void displayRequested();
    /// The Competition window was made (it is opened once and kept).
    void windowMade(QWidget *window);

private:
    /// The heat console shows the competition's heat of the moment and whether it plays.
    void showConsole();

    evening::Evening &m_evening;
    QWidget &m_board;
    QPointer<frmCompetition> m_window;
};

} // namespace main_window

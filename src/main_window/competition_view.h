// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

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

    /// What the organiser chose when a heat's players have no open link.
    enum class HeatStartAnswer { OpenLinks, StartWithLinked, Cancel };
    /// Asks `text`; `canStartWithLinked` is false when nobody seated is linked. Defaults to a
    /// message box.
    using HeatStartQuestion = std::function<HeatStartAnswer(
        QWidget *parent, const QString &text, bool canStartWithLinked)>;
    void setHeatStartQuestion(HeatStartQuestion ask) { m_ask = std::move(ask); }
    /// Whether the called heat may start now: yes when every seated player's link is open;
    /// otherwise the organiser is asked, and may have the links opened (then the heat waits
    /// for the next Start) or start with those who are linked. Always yes without a heat.
    bool mayStartHeat();

    /// Opens (or raises) the Competition window.
    void open();
    /// The Competition window, nullptr until first opened.
    frmCompetition *window() const { return m_window.data(); }

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
    HeatStartQuestion m_ask;
    QPointer<frmCompetition> m_window;
};

} // namespace main_window

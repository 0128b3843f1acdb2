// SPDX-License-Identifier: MIT
#pragma once

#include "display/scoreboard.h"
#include "measurement/board.h"

#include <QCache>
#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <vector>

class QCloseEvent;
class QKeyEvent;
class QMouseEvent;
class QPaintEvent;
class QPainter;

/// The spectators' display: a second top-level window that shows the game large enough to be
/// read across a room. It is a board the play modes write to (through the main window's
/// forwarding board), so it shows the same values as the board; it keeps no measurement of
/// its own. F11 or a double-click toggles full screen, Esc leaves it.
class frmDisplay : public QWidget, public speed_mode::Board
{
    Q_OBJECT
public:
    explicit frmDisplay(QWidget *parent = nullptr);

    void setNameCaption(rotavex::PlayerSlot player, const QString &text) override;
    void setSpeedCaption(rotavex::PlayerSlot player, const QString &text) override;
    /// The record is shown from its tag; the caption repeats it and is not needed.
    void setRecordCaption(rotavex::PlayerSlot player, const QString &text) override;
    QString recordTag(rotavex::PlayerSlot player) const override;
    void setRecordTag(rotavex::PlayerSlot player, const QString &text) override;
    void setBarValue(rotavex::PlayerSlot player, double value) override;
    double barValue(rotavex::PlayerSlot player) const override;
    void setBarColour(rotavex::PlayerSlot player, quint32 bgr) override;
    double bigDisplayValue() const override;
    void setBigDisplayValue(qint32 value) override;
    /// The display has no chart: chart data and labels are dropped.
    void setChartData(const speed_mode::ChartTable &table) override;
    void setChartColumnLabel(int column, const QString &label) override;

    /// Takes over what `board` holds now (records, bars and their colours, the best rpm of
    /// all) and the names, for a display that opens in the middle of a game.
    void showBoard(const speed_mode::Board &board, const rotavex::PlayerName &names);

    /// Shows the window on the screen and in the state remembered from the last time; a new
    /// display goes to a screen other than `mainWindowScreen` when there is one.
    void open(int mainWindowScreen);
    /// Full screen on the screen the window is on, or back to an ordinary window.
    void toggleFullScreen();

    const scoreboard::Shown &shown() const { return m_shown; }

    /// One text as it is drawn: the font fitted to its area, the text after elision.
    struct DrawnText {
        scoreboard::TextItem item;
        QFont font;
        QString text;
    };
    /// Every text of the current picture, in drawing order.
    std::vector<DrawnText> drawnTexts() const;

public Q_SLOTS:
    /// A game starts in `mode`: any result shown goes away.
    void startGame(game_control::PlayMode mode);
    void showCountdown(int seconds);
    /// The Strength countdown has run out: ranks the players by what is shown now.
    void showRanking();
    /// Start or Clear: back to the players' rows.
    void clearRanking();

Q_SIGNALS:
    /// The window was closed by the user or by the program.
    void closed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // A text drawn once into a picture; offset is where its top left lies from the origin of
    // the baseline.
    struct RenderedText {
        QPixmap pixmap;
        QPoint offset;
    };

    std::vector<DrawnText> fitTexts(const scoreboard::Scene &scene) const;
    void drawText(QPainter &painter, const DrawnText &drawn) const;
    const RenderedText &rendered(const QString &text, const QFont &font, quint32 colour) const;
    void rememberPlacement() const;

    scoreboard::Shown m_shown;
    // Pictures of texts by font, colour and text; cost in KiB, at most 32 MiB.
    mutable QCache<QString, RenderedText> m_rendered { 32 * 1024 };
    mutable RenderedText m_uncached;
};

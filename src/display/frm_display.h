// SPDX-License-Identifier: MIT
#pragma once

#include "display/display_picture.h"
#include "display/scoreboard.h"
#include "evening/scoreboard_state.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

class QCloseEvent;
class QContextMenuEvent;
class QKeyEvent;
class QMouseEvent;
class QPaintEvent;
class QResizeEvent;

namespace widgets
{
class RememberedPlace;
}

/// The spectators' display: a second top-level window that shows the game large enough to be
/// read across a room. It paints the evening's published scoreboard state and keeps no
/// measurement of its own. F11 or a double-click toggles full screen, Esc leaves it.
class frmDisplay : public QWidget
{
    Q_OBJECT
public:
    explicit frmDisplay(QWidget *parent = nullptr);

    /// Shows the window on the screen, at the place and in the state remembered from the last
    /// time, fully inside the screen; a new display goes to a screen other than
    /// `mainWindowScreen` when there is one.
    void open(int mainWindowScreen);
    /// Full screen on the screen the window is on, or back to an ordinary window.
    void toggleFullScreen();

    const evening::ScoreboardState &state() const { return m_state; }

    /// One text as it is drawn: the font fitted to its area, the text after elision.
    using DrawnText = display::DrawnText;
    /// Every text of the current picture, in drawing order.
    std::vector<DrawnText> drawnTexts() const;

public Q_SLOTS:
    /// Shows `state`: the players' rows, or the result once a Strength countdown has run out
    /// (until the next Start or Clear); between the heats of a competition the heat, the heat
    /// on deck and the standings.
    void showState(const evening::ScoreboardState &state);
    /// Shows the next page of standings too long for one picture, after the last the first;
    /// called every few seconds while the window is up.
    void turnPage();
    /// The web scoreboard's address, shown in a strip on the right under `code` (its QR code,
    /// one pixel a module with its quiet zone) so phones join by camera; "" shows none.
    void showWebAddress(const QString &address, const QImage &code);
    /// The web scoreboard's set-up as the window's menu offers to change it.
    void setWebChoices(bool on, bool allInterfaces, quint16 port);

Q_SIGNALS:
    /// The window was closed by the user or by the program.
    void closed();
    /// The user chose a new set-up of the web scoreboard from the window's menu.
    void webChoicesMade(bool on, bool allInterfaces, quint16 port);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    scoreboard::Scene scene() const;
    // The picture of what is shown now, laid out if it is not yet.
    const display::Picture &picture() const;
    // Lays out what is shown now and asks for a repaint of only what it changed.
    void refresh();
    void rememberPlacement() const;
    void drawWebAddress(QPainter &painter, const QRegion &region) const;
    int webStripWidth() const;
    QSize sceneSize() const;

    evening::ScoreboardState m_state;
    widgets::RememberedPlace *m_place = nullptr;
    int m_page = 0;
    QString m_webAddress;
    QImage m_webCode; ///< one pixel a module, within its white quiet zone
    bool m_webOn = false;
    bool m_webAllInterfaces = true;
    quint16 m_webPort = 0;
    // Unset while the window is hidden or has a new size: laid out again when next needed.
    mutable std::optional<display::Picture> m_picture;
    mutable display::PieceStore m_pieces;
};

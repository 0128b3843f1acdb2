// SPDX-License-Identifier: MIT
#pragma once

#include "competition/competition.h"
#include "competition/heat_text.h"

#include <QFrame>

#include <array>

class QLabel;
class QPushButton;

namespace competition
{

/// The heat console: everything a heat needs in one strip — its title, its players by device
/// (bold while the device's link is open, as on the board), Next heat, Start/Stop of the heat
/// and Redo. It gives commands and shows what it is told; it decides nothing. Space or Enter
/// starts the called heat while the console itself has the focus.
class HeatConsole : public QFrame
{
    Q_OBJECT
public:
    explicit HeatConsole(QWidget *parent = nullptr);

    /// Shows `view`: the title, the names by device and the Start/Stop button's command.
    void showView(const ConsoleView &view);
    /// Device `device` (1..4) has its link open: its name is bold.
    void showLinked(int device, bool linked);

    QPushButton *nextButton() const { return m_next; }
    QPushButton *redoButton() const { return m_redo; }

Q_SIGNALS:
    void startRequested();
    void stopRequested();
    /// The board's Setup, or its spectators' display, is asked for.
    void setupRequested();
    void displayRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLabel *m_title = nullptr;
    std::array<QLabel *, kDevices> m_seats {};
    QPushButton *m_next = nullptr;
    QPushButton *m_startStop = nullptr;
    QPushButton *m_redo = nullptr;
    ConsoleView m_view;
};

} // namespace competition

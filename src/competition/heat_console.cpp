// SPDX-License-Identifier: MIT
#include "competition/heat_console.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace competition
{

HeatConsole::HeatConsole(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("fraHeatConsole"));
    setFrameShape(QFrame::StyledPanel);
    // The strip itself takes the focus after a heat is called, so Space or Enter starts it.
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Heat console"));
    auto *grid = new QGridLayout(this);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("lblConsoleHeat"));
    m_title->setTextFormat(Qt::PlainText);
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    m_title->setFont(titleFont);
    grid->addWidget(m_title, 0, 0, 1, kDevices);
    for (int d = 0; d < kDevices; ++d) {
        m_seats[std::size_t(d)] = new QLabel(this);
        m_seats[std::size_t(d)]->setObjectName(QStringLiteral("lblConsoleSeat%1").arg(d + 1));
        m_seats[std::size_t(d)]->setTextFormat(Qt::PlainText);
        m_seats[std::size_t(d)]->setMinimumWidth(80);
        grid->addWidget(m_seats[std::size_t(d)], 1, d);
        grid->setColumnStretch(d, 1);
    }
    m_next = new QPushButton(QStringLiteral("&Next heat"), this);
    m_next->setObjectName(QStringLiteral("cmdNextHeat"));
    m_startStop = new QPushButton(QStringLiteral("S&tart heat"), this);
    m_startStop->setObjectName(QStringLiteral("cmdStartHeat"));
    m_redo = new QPushButton(QStringLiteral("&Redo heat"), this);
    m_redo->setObjectName(QStringLiteral("cmdRedoHeat"));
    grid->addWidget(m_next, 0, kDevices, 2, 1);
    grid->addWidget(m_startStop, 0, kDevices + 1, 2, 1);
    grid->addWidget(m_redo, 0, kDevices + 2, 2, 1);
    // The board's own Setup and display, so they stay in reach when this window covers the
    // board on a small screen (a restart needs Setup to open the links).
    auto *setup = new QPushButton(QStringLiteral("Set&up…"), this);
    setup->setObjectName(QStringLiteral("cmdConsoleSetup"));
    auto *display = new QPushButton(QStringLiteral("&Display"), this);
    display->setObjectName(QStringLiteral("cmdConsoleDisplay"));
    display->setToolTip(QStringLiteral("Scoreboard for spectators"));
    grid->addWidget(setup, 0, kDevices + 3);
    grid->addWidget(display, 1, kDevices + 3);
    connect(setup, &QPushButton::clicked, this, &HeatConsole::setupRequested);
    connect(display, &QPushButton::clicked, this, &HeatConsole::displayRequested);
    connect(m_startStop, &QPushButton::clicked, this, [this] {
        if (m_view.canStop) {
            Q_EMIT stopRequested();
        } else if (m_view.canStart) {
            Q_EMIT startRequested();
        }
    });
    showView(m_view);
}

void HeatConsole::showView(const ConsoleView &view)
{
    m_view = view;
    m_title->setText(view.title);
    for (int d = 0; d < kDevices; ++d) {
        const QString name = view.seats.value(d);
        m_seats[std::size_t(d)]->setText(view.seats.isEmpty()
                ? QString()
                : QStringLiteral("%1  %2").arg(d + 1).arg(
                    name.isEmpty() ? QStringLiteral("–") : name));
    }
    m_startStop->setText(
        view.canStop ? QStringLiteral("S&top heat") : QStringLiteral("S&tart heat"));
    m_startStop->setEnabled(view.canStart || view.canStop);
}

void HeatConsole::showLinked(int device, bool linked)
{
    if (device < 1 || device > kDevices) {
        return;
    }
    QLabel *seat = m_seats[std::size_t(device - 1)];
    QFont font = seat->font();
    font.setBold(linked);
    seat->setFont(font);
}

void HeatConsole::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)
        && !event->isAutoRepeat() && m_view.canStart) {
        Q_EMIT startRequested();
        return;
    }
    QFrame::keyPressEvent(event);
}

} // namespace competition

// SPDX-License-Identifier: MIT
#include "main_window/competition_view.h"

#include "competition/competition_host.h"
#include "competition/frm_competition.h"
#include "competition/heat_console.h"
#include "competition/heat_text.h"
#include "competition/running_competition.h"
#include "evening/evening.h"
#include "game/game_clock.h"
#include "game/game_session.h"
#include "link/player_links.h"
#include "widgets/remembered_place.h"
#include "widgets/window_place.h"

#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace main_window
{

namespace
{
    CompetitionView::HeatStartAnswer AskInBox(
        QWidget *parent, const QString &text, bool canStartWithLinked)
    {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Competition"), text,
            QMessageBox::NoButton, parent);
        box.setObjectName(QStringLiteral("msgHeatLinks"));
        // Names come from the organiser: shown as typed.
        box.setTextFormat(Qt::PlainText);
        QPushButton *open =
            box.addButton(QStringLiteral("Open the links"), QMessageBox::AcceptRole);
        QPushButton *linked = canStartWithLinked
            ? box.addButton(QStringLiteral("Start with those linked"), QMessageBox::DestructiveRole)
            : nullptr;
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(open);
        box.exec();
        if (box.clickedButton() == open) {
            return CompetitionView::HeatStartAnswer::OpenLinks;
        }
        if (linked && box.clickedButton() == linked) {
            return CompetitionView::HeatStartAnswer::StartWithLinked;
        }
        return CompetitionView::HeatStartAnswer::Cancel;
    }
} // namespace

CompetitionView::CompetitionView(evening::Evening &evening, QWidget &window)
    : QObject(&window)
    , m_evening(evening)
    , m_board(window)
    , m_ask(AskInBox)
{
}

bool CompetitionView::mayStartHeat()
{
    const QList<rotavex::PlayerSlot> missing = m_evening.heatPlayersWithoutLink();
    if (missing.isEmpty()) {
        return true;
    }
    const rotavex::PlayerName &names = m_evening.session().playerNames();
    QStringList who;
    for (const rotavex::PlayerSlot p : missing) {
        who.append(QStringLiteral("%1 (device %2)").arg(names[p]).arg(p));
    }
    const bool someLinked = m_evening.heatHasLinkedPlayer();
    const QString text = someLinked
        ? QStringLiteral("No open link for %1: the heat would count them as absent.\n\nOpen "
                         "their links (then press Start once their names are bold), or start "
                         "with the players who are linked?")
              .arg(who.join(QStringLiteral(", ")))
        : QStringLiteral("None of this heat's players has an open link, so nothing they spin "
                         "would count.\n\nOpen their links, then press Start once their names "
                         "are bold.");
    QWidget *parent = m_window && m_window->isActiveWindow() ? m_window.data() : &m_board;
    switch (m_ask(parent, text, someLinked)) {
    case HeatStartAnswer::OpenLinks:
        m_evening.openStoredLinks(missing);
        return false;
    case HeatStartAnswer::StartWithLinked:
        return someLinked;
    case HeatStartAnswer::Cancel:
        break;
    }
    return false;
}

void CompetitionView::open()
{
    if (!m_window) {
        competition::RunningCompetition &model = m_evening.competition().model();
        // Opened before the board's first picture, the window still shows the competition
        // left open in the file.
        model.resume();
        m_window = new frmCompetition(model, &m_board);
        // The first time beside the board, not over its buttons, where the screen has room.
        m_window->place().setFirstPlace([this] {
            return window_place::BesideOwner(m_board.frameGeometry(), m_window->size(),
                m_window->minimumSizeHint(), widgets::RememberedPlace::availableAreas());
        });
        // The console plays the called heat through the clock, as the board's Start does.
        competition::HeatConsole &console = m_window->console();
        game::GameClock &clock = m_evening.clock();
        connect(&console, &competition::HeatConsole::startRequested, &clock, [this, &clock] {
            if (mayStartHeat()) {
                clock.startHeat();
            }
        });
        connect(
            &console, &competition::HeatConsole::stopRequested, &clock, [&clock] { clock.stop(); });
        connect(&console, &competition::HeatConsole::setupRequested, this,
            &CompetitionView::setupRequested);
        connect(&console, &competition::HeatConsole::displayRequested, this,
            &CompetitionView::displayRequested);
        connect(
            &m_evening.session(), &game::GameSession::updated, m_window, [this] { showConsole(); });
        connect(&m_evening.competition(), &competition::CompetitionHost::boardChanged, m_window,
            [this] { showConsole(); });
        PlayerLinks &links = m_evening.links();
        connect(
            &links, &PlayerLinks::statusChanged, m_window, [this, &links](rotavex::PlayerSlot p) {
                m_window->console().showLinked(p, links.isOpen(p));
            });
        for (rotavex::PlayerSlot p = rotavex::kFirstPlayer; p <= rotavex::kLastPlayer; ++p) {
            console.showLinked(p, links.isOpen(p));
        }
        showConsole();
        Q_EMIT windowMade(m_window);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void CompetitionView::showConsole()
{
    const competition::RunningCompetition &model = m_evening.competition().model();
    // A heat counting in is under way: its Stop calls the count-in off.
    const game::Snapshot &snapshot = m_evening.session().snapshot();
    m_window->console().showView(competition::ConsoleViewFor(model.current(), model.calledHeat(),
        model.redoCalled(), snapshot.running || snapshot.countIn > 0));
}

} // namespace main_window

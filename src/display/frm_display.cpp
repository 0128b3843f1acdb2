// SPDX-License-Identifier: MIT
#include "display/frm_display.h"

#include "display/display_accessible.h"
#include "shared/bgr_colour.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>

frmDisplay::frmDisplay(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmDisplay"));
    setWindowTitle(QStringLiteral("Rotavex Scoreboard"));
    display::InstallAccessibleFactory();
    // The whole picture is painted each time; nothing behind it needs to be drawn first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 240);
    resize(1280, 720);
}

void frmDisplay::showSnapshot(const game::Snapshot &snapshot)
{
    m_shown = scoreboard::ShownFrom(snapshot);
    m_gameRunning = snapshot.running;
    refresh();
}

void frmDisplay::showCompetition(const std::optional<competition::BoardShown> &board)
{
    m_competition = board;
    refresh();
}

scoreboard::Scene frmDisplay::scene() const
{
    return m_competition && !m_gameRunning
        ? competition::BuildCompetitionScene(*m_competition, size())
        : scoreboard::BuildScene(m_shown, size());
}

void frmDisplay::open(int mainWindowScreen)
{
    const scoreboard::Placement stored = scoreboard::ReadPlacement();
    const QList<QScreen *> screens = QGuiApplication::screens();
    const int index =
        scoreboard::ChooseScreen(stored.screen, static_cast<int>(screens.size()), mainWindowScreen);
    if (QScreen *target = screens.value(index); target && target != screen()) {
        const QRect available = target->availableGeometry();
        resize(size().boundedTo(available.size()));
        move(available.center() - rect().center());
    }
    if (scoreboard::OpenFullScreen(stored.fullScreen, static_cast<int>(screens.size()))) {
        showFullScreen();
    } else {
        showNormal();
    }
}

void frmDisplay::toggleFullScreen()
{
    if (isFullScreen()) {
        showNormal();
    } else {
        showFullScreen();
    }
    rememberPlacement();
}

std::vector<frmDisplay::DrawnText> frmDisplay::drawnTexts() const
{
    std::vector<DrawnText> texts;
    for (const display::PlacedText &placed : picture().texts) {
        texts.push_back(placed.drawn);
    }
    return texts;
}

const display::Picture &frmDisplay::picture() const
{
    if (!m_picture || m_picture->ratio != devicePixelRatioF()) {
        m_picture = display::LayOut(
            scene(), size(), devicePixelRatioF(), m_picture.value_or(display::Picture()), m_pieces);
    }
    return *m_picture;
}

// Most ticks change a few digits and bars: only those are painted again. A tick that changes
// nothing paints nothing, and no text is drawn from its font again while it is shown.
void frmDisplay::refresh()
{
    if (!isVisible() || !m_picture) {
        // Hidden, or not painted since it was shown or resized: laid out when it is needed.
        m_picture.reset();
        update();
        return;
    }
    display::Picture next =
        display::LayOut(scene(), size(), devicePixelRatioF(), *m_picture, m_pieces);
    const QRegion changed = display::ChangedRegion(*m_picture, next);
    m_picture = std::move(next);
    if (!changed.isEmpty()) {
        update(changed);
    }
}

void frmDisplay::paintEvent(QPaintEvent *event)
{
    const display::Picture &shown = picture();
    QPainter painter(this);
    display::Paint(painter, shown, event->region());
}

void frmDisplay::resizeEvent(QResizeEvent *event)
{
    m_picture.reset();
    QWidget::resizeEvent(event);
}

void frmDisplay::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F11) {
        toggleFullScreen();
        return;
    }
    if (event->key() == Qt::Key_Escape && isFullScreen()) {
        toggleFullScreen();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmDisplay::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        toggleFullScreen();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void frmDisplay::closeEvent(QCloseEvent *event)
{
    rememberPlacement();
    event->accept();
    Q_EMIT closed();
}

void frmDisplay::rememberPlacement() const
{
    const int index = static_cast<int>(QGuiApplication::screens().indexOf(screen()));
    scoreboard::WritePlacement({ index, isFullScreen() });
}

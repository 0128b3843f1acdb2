// SPDX-License-Identifier: MIT
#include "display/frm_display.h"

#include "competition/competition_scene.h"
#include "display/display_accessible.h"
#include "shared/bgr_colour.h"
#include "widgets/remembered_place.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace
{

// Long enough to find one's own name on a page of standings, short enough to see every page
// between two heats.
constexpr std::chrono::milliseconds kPageTurn { 6000 };

} // namespace

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
    m_place = new widgets::RememberedPlace(*this, settings_store::window_places::kDisplay);
    auto *pageTimer = new QTimer(this);
    pageTimer->setInterval(kPageTurn);
    connect(pageTimer, &QTimer::timeout, this, [this] {
        if (isVisible()) {
            turnPage();
        }
    });
    pageTimer->start();
}

void frmDisplay::showState(const evening::ScoreboardState &state)
{
    m_state = state;
    refresh();
}

void frmDisplay::turnPage()
{
    // Only a picture that has pages changes; the game's picture is left alone.
    if (scene().pages > 1) {
        ++m_page;
        refresh();
    }
}

scoreboard::Scene frmDisplay::scene() const
{
    return m_state.betweenHeats
        ? competition::BuildCompetitionScene(*m_state.betweenHeats, sceneSize(), m_page)
        : scoreboard::BuildScene(m_state, sceneSize());
}

void frmDisplay::open(int mainWindowScreen)
{
    const scoreboard::Placement stored = scoreboard::ReadPlacement();
    const QList<QScreen *> screens = QGuiApplication::screens();
    const int index =
        scoreboard::ChooseScreen(stored.screen, static_cast<int>(screens.size()), mainWindowScreen);
    if (QScreen *target = screens.value(index)) {
        const QRect area = target->availableGeometry();
        // Where it was left on that screen; centred there the first time, or when it was left
        // on another screen.
        QRect place = m_place->stored().value_or(QRect());
        if (!place.isValid() || !area.intersects(place)) {
            place = QRect(QPoint(0, 0), size());
            place.moveCenter(area.center());
        }
        m_place->placeAt(place, { area });
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
        m_pieces.keepOnlyUsed();
    }
    return *m_picture;
}

void frmDisplay::showWebAddress(const QString &address, const QImage &code)
{
    m_webAddress = address;
    m_webCode = code;
    // The players' picture gives way to the code's strip, or takes the room back.
    m_picture.reset();
    update();
}

void frmDisplay::setWebChoices(bool on, bool allInterfaces, quint16 port)
{
    m_webOn = on;
    m_webAllInterfaces = allInterfaces;
    m_webPort = port;
}

int frmDisplay::webStripWidth() const
{
    // A strip on the right, so the code never covers a player's row.
    return m_webAddress.isEmpty() ? 0 : std::min(width(), height()) / 5;
}

QSize frmDisplay::sceneSize() const { return size() - QSize(webStripWidth(), 0); }

void frmDisplay::drawWebAddress(QPainter &painter, const QRegion &region) const
{
    if (m_webAddress.isEmpty()) {
        return;
    }
    // Bottom right, in its own strip, large enough for a phone a few metres away: whole
    // modules, so the camera sees sharp edges.
    const int side = webStripWidth() * 9 / 10;
    const int module = std::max(1, side / std::max(1, m_webCode.width()));
    const int codeSide = module * m_webCode.width();
    QFont font = display::Font(std::max(8, side / 10));
    font.setPixelSize(scoreboard::FitPixelSize(font.pixelSize(),
        QFontMetrics(font).horizontalAdvance(m_webAddress), webStripWidth() - side / 12));
    const QFontMetrics metrics(font);
    const int margin = side / 12;
    const QRect code(width() - margin - codeSide, height() - margin - metrics.height() - codeSide,
        codeSide, codeSide);
    const QRect line(0, code.bottom() + 1, width() - margin, metrics.height());
    if (!region.intersects(code.united(line))) {
        return;
    }
    if (!m_webCode.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(code, m_webCode);
    }
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, m_webAddress);
}

void frmDisplay::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *on = menu.addAction(tr("Show the scoreboard on the local network"));
    on->setObjectName(QStringLiteral("actWebScoreboard"));
    on->setCheckable(true);
    on->setChecked(m_webOn);
    QAction *all = menu.addAction(tr("Reachable from other devices (all interfaces)"));
    all->setObjectName(QStringLiteral("actWebAllInterfaces"));
    all->setCheckable(true);
    all->setChecked(m_webAllInterfaces);
    QAction *port = menu.addAction(tr("Port %1…").arg(m_webPort));
    port->setObjectName(QStringLiteral("actWebPort"));
    QAction *chosen = menu.exec(event->globalPos());
    bool webOn = m_webOn;
    bool allInterfaces = m_webAllInterfaces;
    quint16 webPort = m_webPort;
    if (chosen == on) {
        webOn = on->isChecked();
    } else if (chosen == all) {
        allInterfaces = all->isChecked();
    } else if (chosen == port) {
        bool ok = false;
        const int number = QInputDialog::getInt(this, tr("Web scoreboard"),
            tr("Port of the web scoreboard (1–65535):"), webPort, 1, 65535, 1, &ok);
        if (!ok) {
            return;
        }
        webPort = static_cast<quint16>(number);
    } else {
        return;
    }
    Q_EMIT webChoicesMade(webOn, allInterfaces, webPort);
}

// Most ticks change a few digits and bars: only those are painted again. A tick that changes
// nothing paints nothing, and no text is drawn from its font again while it is shown.
void frmDisplay::refresh()
{
    if (!isVisible() || !m_picture) {
        // Hidden, or not painted since it was shown or resized: laid out when it is needed.
        m_picture.reset();
        m_pieces.keepOnlyUsed();
        update();
        return;
    }
    display::Picture next =
        display::LayOut(scene(), size(), devicePixelRatioF(), *m_picture, m_pieces);
    const QRegion changed = display::ChangedRegion(*m_picture, next);
    m_picture = std::move(next);
    m_pieces.keepOnlyUsed();
    if (!changed.isEmpty()) {
        update(changed);
    }
}

void frmDisplay::paintEvent(QPaintEvent *event)
{
    const display::Picture &shown = picture();
    QPainter painter(this);
    display::Paint(painter, shown, event->region());
    drawWebAddress(painter, event->region());
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

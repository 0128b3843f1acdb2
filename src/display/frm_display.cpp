// SPDX-License-Identifier: MIT
#include "display/frm_display.h"

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
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace
{

// Long enough to find one's own name on a page of standings, short enough to see every page
// between two heats.
constexpr std::chrono::milliseconds kPageTurn { 6000 };

// A font every Debian desktop has; its digits are all one width, so numbers do not jitter.
const QString kFontFamily = QStringLiteral("DejaVu Sans");

QFont fontOf(const scoreboard::TextItem &item, int pixelSize)
{
    QFont font(kFontFamily);
    font.setPixelSize(pixelSize);
    font.setBold(item.bold);
    return font;
}

void drawStar(QPainter &painter, const QRectF &area, const QColor &colour)
{
    const QPointF centre = area.center();
    const double outer = std::min(area.width(), area.height()) / 2.0;
    const double inner = outer * 0.45;
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
        const double angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
        const double radius = i % 2 == 0 ? outer : inner;
        const QPointF point = centre + QPointF(std::cos(angle) * radius, std::sin(angle) * radius);
        if (i == 0) {
            star.moveTo(point);
        } else {
            star.lineTo(point);
        }
    }
    star.closeSubpath();
    painter.fillPath(star, colour);
}

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
    m_place = new widgets::RememberedPlace(*this, QStringLiteral("DisplayPlace"));
    auto *pageTimer = new QTimer(this);
    pageTimer->setInterval(kPageTurn);
    connect(pageTimer, &QTimer::timeout, this, [this] {
        if (isVisible()) {
            turnPage();
        }
    });
    pageTimer->start();
}

void frmDisplay::showSnapshot(const game::Snapshot &snapshot)
{
    m_shown = scoreboard::ShownFrom(snapshot);
    m_gameRunning = snapshot.running;
    update();
}

void frmDisplay::turnPage()
{
    // Only a picture that has pages changes; the game's picture is left alone.
    if (scene().pages > 1) {
        ++m_page;
        update();
    }
}

void frmDisplay::showBetweenHeats(const scoreboard::SceneSource &betweenHeats)
{
    m_betweenHeats = betweenHeats;
    update();
}

scoreboard::Scene frmDisplay::scene() const
{
    return m_betweenHeats && !m_gameRunning ? m_betweenHeats(sceneSize(), m_page)
                                            : scoreboard::BuildScene(m_shown, sceneSize());
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

std::vector<frmDisplay::DrawnText> frmDisplay::drawnTexts() const { return fitTexts(scene()); }

std::vector<frmDisplay::DrawnText> frmDisplay::fitTexts(const scoreboard::Scene &scene) const
{
    std::vector<DrawnText> drawn;
    drawn.reserve(scene.texts.size());
    for (const scoreboard::TextItem &item : scene.texts) {
        int pixelSize = item.pixelSize;
        QFont font = fontOf(item, pixelSize);
        // Shrink until the line fits the area's height, then (unless it is cut instead) its
        // width: each step measures the real font, which does not scale exactly linearly.
        for (QFontMetrics metrics(font); metrics.height() > item.area.height() && pixelSize > 1;
             metrics = QFontMetrics(font)) {
            pixelSize = std::min(pixelSize - 1,
                scoreboard::FitPixelSize(pixelSize, metrics.height(), item.area.height()));
            font.setPixelSize(pixelSize);
        }
        QString text = item.text;
        if (item.elide) {
            text = QFontMetrics(font).elidedText(
                item.text, Qt::ElideRight, item.area.width(), Qt::TextSingleLine);
        } else {
            for (QFontMetrics metrics(font);
                 metrics.horizontalAdvance(text) > item.area.width() && pixelSize > 1;
                 metrics = QFontMetrics(font)) {
                pixelSize = std::min(pixelSize - 1,
                    scoreboard::FitPixelSize(
                        pixelSize, metrics.horizontalAdvance(text), item.area.width()));
                font.setPixelSize(pixelSize);
            }
        }
        drawn.push_back({ item, font, text });
    }
    return drawn;
}

void frmDisplay::paintEvent(QPaintEvent *)
{
    const scoreboard::Scene scene = this->scene();
    QPainter painter(this);
    painter.fillRect(rect(), rotavex::ColourFromBgr(scene.background));
    for (const scoreboard::PanelItem &panel : scene.panels) {
        painter.fillRect(panel.area, rotavex::ColourFromBgr(panel.colour));
    }
    for (const scoreboard::BarItem &bar : scene.bars) {
        painter.fillRect(bar.area, rotavex::ColourFromBgr(bar.track));
        QRect filled = bar.area;
        filled.setWidth(static_cast<int>(std::lround(bar.fraction * bar.area.width())));
        if (filled.width() > 0) {
            painter.fillRect(filled, rotavex::ColourFromBgr(bar.colour));
        }
    }
    painter.setRenderHint(QPainter::Antialiasing);
    for (const QRect &mark : scene.leaderMarks) {
        drawStar(painter, mark, rotavex::ColourFromBgr(scene.markColour));
    }
    for (const DrawnText &drawn : fitTexts(scene)) {
        drawText(painter, drawn);
    }
    drawWebAddress(painter);
}

void frmDisplay::showWebAddress(const QString &address, const QImage &code)
{
    m_webAddress = address;
    m_webCode = code;
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

void frmDisplay::drawWebAddress(QPainter &painter) const
{
    if (m_webAddress.isEmpty()) {
        return;
    }
    // Bottom right, in its own strip, large enough for a phone a few metres away: whole
    // modules, so the camera sees sharp edges.
    const int side = webStripWidth() * 9 / 10;
    const int module = std::max(1, side / std::max(1, m_webCode.width()));
    const int codeSide = module * m_webCode.width();
    QFont font(kFontFamily);
    font.setPixelSize(std::max(8, side / 10));
    font.setPixelSize(scoreboard::FitPixelSize(font.pixelSize(),
        QFontMetrics(font).horizontalAdvance(m_webAddress), webStripWidth() - side / 12));
    const QFontMetrics metrics(font);
    const int margin = side / 12;
    const QRect code(width() - margin - codeSide, height() - margin - metrics.height() - codeSide,
        codeSide, codeSide);
    if (!m_webCode.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(code, m_webCode);
    }
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QRect line(0, code.bottom() + 1, width() - margin, metrics.height());
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

// Text this large is not in Qt's glyph cache: every frame would fill each glyph's outline
// again, which costs several milliseconds a picture. Rendered pieces are kept instead: numbers
// by character (they change every tick, their digits do not), any other text whole.
void frmDisplay::drawText(QPainter &painter, const DrawnText &drawn) const
{
    const QFontMetrics metrics(drawn.font);
    const QRect &area = drawn.item.area;
    const int width = metrics.horizontalAdvance(drawn.text);
    int left = area.left();
    if (drawn.item.alignment & Qt::AlignRight) {
        left = area.right() + 1 - width;
    } else if (drawn.item.alignment & Qt::AlignHCenter) {
        left = area.left() + (area.width() - width) / 2;
    }
    int top = area.top() + (area.height() - metrics.height()) / 2;
    if (drawn.item.alignment & Qt::AlignBottom) {
        top = area.bottom() + 1 - metrics.height();
    } else if (drawn.item.alignment & Qt::AlignTop) {
        top = area.top();
    }
    const int baseline = top + metrics.ascent();
    const bool numeric = std::all_of(drawn.text.cbegin(), drawn.text.cend(), [](QChar c) {
        return c.isDigit() || c.isSpace() || c.category() == QChar::Punctuation_Other;
    });
    if (!numeric) {
        const RenderedText &piece = rendered(drawn.text, drawn.font, drawn.item.colour);
        painter.drawPixmap(QPoint(left, baseline) + piece.offset, piece.pixmap);
        return;
    }
    for (qsizetype i = 0; i < drawn.text.size(); ++i) {
        const RenderedText &piece =
            rendered(QString(drawn.text.at(i)), drawn.font, drawn.item.colour);
        const int x = left + metrics.horizontalAdvance(drawn.text.left(i));
        painter.drawPixmap(QPoint(x, baseline) + piece.offset, piece.pixmap);
    }
}

const frmDisplay::RenderedText &frmDisplay::rendered(
    const QString &text, const QFont &font, quint32 colour) const
{
    const qreal ratio = devicePixelRatioF();
    const QString key = QStringLiteral("%1|%2|%3|%4|%5")
                            .arg(font.key())
                            .arg(font.pixelSize())
                            .arg(colour)
                            .arg(ratio)
                            .arg(text);
    if (const RenderedText *cached = m_rendered.object(key)) {
        return *cached;
    }
    const QFontMetrics metrics(font);
    // The ink may reach past the advance and above the ascent; the picture holds all of it.
    const QRect box = metrics.boundingRect(text).united(QRect(
        0, -metrics.ascent(), std::max(1, metrics.horizontalAdvance(text)), metrics.height()));
    RenderedText piece;
    piece.offset = box.topLeft();
    piece.pixmap = QPixmap((QSizeF(box.size()) * ratio).toSize());
    piece.pixmap.setDevicePixelRatio(ratio);
    piece.pixmap.fill(Qt::transparent);
    QPainter painter(&piece.pixmap);
    painter.setFont(font);
    painter.setPen(rotavex::ColourFromBgr(colour));
    painter.drawText(-box.topLeft(), text);
    painter.end();
    const QSize pixels = piece.pixmap.size();
    const auto cost = static_cast<qsizetype>(std::max(1, pixels.width() * pixels.height() / 1024));
    // A picture larger than the whole cache is drawn once and not kept.
    m_uncached = piece;
    m_rendered.insert(key, new RenderedText(std::move(piece)), cost);
    const RenderedText *kept = m_rendered.object(key);
    return kept ? *kept : m_uncached;
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

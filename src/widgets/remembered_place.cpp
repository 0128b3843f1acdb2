// SPDX-License-Identifier: MIT
#include "widgets/remembered_place.h"

#include "settings/settings_store.h"
#include "widgets/window_place.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace widgets
{

namespace
{

    // The window's decoration. Before the window manager has framed the window it is not
    // known: a title bar is the part that matters, so that it never lands above the screen.
    QMargins frameOf(const QWidget &window)
    {
        if (const QWindow *handle = window.windowHandle();
            handle && !handle->frameMargins().isNull()) {
            return handle->frameMargins();
        }
        return { 0, window.style()->pixelMetric(QStyle::PM_TitleBarHeight), 0, 0 };
    }

} // namespace

RememberedPlace::RememberedPlace(QWidget &window, const settings_store::TextKey &key)
    : QObject(&window)
    , m_window(window)
    , m_key(key)
    , m_written(stored())
{
    window.installEventFilter(this);
    // A screen unplugged or shrunk (a panel added, a lower resolution) while the window is up.
    auto refit = [this] {
        if (m_window.isVisible() && m_window.windowState() == Qt::WindowNoState) {
            placeAt(QRect(m_window.pos(), m_window.size()));
        }
    };
    connect(qGuiApp, &QGuiApplication::screenRemoved, this,
        [this, refit] { QTimer::singleShot(0, this, refit); });
    auto watch = [this, refit](QScreen *screen) {
        connect(screen, &QScreen::availableGeometryChanged, this, refit);
    };
    for (QScreen *screen : QGuiApplication::screens()) {
        watch(screen);
    }
    connect(qGuiApp, &QGuiApplication::screenAdded, this, watch);
}

RememberedPlace::~RememberedPlace() { store(); }

std::optional<QRect> RememberedPlace::stored() const
{
    return window_place::ParsePlace(settings_store::Read(m_key));
}

QList<QRect> RememberedPlace::availableAreas()
{
    QList<QRect> areas;
    if (QScreen *primary = QGuiApplication::primaryScreen()) {
        areas.append(primary->availableGeometry());
    }
    for (QScreen *screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen()) {
            areas.append(screen->availableGeometry());
        }
    }
    return areas;
}

void RememberedPlace::placeAt(const QRect &place, const QList<QRect> &areas)
{
    m_placed = true;
    const QMargins frame = frameOf(m_window);
    const QRect outer(place.topLeft(), place.size().grownBy(frame));
    const QRect fitted = window_place::FitInside(outer, areas.isEmpty() ? availableAreas() : areas);
    m_window.resize(fitted.size().shrunkBy(frame).expandedTo(m_window.minimumSize()));
    m_window.move(fitted.topLeft());
}

QRect RememberedPlace::centred() const
{
    const QWidget *owner = m_window.parentWidget() ? m_window.parentWidget()->window() : nullptr;
    const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    QRect place(QPoint(0, 0), m_window.size());
    if (screen) {
        place.moveCenter(screen->availableGeometry().center());
    }
    return place;
}

bool RememberedPlace::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != &m_window) {
        return false;
    }
    switch (event->type()) {
    case QEvent::Show:
        if (!m_placed) {
            const std::optional<QRect> place = stored();
            placeAt(place.value_or(m_firstPlace ? m_firstPlace() : centred()));
        } else if (m_window.windowState() == Qt::WindowNoState) {
            placeAt(QRect(m_window.pos(), m_window.size()));
        }
        break;
    case QEvent::Move:
    case QEvent::Resize:
        if (m_window.isVisible() && m_window.windowState() == Qt::WindowNoState) {
            m_place = QRect(m_window.pos(), m_window.size());
        }
        break;
    case QEvent::Hide:
        store();
        break;
    default:
        break;
    }
    return false;
}

void RememberedPlace::store()
{
    if (m_place && m_place != m_written) {
        // A settings file that cannot be written is reported where the names are stored; a
        // window's place is not worth a second message.
        settings_store::Write(m_key, window_place::PlaceText(*m_place));
        m_written = m_place;
    }
}

} // namespace widgets

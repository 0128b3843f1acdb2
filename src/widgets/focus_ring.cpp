// SPDX-License-Identifier: MIT
#include "widgets/focus_ring.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace widgets
{

FocusRing *FocusRing::install(QWidget *window) { return new FocusRing(window); }

FocusRing::FocusRing(QWidget *window)
    : QWidget(window)
{
    setObjectName(QStringLiteral("focusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(window->rect());
    window->installEventFilter(this);
    // Key presses and clicks anywhere tell whether the keyboard is in use.
    qApp->installEventFilter(this);
    connect(
        qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { follow(now); });
    hide();
}

void FocusRing::follow(QWidget *focused)
{
    if (m_target) {
        m_target->removeEventFilter(this);
    }
    QWidget *window = parentWidget();
    m_target = focused != nullptr && focused != window && window->isAncestorOf(focused)
            && focused->window() == window
        ? focused
        : nullptr;
    if (!m_target) {
        hide();
        return;
    }
    m_target->installEventFilter(this);
    if (!m_byKeyboard) {
        hide();
        return;
    }
    setGeometry(window->rect());
    raise();
    show();
    update();
}

bool FocusRing::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    // Whoever uses the keyboard sees where it is; a click puts the ring away until the next key.
    case QEvent::KeyPress:
        if (!m_byKeyboard) {
            m_byKeyboard = true;
            follow(QApplication::focusWidget());
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::TouchBegin:
        if (m_byKeyboard) {
            m_byKeyboard = false;
            follow(QApplication::focusWidget());
        }
        break;
    case QEvent::Resize:
    case QEvent::Move:
    case QEvent::Show:
    case QEvent::Hide:
        if (watched == parentWidget()) {
            setGeometry(parentWidget()->rect());
            update();
        } else if (watched == m_target) {
            update();
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void FocusRing::paintEvent(QPaintEvent *)
{
    if (!m_target || !m_target->isVisible()) {
        return;
    }
    const QRect around = QRect(m_target->mapTo(parentWidget(), QPoint(0, 0)), m_target->size())
                             .adjusted(-kWidth + 1, -kWidth + 1, kWidth - 1, kWidth - 1);
    QPainter painter(this);
    painter.setPen(QPen(kEdge, 1));
    painter.drawRect(around.adjusted(-1, -1, 0, 0));
    painter.setPen(QPen(kRing, kWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    // A pen of odd width centred on the rectangle: inset by half of it so it lies where asked.
    painter.drawRect(around.adjusted(kWidth / 2, kWidth / 2, -kWidth / 2 - 1, -kWidth / 2 - 1));
}

} // namespace widgets

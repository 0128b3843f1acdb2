// SPDX-License-Identifier: MIT
#pragma once

// Keyboard and assistive-technology walks over a window, shared by the window tests. Header
// only: the support library links Qt Core alone.

#include "widgets/focus_ring.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QList>
#include <QStringList>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <QWidget>

#include <algorithm>
#include <functional>

namespace test_support
{

/// Whether Tab stops at `widget` in `window` now.
inline bool IsTabStop(const QWidget *widget, const QWidget *window)
{
    return (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && widget->isEnabled()
        && widget->isVisibleTo(window) && widget->focusProxy() == nullptr;
}

/// `widgets` in reading order: rows from top to bottom (a widget whose top edge lies above the
/// middle of a row's first widget joins that row), each row left to right.
inline void SortInReadingOrder(QList<QWidget *> &widgets)
{
    std::stable_sort(widgets.begin(), widgets.end(),
        [](const QWidget *a, const QWidget *b) { return a->y() < b->y(); });
    QList<QWidget *> ordered;
    qsizetype rowStart = 0;
    while (rowStart < widgets.size()) {
        const int middle = widgets[rowStart]->geometry().center().y();
        qsizetype rowEnd = rowStart + 1;
        while (rowEnd < widgets.size() && widgets[rowEnd]->y() < middle) {
            ++rowEnd;
        }
        QList<QWidget *> row = widgets.mid(rowStart, rowEnd - rowStart);
        std::stable_sort(row.begin(), row.end(),
            [](const QWidget *a, const QWidget *b) { return a->x() < b->x(); });
        ordered += row;
        rowStart = rowEnd;
    }
    widgets = ordered;
}

/// The window's Tab stops in screen order: the controls of each container (frame, panel)
/// together, containers and controls in reading order. Tab leaves a group of exclusive option
/// buttons at once (the arrow keys move within it), so such a group is one stop, where it
/// begins.
inline QList<QWidget *> ScreenOrder(QWidget *window)
{
    QList<const QObject *> groupsSeen;
    const auto firstOfItsGroup = [&groupsSeen](QWidget *widget) {
        const auto *button = qobject_cast<QAbstractButton *>(widget);
        if (button == nullptr || !button->isCheckable()) {
            return true;
        }
        const QObject *group = button->group() != nullptr && button->group()->exclusive()
            ? static_cast<const QObject *>(button->group())
            : button->autoExclusive() ? button->parent()
                                      : nullptr;
        if (group == nullptr) {
            return true;
        }
        if (groupsSeen.contains(group)) {
            return false;
        }
        groupsSeen << group;
        return true;
    };
    std::function<QList<QWidget *>(QWidget *)> stopsIn = [&](QWidget *container) {
        QList<QWidget *> children;
        for (QWidget *child : container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            // The focus ring lies over the whole window; it is no place of its own.
            if (!child->isWindow() && child->isVisibleTo(window)
                && qobject_cast<widgets::FocusRing *>(child) == nullptr) {
                children << child;
            }
        }
        SortInReadingOrder(children);
        QList<QWidget *> stops;
        for (QWidget *child : children) {
            if (IsTabStop(child, window) && firstOfItsGroup(child)) {
                stops << child;
            }
            stops += stopsIn(child);
        }
        return stops;
    };
    return stopsIn(window);
}

/// The controls Tab visits, from the first of the screen order on: as many presses as there
/// are stops, so a chain that skips or repeats one shows in the result.
inline QList<QWidget *> TabChain(QWidget *window, int stops)
{
    QList<QWidget *> chain;
    for (int i = 0; i < stops; ++i) {
        QWidget *focused = QApplication::focusWidget();
        chain << focused;
        QTest::keyClick(focused != nullptr ? focused : window, Qt::Key_Tab);
    }
    return chain;
}

inline QStringList Names(const QList<QWidget *> &widgets)
{
    QStringList names;
    for (const QWidget *widget : widgets) {
        names << (widget == nullptr ? QStringLiteral("(none)")
                : widget->objectName().isEmpty()
                ? QString::fromLatin1(widget->metaObject()->className())
                : widget->objectName());
    }
    return names;
}

/// Tabs once round `window` (which must be active) from the first control of `order` (its
/// screen order when empty) and checks, with each control focused in turn, that the focus ring
/// is drawn on it. Returns what went wrong, "" when all is well.
inline QString KeyboardWalkFaults(QWidget *window, QList<QWidget *> order = {})
{
    if (order.isEmpty()) {
        order = ScreenOrder(window);
    }
    if (order.isEmpty()) {
        return QStringLiteral("no Tab stop");
    }
    order.first()->setFocus(Qt::TabFocusReason);
    const QStringList chain = Names(TabChain(window, int(order.size()) + 1));
    const QStringList expected = Names(order + QList<QWidget *> { order.first() });
    if (chain != expected) {
        return QStringLiteral("Tab visits %1; expected %2")
            .arg(chain.join(u' '), expected.join(u' '));
    }
    auto *ring = window->findChild<widgets::FocusRing *>();
    if (ring == nullptr) {
        return QStringLiteral("no focus ring");
    }
    for (QWidget *stop : order) {
        stop->setFocus(Qt::TabFocusReason);
        const QImage shot = window->grab().toImage();
        // The ring's blue covers the control's outermost pixels and two more outside.
        const QPoint edge = stop->mapTo(window, QPoint(0, stop->height() / 2));
        if (ring->target() != stop
            || shot.pixelColor(edge * shot.devicePixelRatio()) != widgets::FocusRing::kRing) {
            return QStringLiteral("no ring around %1 (ring on %2, shown %3)")
                .arg(Names({ stop }).first(), Names({ ring->target() }).first())
                .arg(ring->isVisible());
        }
    }
    return {};
}

/// Shows `owner`'s tooltip as hovering does and tells which of its lines the tooltip window
/// cannot hold whole (it would break them); "" when every line fits.
inline QString ToolTipBreaks(QWidget *owner)
{
    QToolTip::showText(owner->mapToGlobal(owner->rect().center()), owner->toolTip(), owner);
    QLabel *tip = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QLatin1String("qtooltip_label") && top->isVisible()) {
            tip = qobject_cast<QLabel *>(top);
        }
    }
    if (tip == nullptr) {
        return QStringLiteral("no tooltip shown");
    }
    QStringList broken;
    const QFontMetrics metrics(tip->font());
    QTextDocument document;
    document.setHtml(owner->toolTip());
    for (const QString &line : document.toPlainText().split(u'\n')) {
        if (metrics.horizontalAdvance(line) > tip->contentsRect().width()) {
            broken << line;
        }
    }
    QToolTip::hideText();
    return broken.join(u'\n');
}

/// The controls assistive technology finds without a name, walking the window's accessible
/// tree as a screen reader does (invisible parts skipped).
inline QStringList UnnamedControls(QWidget *window)
{
    static const QList<QAccessible::Role> kControls { QAccessible::PushButton,
        QAccessible::CheckBox, QAccessible::RadioButton, QAccessible::ComboBox,
        QAccessible::EditableText, QAccessible::ProgressBar, QAccessible::StaticText,
        QAccessible::Grouping, QAccessible::Chart, QAccessible::Table, QAccessible::PageTab,
        QAccessible::ColumnHeader };
    QStringList unnamed;
    std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *node) {
        if (node == nullptr || node->state().invisible) {
            return;
        }
        if (kControls.contains(node->role()) && node->text(QAccessible::Name).isEmpty()) {
            unnamed << (node->object() ? node->object()->objectName()
                                       : QStringLiteral("role %1").arg(int(node->role())));
        }
        for (int i = 0; i < node->childCount(); ++i) {
            walk(node->child(i));
        }
    };
    walk(QAccessible::queryAccessibleInterface(window));
    return unnamed;
}

} // namespace test_support

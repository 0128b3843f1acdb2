// SPDX-License-Identifier: MIT
#pragma once

// Keyboard and assistive-technology walks over a window, shared by the window tests. Header
// only: the support library links Qt Core alone.

#include <QAccessible>
#include <QApplication>
#include <QList>
#include <QStringList>
#include <QTest>
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

/// `widgets` in reading order: rows from top to bottom (a widget whose top edge lies above
/// every bottom edge of a row joins that row), each row left to right.
inline void SortInReadingOrder(QList<QWidget *> &widgets)
{
    std::stable_sort(widgets.begin(), widgets.end(),
        [](const QWidget *a, const QWidget *b) { return a->y() < b->y(); });
    QList<QWidget *> ordered;
    qsizetype rowStart = 0;
    while (rowStart < widgets.size()) {
        int rowBottom = widgets[rowStart]->geometry().bottom();
        qsizetype rowEnd = rowStart + 1;
        while (rowEnd < widgets.size() && widgets[rowEnd]->y() < rowBottom) {
            rowBottom = std::min(rowBottom, widgets[rowEnd]->geometry().bottom());
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
/// together, containers and controls in reading order.
inline QList<QWidget *> ScreenOrder(QWidget *window)
{
    std::function<QList<QWidget *>(QWidget *)> stopsIn = [&](QWidget *container) {
        QList<QWidget *> children;
        for (QWidget *child : container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!child->isWindow() && child->isVisibleTo(window)) {
                children << child;
            }
        }
        SortInReadingOrder(children);
        QList<QWidget *> stops;
        for (QWidget *child : children) {
            if (IsTabStop(child, window)) {
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

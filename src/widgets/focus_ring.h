// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>

namespace widgets
{

/// A ring drawn around whichever control of a window has the keyboard focus, plainly visible
/// on light and dark controls alike (a style's own focus mark is often a faint dotted line).
/// Like a browser's focus-visible mark it follows the keyboard: it shows from the first key
/// pressed and goes away at the next click, so a window just opened or a control clicked
/// with the mouse gets no ring. It lies over the window's controls and lets every mouse event
/// through.
class FocusRing : public QWidget
{
    Q_OBJECT
public:
    /// The ring's colours: a strong blue with a white edge outside it.
    static constexpr QColor kRing { 0, 84, 200 };
    static constexpr QColor kEdge { 255, 255, 255 };
    /// Width of the blue part in pixels.
    static constexpr int kWidth = 3;

    /// Puts a ring on `window` (which owns it); returns the ring.
    static FocusRing *install(QWidget *window);

    /// The control the ring is drawn around, nullptr when none of the window's has focus.
    QWidget *target() const { return m_target; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    explicit FocusRing(QWidget *window);
    void follow(QWidget *focused);

    QPointer<QWidget> m_target;
    bool m_byKeyboard = false; ///< a key was pressed after the last click
};

} // namespace widgets

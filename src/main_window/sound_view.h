// SPDX-License-Identifier: MIT
#pragma once

#include <QLabel>
#include <QToolButton>

namespace announcer
{
class Announcer;
} // namespace announcer

namespace main_window
{

/// The sound's control in a window's top right corner, without a dialog: its menu turns the
/// sound and the voice on or off, sets the volume and whether the board's Start counts in; Ctrl+M
/// on the window mutes (or unmutes) at once. A problem with the sound shows once beside it and
/// stays in its tooltip.
class SoundButton : public QToolButton
{
    Q_OBJECT
public:
    /// `announcer` must outlive the button; the button is a child of `window`.
    SoundButton(announcer::Announcer &announcer, QWidget &window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showState();
    void place();

    announcer::Announcer &m_announcer;
    QWidget &m_window;
};

/// The count-in's number (3, 2, 1) large over the middle of the board, for those who cannot
/// hear it; hidden when none is under way. It never takes a click.
class CountInLabel : public QLabel
{
    Q_OBJECT
public:
    explicit CountInLabel(QWidget &board);
    /// Shows `number`, or nothing for 0.
    void showNumber(int number);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();
    QWidget &m_board;
};

} // namespace main_window

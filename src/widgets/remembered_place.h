// SPDX-License-Identifier: MIT
#pragma once

#include "settings/settings_keys.h"

#include <QList>
#include <QObject>
#include <QRect>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace widgets
{

/// Keeps a top-level window where the user left it. At its first showing the window goes to
/// the place stored under `key` in the settings (or its first place), and at every showing it
/// lies fully inside an available screen, so a window saved on a screen that is gone or smaller
/// comes back into sight. Every move or resize of the ordinary (not maximised, not full-screen)
/// window is remembered and stored when it is hidden or destroyed. Owned by the window.
class RememberedPlace : public QObject
{
    Q_OBJECT
public:
    RememberedPlace(QWidget &window, const settings_store::TextKey &key);
    ~RememberedPlace() override;

    /// The stored place: the frame's top left and the window's size; nullopt when none (or
    /// damaged) is stored.
    std::optional<QRect> stored() const;
    /// Where the window goes the first time, when no place is stored (frame top left and
    /// size); without it the window is centred on its owner's screen (the primary screen for a
    /// window of its own).
    void setFirstPlace(std::function<QRect()> firstPlace) { m_firstPlace = std::move(firstPlace); }
    /// Puts the window at `place` (frame top left and size), fully inside the one of `areas` it
    /// overlaps most; no areas means every screen's available area, the primary's first.
    void placeAt(const QRect &place, const QList<QRect> &areas = {});

    /// Every screen's available area (without panels and docks), the primary screen's first.
    static QList<QRect> availableAreas();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void store();
    QRect centred() const;

    QWidget &m_window;
    settings_store::TextKey m_key;
    std::function<QRect()> m_firstPlace;
    bool m_placed = false;
    std::optional<QRect> m_place;
    std::optional<QRect> m_written;
};

} // namespace widgets

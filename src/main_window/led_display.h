// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QLCDNumber>
#include <QString>

namespace main_window
{

/// A seven-segment LED display: a number written as an integer and read back as the number last
/// written, plus a free tag text (the countdown keeps its preset there).
class LedDisplay : public QLCDNumber
{
    Q_OBJECT
public:
    /// `digits` positions; a number that does not fit still reads back, the display keeps the
    /// previous digits.
    explicit LedDisplay(int digits, QWidget *parent = nullptr);

    double number() const { return value(); }
    void setNumber(qint32 number);

    QString tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    /// Colour of lit segments and of the background behind them.
    void setColours(const QColor &on, const QColor &background);
    QColor onColour() const;

private:
    QString m_tag;
};

} // namespace main_window

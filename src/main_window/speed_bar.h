// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QWidget>
#include <QtGlobal>

namespace main_window
{

/// A horizontal speed bar: a value in rpm on a scale from 0 to maximum(), filled in one colour.
/// The value reads back exactly as written; values outside the scale are drawn clipped to it.
class SpeedBar : public QWidget
{
    Q_OBJECT
public:
    explicit SpeedBar(QWidget *parent = nullptr);

    double value() const { return m_value; }
    void setValue(double value);

    double maximum() const { return m_maximum; }
    /// A maximum of 0 or below draws an empty bar.
    void setMaximum(double maximum);

    /// Fill colour as 0x00BBGGRR; fillColour() is the converted colour being drawn.
    void setFillColour(quint32 bgr);
    quint32 fillColourBgr() const { return m_fillBgr; }
    QColor fillColour() const { return m_fill; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_value = 0.0;
    double m_maximum = 100.0;
    quint32 m_fillBgr = 0;
    QColor m_fill = Qt::black;
};

} // namespace main_window

// SPDX-License-Identifier: MIT
#include "main_window/widget_board.h"

#include "main_window/led_display.h"
#include "main_window/player_chart.h"
#include "main_window/speed_bar.h"
#include "main_window/tag_label.h"

namespace main_window
{

void WidgetBoard::setNameCaption(PlayerSlot player, const QString &text)
{
    m_widgets.lblName[player]->setText(text);
}

void WidgetBoard::setSpeedCaption(PlayerSlot player, const QString &text)
{
    m_widgets.lblRPM[player]->setText(text);
    FitColumn(m_widgets.lblRPM);
}

void WidgetBoard::setRecordCaption(PlayerSlot player, const QString &text)
{
    m_widgets.lblHI[player]->setText(text);
    FitColumn(m_widgets.lblHI);
}

QString WidgetBoard::recordTag(PlayerSlot player) const { return m_widgets.lblHI[player]->tag(); }

void WidgetBoard::setRecordTag(PlayerSlot player, const QString &text)
{
    m_widgets.lblHI[player]->setTag(text);
}

void WidgetBoard::setBarValue(PlayerSlot player, double value)
{
    m_widgets.pbar[player]->setValue(value);
}

double WidgetBoard::barValue(PlayerSlot player) const { return m_widgets.pbar[player]->value(); }

void WidgetBoard::setBarColour(PlayerSlot player, quint32 bgr)
{
    m_widgets.pbar[player]->setFillColour(bgr);
}

double WidgetBoard::bigDisplayValue() const { return m_widgets.CurSpeed->number(); }

void WidgetBoard::setBigDisplayValue(qint32 value) { m_widgets.CurSpeed->setNumber(value); }

void WidgetBoard::setChartData(const speed_mode::ChartTable &table)
{
    m_widgets.MSChart1->setData(table);
}

void WidgetBoard::setChartColumnLabel(int column, const QString &label)
{
    m_widgets.MSChart1->setColumnLabel(column, label);
}

} // namespace main_window

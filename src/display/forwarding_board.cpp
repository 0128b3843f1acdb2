// SPDX-License-Identifier: MIT
#include "display/forwarding_board.h"

namespace display
{

void ForwardingBoard::setNameCaption(PlayerSlot player, const QString &text)
{
    m_primary.setNameCaption(player, text);
    if (m_secondary) {
        m_secondary->setNameCaption(player, text);
    }
}

void ForwardingBoard::setSpeedCaption(PlayerSlot player, const QString &text)
{
    m_primary.setSpeedCaption(player, text);
    if (m_secondary) {
        m_secondary->setSpeedCaption(player, text);
    }
}

void ForwardingBoard::setRecordCaption(PlayerSlot player, const QString &text)
{
    m_primary.setRecordCaption(player, text);
    if (m_secondary) {
        m_secondary->setRecordCaption(player, text);
    }
}

void ForwardingBoard::setRecordTag(PlayerSlot player, const QString &text)
{
    m_primary.setRecordTag(player, text);
    if (m_secondary) {
        m_secondary->setRecordTag(player, text);
    }
}

void ForwardingBoard::setBarValue(PlayerSlot player, double value)
{
    m_primary.setBarValue(player, value);
    if (m_secondary) {
        m_secondary->setBarValue(player, value);
    }
}

void ForwardingBoard::setBarColour(PlayerSlot player, quint32 bgr)
{
    m_primary.setBarColour(player, bgr);
    if (m_secondary) {
        m_secondary->setBarColour(player, bgr);
    }
}

void ForwardingBoard::setBigDisplayValue(qint32 value)
{
    m_primary.setBigDisplayValue(value);
    if (m_secondary) {
        m_secondary->setBigDisplayValue(value);
    }
}

void ForwardingBoard::setChartData(const speed_mode::ChartTable &table)
{
    m_primary.setChartData(table);
    if (m_secondary) {
        m_secondary->setChartData(table);
    }
}

void ForwardingBoard::setChartColumnLabel(int column, const QString &label)
{
    m_primary.setChartColumnLabel(column, label);
    if (m_secondary) {
        m_secondary->setChartColumnLabel(column, label);
    }
}

} // namespace display

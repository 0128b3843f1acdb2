// SPDX-License-Identifier: MIT
#include "recording_board.h"

void RecordingBoard::record(
    const QString &control, PlayerSlot player, const QString &property, const QString &value)
{
    m_log.append(control + QString::number(player) + u'.' + property + u'=' + value);
}

void RecordingBoard::setNameCaption(PlayerSlot player, const QString &text)
{
    m_players[player].nameCaption = text;
    if (m_logging) {
        record(QStringLiteral("lblName"), player, QStringLiteral("caption"), text);
    }
}

void RecordingBoard::setSpeedCaption(PlayerSlot player, const QString &text)
{
    m_players[player].speedCaption = text;
    if (m_logging) {
        record(QStringLiteral("lblRPM"), player, QStringLiteral("caption"), text);
    }
}

void RecordingBoard::setRecordCaption(PlayerSlot player, const QString &text)
{
    m_players[player].recordCaption = text;
    if (m_logging) {
        record(QStringLiteral("lblHI"), player, QStringLiteral("caption"), text);
    }
}

void RecordingBoard::setRecordTag(PlayerSlot player, const QString &text)
{
    m_players[player].recordTag = text;
    if (m_logging) {
        record(QStringLiteral("lblHI"), player, QStringLiteral("tag"), text);
    }
}

void RecordingBoard::setBarValue(PlayerSlot player, double value)
{
    m_players[player].barValue = value;
    if (m_logging) {
        record(QStringLiteral("pbar"), player, QStringLiteral("value"),
            QString::number(value, 'g', 17));
    }
}

void RecordingBoard::setBarColour(PlayerSlot player, quint32 bgr)
{
    m_players[player].barColour = bgr;
    if (m_logging) {
        record(QStringLiteral("pbar"), player, QStringLiteral("colour"),
            QStringLiteral("%1").arg(bgr, 6, 16, QLatin1Char('0')).toUpper());
    }
}

void RecordingBoard::setBigDisplayValue(qint32 value)
{
    m_bigDisplay = value;
    if (m_logging) {
        m_log.append(QStringLiteral("CurSpeed.value=") + QString::number(value));
    }
}

void RecordingBoard::setChartData(const speed_mode::ChartTable &table)
{
    m_chart = table;
    ++m_chartHandovers;
    if (m_logging) {
        m_log.append(QStringLiteral("MSChart1.data"));
    }
}

void RecordingBoard::setChartColumnLabel(int column, const QString &label)
{
    Q_ASSERT(column >= 1 && column <= speed_mode::kChartColumns);
    m_columnLabels[static_cast<std::size_t>(column - 1)] = label;
    if (m_logging) {
        m_log.append(QStringLiteral("MSChart1.column%1.label=").arg(column) + label);
    }
}

QString RecordingBoard::columnLabel(int column) const
{
    Q_ASSERT(column >= 1 && column <= speed_mode::kChartColumns);
    return m_columnLabels[static_cast<std::size_t>(column - 1)];
}

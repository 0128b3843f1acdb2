// SPDX-License-Identifier: MIT
#pragma once

#include "measurement/board.h"
#include "measurement/chart_table.h"
#include "shared/player_tables.h"

#include <QString>
#include <QStringList>

#include <array>

/// A Board that logs every write in order as readable text named after the main window's
/// controls ("lblRPM2.caption= 7500 rpm", "CurSpeed.value=7000") and keeps what was written,
/// so reads return the last value. At start every caption and tag is "", bars, colours and
/// the big display 0, and no chart has been handed over. Reads are not logged.
class RecordingBoard final : public speed_mode::Board
{
public:
    using PlayerSlot = rotavex::PlayerSlot;

    void setNameCaption(PlayerSlot player, const QString &text) override;
    void setSpeedCaption(PlayerSlot player, const QString &text) override;
    void setRecordCaption(PlayerSlot player, const QString &text) override;
    QString recordTag(PlayerSlot player) const override { return m_players[player].recordTag; }
    void setRecordTag(PlayerSlot player, const QString &text) override;
    void setBarValue(PlayerSlot player, double value) override;
    double barValue(PlayerSlot player) const override { return m_players[player].barValue; }
    void setBarColour(PlayerSlot player, quint32 bgr) override;
    double bigDisplayValue() const override { return m_bigDisplay; }
    void setBigDisplayValue(qint32 value) override;
    void setChartData(const speed_mode::ChartTable &table) override;
    void setChartColumnLabel(int column, const QString &label) override;

    /// Every write so far, oldest first.
    const QStringList &log() const { return m_log; }
    void clearLog() { m_log.clear(); }
    /// Stops (or resumes) logging writes, for callers that only read values back and must be
    /// fast (the fuzz target); the values are kept either way.
    void setLogging(bool on) { m_logging = on; }

    QString nameCaption(PlayerSlot player) const { return m_players[player].nameCaption; }
    QString speedCaption(PlayerSlot player) const { return m_players[player].speedCaption; }
    QString recordCaption(PlayerSlot player) const { return m_players[player].recordCaption; }
    quint32 barColour(PlayerSlot player) const { return m_players[player].barColour; }
    /// The table last handed over (empty before the first handover).
    const speed_mode::ChartTable &chart() const { return m_chart; }
    int chartHandovers() const { return m_chartHandovers; }
    /// Label of chart column 1..4.
    QString columnLabel(int column) const;

private:
    struct PlayerControls {
        QString nameCaption;
        QString speedCaption;
        QString recordCaption;
        QString recordTag;
        double barValue = 0.0;
        quint32 barColour = 0;
        bool operator==(const PlayerControls &) const = default;
    };

    void record(
        const QString &control, PlayerSlot player, const QString &property, const QString &value);

    rotavex::PerPlayer<PlayerControls> m_players;
    double m_bigDisplay = 0.0;
    speed_mode::ChartTable m_chart;
    int m_chartHandovers = 0;
    std::array<QString, speed_mode::kChartColumns> m_columnLabels;
    QStringList m_log;
    bool m_logging = true;
};

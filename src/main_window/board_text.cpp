// SPDX-License-Identifier: MIT
#include "main_window/board_text.h"

#include <QLocale>

#include <cmath>

namespace board_text
{

namespace
{
    // An empty seat shows a dash, not a 0 it never played.
    constexpr QChar kEmptySeat(0x2014);
} // namespace

using speed_mode::Reading;

QString SpeedCaption(const game::Snapshot &snapshot, rotavex::PlayerSlot player)
{
    const game::PlayerSnapshot &values = snapshot.players[player];
    if (!values.seated) {
        return QString(kEmptySeat);
    }
    switch (snapshot.reading) {
    case Reading::Rest:
        return QStringLiteral("0 rpm");
    case Reading::StrengthRest:
        return QStringLiteral("0 rev");
    case Reading::Speed:
        return u' ' + QString::number(values.rpm) + QStringLiteral(" rpm");
    case Reading::Strength:
        break;
    }
    // No revolutions show no digits at all.
    const qlonglong whole = std::llround(values.revolutions);
    return (whole == 0 ? QString() : QLocale().toString(whole)) + QStringLiteral(" rev");
}

QString RecordCaption(const game::Snapshot &snapshot, rotavex::PlayerSlot player)
{
    if (!snapshot.players[player].seated) {
        return QString(kEmptySeat);
    }
    const QString digits = QString::number(snapshot.players[player].record.value_or(0));
    switch (snapshot.reading) {
    case Reading::Rest:
    case Reading::StrengthRest:
        return QStringLiteral("0 rpm");
    case Reading::Speed:
        return digits + QStringLiteral(" rpm");
    case Reading::Strength:
        break;
    }
    return digits + QStringLiteral(" rpm max");
}

QString RecordTag(const game::Snapshot &snapshot, rotavex::PlayerSlot player)
{
    const std::optional<qint32> record = snapshot.players[player].record;
    return record ? QString::number(*record) : QString();
}

} // namespace board_text

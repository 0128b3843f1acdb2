// SPDX-License-Identifier: MIT
#include "competition/heat_text.h"

namespace competition
{

QString HeatTitle(const Competition &competition, int heat)
{
    return QStringLiteral("Heat %1 of %2").arg(heat + 1).arg(competition.heats.size());
}

QStringList SeatNames(const Competition &competition, const Heat &heat)
{
    QStringList names;
    for (const PlayerId id : heat.seats) {
        const Player *player = id == kNoPlayer ? nullptr : FindPlayer(competition, id);
        names.append(player ? player->name : QString());
    }
    return names;
}

QString HeatNames(const Competition &competition, const Heat &heat)
{
    QStringList names = SeatNames(competition, heat);
    names.removeAll(QString());
    return names.join(QStringLiteral(", "));
}

QString OnDeckText(const Competition &competition, int heat)
{
    if (heat + 1 >= competition.heats.size()) {
        return QString();
    }
    return QStringLiteral("Next: ") + HeatNames(competition, competition.heats[heat + 1]);
}

ConsoleView ConsoleViewFor(
    const Competition *competition, std::optional<int> called, bool redo, bool running)
{
    ConsoleView view;
    if (!competition) {
        view.title = QStringLiteral("No competition");
        return view;
    }
    const std::optional<int> heat = called ? called : NextHeat(*competition);
    if (!heat || *heat >= competition->heats.size()) {
        view.title = QStringLiteral("Every heat is played");
        return view;
    }
    view.seats = SeatNames(*competition, competition->heats[*heat]);
    const QString title = HeatTitle(*competition, *heat) + (redo ? QStringLiteral(" again") : "");
    if (!called) {
        view.title = QStringLiteral("Up next: %1").arg(title);
    } else if (running) {
        view.title = QStringLiteral("%1 playing").arg(title);
        view.canStop = true;
    } else {
        view.title = QStringLiteral("%1: press Start").arg(title);
        view.canStart = true;
    }
    return view;
}

} // namespace competition

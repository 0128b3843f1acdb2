// SPDX-License-Identifier: MIT
#include "shared/unbroken_text.h"

#include <algorithm>

namespace unbroken_text
{

namespace
{

    // A word too wide for any line: as many characters as fit on each, never half a surrogate
    // pair. Returns the last piece, which the next words may join. Only pieces about a line
    // long are measured, so a word of a hundred thousand characters costs no more per line.
    QString cutIntoLines(
        const QString &word, double maxWidth, const Measure &width, QStringList &lines)
    {
        qsizetype start = 0;
        while (true) {
            const QStringView rest = QStringView(word).mid(start);
            qsizetype fits = 0;
            while (fits < rest.size() && width(rest.left(fits + 1)) <= maxWidth) {
                ++fits;
            }
            if (fits == rest.size()) {
                return rest.toString();
            }
            fits = std::max<qsizetype>(fits, 1);
            if (rest.at(fits - 1).isHighSurrogate()) {
                fits = fits > 1 ? fits - 1 : fits + 1;
            }
            lines.append(rest.left(fits).toString());
            start += fits;
        }
    }

} // namespace

QStringList WrapAtBlanks(const QString &plain, double maxWidth, const Measure &width)
{
    QStringList lines;
    for (const QString &paragraph : QString(plain)
                                        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                        .split(QLatin1Char('\n'))) {
        const QStringList words = paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        // Most paragraphs fit whole: one measure instead of one per word.
        const QString whole = words.join(QLatin1Char(' '));
        if (width(whole) <= maxWidth) {
            lines.append(whole);
            continue;
        }
        QString line;
        for (const QString &word : words) {
            const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (width(longer) <= maxWidth) {
                line = longer;
                continue;
            }
            if (!line.isEmpty()) {
                lines.append(line);
            }
            line = width(word) <= maxWidth ? word : cutIntoLines(word, maxWidth, width, lines);
        }
        lines.append(line);
    }
    return lines;
}

QString LinesAsHtml(const QStringList &lines)
{
    QStringList escaped;
    for (const QString &line : lines) {
        escaped << line.toHtmlEscaped();
    }
    // white-space:pre makes the block's lines unbreakable; <br> ends each of ours, empty ones
    // included.
    return QStringLiteral("<p style=\"white-space:pre; margin:0\">")
        + escaped.join(QStringLiteral("<br>")) + QStringLiteral("</p>");
}

} // namespace unbroken_text

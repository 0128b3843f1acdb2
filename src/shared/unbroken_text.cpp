// SPDX-License-Identifier: MIT
#include "shared/unbroken_text.h"

namespace unbroken_text
{

namespace
{

    // A word too wide for any line: as many characters as fit on each, never half a surrogate
    // pair. Returns the last piece, which the next words may join.
    QString cutIntoLines(QString word, double maxWidth, const Measure &width, QStringList &lines)
    {
        while (!word.isEmpty() && width(word) > maxWidth) {
            qsizetype fits = 1;
            while (fits < word.size() && width(QStringView(word).left(fits + 1)) <= maxWidth) {
                ++fits;
            }
            if (fits < word.size() && word.at(fits - 1).isHighSurrogate()) {
                fits = fits > 1 ? fits - 1 : fits + 1;
            }
            lines.append(word.left(fits));
            word.remove(0, fits);
        }
        return word;
    }

} // namespace

QStringList WrapAtBlanks(const QString &plain, double maxWidth, const Measure &width)
{
    QStringList lines;
    for (const QString &paragraph : QString(plain)
                                        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                        .split(QLatin1Char('\n'))) {
        QString line;
        for (const QString &word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
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
    QString html;
    for (const QString &line : lines) {
        // white-space:pre makes the block's lines unbreakable; the non-breaking space keeps an
        // empty line as tall as the others.
        html += QStringLiteral("<p style=\"white-space:pre; margin:0\">")
            + (line.isEmpty() ? QStringLiteral("&nbsp;") : line.toHtmlEscaped())
            + QStringLiteral("</p>");
    }
    return html;
}

} // namespace unbroken_text

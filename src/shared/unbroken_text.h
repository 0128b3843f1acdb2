// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

// Messages carry device paths ("/dev/rfcomm8"), port names and words such as "start-up"; the
// text layout would break them after "/" or "-", which reads as two different things. These
// lines break at blanks only.
namespace unbroken_text
{

/// Width of a piece of text in the caller's unit (pixels of the font it is shown in).
using Measure = std::function<double(QStringView)>;

/// `plain` in lines no wider than `maxWidth`, broken only at blanks and at the text's own line
/// breaks; runs of blanks where a line breaks are dropped. A word wider than a whole line keeps
/// a line of its own, cut into pieces only when it alone is wider than `maxWidth`.
QStringList WrapAtBlanks(const QString &plain, double maxWidth, const Measure &width);

/// Rich text that shows `lines` as they are: markup characters escaped, one line each, and no
/// further line breaks inside any of them.
QString LinesAsHtml(const QStringList &lines);

/// Both steps: the rich text of `plain` wrapped at blanks.
inline QString UnbrokenHtml(const QString &plain, double maxWidth, const Measure &width)
{
    return LinesAsHtml(WrapAtBlanks(plain, maxWidth, width));
}

} // namespace unbroken_text

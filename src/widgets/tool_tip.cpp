// SPDX-License-Identifier: MIT
#include "widgets/tool_tip.h"

#include "shared/unbroken_text.h"

#include <QFontMetricsF>
#include <QToolTip>

namespace widgets
{

namespace
{
    constexpr int kLineChars = 60;
}

QString ToolTipText(const QString &plain)
{
    const QFontMetricsF metrics(QToolTip::font());
    return unbroken_text::UnbrokenHtml(plain, metrics.averageCharWidth() * kLineChars,
        [&metrics](QStringView text) { return metrics.horizontalAdvance(text.toString()); });
}

} // namespace widgets

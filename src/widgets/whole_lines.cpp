// SPDX-License-Identifier: MIT
#include "widgets/whole_lines.h"

#include "shared/unbroken_text.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace widgets
{

void KeepLinesWhole(QMessageBox &box)
{
    auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    if (label == nullptr) {
        return;
    }
    const QFontMetrics metrics(label->font());
    const auto widestOf = [&metrics](const QStringList &lines) {
        int widest = 0;
        for (const QString &line : lines) {
            widest = std::max(widest, metrics.horizontalAdvance(line));
        }
        return widest;
    };
    const QWidget *owner = box.parentWidget() != nullptr ? box.parentWidget() : &box;
    const QScreen *screen = owner->screen();
    const int screenWidth = screen != nullptr ? screen->availableGeometry().width() : 1024;
    // The box's own limit, less its margins and an icon, so it never falls back to breaking
    // lines anywhere.
    const int limit = (screenWidth <= 1024 ? screenWidth : std::min(screenWidth - 480, 1000))
        - 4 * box.style()->pixelMetric(QStyle::PM_LayoutLeftMargin)
        - box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize) - 2;
    int widest = widestOf(box.text().split(QRegularExpression(QStringLiteral("\r\n|\n|\r"))));
    if (widest > limit) {
        // Too long for any box: our own line breaks, at blanks only.
        const QStringList lines = unbroken_text::WrapAtBlanks(box.text(), limit,
            [&metrics](QStringView text) { return metrics.horizontalAdvance(text.toString()); });
        box.setText(lines.join(QLatin1Char('\n')));
        widest = widestOf(lines);
    }
    label->setMinimumWidth(std::min(widest + 2, limit));
}

void ShowPlainMessage(
    QWidget *owner, const QString &title, const QString &text, const QString &objectName)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.setObjectName(objectName);
    KeepLinesWhole(box);
    box.exec();
}

} // namespace widgets

// SPDX-License-Identifier: MIT
#include "main_window/tag_label.h"

#include <QFont>

namespace main_window
{

TagLabel::TagLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
}

void TagLabel::setBold(bool bold)
{
    QFont shown = font();
    shown.setBold(bold);
    setFont(shown);
}

} // namespace main_window

// SPDX-License-Identifier: MIT
#pragma once

#include <QProxyStyle>

namespace widgets
{

/// The application's style, but a group box's frame is drawn rather than stretched from the
/// style's picture: the first such picture read makes the image reader load every image
/// format plugin, a millisecond the window's first picture would wait for. It looks the same:
/// a faint line with softened corners round a faintly shaded inside.
class PanelFrameStyle : public QProxyStyle
{
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
        const QWidget *widget = nullptr) const override;
};

} // namespace widgets

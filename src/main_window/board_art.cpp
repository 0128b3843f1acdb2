// SPDX-License-Identifier: MIT
#include "main_window/board_art.h"

#include "main_window/rotor_logo.h"

#include <QThreadPool>

#include <memory>

namespace main_window
{

BoardArt::BoardArt(qreal devicePixelRatio)
{
    auto promise = std::make_shared<std::promise<Pictures>>();
    m_drawn = promise->get_future().share();
    // A worker of Qt's own pool: Qt hands the larger fills of a painter to that pool and waits
    // for them, unless the painter already runs on one of its threads. Drawn there, the
    // pictures cost no hand-overs at all. The worker owns what it fills, so it may outlive this.
    QThreadPool::globalInstance()->start([promise, devicePixelRatio] {
        Pictures pictures;
        for (int art = 0; art < kButtonArtCount; ++art) {
            pictures.buttons[art] = DrawButtonPictures(static_cast<ButtonArt>(art));
        }
        pictures.logo = RotorLogo::DrawAtDesignSize(devicePixelRatio);
        promise->set_value(std::move(pictures));
    });
}

const ButtonPictures &BoardArt::button(ButtonArt art) const
{
    return m_drawn.get().buttons[static_cast<std::size_t>(art)];
}

const QImage &BoardArt::logo() const { return m_drawn.get().logo; }

} // namespace main_window

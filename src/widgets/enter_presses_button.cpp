// SPDX-License-Identifier: MIT
#include "widgets/enter_presses_button.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QWidget>

namespace widgets
{

namespace
{

    class EnterPressesButton : public QObject
    {
    public:
        explicit EnterPressesButton(QWidget *window)
            : QObject(window)
            , m_window(window)
        {
        }

    protected:
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() != QEvent::KeyPress) {
                return QObject::eventFilter(watched, event);
            }
            const auto *key = static_cast<QKeyEvent *>(event);
            const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
            auto *button = qobject_cast<QAbstractButton *>(watched);
            // Only the window's own buttons: a dialog it owns handles its keys itself.
            if (!enter || button == nullptr || button->window() != m_window
                || !button->isEnabled()) {
                return QObject::eventFilter(watched, event);
            }
            if (!key->isAutoRepeat()) {
                button->click();
            }
            return true;
        }

    private:
        QWidget *m_window;
    };

} // namespace

void InstallEnterPressesButton(QWidget *window)
{
    auto *filter = new EnterPressesButton(window);
    for (auto *button : window->findChildren<QAbstractButton *>()) {
        button->installEventFilter(filter);
    }
}

} // namespace widgets

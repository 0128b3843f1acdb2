// SPDX-License-Identifier: MIT
#include "display/display_accessible.h"

#include "display/frm_display.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QStringList>

namespace display
{

namespace
{

    class DisplayAccessible : public QAccessibleWidget
    {
    public:
        explicit DisplayAccessible(frmDisplay *display)
            : QAccessibleWidget(display, QAccessible::Window)
        {
        }

        QString text(QAccessible::Text t) const override
        {
            const auto *display = static_cast<const frmDisplay *>(widget());
            switch (t) {
            case QAccessible::Name:
                return display->windowTitle();
            case QAccessible::Value: {
                QStringList texts;
                for (const frmDisplay::DrawnText &drawn : display->drawnTexts()) {
                    texts << drawn.item.text;
                }
                return texts.join(QLatin1Char('\n'));
            }
            default:
                return QAccessibleWidget::text(t);
            }
        }
    };

    QAccessibleInterface *displayWindow(const QString &className, QObject *object)
    {
        if (className == QLatin1String("frmDisplay")) {
            return new DisplayAccessible(static_cast<frmDisplay *>(object));
        }
        return nullptr;
    }

} // namespace

void InstallAccessibleFactory()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(displayWindow);
        installed = true;
    }
}

} // namespace display

// SPDX-License-Identifier: MIT
#include "main_window/accessible.h"

#include "main_window/led_display.h"
#include "main_window/speed_bar.h"
#include "widgets/tag_label.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace main_window
{

using widgets::TagLabel;

namespace
{

    class TagLabelAccessible : public QAccessibleWidget
    {
    public:
        explicit TagLabelAccessible(TagLabel *label)
            : QAccessibleWidget(label, QAccessible::StaticText)
        {
        }

        QString text(QAccessible::Text t) const override
        {
            const auto *label = static_cast<const TagLabel *>(widget());
            switch (t) {
            case QAccessible::Name:
                return label->accessibleName().isEmpty() ? label->text() : label->accessibleName();
            case QAccessible::Value:
                // The whole caption, also when the label shows it cut short.
                return label->text();
            default:
                return QAccessibleWidget::text(t);
            }
        }
    };

    class SpeedBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface
    {
    public:
        explicit SpeedBarAccessible(SpeedBar *bar)
            : QAccessibleWidget(bar, QAccessible::ProgressBar)
        {
        }

        void *interface_cast(QAccessible::InterfaceType t) override
        {
            if (t == QAccessible::ValueInterface) {
                return static_cast<QAccessibleValueInterface *>(this);
            }
            return QAccessibleWidget::interface_cast(t);
        }

        QString text(QAccessible::Text t) const override
        {
            if (t == QAccessible::Value) {
                return QString::number(bar()->value(), 'f', 0);
            }
            return QAccessibleWidget::text(t);
        }

        QVariant currentValue() const override { return bar()->value(); }
        void setCurrentValue(const QVariant &) override { } // the bar shows, it takes no input
        QVariant maximumValue() const override { return bar()->maximum(); }
        QVariant minimumValue() const override { return 0.0; }
        QVariant minimumStepSize() const override { return 0.0; }

    private:
        const SpeedBar *bar() const { return static_cast<const SpeedBar *>(widget()); }
    };

    class LedDisplayAccessible : public QAccessibleWidget
    {
    public:
        explicit LedDisplayAccessible(LedDisplay *display)
            : QAccessibleWidget(display, QAccessible::StaticText)
        {
        }

        QString text(QAccessible::Text t) const override
        {
            if (t == QAccessible::Value) {
                return QString::number(static_cast<const LedDisplay *>(widget())->number());
            }
            return QAccessibleWidget::text(t);
        }
    };

    QAccessibleInterface *boardWidgets(const QString &className, QObject *object)
    {
        if (className == QLatin1String("widgets::TagLabel")) {
            return new TagLabelAccessible(static_cast<TagLabel *>(object));
        }
        if (className == QLatin1String("main_window::LedDisplay")) {
            return new LedDisplayAccessible(static_cast<LedDisplay *>(object));
        }
        if (className == QLatin1String("main_window::SpeedBar")) {
            return new SpeedBarAccessible(static_cast<SpeedBar *>(object));
        }
        return nullptr;
    }

} // namespace

void InstallAccessibleFactory()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(boardWidgets);
        installed = true;
    }
}

} // namespace main_window

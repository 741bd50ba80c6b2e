#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QLabel>
#include <QScrollArea>
#include <QStringList>
#include <QWidget>

// The labels and buttons of a shown window whose text does not fit them, or that lie
// (partly) outside the window where nothing scrolls them into sight, and the lists too low
// to show their current entry whole.
inline QStringList ClippedControls(QWidget* window)
{
    const auto insideScrollArea = [window](const QWidget* control) {
        for (const QWidget* parent = control->parentWidget(); parent && parent != window; parent = parent->parentWidget())
            if (qobject_cast<const QScrollArea*>(parent))
                return true;
        return false;
    };
    QStringList clipped;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!control->isVisible() || control->isWindow())
            continue;
        const QString name = control->objectName().isEmpty() ? control->metaObject()->className() : control->objectName();
        const auto* label = qobject_cast<QLabel*>(control);
        if (label && !label->text().isEmpty()) {
            const bool fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                                : label->sizeHint().width() <= label->width()
                                                      && label->minimumSizeHint().height() <= label->height();
            if (!fits)
                clipped << name + QStringLiteral(" (text)");
        }
        const auto* view = qobject_cast<QAbstractItemView*>(control);
        if (view && view->currentIndex().isValid()
            && view->visualRect(view->currentIndex()).height() > view->viewport()->height())
            clipped << name + QStringLiteral(" (entry)");
        const auto* button = qobject_cast<QAbstractButton*>(control);
        if (button && !button->text().isEmpty()) {
            const QFontMetrics metrics(button->font());
            const int text = metrics.horizontalAdvance(QString(button->text()).remove(u'&'));
            if (text > button->width() || metrics.height() > button->height())
                clipped << name + QStringLiteral(" (text)");
        }
        if ((label || button) && !insideScrollArea(control)) {
            const QRect area(control->mapTo(window, QPoint(0, 0)), control->size());
            if (!window->rect().contains(area))
                clipped << name + QStringLiteral(" (outside)");
        }
    }
    return clipped;
}

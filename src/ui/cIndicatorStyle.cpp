#include "cIndicatorStyle.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOption>
#include <QWidget>

#include <algorithm>

int cIndicatorStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    const int base = QProxyStyle::pixelMetric(metric, option, widget);
    switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
        return widget ? std::max(base, widget->fontMetrics().ascent() * 4 / 5) : base;
    default:
        return base;
    }
}

void cIndicatorStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                    const QWidget* widget) const
{
    if (element != PE_IndicatorCheckBox && element != PE_IndicatorRadioButton) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const QPalette::ColorGroup group = option->state & State_Enabled ? QPalette::Active : QPalette::Disabled;
    const QColor ink = option->palette.color(group, QPalette::WindowText);
    const QColor paper = option->palette.color(group, QPalette::Window);
    const qreal side = std::min(option->rect.width(), option->rect.height());
    const qreal line = std::max<qreal>(2, side / 10);
    const QRectF box = QRectF(option->rect.x(), option->rect.y(), side, side).adjusted(line / 2, line / 2, -line / 2, -line / 2);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(ink, line));
    painter->setBrush(paper);
    if (element == PE_IndicatorRadioButton) {
        painter->drawEllipse(box);
        if (option->state & State_On) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(ink);
            painter->drawEllipse(box.adjusted(side / 4, side / 4, -side / 4, -side / 4));
        }
    } else {
        painter->drawRect(box);
        QPen mark(ink, line * 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter->setPen(mark);
        if (option->state & State_On) {
            QPainterPath tick;
            tick.moveTo(box.left() + box.width() * 0.2, box.top() + box.height() * 0.52);
            tick.lineTo(box.left() + box.width() * 0.42, box.top() + box.height() * 0.75);
            tick.lineTo(box.left() + box.width() * 0.8, box.top() + box.height() * 0.25);
            painter->setBrush(Qt::NoBrush);
            painter->drawPath(tick);
        } else if (option->state & State_NoChange) {
            painter->drawLine(QPointF(box.left() + box.width() * 0.25, box.center().y()),
                              QPointF(box.right() - box.width() * 0.25, box.center().y()));
        }
    }
    painter->restore();
}

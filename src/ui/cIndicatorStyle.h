#pragma once
// A style that paints large check and option marks; it only paints, keys and speech are untouched.
#include <QProxyStyle>

// Check boxes and option buttons whose marks are as tall as most of their text and drawn in
// its colour: the style's own are a few pixels wide and dark, and on the dark backgrounds
// our users choose an unticked box does not show at all.
class cIndicatorStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};

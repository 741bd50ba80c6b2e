#pragma once
// The main window's menus painted in the user's colours; their keys and speech are not here (cMenuVoice).
#include <QColor>
#include <QFont>
#include <QProxyStyle>

class QMainWindow;
class QWidget;

// The main window's menu bar and menus in the menu colours and a large font: normal items
// in the text colour on the background, the highlighted one inverted, disabled ones grey
// (blue when highlighted), a check mark as "x " before the caption, separators as a band.
// Qt's menus stay underneath, so keyboard handling and what a screen reader reads do not
// change; only painting and measuring are ours.
class cMenuStyle : public QProxyStyle {
    Q_OBJECT
public:
    static constexpr int kFontSize = 20;
    static constexpr int kBarUnderline = 2;
    static constexpr int kSeparatorBand = 4;
    static constexpr int kMargin = 5;
    static constexpr qint32 kDisabledColour = 0x808080;
    static constexpr qint32 kDisabledSelectedColour = 0xFF0000; // red in the low byte: blue

    // Colours as colour numbers (RGB with red in the low byte, or system colours).
    cMenuStyle(qint32 foreMenu, qint32 backMenu);

    QColor NormalText() const { return m_fore; }
    QColor NormalBack() const { return m_back; }
    QFont MenuFont() const { return m_font; }

    // The caption as drawn: no "&", "x " before a checked one, the shortcut apart.
    static QString DrawnCaption(const QString& text, bool checked, QString* shortcut = nullptr);

    void polish(QWidget* widget) override;
    using QProxyStyle::polish;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

private:
    void DrawCaption(QPainter* painter, const QRect& rect, const QString& caption, const QString& shortcut,
                     bool submenu) const;

    QColor m_fore;
    QColor m_back;
    QFont m_font;
};

// Gives the window's menu bar and every menu of it the menu style (again after the menu
// colours changed); the style belongs to the window.
cMenuStyle* InstallMenuStyle(QMainWindow* window, qint32 foreMenu, qint32 backMenu);
// After items were added or changed: menus measure and paint themselves anew.
void RefreshMenus(QMainWindow* window);

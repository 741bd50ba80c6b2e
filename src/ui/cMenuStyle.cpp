#include "cMenuStyle.h"

#include "mPrepareForm.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyleOptionMenuItem>

namespace {

const QString kSubmenuMark = QStringLiteral(">");
const QString kCheckMark = QStringLiteral("x ");

bool IsSelected(const QStyleOption* option)
{
    return option->state & (QStyle::State_Selected | QStyle::State_Sunken);
}

} // namespace

cMenuStyle::cMenuStyle(qint32 foreMenu, qint32 backMenu)
    : m_fore(ColourFromNumber(foreMenu)), m_back(ColourFromNumber(backMenu)), m_font(QStringLiteral("Arial"), kFontSize)
{
}

QString cMenuStyle::DrawnCaption(const QString& text, bool checked, QString* shortcut)
{
    const qsizetype tab = text.indexOf(u'\t');
    if (shortcut)
        *shortcut = tab < 0 ? QString() : text.mid(tab + 1).trimmed();
    const QString caption = (tab < 0 ? text : text.left(tab)).trimmed();
    return checked ? kCheckMark + caption : caption;
}

void cMenuStyle::polish(QWidget* widget)
{
    QProxyStyle::polish(widget);
    // Qt measures the shortcut column with the menu's own font: it must be ours.
    if (qobject_cast<QMenu*>(widget) || qobject_cast<QMenuBar*>(widget))
        widget->setFont(m_font);
}

void cMenuStyle::DrawCaption(QPainter* painter, const QRect& rect, const QString& caption, const QString& shortcut,
                             bool submenu) const
{
    const QFontMetrics metrics(m_font);
    const QRect inner = rect.adjusted(kMargin, 0, -kMargin, 0);
    // The access key is always underlined: the user navigates by it, not by a mouse.
    painter->drawText(inner, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic | Qt::TextSingleLine, caption);
    if (submenu)
        painter->drawText(inner, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, kSubmenuMark);
    else if (!shortcut.isEmpty())
        painter->drawText(inner, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, shortcut);
}

void cMenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    switch (element) {
    case CE_MenuItem:
    case CE_MenuBarItem: {
        if (!item)
            break;
        painter->save();
        painter->setFont(m_font);
        const bool selected = IsSelected(option);
        const bool enabled = option->state & State_Enabled;
        QRect rect = option->rect;
        if (element == CE_MenuBarItem) {
            painter->fillRect(rect, m_back);
            const QRect underline(rect.left(), rect.bottom() - kBarUnderline + 1, rect.width(), kBarUnderline);
            painter->fillRect(underline, m_fore);
            rect.setBottom(underline.top() - 1);
        }
        if (item->menuItemType == QStyleOptionMenuItem::Separator) {
            painter->fillRect(rect, m_back);
            const int top = rect.top() + rect.height() / 2 - kSeparatorBand / 2;
            painter->fillRect(QRect(rect.left(), top, rect.width(), kSeparatorBand), m_fore);
            painter->restore();
            return;
        }
        const QColor back = selected ? m_fore : m_back;
        QColor text = selected ? m_back : m_fore;
        if (!enabled)
            text = ColourFromNumber(selected ? kDisabledSelectedColour : kDisabledColour);
        painter->fillRect(rect, back);
        painter->setPen(text);
        QString shortcut;
        const bool checked = item->checkType != QStyleOptionMenuItem::NotCheckable && item->checked;
        const QString caption = DrawnCaption(item->text, checked, &shortcut);
        DrawCaption(painter, rect, caption, element == CE_MenuItem ? shortcut : QString(),
                    item->menuItemType == QStyleOptionMenuItem::SubMenu);
        painter->restore();
        return;
    }
    case CE_MenuBarEmptyArea: {
        painter->fillRect(option->rect, m_back);
        const QRect& rect = option->rect;
        painter->fillRect(QRect(rect.left(), rect.bottom() - kBarUnderline + 1, rect.width(), kBarUnderline), m_fore);
        return;
    }
    case CE_MenuEmptyArea:
    case CE_MenuTearoff:
        painter->fillRect(option->rect, m_back);
        return;
    default:
        break;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void cMenuStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const
{
    switch (element) {
    case PE_PanelMenu:
    case PE_PanelMenuBar:
        painter->fillRect(option->rect, m_back);
        return;
    case PE_FrameMenu:
        painter->save();
        painter->setPen(m_fore);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        painter->restore();
        return;
    default:
        break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

QSize cMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                   const QWidget* widget) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item || (type != CT_MenuItem && type != CT_MenuBarItem))
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    const QFontMetrics metrics(m_font);
    if (item->menuItemType == QStyleOptionMenuItem::Separator)
        return QSize(kMargin * 2, kSeparatorBand * 3);
    QString shortcut;
    // A check mark must not widen the menu when it comes.
    const bool checkable = item->checkType != QStyleOptionMenuItem::NotCheckable;
    const QString caption = DrawnCaption(item->text, checkable, &shortcut);
    int width = metrics.boundingRect(QRect(), Qt::TextShowMnemonic | Qt::TextSingleLine, caption).width() + kMargin * 2;
    const int height = metrics.height() + kMargin;
    if (type == CT_MenuBarItem)
        return QSize(width + kMargin, height + kBarUnderline);
    // Qt adds the widest shortcut (measured in our font, see polish) to the menu's width;
    // the gap before it and the submenu mark are ours.
    if (!shortcut.isEmpty() || item->reservedShortcutWidth > 0)
        width += kMargin * 3;
    if (item->menuItemType == QStyleOptionMenuItem::SubMenu)
        width += metrics.horizontalAdvance(kSubmenuMark) + kMargin * 3;
    return QSize(width, height);
}

int cMenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    case PM_MenuPanelWidth:
        return 1;
    case PM_MenuHMargin:
    case PM_MenuVMargin:
    case PM_MenuBarPanelWidth:
    case PM_MenuBarItemSpacing:
    case PM_MenuBarHMargin:
    case PM_MenuBarVMargin:
    case PM_MenuDesktopFrameWidth:
        return 0;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int cMenuStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                          QStyleHintReturn* returnData) const
{
    switch (hint) {
    case SH_Menu_AllowActiveAndDisabled:
        return 1; // a disabled item can be highlighted, so the user hears why it is disabled
    case SH_UnderlineShortcut:
        return 1;
    default:
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}

cMenuStyle* InstallMenuStyle(QMainWindow* window, qint32 foreMenu, qint32 backMenu)
{
    auto* style = new cMenuStyle(foreMenu, backMenu);
    style->setParent(window);
    const auto previous = window->findChildren<cMenuStyle*>();
    window->menuBar()->setStyle(style);
    for (QMenu* menu : window->findChildren<QMenu*>())
        menu->setStyle(style);
    for (cMenuStyle* old : previous) {
        if (old != style)
            delete old;
    }
    return style;
}

void RefreshMenus(QMainWindow* window)
{
    auto* style = window->findChild<cMenuStyle*>();
    for (QMenu* menu : window->findChildren<QMenu*>()) {
        if (style && menu->style() != style)
            menu->setStyle(style);
        menu->adjustSize();
        menu->update();
    }
    window->menuBar()->adjustSize();
    window->menuBar()->update();
}

#include "mPrepareForm.h"

#include "mStringTable.h"

#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QLabel>
#include <QWidget>

QPalette::ColorRole SystemColourRole(int index)
{
    switch (index) {
    case 0: return QPalette::Mid;               // scroll bar
    case 1: return QPalette::Window;            // desktop
    case 2: return QPalette::Highlight;         // active caption
    case 3: return QPalette::Window;            // inactive caption
    case 4: return QPalette::Window;            // menu
    case 5: return QPalette::Base;              // window
    case 6: return QPalette::Shadow;            // window frame
    case 7: return QPalette::WindowText;        // menu text
    case 8: return QPalette::Text;              // window text
    case 9: return QPalette::HighlightedText;   // caption text
    case 10: return QPalette::Window;           // active border
    case 11: return QPalette::Window;           // inactive border
    case 12: return QPalette::Dark;             // application workspace
    case 13: return QPalette::Highlight;        // highlight
    case 14: return QPalette::HighlightedText;  // highlight text
    case 15: return QPalette::Button;           // button face
    case 16: return QPalette::Dark;             // button shadow
    case 17: return QPalette::PlaceholderText;  // grey text
    case 18: return QPalette::ButtonText;       // button text
    case 19: return QPalette::WindowText;       // inactive caption text
    case 20: return QPalette::Light;            // button highlight
    case 21: return QPalette::Shadow;           // dark shadow
    case 22: return QPalette::Midlight;         // 3D light
    case 23: return QPalette::ToolTipText;      // info text
    case 24: return QPalette::ToolTipBase;      // info background
    case 26: return QPalette::Link;             // hot light
    case 27: return QPalette::Highlight;        // gradient active caption
    case 28: return QPalette::Window;           // gradient inactive caption
    case 29: return QPalette::Highlight;        // menu highlight
    case 30: return QPalette::Window;           // menu bar
    default: return QPalette::NoRole;
    }
}

QColor ColourFromNumber(qint32 colour, const QPalette& palette)
{
    const quint32 value = quint32(colour);
    if (value & 0x80000000u) {
        const QPalette::ColorRole role = SystemColourRole(int(value & 0xFFFFu));
        return role == QPalette::NoRole ? QColor(Qt::black) : palette.color(QPalette::Active, role);
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

QColor ColourFromNumber(qint32 colour)
{
    return ColourFromNumber(colour, QApplication::palette());
}

QFont FontFromStd(const cStdFont& font)
{
    QFont result(font.Name);
    if (font.Size > 0)
        result.setPointSizeF(font.Size);
    result.setBold(font.Bold);
    result.setItalic(font.Italic);
    result.setUnderline(font.Underline);
    return result;
}

QList<QWidget*> ControlsOf(QWidget* form)
{
    QList<QWidget*> controls;
    if (!form)
        return controls;
    for (QWidget* child : form->findChildren<QWidget*>()) {
        const QString name = child->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")) && !child->isWindow())
            controls.append(child);
    }
    return controls;
}

bool TakesFormColours(const QWidget* control)
{
    if (qobject_cast<const QLabel*>(control) || qobject_cast<const QGroupBox*>(control))
        return true;
    const QMetaObject* type = control->metaObject();
    if (type == &QFrame::staticMetaObject || type == &QWidget::staticMetaObject)
        return true; // a frame or a bare container: part of the form's surface
    return control->objectName().startsWith(QLatin1String("pic"));
}

void ApplyFontToForm(QWidget* form, const QFont& font)
{
    if (!form)
        return;
    form->setFont(font);
    for (QWidget* control : ControlsOf(form))
        control->setFont(font);
}

void ApplyFontToForm(QWidget* form, const cStdFont& font)
{
    ApplyFontToForm(form, FontFromStd(font));
}

void PaintControl(QWidget* widget, const QColor& fore, const QColor& back)
{
    QPalette palette = widget->palette();
    // Disabled text keeps the style's own colour, so a disabled control still looks it.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(group, role, fore);
        // A selection in the user's own colours, inverted: the style's light blue behind
        // white text is too faint for a partially sighted user.
        palette.setColor(group, QPalette::Highlight, fore);
        palette.setColor(group, QPalette::HighlightedText, back);
    }
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
            palette.setColor(group, role, back);
    }
    widget->setPalette(palette);
}

void ApplyColoursToForm(QWidget* form, qint32 foreForm, qint32 backForm, qint32 fore, qint32 back)
{
    if (!form)
        return;
    const QPalette base = QApplication::palette();
    const QColor formFore = ColourFromNumber(foreForm, base);
    const QColor formBack = ColourFromNumber(backForm, base);
    const QColor controlFore = ColourFromNumber(fore, base);
    const QColor controlBack = ColourFromNumber(back, base);
    PaintControl(form, formFore, formBack);
    for (QWidget* control : ControlsOf(form)) {
        if (TakesFormColours(control)) {
            PaintControl(control, formFore, formBack);
        } else {
            PaintControl(control, controlFore, controlBack);
            control->setAutoFillBackground(true);
        }
    }
}

QLabel* NewCaption(QWidget* form, const char* name, const QString& caption, QWidget* buddy)
{
    auto* label = new QLabel(caption, form);
    label->setObjectName(QLatin1String(name));
    label->setBuddy(buddy);
    buddy->setAccessibleName(QString(caption).remove(u'&').remove(u':'));
    return label;
}

QPushButton* NewButton(QWidget* form, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, form);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(QString(caption).remove(u'&'));
    return button;
}

QHBoxLayout* MakeOkCancelRow(QWidget* form, QPushButton** ok, QPushButton** cancel)
{
    *ok = NewButton(form, "cmdOK", LoadString(1));
    (*ok)->setDefault(true);
    *cancel = NewButton(form, "cmdCancel", LoadString(2));
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(*ok);
    row->addWidget(*cancel);
    return row;
}

int TwipsToPixels(const QWidget* widget, double twips)
{
    return qRound(twips * widget->logicalDpiX() / 1440.0);
}

#pragma once
// The user's font and colours on forms, and their standard captions and buttons; no speech here.
#include "cStdFont.h"

#include <QColor>
#include <QFont>
#include <QPalette>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

// A classic colour number: RGB with red in the low byte, or 0x80000000 + index for a
// system colour, taken from the palette role that index stands for.
QColor ColourFromNumber(qint32 colour, const QPalette& palette);
QColor ColourFromNumber(qint32 colour); // against the application's palette
// The palette role a system colour index stands for (button face is Button, ...).
QPalette::ColorRole SystemColourRole(int index);

QFont FontFromStd(const cStdFont& font);

// Twips (1440 a logical inch) as pixels on the widget's screen.
int TwipsToPixels(const QWidget* widget, double twips);

// The form and each of its controls take the font.
void ApplyFontToForm(QWidget* form, const QFont& font);
void ApplyFontToForm(QWidget* form, const cStdFont& font);
// The form, its labels, frames and picture boxes take the form colours; every other
// control the control colours.
void ApplyColoursToForm(QWidget* form, qint32 foreForm, qint32 backForm, qint32 fore, qint32 back);

// The OK (default button: Enter in a box confirms) and Storno buttons of a dialog, named
// cmdOK and cmdCancel, at the right of the row returned.
QHBoxLayout* MakeOkCancelRow(QWidget* form, QPushButton** ok, QPushButton** cancel);

// A label that names its control for a screen reader and for the speech on focus: the
// buddy's accessible name is the caption without "&" and ":".
QLabel* NewCaption(QWidget* form, const char* name, const QString& caption, QWidget* buddy);
// A push button named by its caption without "&".
QPushButton* NewButton(QWidget* form, const char* name, const QString& caption);

// One control in the given colours, its selection inverted (back on fore).
void PaintControl(QWidget* widget, const QColor& fore, const QColor& back);

// The controls of a form: its named descendants, as the members that hold them are
// named; the inner parts Qt builds controls from are not controls of their own.
QList<QWidget*> ControlsOf(QWidget* form);
// Labels, frames (group boxes, plain frames and containers) and picture boxes ("pic").
bool TakesFormColours(const QWidget* control);

#pragma once

class QDialog;
class QScrollArea;

// A scroll area filling the dialog, with an empty page to give a layout: at a large font
// on a small screen the dialog scrolls instead of cutting its controls off.
QScrollArea* NewScrollingPage(QDialog* dialog);

// Sizes a dialog whose controls sit in a scrolling page to show the whole page, but never
// larger than the screen it is on; there the page scrolls.
// A width or height above 0 is the least the dialog is given (texts that wrap ask for little).
void FitToScreen(QDialog* dialog, QScrollArea* page, int width = 0, int height = 0);

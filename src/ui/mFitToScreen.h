#pragma once
// Scrolling pages that keep dialogs in a large font within the screen; layout only, no keys or speech.
class QDialog;
class QScrollArea;

// A frameless scroll area of the dialog around an empty page ("picPage") to give a
// layout: at a large font on a small screen the page scrolls instead of cutting its
// controls off. The caller places it.
QScrollArea* NewScrollArea(QDialog* dialog);
// The same, filling the whole dialog.
QScrollArea* NewScrollingPage(QDialog* dialog);

// Sizes a dialog whose controls sit in a scrolling page to show the whole page, but never
// larger than the screen it is on; there the page scrolls.
// A width or height above 0 is the least the dialog is given (texts that wrap ask for little).
// Every list of the page that has entries by then keeps room for one.
void FitToScreen(QDialog* dialog, QScrollArea* page, int width = 0, int height = 0);

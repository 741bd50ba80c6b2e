#pragma once

class QDialog;
class QScrollArea;

// Sizes a dialog whose controls sit in a scrolling page to show the whole page, but never
// larger than the screen it is on; there the page scrolls.
// A width above 0 is the least the dialog is given (texts that wrap ask for little).
void FitToScreen(QDialog* dialog, QScrollArea* page, int width = 0);

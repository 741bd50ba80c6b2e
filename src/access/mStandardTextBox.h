#pragma once
// Makes text box wrappers, so that a form need not know how one is set up.
#include "cStandardTextBox.h"

#include <memory>

class QWidget;

// A wrapper for a text box, initialised with the control and the flags; the form keeps
// it for as long as the control lives.
std::unique_ptr<cStandardTextBox> CreateStandardTextBox(QWidget* control, qint32 flags);

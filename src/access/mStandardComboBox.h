#pragma once
// Makes combo box wrappers, so that a form need not know how one is set up.
#include "cStandardComboBox.h"

#include <memory>

class QComboBox;

// A wrapper for a combo box, initialised with the control and the flags; the form keeps
// it for as long as the control lives.
std::unique_ptr<cStandardComboBox> CreateStandardComboBox(QComboBox* control, qint32 flags);

#pragma once

#include "cStandardComboBox.h"

#include <memory>

class QComboBox;

// A wrapper for a combo box, initialised with the control and the flags; the form keeps
// it for as long as the control lives.
std::unique_ptr<cStandardComboBox> CreateStandardComboBox(QComboBox* control, qint32 flags);

#include "mStandardTextBox.h"

std::unique_ptr<cStandardTextBox> CreateStandardTextBox(QWidget* control, qint32 flags)
{
    auto wrapper = std::make_unique<cStandardTextBox>();
    wrapper->Initialize(control, flags);
    return wrapper;
}

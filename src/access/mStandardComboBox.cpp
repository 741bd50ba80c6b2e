#include "mStandardComboBox.h"

std::unique_ptr<cStandardComboBox> CreateStandardComboBox(QComboBox* control, qint32 flags)
{
    auto wrapper = std::make_unique<cStandardComboBox>();
    wrapper->Initialize(control, flags);
    return wrapper;
}

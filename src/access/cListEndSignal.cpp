#include "cListEndSignal.h"

#include "modCommon.h"

#include <QKeyEvent>
#include <QListWidget>

bool cListEndSignal::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* list = qobject_cast<QListWidget*>(watched);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!list || list->count() == 0 || key->modifiers() != Qt::NoModifier)
        return false;
    const int row = list->currentRow();
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_PageUp:
    case Qt::Key_Home:
        if (row <= 0)
            VoiceOutput(5, 7, QString());
        break;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
    case Qt::Key_End:
        if (row >= list->count() - 1)
            VoiceOutput(5, 8, QString());
        break;
    default:
        break;
    }
    return false;
}

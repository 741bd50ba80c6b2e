#include "cListEndSignal.h"

#include "modCommon.h"

#include <QKeyEvent>
#include <QListView>

bool cListEndSignal::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    // A list box or the file dialog's list; the grid is a table and signals its own ends.
    auto* list = qobject_cast<QListView*>(watched);
    const auto* key = static_cast<QKeyEvent*>(event);
    const int count = list && list->model() ? list->model()->rowCount(list->rootIndex()) : 0;
    if (count == 0 || key->modifiers() != Qt::NoModifier)
        return false;
    const int row = list->currentIndex().row();
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
        if (row >= count - 1)
            VoiceOutput(5, 8, QString());
        break;
    default:
        break;
    }
    return false;
}

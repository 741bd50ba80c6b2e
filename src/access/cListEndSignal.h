#pragma once
// The end signal of every list, as one application-wide filter; it speaks and takes no key away.
#include <QObject>

// Up on a list's first entry or Down on its last changes nothing, and a list speaks only
// when its entry changes: such a key would be silent. The end is signalled instead, as in
// the grid. Installed on the application, for every list of every window.
class cListEndSignal : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

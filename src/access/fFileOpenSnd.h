#pragma once
// The sound-file variant of the file dialog: only its option group; everything else is fFileOpen's.
#include "fFileOpen.h"

class QGroupBox;
class QRadioButton;

// The file dialog for sound files: the same form with an option group that picks the
// kind of sound file shown.
class fFileOpenSnd : public fFileOpen {
    Q_OBJECT
public:
    explicit fFileOpenSnd(QWidget* parent = nullptr);
    ~fFileOpenSnd() override;

    QGroupBox* optSnd = nullptr;
    QList<QRadioButton*> optSndButtons;

    // The masks the options stand for, in their order.
    static QStringList SoundMasks();
};

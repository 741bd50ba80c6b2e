#include "fApplication.h"

#include "sMain.h"

#include <QCloseEvent>

fApplication::fApplication(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fApplication"));
    setProperty("windowCode", kWindowCode);
    LoadCommonPreferences(this);
    LoadPreferences();
    setWindowTitle(QStringLiteral("Databáze"));
    resize(800, 600);
}

void fApplication::closeEvent(QCloseEvent* event)
{
    if (!m_unloaded) {
        m_unloaded = true;
        SavePreferences();
    }
    event->accept();
}

#pragma once

#include <QMainWindow>

// The main window. It owns the preferences' lifetime: they are read when it loads and
// written back when it closes.
class fApplication : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kWindowCode = 2610;
    static constexpr int kGridControlId = 40;

    explicit fApplication(QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_unloaded = false;
};

#pragma once
// The chooser of an action to run on the selected record; it only picks, mActionRun runs.
#include <QDialog>

class QListWidget;
class QPushButton;

// Picks one of the actions that can run on the selected record: the list speaks each
// entry as the cursor reaches it; Enter runs the entry, Escape leaves.
class fRunAction : public QDialog {
    Q_OBJECT
public:
    // A list to pick from, as the table chooser is.
    static constexpr int kWindowCode = 2620;
    enum : int { ResultOk = 1, ResultCancel = 2 };

    explicit fRunAction(QWidget* parent = nullptr);

    // One entry: the action's caption and the field it takes its value from.
    void AddAction(const QString& caption, const QString& field);
    // 0-based entry chosen with OK; -1 otherwise.
    int Chosen() const { return m_chosen; }

    QListWidget* lstActions = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    int m_chosen = -1;
    bool m_inList = false;
};

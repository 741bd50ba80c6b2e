#pragma once

// The table chooser shown when a database opens with no stored query. It only lists the
// names it is given; it opens nothing.

#include <QDialog>

class QListWidget;
class QPushButton;

// The table chooser: the user picks the table to show when no query is stored.
class frmTable : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWindowCode = 2620;
    enum : int { ResultOk = 1, ResultCancel = 2 };

    explicit frmTable(QWidget* parent = nullptr);

    void AddTable(const QString& name);
    int TableCount() const;
    // The chosen name (empty after cancel) and the result: 1 chosen, 2 cancelled.
    QString ChosenTable() const { return m_chosen; }
    int Result() const { return m_result; }

    QListWidget* List1 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cmdOK_Click();
    void cmdCancel_Click();
    void SpeakCurrent() const;

    QString m_chosen;
    int m_result = ResultCancel;
};

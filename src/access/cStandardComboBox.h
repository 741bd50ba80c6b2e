#pragma once
// The speaking wrapper of a combo box; the edit logic is cStandardEditBox's, not repeated here.
#include <QComboBox>
#include <QObject>
#include <QPointer>

#include <memory>

class cStandardEditBox;

// Makes the edit part of a combo box speak what its keys do. A drop-down list (not
// editable) stays silent: moving through its items is announced by the form.
class cStandardComboBox : public QObject {
    Q_OBJECT
public:
    explicit cStandardComboBox(QObject* parent = nullptr);
    ~cStandardComboBox() override;

    void Initialize(QComboBox* control, qint32 flags);
    qint32 Flags() const { return m_flags; }
    void SetFlags(qint32 flags) { m_flags = flags; }

    QComboBox* Control() const { return m_control; }
    cStandardEditBox* EditBox() const { return m_editBox.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Terminate();
    void my_EditBox_ProduceOutput(int mode, int param, const QString& text);
    bool IsDropDownList() const;

    QPointer<QComboBox> m_control;
    std::unique_ptr<cStandardEditBox> m_editBox;
    qint32 m_flags = 0;
};

#pragma once
// The speaking wrapper of a text box, with its font keys; the edit logic is cStandardEditBox's.
#include <QObject>
#include <QWidget>
#include <QPointer>

#include <memory>

class cStandardEditBox;

// Makes a text box (QLineEdit, QPlainTextEdit or QTextEdit) speak what its keys do.
// Flags: 0 selects the whole text on focus (any other value does not); bit 0 enables
// Ctrl+numeric plus and minus to change the font size.
class cStandardTextBox : public QObject {
    Q_OBJECT
public:
    explicit cStandardTextBox(QObject* parent = nullptr);
    ~cStandardTextBox() override;

    void Initialize(QWidget* control, qint32 flags);
    qint32 Flags() const { return m_flags; }
    void SetFlags(qint32 flags) { m_flags = flags; }
    void AddRoleBraille(qint32 role);

    QWidget* Control() const { return m_control; }
    cStandardEditBox* EditBox() const { return m_editBox.get(); }

    static constexpr qint32 kFlagZoomKeys = 1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Terminate();
    void my_EditBox_ProduceOutput(int mode, int param, const QString& text);
    void Zoom(int keyCode);

    QPointer<QWidget> m_control;
    std::unique_ptr<cStandardEditBox> m_editBox;
    qint32 m_flags = 0;
};

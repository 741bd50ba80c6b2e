#pragma once
// The base of both accessible message boxes; their buttons and answers are the boxes' own.
#include "cStandardTextBox.h"

#include <QDialog>

#include <memory>

class QHBoxLayout;
class QPlainTextEdit;
class QPushButton;

// What the two accessible message boxes share: the message text, read-only but
// focusable so it can be read character by character, spoken when it gets the focus,
// drawn in the user's colours and font, enlarged with numeric plus and minus.
class cMessageBoxForm : public QDialog {
    Q_OBJECT
public:
    explicit cMessageBoxForm(QWidget* parent);
    ~cMessageBoxForm() override;

    // The message and the caption of the box.
    void SetMessage(const QString& message, const QString& caption);
    QString Message() const;

    QPlainTextEdit* txtMessage = nullptr;

protected:
    QPushButton* AddButton(const QString& name);
    // Called when the message text gets the focus, after it has been spoken.
    virtual void MessageFocused() {}
    // Numeric plus and minus on the message text; true when the key was one of them.
    bool HandleFontKey(int keyCode);
    // A character a box does not use: swallowed, so the message cannot change.
    static bool IsSwallowedCharacter(const class QKeyEvent* key);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PaintMessage();

    std::unique_ptr<cStandardTextBox> m_messageWrapper;
    QHBoxLayout* m_buttons = nullptr;
    bool m_announced = false;
};

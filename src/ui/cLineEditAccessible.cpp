#include "cLineEditAccessible.h"

#include "mAccessibleFactory.h"

#include <QFontMetrics>
#include <QLineEdit>

cLineEditAccessible::cLineEditAccessible(QLineEdit* box) : QAccessibleWidget(box, QAccessible::EditableText) {}

void cLineEditAccessible::Install()
{
    InstallAccessibleFactory<QLineEdit, cLineEditAccessible>();
}

QLineEdit* cLineEditAccessible::Box() const
{
    return static_cast<QLineEdit*>(widget());
}

QString cLineEditAccessible::Shown() const
{
    return Box()->echoMode() == QLineEdit::Normal ? Box()->text() : Box()->displayText();
}

QString cLineEditAccessible::text(QAccessible::Text type) const
{
    if (type == QAccessible::Value)
        return Shown();
    QString text = QAccessibleWidget::text(type);
    if (type == QAccessible::Name && text.isEmpty())
        text = Box()->placeholderText();
    return text;
}

QAccessible::State cLineEditAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    if (Box()->isReadOnly())
        state.readOnly = true;
    else
        state.editable = true;
    if (Box()->echoMode() != QLineEdit::Normal)
        state.passwordEdit = true;
    state.selectableText = true;
    return state;
}

void* cLineEditAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

void cLineEditAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !Box()->hasSelectedText())
        return;
    *startOffset = Box()->selectionStart();
    *endOffset = *startOffset + int(Box()->selectedText().size());
}

int cLineEditAccessible::selectionCount() const
{
    return Box()->hasSelectedText() ? 1 : 0;
}

void cLineEditAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void cLineEditAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        Box()->deselect();
}

void cLineEditAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        Box()->setSelection(startOffset, endOffset - startOffset);
}

int cLineEditAccessible::cursorPosition() const
{
    return Box()->cursorPosition();
}

void cLineEditAccessible::setCursorPosition(int position)
{
    Box()->setCursorPosition(position);
}

QString cLineEditAccessible::text(int startOffset, int endOffset) const
{
    if (startOffset > endOffset)
        return {};
    return Shown().mid(startOffset, endOffset - startOffset);
}

int cLineEditAccessible::characterCount() const
{
    return int(Shown().size());
}

QRect cLineEditAccessible::characterRect(int offset) const
{
    // From the caret's place: the box scrolls its text, and the caret is where it is drawn.
    const QString shown = Shown();
    if (offset < 0 || offset >= shown.size())
        return {};
    const QFontMetrics metrics(Box()->font());
    const int caret = Box()->cursorPosition();
    const QRect caretRect = Box()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    const int caretX = caretRect.center().x();
    const int x = offset >= caret ? caretX + metrics.horizontalAdvance(shown.mid(caret, offset - caret))
                                  : caretX - metrics.horizontalAdvance(shown.mid(offset, caret - offset));
    const QRect local(x, caretRect.top(), metrics.horizontalAdvance(shown.at(offset)), caretRect.height());
    return QRect(Box()->mapToGlobal(local.topLeft()), local.size());
}

int cLineEditAccessible::offsetAtPoint(const QPoint& point) const
{
    const QPoint local = Box()->mapFromGlobal(point);
    if (!Box()->rect().contains(local))
        return -1;
    return Box()->cursorPositionAt(local);
}

void cLineEditAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    Box()->setCursorPosition(endIndex);
    Box()->setCursorPosition(startIndex);
}

QString cLineEditAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
    // No attributes, and none of them anywhere: the whole text is one run.
    const int count = characterCount();
    *startOffset = offset < 0 || offset > count ? -1 : 0;
    *endOffset = offset < 0 || offset > count ? -1 : count;
    return {};
}

void cLineEditAccessible::deleteText(int startOffset, int endOffset)
{
    replaceText(startOffset, endOffset, QString());
}

void cLineEditAccessible::insertText(int offset, const QString& text)
{
    replaceText(offset, offset, text);
}

void cLineEditAccessible::replaceText(int startOffset, int endOffset, const QString& text)
{
    // As typing would: never into a box the user may not change, and through its validator.
    QLineEdit* box = Box();
    if (box->isReadOnly() || !box->isEnabled() || startOffset < 0 || endOffset < startOffset
        || endOffset > box->text().size())
        return;
    box->setSelection(startOffset, endOffset - startOffset);
    box->insert(text);
}

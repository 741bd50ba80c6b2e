#include "cFormView.h"

#include "cBrowserState.h"

#include "cActions.h"
#include "cDesignCommands.h"
#include "cRecordList.h"
#include "cStandardEditBox.h"
#include "fApplication.h"
#include "mActionRun.h"
#include "mKeys.h"
#include "mPrepareForm.h"
#include "mStringTable.h"
#include "mScreenReader.h"
#include "modCommon.h"
#include "sMain.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>

#include <functional>

namespace {

// The form view's field box: the caret starts at the beginning of the value however the
// focus came, where a line edit would select the whole value on Tab. It is put there as
// the box is left, not as it is entered: a caret moved before the focus is announced makes
// a screen reader take the box as already known, and it says nothing.
class cFieldBox : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    std::function<void()> focused;

protected:
    void focusInEvent(QFocusEvent* event) override
    {
        QFocusEvent unselecting(event->type(), Qt::OtherFocusReason);
        QLineEdit::focusInEvent(&unselecting);
        if (hasSelectedText())
            deselect();
        if (cursorPosition() != 0)
            setCursorPosition(0);
        if (focused)
            focused();
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        QLineEdit::focusOutEvent(event);
        if (event->reason() == Qt::PopupFocusReason)
            return; // a menu over the box leaves the caret where it was
        deselect();
        setCursorPosition(0);
    }
};

} // namespace

cFormView::cFormView(fApplication& window, cBrowserState& state) : m_window(window), m_state(state) {}

cFormView::~cFormView() = default;

void cFormView::CreateTemplates()
{
    m_window.FormRows.CreateTemplates(m_window.picFormView, new cFieldBox(m_window.picFormView));
}

void cFormView::Release()
{
    my_EditBox.reset();
}

void cFormView::Clear()
{
    my_EditBox.reset();
    m_window.FormRows.Clear();
    m_currentColumn = 0;
}

void cFormView::Prepare()
{
    Clear();
    const QFont font = FontFromStd(gFont);
    for (int i = 1; i <= m_window.list->ColumnCount(); ++i) {
        auto* box = new cFieldBox(m_window.picFormView);
        // Browsing only: a typed change would look saved and is not.
        box->setReadOnly(true);
        box->focused = [this, i] { BoxFocused(i); };
        m_window.FormRows.AddRow(m_window.picFormView, m_window.list->HeaderText(i - 1), box, font);
    }
}

void cFormView::ShowSelected()
{
    const auto& Text = m_window.Text;
    const auto& Label = m_window.Label;
    const cRecordList* list = m_window.list;
    const int n = int(Text.size()) - 1;
    const bool empty = list->RowCount() == 0;
    const qint64 row = list->SelectedRow();
    if (!empty && row < 0)
        return;
    Text[0]->hide();
    Label[0]->hide();
    // An empty source still shows its fields, empty, so that the form has a place for
    // the focus and says which fields there are.
    for (int i = 1; i <= n; ++i) {
        Label[i]->show();
        Text[i]->show();
        // An unchanged value is not set again: each setting is news to a screen reader.
        if (const QString value = empty ? QString() : list->CellText(row, i - 1); Text[i]->text() != value) {
            Text[i]->setText(value);
            Text[i]->setCursorPosition(0);
        }
        // The referred row's text, which a screen reader reads after the box's own.
        if (const QString related = empty ? QString() : list->RelatedText(row, i - 1);
            Text[i]->accessibleDescription() != related)
            Text[i]->setAccessibleDescription(related);
    }
    if (m_window.IsFormView())
        Layout();
}

void cFormView::Layout()
{
    QScrollArea* view = m_window.fraFormView;
    const int scaleWidth = view->viewport()->width();
    const QSize needed = m_window.FormRows.Layout(scaleWidth);
    // The form's surface fills the view even below the last field.
    m_window.picFormView->resize(std::max(scaleWidth, needed.width()),
                                 std::max(needed.height(), view->viewport()->height()));
}

int cFormView::FocusedBox() const
{
    if (!m_window.IsFormView())
        return 1;
    const auto& Text = m_window.Text;
    for (int i = 1; i < Text.size(); ++i)
        if (Text[i]->hasFocus())
            return i;
    return 1;
}

int cFormView::BoxColumn(const QObject* object) const
{
    const auto& Text = m_window.Text;
    for (int i = 1; i < Text.size(); ++i) {
        if (Text[i] == object)
            return i;
    }
    return 0;
}

void cFormView::BoxFocused(int column)
{
    QLineEdit* box = m_window.Text[column];
    my_EditBox = std::make_unique<cStandardEditBox>();
    my_EditBox->Intialize(box);
    QObject::connect(my_EditBox.get(), &cStandardEditBox::ProduceOutput, &m_window,
                     // Speech only: the Braille line keeps the field's line, which the wrapper refreshes.
                     [](int mode, int param, const QString& text) { VoiceOutput(mode, param, text, false, 0, true); });
    m_currentColumn = column;
    m_window.fraFormView->ensureWidgetVisible(box, 0, TwipsToPixels(&m_window, 75));
    // Arriving in a box (F12, Tab) says which field it is and what it holds; without this
    // only a separate screen reader would tell.
    SayBox(column);
    BrailleRole(kRoleText);
}

namespace {

// A value and, where it refers to another table's row, that row's text.
QString WithRelated(const QString& value, const QLineEdit* box)
{
    const QString related = box->accessibleDescription();
    return related.isEmpty() ? value : value + QStringLiteral(", ") + related;
}

} // namespace

void cFormView::SayBox(int column) const
{
    const QLineEdit* box = m_window.Text[column];
    VoiceFocus(box->accessibleName(), WithRelated(box->text(), box), WindowHandle(box), WindowHandle(&m_window), 0,
               true, true, 0);
}

QString cFormView::SpokenValue(int column) const
{
    const QLineEdit* box = m_window.Text[column];
    return box->text().isEmpty() ? LoadString(504) : WithRelated(box->text(), box);
}

void cFormView::BoxLeft(int)
{
    my_EditBox.reset();
}

void cFormView::SelectRow(qint64 row, int column)
{
    cRecordList* list = m_window.list;
    if (row < 0 || row >= list->RowCount() || row == list->SelectedRow())
        return;
    list->SelectOnlyRow(row);
    ShowSelected();
    m_window.ItemClick(list->SelectedRow());
    m_window.Text[column]->setFocus();
    // The record changed under the caret: say the field's new value. A screen reader reads
    // the new text itself, but an empty one is no text to it, and Orca passes over a new
    // text of one character (its caret stays where it was).
    const QString text = m_window.Text[column]->text();
    const QString related = m_window.Text[column]->accessibleDescription();
    if (text.isEmpty() || (ScreenReaderReads() && text.size() == 1))
        VoiceOutput(2, 0, SpokenValue(column));
    else if (ScreenReaderReads() && !related.isEmpty())
        VoiceOutput(1, 0, related); // after the screen reader's new value: a text change carries no description
    else
        VoiceEcho(2, 0, SpokenValue(column));
}

bool cFormView::BoxKeyDown(int column, int keyCode, int shift)
{
    cRecordList* list = m_window.list;
    const qint64 row = list->SelectedRow();
    if (keyCode == Key::PageUp && shift == 0) {
        SelectRow(row - 1, column);
        return true;
    }
    if (keyCode == Key::PageDown && shift == 0) {
        SelectRow(row + 1, column);
        return true;
    }
    if (keyCode == Key::PageUp && shift == ShiftMask::Ctrl) {
        SelectRow(0, column);
        return true;
    }
    if (keyCode == Key::PageDown && shift == ShiftMask::Ctrl) {
        SelectRow(list->RowCount() - 1, column);
        return true;
    }
    if (shift == ShiftMask::Ctrl && keyCode >= '0' && keyCode <= '9') {
        const bool sorted = list->SortByDigitKey(keyCode - '0');
        ShowSelected();
        if (sorted)
            m_window.SayThenCurrentRecord(list->OrderText());
        return true;
    }
    if (keyCode == Key::Return && shift == 0) {
        const QString bound = cRecordList::ColumnTagPart(list->ColumnTag(column - 1), 0);
        if (RunColumnActions(m_state.Actions.get(), m_window.DesignCommands().SelectedActionRow(), column, bound) == 0)
            VoiceOutput(2, 0, FillPlaceholders(LoadString(10592), {m_window.Text[column]->accessibleName()}));
        return true;
    }
    return false;
}

bool cFormView::FilterEvent(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (const int column = BoxColumn(watched)) {
            int keyCode = KeyCodeOf(key);
            const int shift = ShiftOf(key);
            const bool command = BoxKeyDown(column, keyCode, shift);
            if (my_EditBox && my_EditBox->Control() == watched)
                my_EditBox->KeyDown(keyCode, shift);
            if (command || keyCode == 0)
                return true;
            if (const QString why = WhyKeyDoesNothing(key); !why.isEmpty()) {
                VoiceOutput(2, 0, why);
                return true;
            }
        }
    } else if (type == QEvent::KeyRelease) {
        if (BoxColumn(watched) && my_EditBox && my_EditBox->Control() == watched) {
            int keyCode = KeyCodeOf(static_cast<QKeyEvent*>(event));
            my_EditBox->KeyUp(keyCode, ShiftOf(static_cast<QKeyEvent*>(event)));
            if (keyCode == 0)
                return true;
        }
    } else if (type == QEvent::FocusOut) {
        if (const int column = BoxColumn(watched))
            BoxLeft(column);
    }
    return false;
}

QString cFormView::WhyKeyDoesNothing(const QKeyEvent* key)
{
    if (key->isAutoRepeat())
        return {};
    if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier)
        return LoadString(10598);
    // The boxes only show the record: typing, pasting or erasing would silently fail.
    const bool typing = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
                        && !key->text().isEmpty() && key->text().front().isPrint();
    if (typing || key->key() == Qt::Key_Backspace || key->matches(QKeySequence::Paste)
        || key->matches(QKeySequence::Cut))
        return LoadString(10599);
    return {};
}

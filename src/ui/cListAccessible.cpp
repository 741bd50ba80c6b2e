#include "cListAccessible.h"

#include "mAccessibleFactory.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QListView>
#include <QPointer>

namespace {

class cListEntryAccessible : public QAccessibleInterface {
public:
    cListEntryAccessible(QListView* list, int row) : m_list(list), m_row(row) {}

    bool isValid() const override { return m_list && m_list->model() && m_row < Rows(); }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_list.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text type) const override
    {
        if (!isValid() || type != QAccessible::Name)
            return {};
        const QModelIndex index = Index();
        const QString accessible = index.data(Qt::AccessibleTextRole).toString();
        return accessible.isEmpty() ? index.data(Qt::DisplayRole).toString() : accessible;
    }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect entry = m_list->visualRect(Index());
        return QRect(m_list->viewport()->mapToGlobal(entry.topLeft()), entry.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        const QModelIndex index = Index();
        if (!m_list->isVisible() || !m_list->viewport()->rect().intersects(m_list->visualRect(index)))
            state.invisible = state.offscreen = true;
        state.focusable = state.selectable = true;
        if (m_list->selectionMode() == QAbstractItemView::ExtendedSelection
            || m_list->selectionMode() == QAbstractItemView::MultiSelection)
            state.multiSelectable = true;
        if (m_list->selectionModel() && m_list->selectionModel()->isSelected(index))
            state.selected = true;
        if (m_list->hasFocus() && m_list->currentIndex() == index)
            state.focused = true;
        if (!(index.flags() & Qt::ItemIsEnabled))
            state.disabled = true;
        return state;
    }

private:
    int Rows() const { return m_list->model()->rowCount(m_list->rootIndex()); }
    QModelIndex Index() const { return m_list->model()->index(m_row, m_list->modelColumn(), m_list->rootIndex()); }

    QPointer<QListView> m_list;
    int m_row;
};

} // namespace

cListAccessible::cListAccessible(QListView* list) : QAccessibleWidget(list, QAccessible::List)
{
    // Entries are (list, row) pairs that read the row afresh: rows coming or going need
    // no bookkeeping, and an entry past the last row is simply invalid.
}

cListAccessible::~cListAccessible()
{
    ForgetEntries();
}

void cListAccessible::Install()
{
    InstallAccessibleFactory<QListView, cListAccessible>();
}

QListView* cListAccessible::List() const
{
    return static_cast<QListView*>(widget());
}

void cListAccessible::ForgetEntries() const
{
    const auto entries = std::exchange(m_entries, {});
    for (const QAccessible::Id id : entries)
        QAccessible::deleteAccessibleInterface(id);
}

QAccessible::State cListAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    // The current entry holds the focus in the list's name.
    if (state.focused && List()->currentIndex().isValid())
        state.focused = false;
    return state;
}

QAccessibleInterface* cListAccessible::focusChild() const
{
    const QModelIndex current = List()->currentIndex();
    if (!List()->hasFocus() || !current.isValid())
        return nullptr;
    return child(current.row());
}

int cListAccessible::childCount() const
{
    const QAbstractItemModel* model = List()->model();
    return model ? model->rowCount(List()->rootIndex()) : 0;
}

QAccessibleInterface* cListAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    if (const auto found = m_entries.constFind(index); found != m_entries.constEnd())
        return QAccessible::accessibleInterface(found.value());
    auto* entry = new cListEntryAccessible(List(), index);
    m_entries.insert(index, QAccessible::registerAccessibleInterface(entry));
    return entry;
}

int cListAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    if (!child)
        return -1;
    const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface*>(child));
    for (auto it = m_entries.constBegin(); it != m_entries.constEnd(); ++it)
        if (it.value() == id)
            return it.key();
    return -1;
}

QAccessibleInterface* cListAccessible::childAt(int x, int y) const
{
    const QPoint local = List()->viewport()->mapFromGlobal(QPoint(x, y));
    const QModelIndex index = List()->indexAt(local);
    return index.isValid() ? child(index.row()) : nullptr;
}

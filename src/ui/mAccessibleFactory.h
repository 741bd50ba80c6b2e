#pragma once
// Puts the program's own accessibility interfaces in place of the toolkit's, class by class.
#include <QAccessible>
#include <QLatin1String>

// The toolkit asks the factories for each class of an object, the most derived first and the
// last installed first: Interface then serves every Widget (subclasses included, unless one
// of them has an interface of its own).
template <class Widget, class Interface>
QAccessibleInterface* AccessibleFactory(const QString& key, QObject* object)
{
    if (key == QLatin1String(Widget::staticMetaObject.className()))
        if (auto* widget = qobject_cast<Widget*>(object))
            return new Interface(widget);
    return nullptr;
}

// Installs that factory once however often it is asked.
template <class Widget, class Interface>
void InstallAccessibleFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(&AccessibleFactory<Widget, Interface>);
        return true;
    }();
    Q_UNUSED(installed)
}

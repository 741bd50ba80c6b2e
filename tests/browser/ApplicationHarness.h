#pragma once

#include "TestSupport.h"
#include "VoiceTestSupport.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

class fApplication;
class QDialog;
class QWidget;

// The real main window on a private hive, heard through the voice log, with databases
// made fresh in the test's folder.
class ApplicationTest : public VoiceLogTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new database file made from an SQL script.
    QString MakeDatabase(const QString& name, const QString& script) const;
    // Loads the main window as start-up does, shown and active.
    fApplication* Load();
    // Loads the window if needed and applies the file; false as ApplySetting says.
    bool Open(const QString& path, bool keepQuery = false);
    // Closes and unloads the window, as File > Exit does.
    void Unload();

    QString Panel(const char* key) const;
    QString Caption() const;
    // Key presses on the widget with the keyboard focus.
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const;
    QWidget* Focus() const;

    std::unique_ptr<ScopedRegistry> m_registry;
    fApplication* m_window = nullptr;
};

// Presses Down in the table chooser until the entry named table is current, then Enter.
void ChooseTable(QDialog* chooser, const QString& table);
// The text of an accessible message box (empty for any other dialog).
QString MessageOf(QDialog* dialog);

// Three people in one table "Lidé".
extern const char* const kPeopleScript;

// Takes the desktop's "open this document" requests for a scheme while it lives.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit UrlCatcher(const QString& scheme);
    ~UrlCatcher() override;
    QList<QUrl> Opened;
public slots:
    void Open(const QUrl& url) { Opened << url; }

private:
    QString m_scheme;
};

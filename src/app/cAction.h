#pragma once

// A user's action bound to a field and how it runs on a record: the command text taken
// apart and filled in here; starting a program or opening a document is the starter's
// (mShell), never a shell's.

#include <QString>
#include <QStringList>

class cActionStarter;

// A user's command bound to a field by name: it starts a program, or opens a document,
// with texts of the current record. Command text: program|parameters|working folder;
// "%1" … "%9" stand for the texts of the record's columns.
class cAction {
public:
    const QString& Caption() const { return m_caption; }
    void setCaption(const QString& value) { m_caption = value; }
    const QString& Field() const { return m_field; }
    void setField(const QString& value) { m_field = value; }
    const QString& Action() const { return m_action; }
    void setAction(const QString& value) { m_action = value; }
    const QString& key() const { return m_key; }
    void setkey(const QString& value) { m_key = value; }

    // Runs the action on a row: item holds the texts of its columns (column 1 first) and
    // column is the 1-based column showing the action's field. Returns the starter's
    // result (above 32: started); target receives the program or document it was for.
    // Throws cRuntimeError when column is not one of item's.
    qint32 DoAction(const QStringList& item, qint32 column, cActionStarter& starter, QString* target = nullptr) const;

private:
    QString m_caption;
    QString m_field;
    QString m_action;
    QString m_key;
};

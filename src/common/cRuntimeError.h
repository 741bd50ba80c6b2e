#pragma once
// The exception every layer throws for a numbered error; it reports nothing and shows no window.
#include <QString>
#include <exception>
#include <string>

// A run-time error as the engine and the program raise it: a number (the engine's error
// code for database errors), a description and the component that raised it.
// CaptureError turns the one being handled into an ErrorStorage.
class cRuntimeError : public std::exception {
public:
    cRuntimeError(qint32 number, QString description, QString source = QString());

    qint32 Number() const { return m_number; }
    const QString& Description() const { return m_description; }
    const QString& Source() const { return m_source; }

    const char* what() const noexcept override { return m_what.c_str(); }

private:
    qint32 m_number;
    QString m_description;
    QString m_source;
    std::string m_what;
};

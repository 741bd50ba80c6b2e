#pragma once

#include <QLocale>
#include <QString>
#include <QTemporaryDir>

// A private hive file for one test: QUARNEL_REGISTRY points into a fresh folder
// and is restored afterwards.
class ScopedRegistry {
public:
    ScopedRegistry();
    ~ScopedRegistry();
    ScopedRegistry(const ScopedRegistry&) = delete;
    ScopedRegistry& operator=(const ScopedRegistry&) = delete;

    QString Path() const { return m_path; }
    QString Folder() const { return m_dir.path(); }
    QString ReadFile() const;
    void WriteFile(const QByteArray& content) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
    QByteArray m_previous;
    bool m_hadPrevious;
};

// Pins the default locale for one test.
class ScopedLocale {
public:
    explicit ScopedLocale(const QString& name);
    ~ScopedLocale();
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    QLocale m_previous;
};

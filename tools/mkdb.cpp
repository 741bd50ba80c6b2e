// Builds a database from an SQL script: mkdb SCRIPT OUTPUT (an existing OUTPUT is replaced).
#include "mConvert.h"
#include "cRuntimeError.h"
#include "mSampleData.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    UseCNumbersInTheCLibrary();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: mkdb SCRIPT OUTPUT\n");
        return 2;
    }
    QFile script(arguments[1]);
    if (!script.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "mkdb: cannot read %s\n", qPrintable(arguments[1]));
        return 1;
    }
    const QString output = arguments[2];
    const QString partial = output + QStringLiteral(".part");
    QFile::remove(partial);
    try {
        CreateDatabaseFromScript(partial, QString::fromUtf8(script.readAll()));
    } catch (const cRuntimeError& e) {
        std::fprintf(stderr, "mkdb: %s\n", e.what());
        QFile::remove(partial);
        return 1;
    }
    // The finished file takes the name at once, never half-written.
    QFile::remove(output);
    return QFile::rename(partial, output) ? 0 : 1;
}

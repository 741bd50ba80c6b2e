#include "mConvert.h"
#include "sStartup.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char** argv)
{
    CatchTerminationSignals();
    QApplication app(argc, argv);
    UseCNumbersInTheCLibrary();
    QApplication::setApplicationName(QStringLiteral("Quarnel"));
    QApplication::setOrganizationName(QStringLiteral("Korvi"));
    // The program takes its command line as one text, the arguments joined by blanks.
    const QStringList arguments = QApplication::arguments().mid(1);
    return sMain(arguments.join(u' '));
}

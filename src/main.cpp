// The program's entry: answers --help and --version without a display, sets up what every
// window shares (style, list and button filters) and hands the command line to start-up.

#include "cIndicatorStyle.h"
#include "cListEndSignal.h"
#include "cPushButtons.h"
#include "mConvert.h"
#include "sStartup.h"

#include <QApplication>
#include <QStringList>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unicode/uloc.h>

namespace {

// --help and --version alone are questions to the program, answered without a display;
// any other argument is the database, so a file of that name is reached as ./--help.
bool AnswerQuestion(int argc, char** argv)
{
    if (argc != 2 || (std::strcmp(argv[1], "--help") != 0 && std::strcmp(argv[1], "--version") != 0))
        return false;
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("quarnel %s\n", QUARNEL_VERSION);
        return true;
    }
    std::setlocale(LC_ALL, "");
    const char* language = std::setlocale(LC_MESSAGES, nullptr);
    if (language && std::strncmp(language, "cs", 2) == 0)
        std::printf("Použití: quarnel [DATABÁZE]\n"
                    "Prohlížeč databází ovládaný klávesnicí, který mluví a píše na Braillův řádek.\n"
                    "DATABÁZE je soubor, který se otevře (bez něj databáze z minula).\n"
                    "  --help     tento text\n"
                    "  --version  verze programu\n"
                    "Klávesy: Ctrl+O otevřít, F12 tabulka/formulář, Ctrl+F filtr, Ctrl+A všechny záznamy,\n"
                    "  Ctrl+1…9 řadit, Ctrl+N přidat, Alt+Enter upravit, Del odstranit, Ctrl+G přejít na,\n"
                    "  Ctrl+R přečíst záznam, Ctrl+I kde jsem, Ctrl+L čtení po buňkách, Ctrl+Q dotazy,\n"
                    "  Ctrl+E spustit akci, Ctrl+F1 nápověda, Escape zavřít nebo přerušit.\n"
                    "Proměnné prostředí: QUARNEL_REGISTRY (soubor nastavení), QUARNEL_VOICE (speechd, log:CESTA, none).\n"
                    "Více v man quarnel a v nápovědě programu (Ctrl+F1).\n");
    else
        std::printf("Usage: quarnel [DATABASE]\n"
                    "A keyboard-only database browser that speaks and writes to a Braille line.\n"
                    "DATABASE is the file to open (without it, the last session's database).\n"
                    "  --help     this text\n"
                    "  --version  the program's version\n"
                    "Keys: Ctrl+O open, F12 grid/form, Ctrl+F filter, Ctrl+A all records, Ctrl+1…9 sort,\n"
                    "  Ctrl+N add, Alt+Enter edit, Del delete, Ctrl+G go to, Ctrl+R read the record,\n"
                    "  Ctrl+I where am I, Ctrl+L read by cells, Ctrl+Q queries, Ctrl+E run an action,\n"
                    "  Ctrl+F1 help, Escape close or stop.\n"
                    "Environment: QUARNEL_REGISTRY (preferences file), QUARNEL_VOICE (speechd, log:PATH, none).\n"
                    "See man quarnel and the program's help page (Ctrl+F1).\n");
    return true;
}

// The user's locale, C numbers and the collation library's default locale, all settled
// before a second thread starts: each of them is read without a lock by other threads, and
// the toolkit sets the locale again as it starts.
void SettleTheProcessLocale()
{
    std::setlocale(LC_ALL, "");
    UseCNumbersInTheCLibrary();
    // The collation library takes its default from the C library once, on first use.
    uloc_getDefault();
}

} // namespace

int main(int argc, char** argv)
{
    if (AnswerQuestion(argc, argv))
        return EXIT_SUCCESS;
    CatchTerminationSignals();
    // Qt opens its accessibility bridge only if assistive technology was on when the
    // program started; a screen reader started later would find nothing to read.
    if (!qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"))
        qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    SettleTheProcessLocale();
    // The count of a large table takes longer than the toolkit's start: it begins first.
    OpenNamedDatabaseEarly(argc, argv);
    QApplication app(argc, argv);
    UseCNumbersInTheCLibrary();
    QApplication::setApplicationName(QStringLiteral("Quarnel"));
    QApplication::setOrganizationName(QStringLiteral("Korvi"));
    QApplication::setApplicationVersion(QStringLiteral(QUARNEL_VERSION));
    QApplication::setStyle(new cIndicatorStyle);
    app.installEventFilter(new cListEndSignal(&app));
    app.installEventFilter(new cPushButtons(&app));
    // The program takes its command line as one text, the arguments joined by blanks.
    const QStringList arguments = QApplication::arguments().mid(1);
    return sMain(arguments.join(u' '));
}

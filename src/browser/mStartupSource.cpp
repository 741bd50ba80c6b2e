#include "mStartupSource.h"

#include "DBEngine.h"
#include "Database.h"
#include "Recordset.h"
#include "mCommandChoices.h"
#include "mLongWork.h"
#include "mStringTable.h"

#include <QFileInfo>
#include <QThread>

#include <clocale>
#include <locale.h>

#include <mutex>
#include <thread>

namespace {

struct Early {
    QString File;
    QString Type;
    std::thread Worker;
    std::mutex Lock; // guards Got.Db and Stopped: Escape comes on the window's thread
    bool Stopped = false;
    StartupSource Got;
};

std::unique_ptr<Early> gEarly;

// The toolkit, being built meanwhile, sets the process's locale and the program then sets
// its numbers back to C: the worker keeps the final locale of its own from the start, so
// no number is read or written with the decimal comma of the moment between.
class cThreadLocale {
public:
    cThreadLocale()
    {
        // Without the user's locale installed the process stays in C, and so does the worker.
        m_own = ::newlocale(LC_ALL_MASK, "", nullptr);
        if (!m_own)
            m_own = ::newlocale(LC_ALL_MASK, "C", nullptr);
        if (m_own)
            m_own = ::newlocale(LC_NUMERIC_MASK, "C", m_own);
        if (m_own)
            ::uselocale(m_own);
    }
    ~cThreadLocale()
    {
        if (!m_own)
            return;
        ::uselocale(LC_GLOBAL_LOCALE);
        ::freelocale(m_own);
    }
    cThreadLocale(const cThreadLocale&) = delete;
    cThreadLocale& operator=(const cThreadLocale&) = delete;

private:
    locale_t m_own = nullptr;
};

void OpenEarly(Early& early)
{
    const cThreadLocale locale;
    try {
        auto database = DBEngine::Instance().OpenDatabase(early.File, false, false, early.Type);
        {
            std::lock_guard lock(early.Lock);
            early.Got.Db = database;
            if (early.Stopped)
                return;
        }
        const QStringList tables = ChoosableTables(*database);
        if (tables.size() != 1)
            return; // the user chooses, once the window is there
        const QString sql = TableQuery(tables.constFirst());
        auto records = database->OpenRecordset(sql);
        records->RecordCount();
        early.Got.Sql = sql;
        early.Got.Rs = std::move(records);
    } catch (...) {
        // Opened again on the window's thread, which tells the user what failed.
        std::lock_guard lock(early.Lock);
        early.Got = StartupSource();
    }
}

} // namespace

void BeginStartupSource(const QString& file, const QString& type)
{
    if (gEarly || !QFileInfo(file).isFile())
        return;
    // The toolkit takes the first thread that asks for its own as the program's main one:
    // asked here first, it is this one, never the worker (whose event loop would otherwise
    // be the application's, and the window would never be served).
    QThread::currentThread();
    gEarly = std::make_unique<Early>();
    gEarly->File = QFileInfo(file).absoluteFilePath();
    gEarly->Type = type;
    gEarly->Worker = std::thread([early = gEarly.get()] { OpenEarly(*early); });
}

bool TakeStartupSource(const QString& file, const QString& type, StartupSource& source)
{
    source = StartupSource();
    if (!gEarly)
        return true;
    const std::unique_ptr<Early> early = std::move(gEarly);
    // The engine is not shared between threads: the worker ends before anything else opens.
    const bool complete = RunLongWork(
        LoadString(10604), LoadString(10605), [&](cWorkControl&) { early->Worker.join(); },
        [&early] {
            std::lock_guard lock(early->Lock);
            early->Stopped = true;
            if (early->Got.Db)
                early->Got.Db->Interrupt();
        });
    if (early->Worker.joinable())
        early->Worker.join();
    if (!complete)
        return false;
    if (early->File == QFileInfo(file).absoluteFilePath() && early->Type == type)
        source = std::move(early->Got);
    return true;
}

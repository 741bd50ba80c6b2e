// The main window's grid at scale, as ratios against baselines measured in the same run:
//   (1) opening the record source and showing its first row in the grid, against the
//       engine's walk of every record of the same source (what filling a row per record
//       would cost at the least);
//   (2) a Down key in the shown grid until the row's text reaches the voice server, 99th
//       percentile, at 10,000 and at 1,000,000 rows, unsorted and sorted;
//   (3) sorting the grid by a text column, against SQLite's ORDER BY of the same column
//       with the same collation (the engine's "QUARNEL");
//   (4) memory held by the open, shown grid against the size of the data;
//   (7) a filter that matches few rows, typed as a user types it, opened and shown, against
//       opening the whole record source.
// Usage: GridBench [rows]   (default 1000000)
#include "mConvert.h"
#include "mFilter.h"
#include "BenchSupport.h"
#include "QuietVoice.h"
#include "DBEngine.h"
#include "Recordset.h"
#include "cRecordList.h"
#include "cSqliteDriver.h"
#include "mSampleData.h"
#include "modCommon.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {

using bench::Best;
using bench::Clock;
using bench::Percentile;
using bench::ResidentMegabytes;
using bench::Seconds;

// Notes when a row's text arrives, as the speech server would hear it.
class cCountingVoice : public bench::cQuietVoice {
public:
    qint32 Voice(qint32 mode, qint32, const QString& text) override
    {
        if (mode == 2) {
            ++Rows;
            LastText = text;
            Arrived = Clock::now();
        }
        return 0;
    }

    qint64 Rows = 0;
    QString LastText;
    Clock::time_point Arrived;
};

const QStringList kColumns = {QStringLiteral("Id"),     QStringLiteral("Jmeno"), QStringLiteral("Mesto"),
                              QStringLiteral("Datum"),  QStringLiteral("Castka"), QStringLiteral("Pocet"),
                              QStringLiteral("Podil"),  QStringLiteral("Aktivni"), QStringLiteral("Poznamka")};

struct Grid {
    std::shared_ptr<Database> Db;
    std::shared_ptr<Recordset> Rs;
    std::unique_ptr<cRecordList> List;
};

// What the main window does to show a record source: headers, fill, first row selected.
Grid OpenGrid(const QString& path, bool show, std::shared_ptr<Recordset> rs = nullptr)
{
    Grid grid;
    if (!rs) {
        grid.Db = DBEngine::Instance().OpenDatabase(path);
        rs = grid.Db->OpenRecordset(QStringLiteral("SELECT * FROM Velka"));
    }
    grid.List = std::make_unique<cRecordList>();
    grid.List->resize(1000, 700);
    for (int i = 0; i < kColumns.size(); ++i)
        grid.List->AddColumn(kColumns[i], cRecordList::MakeColumnTag({}, i == 4 ? QStringLiteral("15%") : QString(),
                                                                     i == 4 ? QStringLiteral("#,##0.00 Kč") : QString()),
                             i);
    grid.Rs = rs;
    grid.List->SetRecordset(rs);
    grid.List->FillList();
    grid.List->SelectOnlyRow(0);
    if (show) {
        grid.List->show();
        grid.List->setFocus();
        grid.List->ApplyColumnWidths(1000);
        QApplication::processEvents();
        grid.List->viewport()->repaint();
    }
    grid.List->RowText(0);
    return grid;
}

qint64 EngineWalk(const QString& path)
{
    auto db = DBEngine::Instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM Velka"));
    const int fields = rs->Fields()->Count();
    qint64 sum = 0;
    for (; !rs->Eof(); rs->MoveNext())
        for (int i = 0; i < fields; ++i)
            sum += rs->FieldValue(i).isNull() ? 0 : 1;
    return sum;
}

// Milliseconds from each Down key's press until its row's text was spoken; the 50th and
// 99th percentiles.
std::pair<double, double> DownKeys(cRecordList& list, cCountingVoice& voice, int keys)
{
    std::vector<double> times;
    times.reserve(size_t(keys));
    for (int i = 0; i < keys; ++i) {
        const qint64 before = voice.Rows;
        const auto start = Clock::now();
        QTest::keyClick(&list, Qt::Key_Down);
        if (voice.Rows != before + 1)
            std::printf("  a key was not spoken\n");
        times.push_back(std::chrono::duration<double, std::milli>(voice.Arrived - start).count());
        QApplication::processEvents(); // the repaint between keys, outside the measure
    }
    return {Percentile(times, 0.5), Percentile(times, 0.99)};
}


} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    UseCNumbersInTheCLibrary();
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia)); // the databases' sort order
    auto* voice = new cCountingVoice;
    gVoice.reset(voice);

    const qint64 rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000000;
    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("small.db"));
    const QString large = dir.filePath(QStringLiteral("large.db"));
    auto start = Clock::now();
    GenerateLargeDatabase(small, 10000);
    GenerateLargeDatabase(large, rows);
    std::printf("generated 10000 and %lld rows in %.1f s\n", static_cast<long long>(rows), Seconds(start));
    EngineWalk(large); // the file in the page cache

    // (4) first, while nothing else has grown the heap.
    {
        const double before = ResidentMegabytes();
        const double data = double(QFileInfo(large).size()) / 1048576.0;
        auto db = DBEngine::Instance().OpenDatabase(large);
        auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM Velka"));
        rs->RecordCount();
        const double source = ResidentMegabytes() - before;
        Grid grid = OpenGrid(large, true, rs);
        const double held = ResidentMegabytes() - before - source;
        std::printf("(4) %.1f MB of data: the record source with its keys %.1f MB; the open, shown grid on another "
                    "%.1f MB (%.2f of the data, %.1f bytes a row)\n",
                    data, source, held, held / data, held * 1048576.0 / double(rows));
    }

    // (1)
    const double walk = Best(3, [&] { EngineWalk(large); });
    const double open = Best(3, [&] { OpenGrid(large, false); });
    const double openShown = Best(3, [&] { OpenGrid(large, true); });
    std::printf("(1) %lld rows: engine walk %.3f s; grid open to first row %.3f s (ratio %.3f), "
                "shown and painted %.3f s (ratio %.3f)\n",
                static_cast<long long>(rows), walk, open, open / walk, openShown, openShown / walk);

    // (2)
    constexpr int kKeys = 3000;
    Grid smallGrid = OpenGrid(small, true);
    const auto smallKeys = DownKeys(*smallGrid.List, *voice, kKeys);
    smallGrid.List.reset();
    Grid largeGrid = OpenGrid(large, true);
    const auto largeKeys = DownKeys(*largeGrid.List, *voice, kKeys);
    std::printf("(2) Down key to speech, %d keys: median %.3f / p99 %.3f ms at 10000 rows, median %.3f / p99 %.3f ms "
                "at %lld rows (p99 ratio %.2f)\n",
                kKeys, smallKeys.first, smallKeys.second, largeKeys.first, largeKeys.second,
                static_cast<long long>(rows), largeKeys.second / smallKeys.second);
    // Sorted, neighbouring rows are records far apart in the source.
    largeGrid.List->SortBy(1, Qt::AscendingOrder);
    largeGrid.List->SelectOnlyRow(rows / 2);
    const auto sortedKeys = DownKeys(*largeGrid.List, *voice, kKeys);
    std::printf("    sorted by Jmeno at %lld rows: median %.3f / p99 %.3f ms\n", static_cast<long long>(rows),
                sortedKeys.first, sortedKeys.second);

    // (3)
    for (const int column : {1, 2, 5}) {
        const QString name = kColumns[column];
        const double sql = Best(2, [&] { bench::BinaryOrderBy(large, name); });
        // The sort alone: the grid goes back to the recordset's order between runs, untimed.
        const auto sortOnce = [&] {
            largeGrid.List->Unsort();
            const auto began = Clock::now();
            largeGrid.List->SortBy(column, Qt::AscendingOrder);
            return Seconds(began);
        };
        const double before = ResidentMegabytes();
        const double grid = std::min(sortOnce(), sortOnce());
        const double kept = ResidentMegabytes() - before;
        // The window leaves the recordset at the selected record, so the walk starts elsewhere.
        largeGrid.Rs->setAbsolutePosition(qint32(rows / 3));
        const double gridAway = sortOnce();
        std::printf("(3) sort by %s (%s): binary ORDER BY %.3f s, grid %.3f s (ratio %.2f), with the recordset at "
                    "another record %.3f s (ratio %.2f); memory kept after the sort %.1f MB\n",
                    qPrintable(name),
                    column == 1 ? "every text distinct" : column == 2 ? "10 distinct texts" : "integers 0-999", sql,
                    grid, grid / sql, gridAway, gridAway / sql, kept);
    }
    // (5) type-ahead with no match: the first letter reads the first column once; later
    // letters only look at what it read.
    largeGrid.List->Unsort();
    largeGrid.List->SelectOnlyRow(0);
    const double first = Best(1, [&] { QTest::keyClick(largeGrid.List.get(), Qt::Key_Q); });
    QTest::qWait(QApplication::keyboardInputInterval() + 50); // a new search, not "qq"
    const double again = Best(1, [&] { QTest::keyClick(largeGrid.List.get(), Qt::Key_X); });
    QTest::qWait(QApplication::keyboardInputInterval() + 50);
    const double hit = Best(1, [&] { QTest::keyClick(largeGrid.List.get(), Qt::Key_Z); });
    std::printf("(5) type-ahead over %lld rows: the first letter (no row starts with it) %.3f s, another letter "
                "no row starts with %.4f s (ratio to the engine walk %.4f), a letter that finds a row %.4f s\n",
                static_cast<long long>(rows), first, again, again / walk, hit);

    // (6) one record added, edited and deleted, as the window does after its dialogs: the
    // record written through the recordset, then only its row brought in step, until the
    // row's text reaches the voice server; the screen's repaint follows in the event loop,
    // as after any key, and is given apart.
    {
        cRecordList& list = *largeGrid.List;
        Recordset& rs = *largeGrid.Rs;
        list.Unsort();
        list.SelectOnlyRow(rows / 2);
        QApplication::processEvents();
        qint64 added = 0;
        const double add = Best(3, [&] {
            rs.AddNew();
            rs.SetFieldValue(0, qint64(rows + 10 + added++));
            rs.SetFieldValue(1, QStringLiteral("Nový záznam"));
            rs.Update();
            rs.MoveLast();
            list.PutRecordRow(rs.AbsolutePosition(), true);
            voice->Voice(2, 0, list.RowText(list.SelectedRow()));
        });
        const double paint = Best(1, [&] { list.viewport()->repaint(); });
        const double edit = Best(3, [&] {
            const qint32 position = qint32(rows / 3);
            rs.setAbsolutePosition(position);
            rs.Edit();
            rs.SetFieldValue(1, QStringLiteral("Změněný záznam"));
            rs.Update();
            rs.setAbsolutePosition(position);
            list.PutRecordRow(position, true);
            voice->Voice(2, 0, list.RowText(list.SelectedRow()));
        });
        list.viewport()->repaint();
        const double remove = Best(3, [&] {
            const qint32 position = qint32(rows / 4);
            rs.setAbsolutePosition(position);
            rs.setBookmark(rs.Bookmark());
            rs.Delete();
            list.RemoveRecordRows({position});
            rs.setAbsolutePosition(position);
            list.SelectOnlyRow(list.RowOfPosition(position));
            voice->Voice(2, 0, list.RowText(list.SelectedRow()));
        });
        list.viewport()->repaint();
        std::printf("(6) at %lld rows, against opening the record source (%.3f s), the best of three: add %.5f s "
                    "(ratio %.3f), edit %.5f s (ratio %.4f), delete %.5f s (ratio %.3f); a repaint of the grid after "
                    "one %.4f s\n",
                    static_cast<long long>(rows), open, add, add / open, edit, edit / open, remove, remove / open, paint);
    }

    // (7) the filter form's condition on a text column, the way the main window opens it.
    {
        auto db = DBEngine::Instance().OpenDatabase(large);
        const QString sql = FilteredQuery(QStringLiteral("SELECT * FROM Velka"),
                                          JetFilterTerm(QStringLiteral("Jmeno"), 10, QStringLiteral("Čestmír 4242*")));
        qint64 found = 0;
        const double filtered = Best(3, [&] {
            Grid grid = OpenGrid(large, false, db->OpenRecordset(sql));
            found = grid.List->RowCount();
        });
        // As the user waits for it: the grid shown and painted, against the whole source shown.
        const double filteredShown = Best(3, [&] { OpenGrid(large, true, db->OpenRecordset(sql)); });
        std::printf("(7) a filter on a text column finding %lld of %lld rows: %.3f s, against opening them all %.3f s "
                    "(ratio %.3f); shown and painted %.3f s against %.3f s (ratio %.3f)\n",
                    static_cast<long long>(found), static_cast<long long>(rows), filtered, open, filtered / open,
                    filteredShown, openShown, filteredShown / openShown);
        // The same on the key, which the file keeps in order: no row but the one found is read.
        const QString byKey = FilteredQuery(QStringLiteral("SELECT * FROM Velka"),
                                            JetFilterTerm(QStringLiteral("Id"), 4, QStringLiteral("424242")));
        const double keyed = Best(3, [&] {
            Grid grid = OpenGrid(large, false, db->OpenRecordset(byKey));
            found = grid.List->RowCount();
        });
        std::printf("    on the key column finding %lld row: %.4f s (ratio %.4f)\n", static_cast<long long>(found), keyed,
                    keyed / open);
    }

    largeGrid.List.reset();
    gVoice.reset();
    return 0;
}

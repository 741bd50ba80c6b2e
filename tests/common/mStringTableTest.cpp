#include "mStringTable.h"

#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

// The table file read on its own terms: every line that is not a comment or blank must
// be "id<TAB>text", with only the four escapes the file's header names.
QMap<int, QString> ParseTable()
{
    QMap<int, QString> table;
    QFile file(QStringLiteral(QUARNEL_STRINGS));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << QUARNEL_STRINGS;
    int lineNumber = 0;
    for (QString line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        ++lineNumber;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        static const QRegularExpression entry(QStringLiteral("^([0-9]+)\t(.*)$"));
        const auto match = entry.match(line);
        if (!match.hasMatch()) {
            ADD_FAILURE() << "line " << lineNumber << " is no entry: " << line.toStdString();
            continue;
        }
        const int id = match.captured(1).toInt();
        EXPECT_FALSE(table.contains(id)) << "id " << id << " twice";
        QString text;
        const QString raw = match.captured(2);
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] != u'\\') {
                text += raw[i];
                continue;
            }
            const QChar next = i + 1 < raw.size() ? raw[++i] : QChar();
            if (next == u'r')
                text += u'\r';
            else if (next == u'n')
                text += u'\n';
            else if (next == u't')
                text += u'\t';
            else if (next == u'\\')
                text += u'\\';
            else
                ADD_FAILURE() << "id " << id << ": unknown escape \\" << QString(next).toStdString();
        }
        table.insert(id, text);
    }
    return table;
}

// Every id the sources ask for by its number.
QSet<int> IdsInSources()
{
    QSet<int> ids;
    static const QRegularExpression call(QStringLiteral("\\bLoadString\\(([0-9]+)\\)"));
    QDirIterator files(QStringLiteral(QUARNEL_SOURCES), {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const auto& match : call.globalMatch(QString::fromUtf8(file.readAll())))
            ids.insert(match.captured(1).toInt());
    }
    return ids;
}

} // namespace

TEST(StringTable, EveryIdReadsBackAsItsTextAndNoneTheProgramNeedsIsMissing)
{
    const QMap<int, QString> table = ParseTable();
    ASSERT_FALSE(table.isEmpty());
    for (auto entry = table.cbegin(); entry != table.cend(); ++entry)
        EXPECT_EQ(LoadString(entry.key()), entry.value()) << "id " << entry.key();

    // Asked for by number in the sources, or reached by an offset (volume kinds, the
    // error template, field errors, data types).
    QSet<int> needed = IdsInSources();
    ASSERT_FALSE(needed.isEmpty()) << "the sources were not found";
    needed.unite({811, 812, 813, 814, 20000, 23315, 23421});
    for (int id = 30001; id <= 30008; ++id)
        needed.insert(id);
    for (int id : needed)
        EXPECT_TRUE(table.contains(id) && !LoadString(id).isEmpty()) << "id " << id << " is missing";

    // Texts whose exact form the program depends on: placeholders, line breaks, the tab
    // before a menu shortcut. They also catch a reading shared wrongly by both parsers.
    const std::pair<int, QString> exact[] = {
        {10001, QStringLiteral("Pozice %1 z %2")},
        {10501, QStringLiteral("%1\r\nChyba v souboru '%5'.\r\nNepodařilo se otevřít databázi '%6'.")},
        {10503, QStringLiteral("%1\r\nChyba v souboru '%5'.\r\nNelze získat data z databáze.")},
        {503, QStringLiteral("smazáno")},
        {504, QStringLiteral("prázdné pole")},
        {20000, QStringLiteral("%1\r\n%2")},
        {10022, QStringLiteral("&Editovat\u2026\tAlt+Enter")},
    };
    for (const auto& [id, text] : exact)
        EXPECT_EQ(LoadString(id), text) << "id " << id;

    for (int id : {0, -1, 8, 1600, 30000, 30009, 2147483647})
        EXPECT_TRUE(LoadString(id).isEmpty()) << id;
}

TEST(Placeholders, PlainReplacementInTheCallersOrder)
{
    EXPECT_EQ(FillPlaceholders(QStringLiteral("Pozice %1 z %2"), {QStringLiteral("3"), QStringLiteral("10")}),
              QStringLiteral("Pozice 3 z 10"));
    EXPECT_EQ(FillPlaceholders(QStringLiteral("%1 a %1"), {QStringLiteral("x")}), QStringLiteral("x a x"));
    // A value holding a later placeholder is replaced by the later step.
    EXPECT_EQ(FillPlaceholders(QStringLiteral("%1/%2"), {QStringLiteral("<%2>"), QStringLiteral("y")}),
              QStringLiteral("<y>/y"));
    // Unfilled placeholders stay; "%10" is not a placeholder of its own.
    EXPECT_EQ(FillPlaceholders(QStringLiteral("%1 %3 %10"), {QStringLiteral("a")}), QStringLiteral("a %3 a0"));
}

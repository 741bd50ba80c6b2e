#include "mWhereAmI.h"

#include "cDatabaseDriver.h"
#include "mCommandChoices.h"
#include "mConvert.h"
#include "mStringTable.h"

namespace {

constexpr int kTypeWordsBase = 10860;

bool HasWildcard(QStringView text)
{
    for (const QChar c : text) {
        if (c == u'*' || c == u'?' || c == u'#' || c == u'[' || c == u']')
            return true;
    }
    return false;
}

} // namespace

QString FilterConditionWords(const QString& caption, int dataType, const QString& typed)
{
    int id = 10840; // "is"
    QString value = typed;
    if ((JetType::IsText(dataType) || dataType == JetType::Char) && HasWildcard(typed)) {
        // Only a star at either end is said in words; any other pattern is read out as it stands.
        const bool starts = typed.size() > 1 && typed.endsWith(u'*');
        const bool ends = typed.size() > 1 && typed.startsWith(u'*');
        const QStringView core = QStringView(typed).mid(ends ? 1 : 0, typed.size() - (ends ? 1 : 0) - (starts ? 1 : 0));
        if ((starts || ends) && !core.isEmpty() && !HasWildcard(core)) {
            id = starts && ends ? 10843 : starts ? 10841 : 10842;
            value = core.toString();
        } else {
            id = 10844;
        }
    }
    return FillPlaceholders(LoadString(id), {caption, value});
}

QString FilterWords(const QStringList& captions, const QList<int>& types, const QStringList& typed)
{
    QStringList terms;
    for (qsizetype i = 0; i < typed.size() && i < captions.size() && i < types.size(); ++i) {
        if (!typed[i].isEmpty())
            terms << FilterConditionWords(captions[i], types[i], typed[i]);
    }
    return terms.join(u' ' + LoadString(10839) + u' ');
}

QString TypeWords(int dataType)
{
    const QString words = dataType > 0 ? LoadString(kTypeWordsBase + dataType) : QString();
    return words.isEmpty() ? LoadString(kTypeWordsBase) : words;
}

QString FieldWords(const QString& caption, const FieldSchema& field, const QString& referredTable,
                   const QStringList& actions)
{
    QStringList parts{TypeWords(field.Type)};
    const bool text = JetType::IsText(field.Type) || field.Type == JetType::Char;
    if (text && field.Size > 0)
        parts << FillPlaceholders(LoadString(10846), {QString::number(field.Size)});
    parts << LoadString(field.Required ? 10847 : 10848);
    if (text)
        parts << LoadString(field.AllowZeroLength ? 10849 : 10850);
    if (!referredTable.isEmpty())
        parts << FillPlaceholders(LoadString(10853), {referredTable});
    parts << (actions.isEmpty() ? LoadString(10852)
                                : FillPlaceholders(LoadString(10851), {actions.join(QStringLiteral(", "))}));
    return FillPlaceholders(LoadString(10845), {caption, parts.join(QStringLiteral(", "))}) + u'.';
}

QString SourceWords(const QString& query, const QString& table, const QString& storedName)
{
    if (!table.isEmpty() && ShowsTable(query, table))
        return FillPlaceholders(LoadString(10834), {table});
    if (!storedName.isEmpty())
        return FillPlaceholders(LoadString(10835), {storedName});
    return FillPlaceholders(LoadString(10836), {table});
}

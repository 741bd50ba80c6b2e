#include "mStringTable.h"

#include <QFile>
#include <QHash>

namespace {

QString Unescape(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size()) {
            switch (text[++i].unicode()) {
            case u'r': c = u'\r'; break;
            case u'n': c = u'\n'; break;
            case u't': c = u'\t'; break;
            default: c = text[i]; break;
            }
        }
        out += c;
    }
    return out;
}

QHash<int, QString> ReadTable()
{
    QHash<int, QString> table;
    QFile file(QStringLiteral(":/strings.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return table;
    const QString content = QString::fromUtf8(file.readAll());
    for (QStringView line : QStringView(content).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const qsizetype tab = line.indexOf(u'\t');
        if (line.startsWith(u'#') || tab <= 0)
            continue;
        bool ok = false;
        const int id = line.left(tab).toInt(&ok);
        if (ok)
            table.insert(id, Unescape(line.mid(tab + 1)));
    }
    return table;
}

} // namespace

QString LoadString(int id)
{
    static const QHash<int, QString> table = ReadTable();
    return table.value(id);
}

QString FillPlaceholders(QString text, const QStringList& values)
{
    for (qsizetype i = 0; i < values.size(); ++i)
        text.replace(QLatin1Char('%') + QString::number(i + 1), values[i], Qt::CaseSensitive);
    return text;
}

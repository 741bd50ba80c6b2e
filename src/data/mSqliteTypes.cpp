#include "mSqliteTypes.h"

#include "mConvert.h"
#include "mJetErrors.h"
#include "mJetSql.h"
#include "mJetSqlTokens.h"

#include <QRegularExpression>

int JetTypeOfSqliteDeclared(const QString& declared, qint32& size)
{
    static const QRegularExpression shape(QStringLiteral("^\\s*([A-Za-z ]*?)\\s*(?:\\(\\s*(\\d+)[^)]*\\))?\\s*$"));
    const auto match = shape.match(declared);
    const QString word = (match.hasMatch() ? match.captured(1) : declared).trimmed().toUpper();
    const bool sized = match.hasMatch() && !match.captured(2).isEmpty();
    const qint32 length = sized ? qint32(qMin(match.captured(2).toLongLong(), qint64(1) << 30)) : 0;
    struct Named {
        const char* Word;
        int Type;
        qint32 Size;
    };
    static const Named exact[] = {
        {"BOOLEAN", JetType::Boolean, 1}, {"BOOL", JetType::Boolean, 1},      {"BIT", JetType::Boolean, 1},
        {"YESNO", JetType::Boolean, 1},   {"BYTE", JetType::Byte, 1},         {"TINYINT", JetType::Byte, 1},
        {"SMALLINT", JetType::Integer, 2}, {"SHORT", JetType::Integer, 2},    {"INTEGER", JetType::Long, 4},
        {"INT", JetType::Long, 4},        {"LONG", JetType::Long, 4},         {"COUNTER", JetType::Long, 4},
        {"CURRENCY", JetType::Currency, 8}, {"MONEY", JetType::Currency, 8}, {"SINGLE", JetType::Single, 4},
        {"FLOAT4", JetType::Single, 4},   {"DOUBLE", JetType::Double, 8},     {"FLOAT", JetType::Double, 8},
        {"REAL", JetType::Double, 8},     {"DATETIME", JetType::Date, 8},     {"DATE", JetType::Date, 8},
        {"TIME", JetType::Date, 8},       {"TIMESTAMP", JetType::Date, 8},    {"LONGTEXT", JetType::Memo, 0},
        {"MEMO", JetType::Memo, 0},       {"CLOB", JetType::Memo, 0},         {"BLOB", JetType::LongBinary, 0},
        {"LONGBINARY", JetType::LongBinary, 0}, {"GUID", JetType::Guid, 16},  {"UNIQUEIDENTIFIER", JetType::Guid, 16},
    };
    for (const Named& named : exact) {
        if (word == QLatin1String(named.Word)) {
            size = named.Size;
            return named.Type;
        }
    }
    if (word == QLatin1String("VARCHAR") || word == QLatin1String("CHAR") || word == QLatin1String("TEXT")
        || word == QLatin1String("NVARCHAR") || word == QLatin1String("NCHAR") || word == QLatin1String("CHARACTER")
        || word == QLatin1String("CHARACTER VARYING") || word == QLatin1String("VARYING CHARACTER")) {
        if (sized && length > 0 && length <= kJetMaxTextSize) {
            size = length;
            return JetType::Text;
        }
        size = 0;
        return JetType::Memo;
    }
    if (word == QLatin1String("VARBINARY") || word == QLatin1String("BINARY")) {
        size = length;
        return JetType::Binary;
    }
    // SQLite's own affinity rules for everything else.
    if (word.contains(QLatin1String("INT"))) {
        size = 4;
        return JetType::Long;
    }
    if (word.contains(QLatin1String("CHAR")) || word.contains(QLatin1String("CLOB")) || word.contains(QLatin1String("TEXT"))
        || word.isEmpty()) {
        size = 0;
        return JetType::Memo;
    }
    if (word.contains(QLatin1String("BLOB"))) {
        size = 0;
        return JetType::LongBinary;
    }
    size = 8;
    return JetType::Double;
}

QString SqliteDeclaredType(const FieldSchema& field)
{
    switch (field.Type) {
    case JetType::Boolean: return QStringLiteral("BOOLEAN");
    case JetType::Byte: return QStringLiteral("BYTE");
    case JetType::Integer: return QStringLiteral("SMALLINT");
    case JetType::Long: return QStringLiteral("INTEGER");
    case JetType::Currency: return QStringLiteral("CURRENCY");
    case JetType::Single: return QStringLiteral("SINGLE");
    case JetType::Double: return QStringLiteral("DOUBLE");
    case JetType::Date: return QStringLiteral("DATETIME");
    case JetType::Binary: return QStringLiteral("VARBINARY(%1)").arg(field.Size > 0 ? field.Size : 255);
    case JetType::Text: return QStringLiteral("VARCHAR(%1)").arg(field.Size);
    case JetType::LongBinary: return QStringLiteral("LONGBINARY");
    case JetType::Memo: return QStringLiteral("LONGTEXT");
    case JetType::Guid: return QStringLiteral("GUID");
    default: RaiseJetError(JetError::InvalidFieldType, {field.Name});
    }
}

QString SqliteDefaultLiteral(const QString& text)
{
    QString value = text.trimmed();
    // A quoted default is its text, a doubled quote in it one quote.
    const std::vector<SqlText::Piece> pieces = SqlText::ReadAll(value, SqlText::Dialect::Jet);
    if (pieces.size() == 1 && pieces[0].kind == SqlText::Kind::Text && pieces[0].closed)
        value = pieces[0].content;
    bool number = false;
    value.toDouble(&number);
    if (number && !value.isEmpty())
        return value;
    return JetQuoteText(value);
}

QString JetDefaultText(const QString& literal)
{
    if (literal.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0)
        return QString();
    if (literal.size() >= 2 && literal.startsWith(u'\'') && literal.endsWith(u'\''))
        return literal.mid(1, literal.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
    return literal;
}

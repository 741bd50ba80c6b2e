#include "mErrorMessage.h"

#include "cRuntimeError.h"
#include "mStringTable.h"

#include <exception>
#include <limits>
#include <new>

namespace {
constexpr int kDefaultTemplate = 20000;
constexpr int kFieldErrorBase = 20000;
constexpr int kDataTypeBase = 30000;
constexpr qint32 kConversionError = 3421;
constexpr qint32 kOutOfMemory = 7;
constexpr qint32 kInvalidCall = 5;

// A string id offset by an error or type number; numbers far out of range have no text.
QString LoadOffsetString(int base, qint32 number)
{
    const qint64 id = qint64(base) + number;
    return id > 0 && id <= std::numeric_limits<int>::max() ? LoadString(int(id)) : QString();
}
} // namespace

ErrorStorage CaptureError()
{
    ErrorStorage err;
    const std::exception_ptr current = std::current_exception();
    if (!current)
        return err;
    try {
        std::rethrow_exception(current);
    } catch (const cRuntimeError& e) {
        err.Number = e.Number();
        err.Description = e.Description();
        err.Source = e.Source();
    } catch (const std::bad_alloc&) {
        err.Number = kOutOfMemory;
        err.Description = QStringLiteral("Nedostatek paměti");
        err.Source = QStringLiteral("Quarnel");
    } catch (const std::exception& e) {
        err.Number = kInvalidCall;
        err.Description = QString::fromUtf8(e.what());
        err.Source = QStringLiteral("Quarnel");
    } catch (...) {
        err.Number = kInvalidCall;
        err.Source = QStringLiteral("Quarnel");
    }
    return err;
}

QString FormatErrorMessage(const ErrorStorage& err, const QString& messageTemplate)
{
    QString text = messageTemplate.isEmpty() ? LoadString(kDefaultTemplate) : messageTemplate;
    // The cast gives negative numbers their 8-digit two's complement form.
    const QString number = QStringLiteral("%1 (0x%2)")
                               .arg(err.Number)
                               .arg(QString::number(static_cast<quint32>(err.Number), 16).toUpper());
    return FillPlaceholders(text, {number, err.Description, err.Source});
}

QString FieldErrorMessage(const ErrorStorage& err, int fieldType, const QString& fieldName)
{
    QString text = LoadOffsetString(kFieldErrorBase, err.Number);
    text.replace(QStringLiteral("%2"), fieldName);
    if (err.Number == kConversionError) {
        QString typeText = DataTypeText(fieldType);
        if (typeText.isEmpty())
            typeText = QString::number(fieldType);
        text.replace(QStringLiteral("%3"), typeText);
    }
    return text;
}

QString DataTypeText(int dataType)
{
    return LoadOffsetString(kDataTypeBase, dataType);
}

int DataTypeFromText(const QString& text)
{
    for (int code = 1;; ++code) {
        const QString candidate = DataTypeText(code);
        if (candidate.isEmpty())
            return 0;
        if (candidate == text)
            return code;
    }
}

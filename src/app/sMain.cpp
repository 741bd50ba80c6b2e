#include "sMain.h"

#include "modRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

QObject* gMainWindow = nullptr;
cStdFont gFont;
QString gWorkDir;
qint32 gForeColor = 0;
qint32 gBackColor = 0;
qint32 gForeColorForm = 0;
qint32 gBackColorForm = 0;
qint32 gForeMenuColor = 0;
qint32 gBackMenuColor = 0;
qint32 gViewStyle = 0;
qint32 gOwnSpeech = 0;
qint32 gCellReading = 0;
qint32 gCellRowNumber = 0;
qint32 gCellHeaderFirst = 0;
QString gSuitePath;
QString gHelpFile;
QString gHelpViewer;

const QString kProgramKey = QStringLiteral("Software\\Korvi\\dBase");
const QString kCommonKey = QStringLiteral("Software\\Korvi\\Common");

namespace {

constexpr qint32 kYellow = 0x0000FFFF;
constexpr qint32 kBlack = 0;
constexpr qint32 kButtonText = qint32(0x80000012u);
constexpr qint32 kButtonFace = qint32(0x8000000Fu);
constexpr qint32 kCentralEuropean = 238;
constexpr double kDefaultFontSize = 24;

QString ReadText(const QString& key, const QString& name, const QString& fallback)
{
    return GetRegSetting(key, QString(), name, fallback).toString();
}

qint32 ReadLong(const QString& key, const QString& name, qint32 fallback)
{
    return RegLong(GetRegSetting(key, QString(), name, QVariant())).value_or(fallback);
}

// "-1"/"0" as written, any number (non-zero is true), or the words True/False.
bool ReadFlag(const QString& key, const QString& name, bool fallback)
{
    const QVariant stored = GetRegSetting(key, QString(), name, QVariant());
    if (const auto number = RegLong(stored))
        return *number != 0;
    const QString text = stored.toString().trimmed();
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return fallback;
}

double ReadFontSize(double fallback)
{
    const QVariant stored = GetRegSetting(kProgramKey, QString(), QStringLiteral("FontSize"), QVariant());
    bool ok = false;
    double size = 0;
    if (stored.typeId() == QMetaType::Int) {
        size = stored.toInt();
        ok = true;
    } else {
        const QString text = stored.toString().trimmed();
        size = QLocale().toDouble(text, &ok);
        if (!ok) // written under another locale
            size = QLocale::c().toDouble(text, &ok);
    }
    return ok && size > 0 && size < 10000 ? size : fallback;
}

void Save(const QString& key, const QString& name, const QVariant& value)
{
    SaveRegSetting(key, QString(), name, value);
}

QString ProgramFolder()
{
    return QDir::toNativeSeparators(ProgramDataFolder());
}

} // namespace

QString BesideProgram(const QString& relative)
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + u'/' + relative);
}

QString ProgramDataFolder()
{
#ifdef QUARNEL_DATA_FROM_BIN
    // Installed, the program's files lie apart from it; a build tree keeps them beside it.
    const QString installed = BesideProgram(QStringLiteral(QUARNEL_DATA_FROM_BIN));
    if (QFileInfo(installed + QStringLiteral("/help")).isDir())
        return installed;
#endif
    return QCoreApplication::applicationDirPath();
}

void LoadCommonPreferences(QObject* mainWindow)
{
    if (mainWindow)
        gMainWindow = mainWindow;
    gForeColor = ReadLong(kCommonKey, QStringLiteral("ForeColor"), kYellow);
    gBackColor = ReadLong(kCommonKey, QStringLiteral("BackColor"), kBlack);
    gForeMenuColor = ReadLong(kCommonKey, QStringLiteral("ForeMenuColor"), kBlack);
    gBackMenuColor = ReadLong(kCommonKey, QStringLiteral("BackMenuColor"), kYellow);
    gSuitePath = ReadText(kCommonKey, QStringLiteral("Path"), ProgramFolder());
    gHelpViewer = SuitePathWithSlash()
                  + ReadText(kCommonKey, QStringLiteral("HelpViewerPath"), QStringLiteral("pagevu/pagevu.exe"));
}

void LoadPreferences()
{
    gFont = cStdFont();
    gWorkDir = ReadText(kProgramKey, QStringLiteral("WorkDir"), EnsureSuffix(ProgramFolder(), QDir::separator()));
    gFont.Size = ReadFontSize(kDefaultFontSize);
    gFont.Name = ReadText(kProgramKey, QStringLiteral("FontName"), QStringLiteral("Arial CE"));
    gFont.Bold = ReadFlag(kProgramKey, QStringLiteral("FontBold"), false);
    gFont.Italic = ReadFlag(kProgramKey, QStringLiteral("FontItalic"), false);
    gFont.Underline = ReadFlag(kProgramKey, QStringLiteral("FontUnderLine"), false);
    gFont.Charset = ReadLong(kProgramKey, QStringLiteral("CharSet"), kCentralEuropean);
    gForeColorForm = ReadLong(kProgramKey, QStringLiteral("ForeColorForm"), kButtonText);
    gBackColorForm = ReadLong(kProgramKey, QStringLiteral("BackColorForm"), kButtonFace);
    gViewStyle = ReadLong(kProgramKey, QStringLiteral("ViewStyle"), 0);
    gOwnSpeech = ReadLong(kProgramKey, QStringLiteral("OwnSpeech"), 0);
    gCellReading = ReadLong(kProgramKey, QStringLiteral("CellReading"), 0);
    gCellRowNumber = ReadLong(kProgramKey, QStringLiteral("CellRowNumber"), 0);
    gCellHeaderFirst = ReadLong(kProgramKey, QStringLiteral("CellHeaderFirst"), 0);
    gHelpFile = SuitePathWithSlash() + QDir::toNativeSeparators(QStringLiteral("help/velorin/quarnel.htm"));
}

void SavePreferences()
{
    Save(kProgramKey, QStringLiteral("ViewStyle"), gViewStyle);
    SaveOwnSpeech();
    Save(kProgramKey, QStringLiteral("FontSize"), gFont.Size);
    Save(kProgramKey, QStringLiteral("FontName"), gFont.Name);
    Save(kProgramKey, QStringLiteral("FontBold"), gFont.Bold);
    Save(kProgramKey, QStringLiteral("FontItalic"), gFont.Italic);
    Save(kProgramKey, QStringLiteral("FontUnderLine"), gFont.Underline);
    Save(kCommonKey, QStringLiteral("ForeColor"), gForeColor);
    Save(kCommonKey, QStringLiteral("BackColor"), gBackColor);
}

void SaveWorkDir()
{
    Save(kProgramKey, QStringLiteral("WorkDir"), gWorkDir);
}

void SaveOwnSpeech()
{
    Save(kProgramKey, QStringLiteral("OwnSpeech"), gOwnSpeech);
}

void SaveCellReading()
{
    Save(kProgramKey, QStringLiteral("CellReading"), gCellReading);
}

QString TakeSelectedFile()
{
    const QString file = ReadText(kCommonKey, QStringLiteral("SelectedFile"), QString());
    Save(kCommonKey, QStringLiteral("SelectedFile"), QString());
    return file;
}

QString EnsureSuffix(const QString& text, const QString& suffix)
{
    return text.endsWith(suffix) ? text : text + suffix;
}

QString SuitePathWithSlash()
{
    return WithSeparator(gSuitePath);
}

#pragma once
// The engine's error numbers and how they are raised with their Czech descriptions; no widgets.
#include <QString>
#include <QStringList>

// The engine's error numbers, as the callers test and report them.
namespace JetError {
constexpr int InvalidArgument = 3001;
constexpr int TableExists = 3010;
constexpr int ObjectExists = 3012;
constexpr int NoCurrentRecord = 3021;
constexpr int DuplicateKey = 3022;
constexpr int FileNotFound = 3024;
constexpr int ReadOnly = 3027;
constexpr int UpdateWithoutEdit = 3020;
constexpr int InvalidPath = 3044;
constexpr int FileLocked = 3051;
constexpr int TooFewParameters = 3061;
constexpr int SyntaxError = 3075;
constexpr int NoSuchTable = 3078;
constexpr int UndefinedFunction = 3085;
constexpr int CannotUpdateField = 3164;
constexpr int FieldTooSmall = 3163;
constexpr int RecordDeleted = 3167;
constexpr int DuplicateField = 3191;
constexpr int DatabaseExists = 3204;
constexpr int RecordLocked = 3218;
constexpr int InvalidOperation = 3219;
constexpr int InvalidFieldType = 3259;
constexpr int NoFields = 3264;
constexpr int ItemNotFound = 3265;
constexpr int FieldInIndex = 3280;
constexpr int InRelation = 3303;
constexpr int Required = 3314;
constexpr int ZeroLength = 3315;
constexpr int NotADatabase = 3343;
constexpr int Conversion = 3421;
constexpr int InvalidName = 3125;
constexpr int InvalidSize = 3380;
constexpr int TextAfterStatement = 3142;
constexpr int ObjectClosed = 3420;
constexpr int OdbcFailed = 3146;
constexpr int NoInstallableIsam = 3170;
constexpr int Cancelled = 3059;
constexpr int RelatedRecords = 3200;
constexpr int RuleViolated = 3317;
} // namespace JetError

// Throws the engine's error with its Czech description, "%1", "%2" … filled with args.
[[noreturn]] void RaiseJetError(int number, const QStringList& args = {}, const QString& source = QString());

// The Czech description of an engine error, "%1", "%2" … filled with args.
QString JetErrorDescription(int number, const QStringList& args = {});

#pragma once
// Errors caught and turned into the texts the user is told; texts only, no widgets, no speech.
#include "ErrorStorage.h"

#include <QString>

// The error being handled (inside a catch block), as an ErrorStorage.
// Outside of one it is an empty record with number 0.
ErrorStorage CaptureError();

// Template (string 20000 when empty) with "%1" the number as "3024 (0xBD0)",
// "%2" the description and "%3" the source.
QString FormatErrorMessage(const ErrorStorage& err, const QString& messageTemplate = QString());

// The text of string 20000 + number for a failure on a field; "%3" of a conversion
// error names the field's data type.
QString FieldErrorMessage(const ErrorStorage& err, int fieldType, const QString& fieldName);

QString DataTypeText(int dataType);
int DataTypeFromText(const QString& text);

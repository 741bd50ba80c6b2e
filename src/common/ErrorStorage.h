#pragma once
// A caught error kept until it is reported; plain data, nothing here reports it.
#include <QString>

// A caught run-time error carried to the code that reports it.
class ErrorStorage {
public:
    qint32 Number = 0;
    QString Description;
    QString Source;
};

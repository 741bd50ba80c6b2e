#pragma once
// The preferences' font as plain values; the user-interface layers make the QFont, not this one.
#include <QString>

// The program's font as the preferences hold it; the user-interface layers turn it into
// a QFont. Charset is kept for the maker's other programs that read it.
struct cStdFont {
    QString Name = QStringLiteral("Arial");
    double Size = 24;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    qint32 Charset = 0;
};

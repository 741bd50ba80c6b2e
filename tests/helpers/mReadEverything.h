#pragma once

#include "DBEngine.h"
#include "Database.h"
#include "Field.h"
#include "QueryDef.h"
#include "Recordset.h"
#include "TableDef.h"

// What a user does with a file someone sent: open it, look at its tables and queries,
// read every table to its end.
inline void ReadEverything(const QString& path)
{
    auto db = DBEngine::Instance().OpenDatabase(path);
    QStringList tables;
    for (const auto& table : *db->TableDefs()) {
        for (const auto& field : *table->Fields())
            (void)field->Name();
        if (!table->Name().contains(u']') && table->Connect().isEmpty())
            tables << table->Name();
    }
    for (const auto& query : *db->QueryDefs())
        (void)query->SQL();
    for (const QString& name : tables) {
        auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM [%1]").arg(name));
        auto fields = rs->Fields();
        for (; !rs->Eof(); rs->MoveNext()) {
            for (int i = 0; i < fields->Count(); ++i)
                (void)fields->Item(i)->Value();
        }
    }
    db->Close();
}

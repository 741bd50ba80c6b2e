#include "mJetErrors.h"

#include "cRuntimeError.h"
#include "mStringTable.h"

#include <QHash>

namespace {

const QHash<int, QString>& Descriptions()
{
    static const QHash<int, QString> table{
        {JetError::InvalidArgument, QStringLiteral("Neplatný argument.")},
        {JetError::TableExists, QStringLiteral("Tabulka '%1' již existuje.")},
        {JetError::ObjectExists, QStringLiteral("Objekt '%1' již existuje.")},
        {JetError::UpdateWithoutEdit, QStringLiteral("Update nebo CancelUpdate bez AddNew nebo Edit.")},
        {JetError::NoCurrentRecord, QStringLiteral("Neexistuje aktuální záznam.")},
        {JetError::DuplicateKey,
         QStringLiteral("Změny nebyly provedeny, protože by vytvořily duplicitní hodnoty v indexu, "
                        "primárním klíči nebo relaci.")},
        {JetError::FileNotFound, QStringLiteral("Soubor '%1' nebyl nalezen.")},
        {JetError::ReadOnly, QStringLiteral("Databázi nebo objekt nelze aktualizovat. Je jen pro čtení.")},
        {JetError::InvalidPath, QStringLiteral("'%1' není platná cesta k souboru databáze.")},
        {JetError::FileLocked,
         QStringLiteral("Soubor '%1' nelze otevřít. Je zamčen jiným programem nebo k němu nemáte oprávnění.")},
        {JetError::TooFewParameters, QStringLiteral("Příliš málo parametrů. Neznámý název '%1'.")},
        {JetError::SyntaxError, QStringLiteral("Syntaktická chyba v dotazu '%1'.")},
        {JetError::NoSuchTable, QStringLiteral("Databázový stroj nemůže najít tabulku nebo dotaz '%1'.")},
        {JetError::UndefinedFunction, QStringLiteral("Nedefinovaná funkce '%1' ve výrazu.")},
        {JetError::FieldTooSmall,
         QStringLiteral("Pole '%1' je příliš malé pro množství dat, které chcete přidat.")},
        {JetError::CannotUpdateField, QStringLiteral("Pole '%1' nelze aktualizovat.")},
        {JetError::RecordDeleted, QStringLiteral("Záznam je odstraněn.")},
        {JetError::DuplicateField, QStringLiteral("Pole '%1' je definováno vícekrát.")},
        {JetError::DatabaseExists, QStringLiteral("Databáze '%1' již existuje.")},
        {JetError::RecordLocked, QStringLiteral("Nelze aktualizovat; databáze je zamčena jiným programem.")},
        {JetError::InvalidOperation, QStringLiteral("Neplatná operace.")},
        {JetError::InvalidFieldType, QStringLiteral("Neplatný datový typ pole '%1'.")},
        {JetError::NoFields,
         QStringLiteral("Nejsou definována žádná pole - tabulku '%1' nelze připojit.")},
        {JetError::ItemNotFound, QStringLiteral("Položka '%1' nebyla v této kolekci nalezena.")},
        {JetError::FieldInIndex,
         QStringLiteral("Pole '%1' nelze odstranit, je součástí indexu, klíče nebo relace.")},
        {JetError::InRelation,
         QStringLiteral("Objekt '%1' nelze odstranit ani změnit, je součástí jedné nebo více relací.")},
        {JetError::Required,
         QStringLiteral("Pole '%1' nemůže obsahovat hodnotu Null, protože je povinné. Zadejte do pole hodnotu.")},
        {JetError::ZeroLength, QStringLiteral("Pole '%1' nemůže být řetězec nulové délky.")},
        {JetError::NotADatabase, QStringLiteral("Nerozpoznaný formát databáze '%1'.")},
        {JetError::Conversion, QStringLiteral("Chyba převodu datového typu.")},
        {JetError::InvalidName, QStringLiteral("'%1' není platný název.")},
        {JetError::InvalidSize, QStringLiteral("Neplatná velikost pole '%1'.")},
        {JetError::TextAfterStatement, QStringLiteral("Za koncem příkazu SQL jsou další znaky.")},
        {JetError::ObjectClosed, QStringLiteral("Objekt je neplatný nebo již není nastaven (databáze je zavřena).")},
        {JetError::OdbcFailed, QStringLiteral("Chyba databáze: %1")},
        {JetError::NoInstallableIsam, QStringLiteral("Nelze najít instalovatelný ISAM.")},
        {JetError::Cancelled, QStringLiteral("Operace byla přerušena.")},
        {JetError::RelatedRecords,
         QStringLiteral("Záznam nelze odstranit ani změnit, protože na něj odkazují záznamy jiné tabulky, "
                        "nebo odkazuje na záznam, který neexistuje.")},
        {JetError::RuleViolated, QStringLiteral("Hodnota porušuje pravidlo databáze: %1")},
    };
    return table;
}

} // namespace

QString JetErrorDescription(int number, const QStringList& args)
{
    return FillPlaceholders(Descriptions().value(number, QStringLiteral("Chyba databáze %1.").arg(number)), args);
}

void RaiseJetError(int number, const QStringList& args, const QString& source)
{
    throw cRuntimeError(number, JetErrorDescription(number, args),
                        source.isEmpty() ? QStringLiteral("DAO.Database") : source);
}

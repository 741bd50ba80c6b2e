#include "DataTestSupport.h"

#include "cCurrency.h"
#include "mJetErrors.h"
#include "mSampleData.h"

#include <QDateTime>

using SampleData = DatabaseTest;

TEST_F(SampleData, TheBundledAddressBookOpensWithEverythingItPromises)
{
    auto db = DBEngine::Instance().OpenDatabase(QStringLiteral(QUARNEL_SAMPLE));
    QStringList user;
    for (const auto& table : *db->TableDefs()) {
        if (!(table->Attributes() & qint32(0x80000002u)))
            user << table->Name();
    }
    EXPECT_EQ(user, (QStringList{QStringLiteral("Města"), QStringLiteral("Osoby")}));
    auto people = db->TableDefs()->Item(QStringLiteral("Osoby"))->Fields();
    EXPECT_TRUE(people->Item(QStringLiteral("Jméno"))->Required());
    EXPECT_FALSE(people->Item(QStringLiteral("Jméno"))->AllowZeroLength());
    EXPECT_EQ(people->Item(QStringLiteral("Plat"))->Type(), JetType::Currency);
    EXPECT_EQ(people->Item(QStringLiteral("Aktivní"))->Type(), JetType::Boolean);
    EXPECT_EQ(people->Item(QStringLiteral("Narozen"))->Type(), JetType::Date);

    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM Osoby WHERE Id = 8"));
    EXPECT_EQ(rs->Fields()->Item(QStringLiteral("Narozen"))->Value().toDateTime(),
              QDateTime(QDate(1975, 12, 24), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(rs->Fields()->Item(QStringLiteral("Plat"))->Value().value<cCurrency>().Units(), 447502500);
    EXPECT_FALSE(rs->Fields()->Item(QStringLiteral("Email"))->Value().isValid());

    ASSERT_EQ(db->QueryDefs()->Count(), 1);
    auto active = db->OpenRecordset(db->QueryDefs()->Item(0)->SQL());
    const QStringList surnames = Column(*active, 1);
    EXPECT_EQ(surnames.size(), 17);
    // Czech order: Č after C, Ch after H.
    EXPECT_LT(surnames.indexOf(QStringLiteral("Černý")), 0) << "not active";
    EXPECT_LT(surnames.indexOf(QStringLiteral("Hájková")), surnames.indexOf(QStringLiteral("Horák")));
    EXPECT_LT(surnames.indexOf(QStringLiteral("Horák")), surnames.indexOf(QStringLiteral("Jelínková")));
}

TEST_F(SampleData, LargeDatabasesHoldEveryType)
{
    const QString path = PathOf(QStringLiteral("velka.db"));
    GenerateLargeDatabase(path, 2000);
    auto db = DBEngine::Instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(QStringLiteral("SELECT * FROM Velka"));
    EXPECT_EQ(rs->RecordCount(), 2000);
    rs->setAbsolutePosition(1234);
    EXPECT_EQ(rs->Fields()->Item(0)->Value().toInt(), 1235);
    EXPECT_EQ(rs->Fields()->Item(3)->Value().typeId(), QMetaType::QDateTime);
    EXPECT_EQ(rs->Fields()->Item(4)->Value().userType(), qMetaTypeId<cCurrency>());
    EXPECT_EQ(rs->Fields()->Item(7)->Value().typeId(), QMetaType::Bool);
    EXPECT_EQ(ErrorOf([&] { GenerateLargeDatabase(path, 1); }), JetError::DatabaseExists);
}

#pragma once

#include "DBEngine.h"

#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// One backend of the engine as the shared engine tests see it. Every backend offers the
// same standard tables, so that one test body serves them all:
// - Northwind: Shippers, Employees, Products and Orders of nwind.mdb with every value,
//   made once per test program and only read by the tests;
// - Kinds: Table1 of the Jet 4 and ACE test files, one field of each kind (Text(50) A,
//   Text(100) B, Byte C, Integer D, Long E, Double F, Date G, Currency H, Boolean I) and
//   the two rows "a" and "abcdefg"; on the backends of KindsBackends();
// - People: a fresh Osoby (Id Long key, Jméno Text(20) required without zero length,
//   Příjmení Text(50), Narozen Date, Plat Currency, Aktivní Boolean, Poznámka Memo) with
//   Jana, Petr and Nela, on backends that can be written.
class cEngineBackend {
public:
    virtual ~cEngineBackend() = default;

    virtual std::string Name() const = 0;
    // Why the backend cannot run on this machine; empty when it can.
    virtual QString Missing() const { return QString(); }
    // Records cannot be changed at all (a genuine Access file).
    virtual bool ReadOnly() const { return false; }
    // Tables, fields and stored queries can be changed through the engine.
    virtual bool ChangesStructure() const { return !ReadOnly(); }
    // The error a structure change gives where it is refused.
    virtual int StructureRefusal() const;
    // The SQL is the engine's Jet dialect throughout (functions, error numbers); an ODBC
    // source runs its own SQL after the translation of the Jet forms.
    virtual bool JetDialect() const { return true; }
    // The backend refuses a zero-length text where the field does not allow one.
    virtual bool KeepsZeroLengthRule() const { return true; }

    virtual std::shared_ptr<Database> Northwind() = 0;
    virtual std::shared_ptr<Database> Kinds() { return nullptr; }
    // The file behind Kinds().
    virtual QString KindsFile() const { return QString(); }
    // The file behind Northwind(), empty for a source that is not a file.
    virtual QString NorthwindFile() const { return QString(); }
    // A fresh People database in folder (which the test owns); never called when ReadOnly().
    virtual std::shared_ptr<Database> People(const QString& folder) = 0;
    // Makes Osoby's Id unique where the table does not keep it so already.
    virtual std::shared_ptr<Database> WithUniqueId(std::shared_ptr<Database> db) { return db; }

    // The number the backend gives for an error that the Jet dialect numbers as jet.
    int ErrorFor(int jet) const;
};

// Every backend: the SQLite file, the genuine Access file, the SQLite ODBC driver and
// PostgreSQL through psqlODBC.
std::vector<cEngineBackend*> EngineBackends();

// The Kinds backends: each genuine Jet 4 and ACE file that holds Table1.
std::vector<cEngineBackend*> KindsBackends();

// Makes the Osoby table of the SQLite file backend.
std::shared_ptr<Database> CreateOsobyFile(const QString& path);

class EngineTest : public ::testing::TestWithParam<cEngineBackend*> {
protected:
    void SetUp() override;
    cEngineBackend& Backend() const { return *GetParam(); }
};

std::string EngineBackendName(const ::testing::TestParamInfo<cEngineBackend*>& info);
// The backend's name in test output, not its address.
void PrintTo(cEngineBackend* backend, std::ostream* os);

#define INSTANTIATE_ENGINE_SUITE(Suite) \
    INSTANTIATE_TEST_SUITE_P(Backends, Suite, ::testing::ValuesIn(EngineBackends()), EngineBackendName)
#define INSTANTIATE_KINDS_SUITE(Suite) \
    INSTANTIATE_TEST_SUITE_P(Backends, Suite, ::testing::ValuesIn(KindsBackends()), EngineBackendName)

#pragma once

// What the Access driver and its reader program (tools/quarnel-mdb-reader.cpp) must agree on
// in the values of a row frame: libmdb's type codes, the two length markers and the stored
// size of each fixed kind. Plain C++: the reader links no Qt.

#include <cstdint>

// libmdb's type codes, as the reader sends them.
enum MdbType {
    kMdbBool = 1, kMdbByte = 2, kMdbInt = 3, kMdbLong = 4, kMdbMoney = 5, kMdbFloat = 6, kMdbDouble = 7,
    kMdbDate = 8, kMdbBinary = 9, kMdbText = 10, kMdbOle = 11, kMdbMemo = 12, kMdbGuid = 15, kMdbNumeric = 16,
    kMdbComplex = 18, kMdbExtendedDate = 20
};

// Lengths that stand for no bytes: a Null, and a value the reader found damaged.
constexpr uint32_t kMdbNullValue = 0xFFFFFFFFu;
constexpr uint32_t kMdbDamagedValue = 0xFFFFFFFEu;

// How many bytes a value of a fixed kind takes; 0 for the kinds whose length varies (a
// Yes/No is sent in one byte though stored in a bit).
constexpr int FixedSize(int mdbType)
{
    switch (mdbType) {
    case kMdbByte: return 1;
    case kMdbInt: return 2;
    case kMdbLong:
    case kMdbComplex:
    case kMdbFloat: return 4;
    case kMdbMoney:
    case kMdbDouble:
    case kMdbDate: return 8;
    case kMdbGuid: return 16;
    default: return 0;
    }
}

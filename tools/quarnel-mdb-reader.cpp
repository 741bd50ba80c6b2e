// Reads a genuine Access file through libmdb on behalf of the engine. libmdb trusts the
// file's structures, so a damaged file may crash or loop here; the engine runs this
// program in a process of its own, judges only the complete frames it writes and turns
// a crash, a hang or a broken frame into "not a database".
//
// Frames on stdout: one tag byte, a 32-bit little-endian payload length, the payload.
//   'H' jet version, language, code page, page count (four u32)
//   'O' one catalogue object: index u32, type i32, flags i32, name
//   'C' the columns of the table just announced: count u32, then per column name,
//       type i32, size i32, required u8, allowZeroLength u8 (2 = not stored), default,
//       calculated u8 (1 when Access computes the value from an expression)
//   'I' the indexes of the table just announced: count u32, then per index name,
//       primary u8, unique u8, key count u32, per key column u32 (0-based), descending u8
//   'E' end of the catalogue
//   'R' one row: per column a u32 length (0xFFFFFFFF for Null) and the bytes
//   'Z' end of a table's rows: count u32
//   'X' failure: a message
// Texts are UTF-8 with a u32 length. Fixed-size values are the stored little-endian bytes;
// texts, memos and decimals UTF-8; binaries, OLE objects and kinds libmdb does not know
// as stored.
// Commands on stdin, one a line: "R <object index>" streams that table's rows.

// glib is C++-aware only when included outside mdbtools.h's extern "C".
#include <glib.h>
#include <iconv.h>

#include <mdbtools.h>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "mJetText.h"
#include "../src/data/mMdbFrames.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string gFrame;

void PutU32(std::string& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(char((value >> (8 * i)) & 0xFF));
}

void PutText(std::string& out, const std::string& text)
{
    PutU32(out, uint32_t(text.size()));
    out += text;
}

void PutBytes(std::string& out, const void* data, size_t length)
{
    PutU32(out, uint32_t(length));
    out.append(static_cast<const char*>(data), length);
}

void Send(char tag, const std::string& payload)
{
    std::string head(1, tag);
    PutU32(head, uint32_t(payload.size()));
    if (fwrite(head.data(), 1, head.size(), stdout) != head.size()
        || fwrite(payload.data(), 1, payload.size(), stdout) != payload.size())
        _exit(3);
}

uint32_t Le32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string Prop(const MdbColumn* column, const char* key)
{
    const char* value = mdb_col_get_prop(column, key);
    return value ? value : "";
}

// Only the stored words count; anything else is "not stored".
uint8_t YesNo(const std::string& value)
{
    if (value == "yes")
        return 1;
    if (value == "no")
        return 0;
    return 2;
}

struct Reader {
    MdbHandle* Mdb = nullptr;
    uint32_t Pages = 0;

    std::string Text(const char* data, size_t length) const
    {
        if (length == 0)
            return std::string();
        if (Mdb->f->jet_version != MDB_VER_JET3)
            return JetTextToUtf8(reinterpret_cast<const unsigned char*>(data), length);
        std::vector<char> out(length * 3 + 8);
        const int written = mdb_unicode2ascii(Mdb, data, length, out.data(), length * 3 + 4);
        return std::string(out.data(), size_t(written > 0 ? written : 0));
    }

    // A memo's or OLE object's bytes, following at most as many pages as the file has.
    bool LongValue(int start, int size, std::string& out) const
    {
        out.clear();
        if (size < MDB_MEMO_OVERHEAD)
            return true;
        unsigned char head[MDB_MEMO_OVERHEAD];
        memcpy(head, Mdb->pg_buf + start, MDB_MEMO_OVERHEAD);
        const uint32_t length = Le32(head);
        if (length & 0x80000000u) {
            out.assign(reinterpret_cast<const char*>(Mdb->pg_buf) + start + MDB_MEMO_OVERHEAD, size_t(size - MDB_MEMO_OVERHEAD));
            return true;
        }
        int pgRow = int(Le32(head + 4));
        void* buffer = nullptr;
        int offset = 0;
        size_t rowLength = 0;
        if (length & 0x40000000u) {
            if (mdb_find_pg_row(Mdb, pgRow, &buffer, &offset, &rowLength) != 0)
                return false;
            out.assign(static_cast<const char*>(buffer) + offset, rowLength);
            return true;
        }
        if (length & 0xFF000000u)
            return false;
        for (uint32_t visited = 0; pgRow != 0; ++visited) {
            if (visited > Pages || mdb_find_pg_row(Mdb, pgRow, &buffer, &offset, &rowLength) != 0 || rowLength < 4)
                return false;
            const char* row = static_cast<const char*>(buffer) + offset;
            out.append(row + 4, rowLength - 4);
            if (out.size() > length)
                return false;
            pgRow = int(Le32(reinterpret_cast<const unsigned char*>(row)));
        }
        return out.size() == length;
    }
};

// The engine reads the type codes and sizes from the same header; a libmdb that numbered
// its kinds otherwise would have it misread every row.
static_assert(int(kMdbBool) == MDB_BOOL && int(kMdbByte) == MDB_BYTE && int(kMdbInt) == MDB_INT
              && int(kMdbLong) == MDB_LONGINT && int(kMdbMoney) == MDB_MONEY && int(kMdbFloat) == MDB_FLOAT
              && int(kMdbDouble) == MDB_DOUBLE && int(kMdbDate) == MDB_DATETIME
              && int(kMdbBinary) == MDB_BINARY && int(kMdbText) == MDB_TEXT && int(kMdbOle) == MDB_OLE
              && int(kMdbMemo) == MDB_MEMO && int(kMdbGuid) == MDB_REPID && int(kMdbNumeric) == MDB_NUMERIC
              && int(kMdbComplex) == MDB_COMPLEX);

void SendCatalog(MdbHandle* mdb, uint32_t pages)
{
    std::string head;
    PutU32(head, mdb->f->jet_version);
    PutU32(head, mdb->f->lang_id);
    PutU32(head, mdb->f->code_page);
    PutU32(head, pages);
    Send('H', head);
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        std::string object;
        PutU32(object, i);
        PutU32(object, uint32_t(entry->object_type));
        PutU32(object, uint32_t(entry->flags));
        PutText(object, entry->object_name);
        Send('O', object);
        if (entry->object_type != MDB_TABLE)
            continue;
        MdbTableDef* table = mdb_read_table(entry);
        std::string columns;
        if (!table || !mdb_read_columns(table)) {
            PutU32(columns, 0);
        } else {
            PutU32(columns, table->num_cols);
            for (unsigned c = 0; c < table->num_cols; ++c) {
                auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
                PutText(columns, column->name);
                PutU32(columns, uint32_t(column->col_type));
                PutU32(columns, uint32_t(column->col_size));
                columns.push_back(char(YesNo(Prop(column, "Required"))));
                columns.push_back(char(YesNo(Prop(column, "AllowZeroLength"))));
                PutText(columns, Prop(column, "DefaultValue"));
                columns.push_back(char(Prop(column, "Expression").empty() ? 0 : 1));
            }
        }
        // Relationships are stored as indexes too (type 2): they are not the table's own.
        std::string indexes;
        std::vector<const MdbIndex*> own;
        // The list is kept on the table; what the call returns differs between versions.
        if (table && table->num_cols > 0)
            mdb_read_indices(table);
        GPtrArray* stored = table && table->num_cols > 0 ? table->indices : nullptr;
        if (stored) {
            for (unsigned n = 0; n < stored->len; ++n) {
                const auto* index = static_cast<const MdbIndex*>(g_ptr_array_index(stored, n));
                bool valid = index->index_type != 2 && index->num_keys > 0 && index->num_keys <= MDB_MAX_IDX_COLS;
                for (unsigned k = 0; valid && k < index->num_keys; ++k)
                    valid = index->key_col_num[k] >= 1 && unsigned(index->key_col_num[k]) <= table->num_cols;
                if (valid)
                    own.push_back(index);
            }
        }
        PutU32(indexes, uint32_t(own.size()));
        for (const MdbIndex* index : own) {
            PutText(indexes, index->name);
            indexes.push_back(char(index->index_type == 1 ? 1 : 0));
            indexes.push_back(char((index->flags & MDB_IDX_UNIQUE) ? 1 : 0));
            PutU32(indexes, index->num_keys);
            for (unsigned k = 0; k < index->num_keys; ++k) {
                PutU32(indexes, uint32_t(index->key_col_num[k] - 1));
                indexes.push_back(char(index->key_col_order[k] == MDB_DESC ? 1 : 0));
            }
        }
        if (table)
            mdb_free_tabledef(table);
        Send('C', columns);
        Send('I', indexes);
    }
    Send('E', std::string());
}

void SendRows(const Reader& reader, unsigned index)
{
    MdbHandle* mdb = reader.Mdb;
    if (index >= mdb->num_catalog) {
        Send('X', "no such object");
        return;
    }
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, index));
    MdbTableDef* table = entry->object_type == MDB_TABLE ? mdb_read_table(entry) : nullptr;
    if (!table || !mdb_read_columns(table)) {
        if (table)
            mdb_free_tabledef(table);
        Send('X', "not a table");
        return;
    }
    std::vector<MdbField> fields(table->num_cols + 1);
    std::string row, value;
    uint32_t count = 0;
    // No page holds more than 2048 rows: more means the page chain runs in a circle.
    const uint64_t maxRows = uint64_t(reader.Pages + 1) * 2048;
    mdb_rewind_table(table);
    while (mdb_fetch_row(table)) {
        if (++count > maxRows) {
            Send('X', "too many rows");
            mdb_free_tabledef(table);
            return;
        }
        int start = 0;
        size_t length = 0;
        if (mdb_find_row(mdb, int(table->cur_row) - 1, &start, &length) != 0) {
            Send('X', "row lost");
            mdb_free_tabledef(table);
            return;
        }
        const int cracked = mdb_crack_row(table, start & 0x1FFF, length, fields.data());
        row.clear();
        for (unsigned c = 0; c < table->num_cols; ++c) {
            auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
            const MdbField* field = nullptr;
            for (int f = 0; f < cracked; ++f) {
                if (fields[size_t(f)].colnum == int(c)) {
                    field = &fields[size_t(f)];
                    break;
                }
            }
            if (column->col_type == MDB_BOOL) {
                const unsigned char truth = field && !field->is_null ? 1 : 0;
                PutBytes(row, &truth, 1);
                continue;
            }
            if (!field || field->is_null || field->start < 0 || field->siz < 0
                || size_t(field->start) + size_t(field->siz) > size_t(mdb->fmt->pg_size)) {
                PutU32(row, kMdbNullValue);
                continue;
            }
            const char* data = reinterpret_cast<const char*>(mdb->pg_buf) + field->start;
            const int fixed = FixedSize(column->col_type);
            switch (column->col_type) {
            case MDB_TEXT:
                PutText(row, reader.Text(data, size_t(field->siz)));
                break;
            case MDB_MEMO:
                if (reader.LongValue(field->start, field->siz, value))
                    PutText(row, reader.Text(value.data(), value.size()));
                else
                    PutU32(row, kMdbDamagedValue);
                break;
            case MDB_OLE:
                if (reader.LongValue(field->start, field->siz, value))
                    PutBytes(row, value.data(), value.size());
                else
                    PutU32(row, kMdbDamagedValue);
                break;
            case MDB_BINARY:
                PutBytes(row, data, size_t(field->siz));
                break;
            case MDB_NUMERIC:
                // libmdb's own reading of the scaled 128-bit decimal, as text.
                if (field->siz >= 17) {
                    char* text = mdb_numeric_to_string(mdb, field->start, column->col_scale, column->col_prec);
                    PutText(row, text ? text : "");
                    g_free(text);
                } else {
                    PutU32(row, kMdbNullValue);
                }
                break;
            default:
                if (fixed > 0 && field->siz >= fixed)
                    PutBytes(row, data, size_t(fixed));
                else if (fixed == 0)
                    PutBytes(row, data, size_t(field->siz)); // a kind the engine only names
                else
                    PutU32(row, kMdbNullValue);
                break;
            }
        }
        Send('R', row);
    }
    std::string end;
    PutU32(end, count);
    Send('Z', end);
    mdb_free_tabledef(table);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s FILE.mdb\n", argv[0]);
        return 2;
    }
    // Limits set here rather than between fork and exec: the engine starts this with
    // posix_spawn, and nothing runs in a child of a threaded program before exec. A file
    // that sends libmdb round in circles or allocating without end is stopped by these;
    // the engine's own deadline and byte budget stop one that only trickles or floods.
    {
        struct stat file {};
        const rlim_t size = stat(argv[1], &file) == 0 ? rlim_t(file.st_size) : 0;
        // A value is at most the file, and three times that as UTF-8.
        const rlimit memory{(rlim_t(256) << 20) + 4 * size, (rlim_t(256) << 20) + 4 * size};
        const rlimit cpu{600, 610};
        const rlimit none{0, 0};
        if (setrlimit(RLIMIT_AS, &memory) != 0 || setrlimit(RLIMIT_CPU, &cpu) != 0 || setrlimit(RLIMIT_CORE, &none) != 0
            || setrlimit(RLIMIT_FSIZE, &none) != 0 || prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
            return 2;
    }
    static char buffer[1 << 16];
    setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    MdbHandle* mdb = mdb_open(argv[1], MDB_NOFLAGS);
    if (!mdb || !mdb->fmt || mdb->fmt->pg_size <= 0) {
        Send('X', "not a database");
        fflush(stdout);
        return 1;
    }
    // libmdb decodes Jet 3 text as CP1252 unless told otherwise; the file names its own
    // code page (CP1250 for Czech), so open it again with that one.
    const unsigned codePage = mdb->f->code_page;
    if (mdb->f->jet_version == MDB_VER_JET3 && !getenv("MDB_JET3_CHARSET") && codePage != 1252
        && ((codePage >= 1250 && codePage <= 1258) || codePage == 874 || codePage == 932 || codePage == 936
            || codePage == 949 || codePage == 950)) {
        const std::string charset = "CP" + std::to_string(codePage);
        setenv("MDB_JET3_CHARSET", charset.c_str(), 1);
        mdb_close(mdb);
        mdb = mdb_open(argv[1], MDB_NOFLAGS);
        if (!mdb || !mdb->fmt || mdb->fmt->pg_size <= 0) {
            Send('X', "not a database");
            fflush(stdout);
            return 1;
        }
    }
    struct stat info {};
    const uint32_t pages = stat(argv[1], &info) == 0 ? uint32_t(info.st_size / mdb->fmt->pg_size) : 0;
    if (!mdb_read_catalog(mdb, MDB_ANY)) {
        Send('X', "no catalogue");
        fflush(stdout);
        return 1;
    }
    SendCatalog(mdb, pages);
    fflush(stdout);
    Reader reader{mdb, pages};
    char line[64];
    while (fgets(line, sizeof line, stdin)) {
        unsigned index = 0;
        if (sscanf(line, "R %u", &index) == 1)
            SendRows(reader, index);
        else
            Send('X', "unknown command");
        fflush(stdout);
    }
    mdb_close(mdb);
    return 0;
}

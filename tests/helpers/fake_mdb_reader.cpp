// Stands in for quarnel-mdb-reader (named through QUARNEL_MDB_READER) to play a hostile
// file: a catalogue of MSysObjects and one table "Big" with a memo field, whose rows then
// come as FAKE_MDB_MODE says:
//   trickle  one small row every 100 ms, FAKE_MDB_ROWS of them, then FAKE_MDB_MARKER is made
//   flood    FAKE_MDB_ROWS rows of a 1 MiB memo each, as fast as they are taken
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

void U32(std::string& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(char((value >> (8 * i)) & 0xFF));
}

void Text(std::string& out, const std::string& text)
{
    U32(out, uint32_t(text.size()));
    out += text;
}

void Send(char tag, const std::string& payload)
{
    std::string frame(1, tag);
    U32(frame, uint32_t(payload.size()));
    frame += payload;
    if (fwrite(frame.data(), 1, frame.size(), stdout) != frame.size() || fflush(stdout) != 0)
        _exit(3);
}

void Column(std::string& out, const char* name, uint32_t type, uint32_t size)
{
    Text(out, name);
    U32(out, type);
    U32(out, size);
    out.push_back(2);
    out.push_back(2);
    Text(out, "");
    out.push_back(0); // not calculated
}

void Table(uint32_t index, const char* name, const std::string& columns, uint32_t count)
{
    std::string object;
    U32(object, index);
    U32(object, 1);
    U32(object, 0);
    Text(object, name);
    Send('O', object);
    std::string described;
    U32(described, count);
    Send('C', described + columns);
    std::string indexes;
    U32(indexes, 0);
    Send('I', indexes);
}

} // namespace

int main()
{
    const char* modeText = getenv("FAKE_MDB_MODE");
    const std::string mode = modeText ? modeText : "";
    const long rows = getenv("FAKE_MDB_ROWS") ? atol(getenv("FAKE_MDB_ROWS")) : 10;
    std::string head;
    for (uint32_t value : {1u, 0x0405u, 1250u, 2u})
        U32(head, value);
    Send('H', head);
    std::string objects;
    Column(objects, "Id", 4, 4);
    Column(objects, "Name", 10, 255);
    Column(objects, "Type", 3, 2);
    Table(0, "MSysObjects", objects, 3);
    std::string big;
    Column(big, "Memo", 12, 0);
    Table(1, "Big", big, 1);
    Send('E', std::string());

    char line[64];
    while (fgets(line, sizeof line, stdin)) {
        std::string end;
        U32(end, 0);
        if (strncmp(line, "R 0", 3) == 0) {
            std::string row;
            U32(row, 4);
            U32(row, 1);
            Text(row, "Big");
            U32(row, 2);
            row += std::string("\x01\x00", 2);
            Send('R', row);
            Send('Z', end);
            continue;
        }
        const std::string memo(mode == "flood" ? size_t(1) << 20 : 8, 'a');
        for (long i = 0; i < rows; ++i) {
            std::string row;
            Text(row, memo);
            Send('R', row);
            if (mode == "trickle")
                usleep(100000);
        }
        if (mode == "trickle" && getenv("FAKE_MDB_MARKER")) {
            if (FILE* marker = fopen(getenv("FAKE_MDB_MARKER"), "w"))
                fclose(marker);
        }
        Send('Z', end);
    }
    return 0;
}

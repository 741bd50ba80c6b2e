#pragma once

// Text as Jet 4 and ACE store it, to UTF-8: UTF-16LE, or, after the mark FF FE, runs that
// a zero byte switches between one byte a character and two. libmdb's own conversion
// turns a character outside the BMP into "?", so the helper decodes the bytes itself.
// Plain C++: the helper links no Qt.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline void AppendUtf8(std::string& out, uint32_t code)
{
    if (code < 0x80) {
        out.push_back(char(code));
    } else if (code < 0x800) {
        out.push_back(char(0xC0 | (code >> 6)));
        out.push_back(char(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(char(0xE0 | (code >> 12)));
        out.push_back(char(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(char(0x80 | (code & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (code >> 18)));
        out.push_back(char(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(char(0x80 | (code & 0x3F)));
    }
}

inline std::string JetTextToUtf8(const unsigned char* data, size_t length)
{
    std::vector<uint16_t> units;
    units.reserve(length);
    if (length >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        bool compressed = true;
        for (size_t i = 2; i < length;) {
            if (data[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                units.push_back(data[i++]);
            } else if (i + 1 < length) {
                units.push_back(uint16_t(data[i] | data[i + 1] << 8));
                i += 2;
            } else {
                break; // half a character at the end of a damaged value
            }
        }
    } else {
        for (size_t i = 0; i + 1 < length; i += 2)
            units.push_back(uint16_t(data[i] | data[i + 1] << 8));
    }
    std::string out;
    out.reserve(units.size() * 3);
    for (size_t i = 0; i < units.size(); ++i) {
        const uint32_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, 0xFFFD); // half a pair has no character of its own
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

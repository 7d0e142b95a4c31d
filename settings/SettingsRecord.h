// The settings file's fixed 392-byte record, decoded and encoded without the
// platform so that the reader can be fuzzed natively. Integers are 32-bit
// little-endian and taken as they are; the folder and the stem stop at the end
// of their fields even when the file holds no terminator there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace settingsrec {

enum : size_t {
    kRecordSize = 392,
    kOffFolder = 0,
    kFolderSize = 256,
    kOffStem = 256,
    kStemSize = 64,
    kOffNumberFrom = 324, // then the 15 integers below, 4 bytes apart, through 380
    kOffFolderValid = 384,
    kOffUSLocale = 388,
};
const int kIntCount = 15;

// In record order: numbering start, resolution, file type, compression, page
// size, units, automatic saving, orientation, scan range, mode, Save dialog
// display, frame left, top, right, bottom.
struct Values {
    char szFolder[kFolderSize];
    char szStem[kStemSize];
    int32_t ints[kIntCount];
};

inline int32_t GetInt(const uint8_t* rec, size_t off)
{
    return (int32_t)((uint32_t)rec[off] | (uint32_t)rec[off + 1] << 8 | (uint32_t)rec[off + 2] << 16 |
                     (uint32_t)rec[off + 3] << 24);
}

inline void PutInt(uint8_t* rec, size_t off, int32_t v)
{
    for (int i = 0; i < 4; ++i)
        rec[off + i] = (uint8_t)((uint32_t)v >> (8 * i));
}

// Every field of a record read from a usable file; texts always terminated.
inline void Decode(const uint8_t* rec, Values* out)
{
    memcpy(out->szFolder, rec + kOffFolder, kFolderSize - 1);
    out->szFolder[kFolderSize - 1] = '\0';
    memset(out->szStem, 0, kStemSize);
    const char* pStem = reinterpret_cast<const char*>(rec + kOffStem);
    memcpy(out->szStem, pStem, strnlen(pStem, kStemSize - 1));
    for (int i = 0; i < kIntCount; ++i)
        out->ints[i] = GetInt(rec, kOffNumberFrom + 4 * i);
}

// Writes the fields over the record: all 256 folder bytes, the stem with its
// terminator (the bytes behind it keep what the record held), the integers and
// the locale flag. The reserved bytes at 320 and the folder flag stay.
inline void Encode(const Values& v, int32_t bUSLocale, uint8_t* rec)
{
    memcpy(rec + kOffFolder, v.szFolder, kFolderSize);
    const size_t nStem = strnlen(v.szStem, kStemSize - 1);
    memcpy(rec + kOffStem, v.szStem, nStem);
    rec[kOffStem + nStem] = 0;
    for (int i = 0; i < kIntCount; ++i)
        PutInt(rec, kOffNumberFrom + 4 * i, v.ints[i]);
    PutInt(rec, kOffUSLocale, bUSLocale);
}

} // namespace settingsrec

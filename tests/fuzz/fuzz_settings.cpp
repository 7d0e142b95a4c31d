// Untrusted settings files through the reader and back through the writer: texts end inside their
// fields, what was read is written back unchanged, and the bytes the program does not own
// (reserved field, bytes behind the stem, folder flag) travel through untouched.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "settings/SettingsRecord.h"

using namespace settingsrec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Only a file of at least 392 bytes is read; a longer one gives its first 392.
  if (size < kRecordSize) return 0;
  uint8_t rec[kRecordSize];
  memcpy(rec, data, kRecordSize);
  Values v;
  Decode(rec, &v);
  if (!memchr(v.szFolder, 0, kFolderSize) || !memchr(v.szStem, 0, kStemSize)) __builtin_trap();

  uint8_t out[kRecordSize];
  memcpy(out, rec, kRecordSize);
  Encode(v, GetInt(rec, kOffUSLocale), out);
  const size_t nStem = strlen(v.szStem);
  for (size_t i = kOffStem + nStem + 1; i < kOffNumberFrom; ++i)
    if (out[i] != rec[i]) __builtin_trap();
  if (memcmp(out + kOffFolderValid, rec + kOffFolderValid, 8) != 0) __builtin_trap();
  if (memcmp(out + kOffNumberFrom, rec + kOffNumberFrom, 4 * kIntCount) != 0) __builtin_trap();

  Values again;
  Decode(out, &again);
  if (strcmp(again.szFolder, v.szFolder) != 0 || strcmp(again.szStem, v.szStem) != 0 ||
      memcmp(again.ints, v.ints, sizeof v.ints) != 0)
    __builtin_trap();
  return 0;
}

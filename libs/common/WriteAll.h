// Writing a whole buffer to a file handle in pieces WriteFile's DWORD count can
// take; false when any piece is short (a full disk).
#pragma once

#include <windows.h>

#include <cstddef>

inline bool WriteAll(HANDLE h, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD put = 0;
    if (!WriteFile(h, p, chunk, &put, nullptr) || put != chunk) return false;
    p += chunk;
    size -= chunk;
  }
  return true;
}

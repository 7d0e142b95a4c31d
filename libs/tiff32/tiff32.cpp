// TIFF32.dll: writes one page into a TIFF file per call. The format work is
// in codec/; this file is the Win32 file handling around it.
#include "libs/tiff32/tiff32.h"

#include <cstring>

#include "libs/common/WriteAll.h"
#include "codec/dib.h"
#include "codec/tiff.h"

namespace {

class Win32TiffFile : public codec::TiffFile {
 public:
  explicit Win32TiffFile(HANDLE h) : m_h(h) {}

  uint64_t Size() override {
    LARGE_INTEGER size;
    return GetFileSizeEx(m_h, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
  }

  bool ReadAt(uint64_t offset, void* data, size_t size) override {
    if (!Seek(offset)) return false;
    DWORD got = 0;
    return ReadFile(m_h, data, static_cast<DWORD>(size), &got, nullptr) && got == size;
  }

  bool WriteAt(uint64_t offset, const void* data, size_t size) override {
    return Seek(offset) && ::WriteAll(m_h, data, size);
  }

  bool Truncate(uint64_t size) { return Seek(size) && SetEndOfFile(m_h); }

 private:
  bool Seek(uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(m_h, to, nullptr, FILE_BEGIN) != 0;
  }

  HANDLE m_h;
};

// The tail of the file the last call wrote, so that the next page of a
// multi-page export is added without walking the directory chain again. It
// is used only for the same path whose last write time is still the one this
// DLL left; AppendTiffPage itself checks that the file has not grown or
// changed its last link since. (Asking for the file's id instead costs
// milliseconds a call under Wine.)
struct KnownFile {
  bool valid = false;
  char path[MAX_PATH] = {};
  FILETIME written = {};
  codec::TiffTail tail;
};
KnownFile g_lastFile;

// The page being built, kept for the life of the DLL: a multi-page export
// calls once per page, and fresh megabytes for each would cost more than
// coding the page.
codec::TiffPage g_page;
LONG g_pageBusy = 0;

bool FullPath(const char* fileName, char (&out)[MAX_PATH]) {
  DWORD n = GetFullPathNameA(fileName, MAX_PATH, out, nullptr);
  return n > 0 && n < MAX_PATH;
}

bool SameFile(const KnownFile& known, const char* path, HANDLE h) {
  FILETIME written;
  return known.valid && lstrcmpiA(known.path, path) == 0 &&
         GetFileTime(h, nullptr, nullptr, &written) &&
         CompareFileTime(&written, &known.written) == 0;
}

bool CompressionFromCode(int code, codec::TiffCompression* out) {
  switch (code) {
    case TIFF32_NONE: *out = codec::TiffCompression::None; return true;
    case TIFF32_CCITT_G3: *out = codec::TiffCompression::G3; return true;
    case TIFF32_CCITT_G4: *out = codec::TiffCompression::G4; return true;
    default: return false;
  }
}

}  // namespace

extern "C" int WINAPI Tiff32WritePage(const char* fileName, HLOCAL page, int compression,
                                      int /*reserved*/) {
  codec::TiffCompression c;
  if (fileName == nullptr || page == nullptr || !CompressionFromCode(compression, &c)) return 0;

  const void* dib = LocalLock(page);
  if (dib == nullptr) return 0;
  codec::ImageView image;
  codec::DibError parsed =
      codec::ParseDib(static_cast<const uint8_t*>(dib), LocalSize(page), &image);
  if (parsed != codec::DibError::None) {
    LocalUnlock(page);
    return 0;
  }

  HANDLE h = CreateFileA(fileName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    LocalUnlock(page);
    return 0;
  }
  const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  Win32TiffFile file(h);
  const uint64_t before = file.Size();

  char path[MAX_PATH];
  const bool named = FullPath(fileName, path);
  codec::TiffTail tail;
  if (!created && named && SameFile(g_lastFile, path, h)) tail = g_lastFile.tail;
  g_lastFile.valid = false;

  // Calls come from one thread; should one ever arrive while another runs,
  // it builds its page in memory of its own.
  const bool shared = InterlockedExchange(&g_pageBusy, 1) == 0;
  codec::TiffPage own;
  bool ok;
  try {
    ok = codec::AppendTiffPage(file, image, c, &tail, shared ? &g_page : &own);
  } catch (...) {
    // Out of memory for the page: a failure like any other, never an
    // exception out of the DLL.
    ok = false;
  }
  if (shared) InterlockedExchange(&g_pageBusy, 0);
  LocalUnlock(page);
  if (ok) {
    if (named && GetFileTime(h, nullptr, nullptr, &g_lastFile.written)) {
      lstrcpyA(g_lastFile.path, path);
      g_lastFile.tail = tail;
      g_lastFile.valid = true;
    }
  } else if (!created) {
    file.Truncate(before);
  }
  CloseHandle(h);
  if (!ok && created) DeleteFileA(fileName);
  return ok ? 1 : 0;
}

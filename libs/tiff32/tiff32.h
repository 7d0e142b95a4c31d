// TIFF32.dll as the program calls it: one function, exported by ordinal only.
//
//   HMODULE lib = LoadLibraryA("TIFF32.dll");
//   auto writePage = (PFN_TIFF32_WRITEPAGE)GetProcAddress(lib, MAKEINTRESOURCEA(TIFF32_ORDINAL_WRITEPAGE));
//   BOOL ok = writePage(path, hPage, TIFF32_CCITT_G4, 0);
//
// The call writes the page into the named TIFF file: it creates the file when
// there is none and otherwise adds the page after the pages already in it.
#pragma once

#include <windows.h>

#define TIFF32_ORDINAL_WRITEPAGE 50

// Compression codes.
#define TIFF32_NONE 201
#define TIFF32_CCITT_G3 206  // one-dimensional, an EOL before every row
#define TIFF32_CCITT_G4 208

// fileName: the TIFF file. page: local memory (LocalAlloc) holding a packed
// DIB of 1, 8 or 24 bits per pixel; the caller keeps and frees it. CCITT codes
// apply to 1-bit pages; other pages are stored uncompressed. reserved: 0.
// Returns non-zero on success, 0 when the page is not a DIB it can write, the
// code is unknown, or the file cannot be created, is not a TIFF file or
// cannot be written; a failed call leaves an existing file as it was.
typedef int(WINAPI* PFN_TIFF32_WRITEPAGE)(const char* fileName, HLOCAL page, int compression,
                                          int reserved);

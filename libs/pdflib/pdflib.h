// PDFLIB.dll as the program calls it.
//
//   HMODULE lib = LoadLibraryA("PDFLIB.dll");
//   auto bmps2Pdf = (PFN_BMPS2PDF)GetProcAddress(lib, "Bmps2Pdf");
//   int result = bmps2Pdf(pdfPath, pageList, PDFLIB_CCITT_G4, 0);
#pragma once

#include <windows.h>

// Compression codes.
#define PDFLIB_NONE 0
#define PDFLIB_PACKBITS 2  // RunLengthDecode
#define PDFLIB_CCITT_G3 3  // K 0
#define PDFLIB_CCITT_G4 4  // K -1

// Results.
#define PDFLIB_OK 0
#define PDFLIB_BAD_ARGUMENT 1      // null name or list, empty list, unknown code
#define PDFLIB_CANNOT_WRITE 9      // the PDF cannot be opened for writing
#define PDFLIB_CANNOT_READ_BMP 11  // a listed file is missing or not a BMP of 1, 8 or 24 bits
#define PDFLIB_WRITE_FAILED 12     // writing the opened PDF failed (full disk, device error)
#define PDFLIB_NO_MEMORY 13        // memory for a page could not be had
#define PDFLIB_NO_FOLDER 15        // the PDF's folder does not exist

// Writes one PDF page per BMP file, in list order, each page the image's size
// at its resolution. pageList: file names, each ending with a zero byte; an
// empty name ends the list. CCITT codes apply to 1-bit pages; other pages use
// none. reserved: 0. The PDF is written page by page; on any failure it is
// removed again.
typedef int(WINAPI* PFN_BMPS2PDF)(const char* pdfName, const char* pageList, int compression,
                                  int reserved);

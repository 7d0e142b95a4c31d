// The page store: the page files of the batch, each held open without sharing
// from the moment it is written until the batch is discarded.
#pragma once

#include <windows.h>

#include <vector>

class CScanSettings;

// Failures of ExportPages; each maps to one message (see ExportResultMessage).
enum : int {
    EXPORT_NO_FOLDER = -83,
    EXPORT_PAGE_MISSING = -82,
    EXPORT_PDF_FAILED = -81,
    EXPORT_PDF_IN_USE = -80,
    EXPORT_NO_SETTINGS = (int)0x80002001,
    EXPORT_NO_MEMORY = (int)0x80002002,
    EXPORT_COPY_FAILED = (int)0x80002003,
    EXPORT_WRITE_FAILED = (int)0x80002004,
    // No name could be formed for the first page, or a page could not take its
    // name because the old file is held open elsewhere or read-only.
    EXPORT_NAME_REFUSED = (int)0x80002005,
};

const int kLastOutputNumber = 9999;

// The output number a stored next number stands for: from 1 to 9999, a larger
// one counted on past 9999 as the pages are (10000 is 1); 0 when it is below 1
// and so names no file.
inline int OutputNumber(int n) { return n < 1 ? 0 : (n - 1) % kLastOutputNumber + 1; }

// The string-table id of the message for an ExportPages result below 1.
UINT ExportResultMessage(int result);

class CPageStore {
public:
    CPageStore();
    ~CPageStore();
    CPageStore(const CPageStore&) = delete;
    CPageStore& operator=(const CPageStore&) = delete;

    // Writes the scanned DIB as a BMP page file and keeps it open in element index.
    BOOL WritePage(HGLOBAL hDib, const char* pszPath, int index);
    // A copy of the scanned DIB in local memory.
    HLOCAL CopyDib(HGLOBAL hDib);
    // The packed DIB of the page held in element index, read through its handle.
    HLOCAL ReadPage(const char* pszPath, int index);
    // The page reduced to one sixteenth per side (whole page for small images).
    HLOCAL ReadPageReduced(const char* pszPath, int index);
    BOOL BuildPathName(char* pszOut, const char* pszFolder, const char* pszPrefix, int n);
    BOOL DeleteAllPages(const char* pszFolder, const char* pszPrefix, int count);
    BOOL IsFileOpenable(const char* pszPath);

    // Checks of a save location and a file name stem; they use no fields.
    BOOL TestFolderWritable(const char* pszFolder);
    BOOL TestFileName(const char* pszFolder, const char* pszStem);
    BOOL IsValidFileStem(const char* pszStem);

    // Writes pages 1..count as the output files the settings ask for. Returns
    // the number the next save starts with, or a result below 1 (EXPORT_*).
    int ExportPages(CScanSettings* pSettings, int count);

    // Grows the handle table by one element for the next arriving page.
    void GrowPageTable();
    HANDLE PageHandle(int index) const;
    // Closes the page file held in element index, if any, and forgets it.
    void ReleasePage(int index);
    // Holds the existing page file open, read-only and without sharing, in
    // element index; FALSE when it cannot be opened.
    BOOL HoldPage(const char* pszPath, int index);

private:
    std::vector<HANDLE> m_hPageFiles;
};

extern CPageStore* g_pPageStore;

// The packed DIB of a page file: its BMP body, read from the file's start into
// zero-filled local memory; null on a short or foreign file.
HLOCAL ReadPageBody(HANDLE hFile);

// Size of a packed DIB's colour table as page files define it: by bit depth alone.
DWORD DibPaletteBytes(const BITMAPINFOHEADER* pbi);

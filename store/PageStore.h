// The page store: the page files of the batch, each held open without sharing
// from the moment it is written until the batch is discarded.
#pragma once

#include <windows.h>

#include <vector>

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

    // Grows the handle table by one element for the next arriving page.
    void GrowPageTable();
    HANDLE PageHandle(int index) const;

    std::vector<HANDLE> m_hPageFiles;
    int m_cbPageTable = 0;
};

extern CPageStore* g_pPageStore;

// Size of a packed DIB's colour table as page files define it: by bit depth alone.
DWORD DibPaletteBytes(const BITMAPINFOHEADER* pbi);

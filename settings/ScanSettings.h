// The one settings object: scan options, save options, the page counters and the
// work folder. Its constructor reads "__utilInf.bin" and its destructor writes it.
#pragma once

#include <windows.h>

// Page sizes are TWAIN supported-size codes.
enum : int {
    PAGESIZE_TRIMMING = 0,
    PAGESIZE_A4 = 1,
    PAGESIZE_B5 = 2,
    PAGESIZE_LETTER = 3,
    PAGESIZE_LEGAL = 4,
    PAGESIZE_A5 = 5,
    PAGESIZE_B4 = 6,
    PAGESIZE_B6 = 7,
    PAGESIZE_EXECUTIVE = 10,
    PAGESIZE_MAXIMUM = 54,
};

// m_nFileType.
enum FileType : int {
    FILETYPE_BMP = 0,
    FILETYPE_MULTI_TIFF = 1,
    FILETYPE_TIFF = 2,
    FILETYPE_PDF = 3,
};

// m_nCompression: the item of the compression list the file type shows.
enum TiffCompression : int {
    TIFFCOMP_NONE = 0,
    TIFFCOMP_CCITT_G3 = 1,
    TIFFCOMP_CCITT_G4 = 2,
};
enum PdfCompression : int {
    PDFCOMP_NONE = 0,
    PDFCOMP_PACKBITS = 1,
    PDFCOMP_CCITT_G3 = 2,
    PDFCOMP_CCITT_G4 = 3,
};

// m_nScanRange.
enum ScanRange : int {
    SCANRANGE_CURRENT_PAGE = 0,
    SCANRANGE_BATCH = 1,
    SCANRANGE_FILE = 2,
    SCANRANGE_FROM_CURRENT_PAGE = 3,
    SCANRANGE_SPECIFY = 4,
};

// String-table id of a page size code's text; 0 for an unknown code.
UINT PageSizeTextId(int nPageSize);

class CScanSettings {
public:
    CScanSettings();
    ~CScanSettings();
    CScanSettings(const CScanSettings&) = delete;
    CScanSettings& operator=(const CScanSettings&) = delete;

    BOOL SetSaveFolder(const char* psz);
    BOOL GetSaveFolder(char* pszOut) const;
    BOOL SetFileName(const char* psz);
    void GetFileName(char* pszOut) const;
    BOOL GetWorkFolder(char* pszOut) const;

    int GetCurrentPage() const { return m_nCurrentPage; }
    void NextPage();
    void PrevPage();
    void ResetCurrentPage() { m_nCurrentPage = 1; }
    void SetCurrentPage(int n);
    void SetPageCount(int n);
    void ResetPageCount() { m_nPageCount = 1; }

    void SetResolution(int n);
    int GetResolution() const { return m_nResolution; }
    float GetResolutionDpi() const;
    void SetMode(int n);
    int GetMode() const { return m_nMode; }
    void SetScanRange(int n);
    int GetScanRange() const { return m_nScanRange; }
    void SetOrientation(int n) { m_nOrientation = n; }
    int GetOrientation() const { return m_nOrientation; }
    void SetAutoSave(BOOL b) { m_bAutoSave = b; }
    BOOL IsAutoSave() const { return m_bAutoSave; }

    // Work folder and naming of page and output files.
    BOOL PrepareWorkFolder();
    BOOL BuildPageFileName(char* pszOut, int n) const;
    // The name of output file n of the current file type; drops one trailing
    // backslash from m_szSaveFolder first.
    BOOL BuildOutputFileName(char* pszOut, int n);

    char m_szSaveFolder[256];
    char m_szFileName[64];
    int m_nCurrentPage;
    int m_nResolution;
    BOOL m_bAutoSave;
    int m_nOrientation;
    char m_szWorkFolder[256];
    BOOL m_bUSLocale;
    BOOL m_bDriverUI;
    BOOL m_bShowSaveDialog;
    int m_nMode;
    int m_nFileType;
    int m_nCompression;
    int m_nScanRange;
    int m_nPagesToScan;
    int m_nPageSize;
    int m_nUnits;
    int m_nFrameLeft;
    int m_nFrameTop;
    int m_nFrameRight;
    int m_nFrameBottom;
    int m_nNumberFrom;
    int m_nPageCount;

private:
    void SetDefaults();
    void LoadFile();
    void SaveFile() const;
    // The integer members the settings file holds, in its order.
    void RecordInts(int* (&ints)[15]);

    char m_szProgramFolder[256];
    char m_szSettingsPath[MAX_PATH + 16];
};

extern CScanSettings* g_pSettings;

// The export engine: pages held as page files become numbered BMP files, TIFF
// files, one multi-page TIFF file or one PDF file in the save location. TIFF
// and PDF files are written by TIFF32.dll and PDFLIB.dll, reached as a vendor's
// libraries would be: loaded by name, the TIFF function by its ordinal.
#include "store/PageStore.h"

#include "libs/pdflib/pdflib.h"
#include "libs/tiff32/tiff32.h"
#include "res/resource.h"
#include "settings/ScanSettings.h"

#include <io.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

namespace {

const int kNameSize = 256;
const int kListEntrySize = 255;

int NextNumber(int n) { return OutputNumber(n + 1); }

int TiffCompressionCode(int nCompression)
{
    switch (nCompression) {
    case TIFFCOMP_CCITT_G3:
        return TIFF32_CCITT_G3;
    case TIFFCOMP_CCITT_G4:
        return TIFF32_CCITT_G4;
    }
    return TIFF32_NONE;
}

int PdfCompressionCode(int nCompression)
{
    switch (nCompression) {
    case PDFCOMP_PACKBITS:
        return PDFLIB_PACKBITS;
    case PDFCOMP_CCITT_G3:
        return PDFLIB_CCITT_G3;
    case PDFCOMP_CCITT_G4:
        return PDFLIB_CCITT_G4;
    }
    return PDFLIB_NONE;
}

int PdfResult(int nLibResult)
{
    switch (nLibResult) {
    case PDFLIB_CANNOT_WRITE:
        return EXPORT_PDF_IN_USE;
    case PDFLIB_CANNOT_READ_BMP:
        return EXPORT_PAGE_MISSING;
    case PDFLIB_NO_FOLDER:
        return EXPORT_NO_FOLDER;
    }
    return EXPORT_PDF_FAILED;
}

BOOL FolderExists(const char* pszFolder) { return _access(pszFolder, 0) == 0; }

// The page file without its file header, in zero-filled local memory; the
// file is open only while it is read.
HLOCAL ReadPageFile(const char* pszPath)
{
    HANDLE hFile = ::CreateFileA(pszPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return nullptr;
    HLOCAL hPage = ReadPageBody(hFile);
    ::CloseHandle(hFile);
    return hPage;
}

// The two libraries, loaded for one export.
class CLibrary {
public:
    explicit CLibrary(const char* pszName) : m_h(::LoadLibraryA(pszName)) {}
    ~CLibrary()
    {
        if (m_h)
            ::FreeLibrary(m_h);
    }
    CLibrary(const CLibrary&) = delete;
    CLibrary& operator=(const CLibrary&) = delete;
    FARPROC Proc(const char* pszName) const { return m_h ? ::GetProcAddress(m_h, pszName) : nullptr; }

private:
    HMODULE m_h;
};

template <typename Fn>
Fn ProcAs(FARPROC p)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(p));
}

// One export: the settings, the name buffers and the page file name base.
class CExport {
public:
    CExport(CPageStore* pStore, CScanSettings* pSettings, char* pszOut, char* pszPage, int count)
        : m_pStore(pStore), m_pSettings(pSettings), m_pszOut(pszOut), m_pszPage(pszPage), m_nCount(count)
    {}

    int Run();

private:
    int Tiff();
    int MultiPageTiff();
    int Pdf();
    int Bmp();

    void PageName(int n) { m_pSettings->BuildPageFileName(m_pszPage, n); }
    // A name that cannot be formed is left empty, so that nothing is done under it.
    BOOL OutputName(int k);
    // Removes the output file k when nobody else holds it.
    void ReplaceOutput(int k);
    // Deletes the output files numbered from the first of this export through
    // k; only those that exist when bOnlyExisting is set. Files that kept their
    // old contents because a page could not take their name are not ours.
    void DeleteOutputsThrough(int k, BOOL bOnlyExisting);
    // Gives the temporary file the name of output k; FALSE leaves that file as it was.
    BOOL PlaceTemp(int k);
    // Page n through TIFF32 into the temporary file; 1 on success, else the result.
    int AddTiffPage(PFN_TIFF32_WRITEPAGE pfnWritePage, int n, int nCode);
    void RemoveStaleTemp();

    CPageStore* m_pStore;
    CScanSettings* m_pSettings;
    char* m_pszOut;
    char* m_pszPage;
    int m_nCount;
    int m_nFirst = 0;
    std::vector<int> m_unnamed; // numbers whose files kept their old contents
    char m_szTemp[kNameSize] = {};
};

int CExport::Run()
{
    // A damaged next number must not turn into the name of a file this export
    // does not write: above 9999 it counts on as the pages do, below 1 it names none.
    m_nFirst = OutputNumber(m_pSettings->m_nNumberFrom);
    if (m_nFirst == 0)
        return EXPORT_NAME_REFUSED;
    // Every name of this export must fit: a name cut short would be another file.
    if (!OutputName(kLastOutputNumber) ||
        snprintf(m_szTemp, sizeof m_szTemp, "%s\\dummy.tif", m_pSettings->m_szSaveFolder) >= (int)sizeof m_szTemp)
        return EXPORT_NO_FOLDER;
    if (m_nCount < 1)
        return m_nFirst;

    switch (m_pSettings->m_nFileType) {
    case FILETYPE_TIFF:
        return Tiff();
    case FILETYPE_MULTI_TIFF:
        return MultiPageTiff();
    case FILETYPE_PDF:
        return Pdf();
    }
    return Bmp();
}

BOOL CExport::OutputName(int k)
{
    if (m_pSettings->BuildOutputFileName(m_pszOut, k))
        return TRUE;
    memset(m_pszOut, 0, kNameSize);
    return FALSE;
}

void CExport::ReplaceOutput(int k)
{
    if (OutputName(k) && m_pStore->IsFileOpenable(m_pszOut))
        ::DeleteFileA(m_pszOut);
}

void CExport::DeleteOutputsThrough(int k, BOOL bOnlyExisting)
{
    int num = m_nFirst;
    for (int i = 0; i < m_nCount; ++i) {
        BOOL bOurs = std::find(m_unnamed.begin(), m_unnamed.end(), num) == m_unnamed.end();
        if (bOurs && OutputName(num) && (!bOnlyExisting || _access(m_pszOut, 0) == 0))
            ::DeleteFileA(m_pszOut);
        if (num == k)
            break;
        num = NextNumber(num);
    }
}

BOOL CExport::PlaceTemp(int k)
{
    if (OutputName(k) && rename(m_szTemp, m_pszOut) == 0)
        return TRUE;
    // The old file is held open elsewhere or read-only and stays as it was;
    // the page must not end up in front of the next one.
    ::DeleteFileA(m_szTemp);
    try {
        m_unnamed.push_back(k);
    } catch (...) {
        // Without the note the clean-up may try that file too; held or
        // read-only, it does not go.
    }
    return FALSE;
}

void CExport::RemoveStaleTemp()
{
    // A temporary file left by an interrupted export would put its pages in
    // front of ours.
    if (m_pStore->IsFileOpenable(m_szTemp))
        ::DeleteFileA(m_szTemp);
}

int CExport::AddTiffPage(PFN_TIFF32_WRITEPAGE pfnWritePage, int n, int nCode)
{
    PageName(n);
    HLOCAL hPage = ReadPageFile(m_pszPage);
    if (!hPage)
        return EXPORT_WRITE_FAILED;
    if (!FolderExists(m_pSettings->m_szSaveFolder)) {
        ::LocalFree(hPage);
        return EXPORT_NO_FOLDER;
    }
    int ok = pfnWritePage ? pfnWritePage(m_szTemp, hPage, nCode, 0) : 0;
    ::LocalFree(hPage);
    return ok ? 1 : EXPORT_WRITE_FAILED;
}

int CExport::Tiff()
{
    CLibrary lib("TIFF32.dll");
    auto pfnWritePage = ProcAs<PFN_TIFF32_WRITEPAGE>(lib.Proc(MAKEINTRESOURCEA(TIFF32_ORDINAL_WRITEPAGE)));
    const int nCode = TiffCompressionCode(m_pSettings->m_nCompression);
    RemoveStaleTemp();

    int k = m_nFirst;
    for (int n = 1; n <= m_nCount; ++n, k = NextNumber(k)) {
        ReplaceOutput(k);
        int r = AddTiffPage(pfnWritePage, n, nCode);
        if (r != 1) {
            DeleteOutputsThrough(k, FALSE);
            return r;
        }
        // A page without its name does not end the export: the others are saved.
        PlaceTemp(k);
    }
    return m_unnamed.empty() ? k : EXPORT_NAME_REFUSED;
}

int CExport::MultiPageTiff()
{
    CLibrary lib("TIFF32.dll");
    auto pfnWritePage = ProcAs<PFN_TIFF32_WRITEPAGE>(lib.Proc(MAKEINTRESOURCEA(TIFF32_ORDINAL_WRITEPAGE)));
    ReplaceOutput(m_nFirst);
    const int nCode = TiffCompressionCode(m_pSettings->m_nCompression);
    RemoveStaleTemp();

    int r = 1;
    for (int n = 1; n <= m_nCount && r == 1; ++n)
        r = AddTiffPage(pfnWritePage, n, nCode);
    if (r != 1) {
        ::DeleteFileA(m_szTemp);
        if (OutputName(m_nFirst))
            ::DeleteFileA(m_pszOut);
        return r;
    }
    // Another program holds the old file open, so the pages have no place:
    // a failure, or the user would take the batch for saved.
    return PlaceTemp(m_nFirst) ? NextNumber(m_nFirst) : EXPORT_NAME_REFUSED;
}

int CExport::Pdf()
{
    ReplaceOutput(m_nFirst);

    HLOCAL hList = ::LocalAlloc(LMEM_ZEROINIT, (SIZE_T)m_nCount * kListEntrySize + 1);
    if (!hList)
        return EXPORT_WRITE_FAILED;
    char* pszList = static_cast<char*>(::LocalLock(hList));
    char* p = pszList;
    for (int n = 1; n <= m_nCount; ++n) {
        PageName(n);
        size_t cch = strnlen(m_pszPage, kListEntrySize - 1);
        memcpy(p, m_pszPage, cch);
        p += cch + 1;
    }
    const int nCode = PdfCompressionCode(m_pSettings->m_nCompression);

    CLibrary lib("PDFLIB.dll");
    auto pfnBmps2Pdf = ProcAs<PFN_BMPS2PDF>(lib.Proc("Bmps2Pdf"));
    int nLibResult = pfnBmps2Pdf ? pfnBmps2Pdf(m_pszOut, pszList, nCode, 0) : PDFLIB_BAD_ARGUMENT;
    ::LocalUnlock(hList);
    ::LocalFree(hList);
    if (nLibResult != PDFLIB_OK) {
        ::DeleteFileA(m_pszOut);
        return PdfResult(nLibResult);
    }
    return NextNumber(m_nFirst);
}

int CExport::Bmp()
{
    int k = m_nFirst;
    for (int n = 1; n <= m_nCount; ++n, k = NextNumber(k)) {
        PageName(n);
        if (!OutputName(k) || !::CopyFileA(m_pszPage, m_pszOut, FALSE)) {
            DeleteOutputsThrough(k, TRUE);
            return FolderExists(m_pSettings->m_szSaveFolder) ? EXPORT_COPY_FAILED : EXPORT_NO_FOLDER;
        }
    }
    return k;
}

} // namespace

UINT ExportResultMessage(int result)
{
    switch (result) {
    case EXPORT_NO_FOLDER:
        return IDS_ERR_NO_PATH;
    case EXPORT_PAGE_MISSING:
        return IDS_ERR_PAGE_MISSING;
    case EXPORT_PDF_IN_USE:
        return IDS_ERR_PDF;
    case EXPORT_NAME_REFUSED:
        return IDS_ERR_BAD_NAME;
    }
    return IDS_ERR_DISK_FULL;
}

int CPageStore::ExportPages(CScanSettings* pSettings, int count)
{
    // The libraries and the copy open the page files by name.
    for (int i = 0; i < count; ++i)
        ReleasePage(i);
    if (!pSettings)
        return EXPORT_NO_SETTINGS;
    HLOCAL hOut = ::LocalAlloc(LMEM_ZEROINIT, kNameSize);
    HLOCAL hPage = hOut ? ::LocalAlloc(LMEM_ZEROINIT, kNameSize) : nullptr;
    if (!hPage) {
        if (hOut)
            ::LocalFree(hOut);
        return EXPORT_NO_MEMORY;
    }
    char* pszOut = static_cast<char*>(::LocalLock(hOut));
    char* pszPage = static_cast<char*>(::LocalLock(hPage));

    HCURSOR hOldCursor = ::GetCursor();
    if (hOldCursor)
        ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));

    pSettings->m_nPageCount = count;
    int result = CExport(this, pSettings, pszOut, pszPage, count).Run();

    // The pages are held again, now read-only.
    if (count >= (int)m_hPageFiles.size())
        m_hPageFiles.resize(count + 1, nullptr);
    for (int n = 1; n <= count; ++n) {
        pSettings->BuildPageFileName(pszPage, n);
        if (!HoldPage(pszPage, n - 1)) {
            result = EXPORT_PAGE_MISSING;
            break;
        }
    }

    ::LocalUnlock(hPage);
    ::LocalUnlock(hOut);
    ::LocalFree(hPage);
    ::LocalFree(hOut);
    if (hOldCursor)
        ::SetCursor(hOldCursor);
    return result;
}

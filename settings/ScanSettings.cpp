#include "settings/ScanSettings.h"

#include "framework/Dialog.h"
#include "res/resource.h"
#include "settings/SettingsRecord.h"

#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

CScanSettings* g_pSettings = nullptr;

namespace {

const char kSettingsFile[] = "__utilInf.bin";
const char kDefaultSaveFolder[] = "MyDocuments";

// Read and written through this one buffer, so that the bytes the program does
// not own (reserved field, bytes behind the stem, folder flag) survive a run.
uint8_t s_record[settingsrec::kRecordSize];

} // namespace

UINT PageSizeTextId(int nPageSize)
{
    switch (nPageSize) {
    case PAGESIZE_TRIMMING:
        return 116;
    case PAGESIZE_A4:
        return 106;
    case PAGESIZE_B5:
        return 107;
    case PAGESIZE_LETTER:
        return 108;
    case PAGESIZE_LEGAL:
        return 109;
    case PAGESIZE_A5:
        return 110;
    case PAGESIZE_B4:
        return 111;
    case PAGESIZE_B6:
        return 112;
    case PAGESIZE_EXECUTIVE:
        return 113;
    case PAGESIZE_MAXIMUM:
        return 136;
    }
    return 0;
}

CScanSettings::CScanSettings()
{
    // The record's fields as the file holds them, the same on either build.
    using namespace settingsrec;
    static_assert(sizeof m_szSaveFolder == kFolderSize && sizeof m_szFileName == kStemSize && kOffStem + kStemSize == 320,
                  "settings file: folder and stem fields");
    static_assert(sizeof(int) == 4 && sizeof(BOOL) == 4 && sizeof m_nMode == 4 && sizeof m_bAutoSave == 4,
                  "settings file: 32-bit integer fields");
    static_assert(kOffUSLocale + 4 == kRecordSize, "settings file: 392 bytes");
    memset(m_szSaveFolder, 0, sizeof m_szSaveFolder);
    memset(m_szFileName, 0, sizeof m_szFileName);
    memset(m_szWorkFolder, 0, sizeof m_szWorkFolder);
    m_bDriverUI = FALSE;
    m_nPagesToScan = 1;

    char szCountry[20] = {};
    ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, szCountry, sizeof szCountry);
    char* pEnd = nullptr;
    long nCountry = strtol(szCountry, &pEnd, 10);
    m_bUSLocale = (pEnd != szCountry && *pEnd == '\0' && nCountry == 1);

    m_nPageCount = 1;

    memset(m_szProgramFolder, 0, sizeof m_szProgramFolder);
    ::GetModuleFileNameA(nullptr, m_szProgramFolder, sizeof m_szProgramFolder);
    m_szProgramFolder[sizeof m_szProgramFolder - 1] = '\0';
    for (int i = (int)sizeof m_szProgramFolder - 1; i >= 0 && m_szProgramFolder[i] != '\\'; --i)
        m_szProgramFolder[i] = '\0';

    snprintf(m_szSaveFolder, sizeof m_szSaveFolder, "%s%s", m_szProgramFolder, kDefaultSaveFolder);
    snprintf(m_szSettingsPath, sizeof m_szSettingsPath, "%s%s", m_szProgramFolder, kSettingsFile);

    SetDefaults();
    LoadFile();
}

CScanSettings::~CScanSettings() { SaveFile(); }

void CScanSettings::SetDefaults()
{
    strcpy(m_szFileName, "Doc");
    m_nCurrentPage = 1;
    m_nResolution = 1;
    m_bAutoSave = FALSE;
    m_nOrientation = 0;
    m_bShowSaveDialog = TRUE;
    m_nMode = 0;
    m_nFileType = FILETYPE_MULTI_TIFF;
    m_nCompression = 0;
    m_nScanRange = SCANRANGE_CURRENT_PAGE;
    m_nPageSize = m_bUSLocale ? PAGESIZE_LETTER : PAGESIZE_A4;
    m_nUnits = 0;
    m_nFrameLeft = 0;
    m_nFrameTop = 0;
    m_nFrameRight = 1640;
    m_nFrameBottom = 2260;
    m_nNumberFrom = 1;
}

void CScanSettings::RecordInts(int* (&ints)[15])
{
    int* all[] = {&m_nNumberFrom,     &m_nResolution, &m_nFileType,    &m_nCompression, &m_nPageSize,
                  &m_nUnits,          &m_bAutoSave,   &m_nOrientation, &m_nScanRange,   &m_nMode,
                  &m_bShowSaveDialog, &m_nFrameLeft,  &m_nFrameTop,    &m_nFrameRight,  &m_nFrameBottom};
    static_assert(sizeof all / sizeof all[0] == settingsrec::kIntCount, "one member per stored integer");
    memcpy(ints, all, sizeof all);
}

void CScanSettings::LoadFile()
{
    using namespace settingsrec;
    DWORD cbRead = 0;
    HANDLE hFile =
        ::CreateFileA(m_szSettingsPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile != INVALID_HANDLE_VALUE) {
        if (!::ReadFile(hFile, s_record, kRecordSize, &cbRead, nullptr))
            cbRead = 0;
        ::CloseHandle(hFile);
    }
    if (cbRead != kRecordSize) {
        PutInt(s_record, kOffFolderValid, 0);
        return;
    }

    Values v;
    Decode(s_record, &v);
    if (GetInt(s_record, kOffFolderValid) == 0) {
        // Only the second run creates the default folder; the stored one is ignored.
        char szDefault[256];
        snprintf(szDefault, sizeof szDefault, "%s%s", m_szProgramFolder, kDefaultSaveFolder);
        ::CreateDirectoryA(szDefault, nullptr);
        PutInt(s_record, kOffFolderValid, 1);
    } else {
        memcpy(m_szSaveFolder, v.szFolder, sizeof m_szSaveFolder);
    }
    memcpy(m_szFileName, v.szStem, sizeof m_szFileName);
    int* ints[kIntCount];
    RecordInts(ints);
    for (int i = 0; i < kIntCount; ++i)
        *ints[i] = v.ints[i];
}

void CScanSettings::SaveFile() const
{
    using namespace settingsrec;
    HANDLE hFile = ::CreateFileA(m_szSettingsPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return;

    Values v;
    memcpy(v.szFolder, m_szSaveFolder, sizeof v.szFolder);
    memcpy(v.szStem, m_szFileName, sizeof v.szStem);
    int* ints[kIntCount];
    const_cast<CScanSettings*>(this)->RecordInts(ints);
    for (int i = 0; i < kIntCount; ++i)
        v.ints[i] = *ints[i];
    Encode(v, m_bUSLocale, s_record);

    DWORD cbWritten = 0;
    ::WriteFile(hFile, s_record, kRecordSize, &cbWritten, nullptr);
    ::CloseHandle(hFile);
}

BOOL CScanSettings::SetSaveFolder(const char* psz)
{
    if (!psz || strlen(psz) >= sizeof m_szSaveFolder)
        return FALSE;
    memset(m_szSaveFolder, 0, sizeof m_szSaveFolder);
    strcpy(m_szSaveFolder, psz);
    return TRUE;
}

BOOL CScanSettings::GetSaveFolder(char* pszOut) const
{
    if (!pszOut)
        return FALSE;
    strcpy(pszOut, m_szSaveFolder);
    return TRUE;
}

BOOL CScanSettings::SetFileName(const char* psz)
{
    if (!psz || strlen(psz) > 50)
        return FALSE;
    memset(m_szFileName, 0, sizeof m_szFileName);
    strcpy(m_szFileName, psz);
    return TRUE;
}

void CScanSettings::GetFileName(char* pszOut) const
{
    if (pszOut)
        strcpy(pszOut, m_szFileName);
}

BOOL CScanSettings::GetWorkFolder(char* pszOut) const
{
    if (!pszOut)
        return FALSE;
    strcpy(pszOut, m_szWorkFolder);
    return TRUE;
}

void CScanSettings::NextPage()
{
    if (m_nCurrentPage < m_nPageCount)
        ++m_nCurrentPage;
}

void CScanSettings::PrevPage()
{
    if (m_nCurrentPage > 1)
        --m_nCurrentPage;
}

void CScanSettings::SetCurrentPage(int n) { m_nCurrentPage = (n >= 1 && n <= m_nPageCount) ? n : m_nPageCount; }

void CScanSettings::SetPageCount(int n)
{
    if (n >= 1)
        m_nPageCount = n;
}

void CScanSettings::SetResolution(int n)
{
    if (n >= 0 && n <= 2)
        m_nResolution = n;
}

float CScanSettings::GetResolutionDpi() const
{
    switch (m_nResolution) {
    case 1:
        return 400.0f;
    case 2:
        return 300.0f;
    }
    return 200.0f;
}

void CScanSettings::SetMode(int n)
{
    if (n >= 0 && n <= 2)
        m_nMode = n;
}

void CScanSettings::SetScanRange(int n)
{
    if (n >= 0 && n <= 4)
        m_nScanRange = n;
}

BOOL CScanSettings::PrepareWorkFolder()
{
    memset(m_szWorkFolder, 0, sizeof m_szWorkFolder);
    char szCurrent[256] = {};
    char szWindows[256] = {};
    ::GetCurrentDirectoryA(sizeof szCurrent, szCurrent);
    ::GetWindowsDirectoryA(szWindows, sizeof szWindows);

    if (::GetTempPathA(sizeof m_szWorkFolder, m_szWorkFolder) == 0) {
        AfxMessageBox(IDS_ERR_WORK_FOLDER, MB_ICONEXCLAMATION);
        return FALSE;
    }
    // A temp path inside the program's or the system's folder is replaced by a
    // folder of our own there, so page files never mix with other programs' files.
    if ((szCurrent[0] && strstr(m_szWorkFolder, szCurrent)) || (szWindows[0] && strstr(m_szWorkFolder, szWindows))) {
        snprintf(m_szWorkFolder, sizeof m_szWorkFolder, "%s\\temp\\", szWindows);
        if (_access(m_szWorkFolder, 0) != 0 && !::CreateDirectoryA(m_szWorkFolder, nullptr)) {
            AfxMessageBox(IDS_ERR_WORK_FOLDER, MB_ICONEXCLAMATION);
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CScanSettings::BuildPageFileName(char* pszOut, int n) const
{
    if (!pszOut || n < 0)
        return FALSE;
    snprintf(pszOut, 256, "%s%s%d.bmp", m_szWorkFolder, "Doc", n);
    return TRUE;
}

BOOL CScanSettings::BuildOutputFileName(char* pszOut, int n)
{
    if (!pszOut || n < 0)
        return FALSE;
    size_t len = strnlen(m_szSaveFolder, sizeof m_szSaveFolder);
    if (len > 0 && m_szSaveFolder[len - 1] == '\\')
        m_szSaveFolder[len - 1] = '\0';

    const char* pszFormat;
    switch (m_nFileType) {
    case FILETYPE_BMP:
        pszFormat = n < 1000 ? "%s\\%s%03d.bmp" : "%s\\%s%04d.bmp";
        break;
    case FILETYPE_PDF:
        pszFormat = n < 1000 ? "%s\\%s%03d.pdf" : "%s\\%s%04d.pdf";
        break;
    default:
        pszFormat = n < 1000 ? "%s\\%s%03d.tif" : "%s\\%s%04d.tif";
        break;
    }
    // A name that does not fit is refused rather than cut to another file's name.
    char szName[256];
    int cch = snprintf(szName, sizeof szName, pszFormat, m_szSaveFolder, m_szFileName, n);
    if (cch < 0 || cch >= (int)sizeof szName)
        return FALSE;
    memcpy(pszOut, szName, cch + 1);
    return TRUE;
}

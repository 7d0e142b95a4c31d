// Checks of a save location and a file name stem. The file system has the last
// word: each check creates a probe file and deletes it again at once.
#include "store/PageStore.h"

#include <string.h>

namespace {

// Creates a file that must not exist yet and removes it again.
BOOL ProbeCreate(const char* pszPath)
{
    HANDLE h =
        ::CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FALSE;
    ::CloseHandle(h);
    ::DeleteFileA(pszPath);
    return TRUE;
}

// Appends psz to the 256-byte buffer; FALSE when it would not fit.
BOOL Append(char* pszBuf, const char* psz)
{
    size_t len = strlen(pszBuf);
    size_t add = strlen(psz);
    if (len + add >= 256)
        return FALSE;
    memcpy(pszBuf + len, psz, add + 1);
    return TRUE;
}

} // namespace

BOOL CPageStore::TestFolderWritable(const char* pszFolder)
{
    if (!pszFolder)
        return FALSE;
    size_t len = strnlen(pszFolder, 256);
    if (len == 0 || len > 100)
        return FALSE;
    char szPath[256] = {};
    memcpy(szPath, pszFolder, len);

    // A network path starts with a pair of backslashes; a pair anywhere else
    // names no folder.
    const char* pszSearch = szPath;
    if (szPath[0] == '\\' && szPath[1] == '\\')
        pszSearch += 2;
    if (strstr(pszSearch, "\\\\"))
        return FALSE;

    Append(szPath, szPath[len - 1] == '\\' ? "__a.tst" : "\\__a.tst");
    return ProbeCreate(szPath);
}

BOOL CPageStore::TestFileName(const char* pszFolder, const char* pszStem)
{
    if (!pszFolder || !pszStem)
        return FALSE;
    if (pszStem[0] == '.' || pszStem[0] == '/' || strchr(pszStem, '\\'))
        return FALSE;
    size_t len = strnlen(pszFolder, 256);
    if (len > 255)
        return FALSE;
    char szPath[256] = {};
    memcpy(szPath, pszFolder, len);
    if (len != 0 && len != 255 && szPath[len - 1] != '\\')
        szPath[len] = '\\';
    if (!Append(szPath, pszStem) || !Append(szPath, "__._t_"))
        return FALSE;
    return ProbeCreate(szPath);
}

BOOL CPageStore::IsValidFileStem(const char* pszStem)
{
    if (!pszStem)
        return FALSE;
    if (pszStem[0] == '.' || pszStem[0] == '/' || pszStem[0] == ':')
        return FALSE;
    return strpbrk(pszStem, "\\/:.*?\"<>|") == nullptr;
}

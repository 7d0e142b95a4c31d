#include "store/OverwriteDlg.h"

#include "framework/Gdi.h"
#include "res/resource.h"
#include "store/PageStore.h"

#include <io.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace {

const int kMaxCheckedFolder = 192;

// The text of string id with its %1 replaced by psz.
std::string FormatString1(UINT nID, const char* psz)
{
    std::string text = LoadStr(nID);
    size_t at = text.find("%1");
    if (at != std::string::npos)
        text.replace(at, 2, psz);
    return text;
}

} // namespace

COverwriteDlg::COverwriteDlg(CWnd* pParent) : CDialog(IDD_OVERWRITE, pParent)
{
    memset(m_szFilePath, 0, sizeof m_szFilePath);
}

LRESULT COverwriteDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

void COverwriteDlg::OnPaint()
{
    SetDlgItemText(IDC_OVERWRITE_FILE, m_szFilePath);
    CPaintDC dc(m_hWnd);
    RECT rc;
    ::GetWindowRect(GetDlgItem(IDC_WARNING_ICON_MARK), &rc);
    POINT pt = {rc.left, rc.top};
    ::ScreenToClient(m_hWnd, &pt);
    int nOldMode = ::SetMapMode(dc, MM_TEXT);
    ::DrawIcon(dc, pt.x, pt.y, ::LoadIconA(nullptr, IDI_EXCLAMATION));
    ::SetMapMode(dc, nOldMode);
}

int COverwriteDlg::ConfirmOverwrite(char* pszFolder, const char* pszStem, int number, int fileType)
{
    size_t len = strnlen(pszFolder, 256);
    if (len > kMaxCheckedFolder)
        return 2;
    if (len > 0 && pszFolder[len - 1] == '\\')
        pszFolder[len - 1] = '\0';
    // Asked about the file the export writes first; a number that names no
    // file leaves nothing to ask about, and the export reports it.
    number = OutputNumber(number);
    if (number == 0)
        return 1;

    // Same names as the export writes; "%4d" and ".PDF" only change how they read.
    const char* pszFormat;
    switch (fileType) {
    case 0:
        pszFormat = number < 1000 ? "%s\\%s%03d.bmp" : "%s\\%s%4d.bmp";
        break;
    case 3:
        pszFormat = number < 1000 ? "%s\\%s%03d.PDF" : "%s\\%s%4d.PDF";
        break;
    default:
        pszFormat = number < 1000 ? "%s\\%s%03d.tif" : "%s\\%s%4d.tif";
        break;
    }
    memset(m_szFilePath, 0, sizeof m_szFilePath);
    snprintf(m_szFilePath, sizeof m_szFilePath, pszFormat, pszFolder, pszStem ? pszStem : "", number);

    BOOL bConfirmedInUse = FALSE;
    for (;;) {
        HANDLE h = ::CreateFileA(m_szFilePath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h);
            if (bConfirmedInUse)
                return 1;
            return DoModal() == IDOK ? 1 : 2;
        }
        if (fileType != 3)
            return 1;
        // A PDF we cannot open for writing either does not exist, which creating
        // it shows, or is held by another program. One that exists is never
        // probed: a holder that shares writing would see it emptied.
        FILE* pFile = _access(m_szFilePath, 0) != 0 ? fopen(m_szFilePath, "w+") : nullptr;
        if (pFile) {
            fclose(pFile);
            ::DeleteFileA(m_szFilePath);
            return 1;
        }
        if (AfxMessageBox(FormatString1(IDS_ERR_FILE_IN_USE, m_szFilePath).c_str(), MB_YESNO) != IDYES)
            return 0;
        bConfirmedInUse = TRUE;
    }
}

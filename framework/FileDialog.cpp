#include "framework/FileDialog.h"

#include <string.h>

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const char* pszDefExt, const char* pszFileName, DWORD dwFlags,
                         const char* pszFilter, CWnd* pParent)
    : m_ofn(), m_bOpenFileDialog(bOpenFileDialog), m_filter(pszFilter ? pszFilter : ""), m_szFile()
{
    // The system wants the pairs separated by zeros.
    for (char& c : m_filter)
        if (c == '|')
            c = '\0';
    if (pszFileName)
        lstrcpynA(m_szFile, pszFileName, sizeof m_szFile);
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.hwndOwner = pParent ? pParent->GetSafeHwnd() : nullptr;
    m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrFile = m_szFile;
    m_ofn.nMaxFile = sizeof m_szFile;
    m_ofn.lpstrDefExt = pszDefExt;
    m_ofn.Flags = dwFlags | OFN_EXPLORER | OFN_ENABLESIZING;
}

INT_PTR CFileDialog::DoModal()
{
    BOOL bChosen = m_bOpenFileDialog ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
    return bChosen ? IDOK : IDCANCEL;
}

// The platform's common save-file dialog, in the shape the dialogs use it.
#pragma once

#include "framework/Wnd.h"

#include <commdlg.h>

class CFileDialog {
public:
    // pszFilter is a list of "text|pattern|" pairs ended by "|".
    CFileDialog(BOOL bOpenFileDialog, const char* pszDefExt, const char* pszFileName, DWORD dwFlags,
                const char* pszFilter, CWnd* pParent);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when a file was chosen, IDCANCEL otherwise.
    INT_PTR DoModal();
    std::string GetPathName() const { return m_szFile; }

    OPENFILENAMEA m_ofn;

private:
    BOOL m_bOpenFileDialog;
    std::string m_filter;
    char m_szFile[MAX_PATH];
};

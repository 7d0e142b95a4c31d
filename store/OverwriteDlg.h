// The check before a save: the first output file is replaced only after the
// user agrees, and a PDF held open by another program is reported.
#pragma once

#include "framework/Dialog.h"

class COverwriteDlg : public CDialog {
public:
    explicit COverwriteDlg(CWnd* pParent = nullptr);

    // 1: go on; 0: the user declined to overwrite a PDF in use elsewhere;
    // 2: "Abort", the dialog closed, or a folder longer than 192 characters.
    // Drops one trailing backslash from pszFolder.
    int ConfirmOverwrite(char* pszFolder, const char* pszStem, int number, int fileType);

    char m_szFilePath[256];

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();
};

#include "settings/SaveDlg.h"

#include "app/UtilityDlg.h"
#include "res/resource.h"
#include "settings/ScanSettings.h"

#include <string.h>

CSaveDlg::CSaveDlg(CUtilityDlg* pMain) : CSaveTargetDlg(IDD_SAVE, pMain, FALSE) {}

BOOL CSaveDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    ShowTarget();
    EnableDlgItem(IDC_PDF_INDEX, FALSE);
    ShowDlgItem(IDC_PDF_INDEX, SW_HIDE);
    CreateToolTips({IDC_FILE_TYPE, IDC_COMPRESSION, IDC_LOCATION, IDC_BROWSE, IDC_FILE_NAME, IDC_NUMBER_FROM,
                    IDC_NUMBER_SPIN, IDC_EXTENSION});
    return TRUE;
}

void CSaveDlg::OnLocationKillFocus()
{
    const std::string folder = Location();
    if (folder.size() > 100) {
        CSaveTargetDlg::OnLocationKillFocus();
        return;
    }
    // An accepted location is where Browse starts and what a refused one falls back to.
    lstrcpynA(m_szBrowseFolder, folder.c_str(), sizeof m_szBrowseFolder);
}

void CSaveDlg::OnOK()
{
    StoreTarget();
    StoreTypeAndCompression();
    EndDialog(IDOK);
}

BOOL CSaveDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int nCode = HIWORD(wParam);
    switch (LOWORD(wParam)) {
    case IDC_SAVE_OK:
        if (nCode == BN_CLICKED)
            OnOK();
        return TRUE;
    case IDC_SAVE_CANCEL:
        if (nCode == BN_CLICKED)
            OnCancel();
        return TRUE;
    }
    return CSaveTargetDlg::OnCommand(wParam, lParam);
}

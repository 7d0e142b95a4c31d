#include "settings/PreferencesDlg.h"

#include "app/UtilityDlg.h"
#include "res/resource.h"
#include "settings/ScanSettings.h"

#include <string.h>

namespace {
// Everything automatic saving switches on and off but the compression list,
// which follows the file type.
const int kTargetControls[] = {IDC_SHOW_SAVE_DIALOG, IDC_FILE_TYPE,         IDC_LOCATION,       IDC_BROWSE,
                               IDC_FILE_NAME,        IDC_NUMBER_FROM,       IDC_NUMBER_SPIN,    IDC_EXTENSION,
                               IDC_FILE_TYPE_LABEL,  IDC_COMPRESSION_LABEL, IDC_LOCATION_LABEL, IDC_FILE_NAME_LABEL,
                               IDC_NUMBER_LABEL};
} // namespace

CPreferencesDlg::CPreferencesDlg(CUtilityDlg* pMain) : CSaveTargetDlg(IDD_PREFERENCES, pMain, TRUE) {}

void CPreferencesDlg::EnableTargetControls(BOOL bEnable)
{
    for (int id : kTargetControls)
        EnableDlgItem(id, bEnable);
    EnableDlgItem(IDC_COMPRESSION, bEnable && m_cbFileType.GetCurSel() != FILETYPE_BMP);
}

BOOL CPreferencesDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int id : {IDC_PDF_INDEX, IDC_DEVICE_NAME, IDC_DEVICE_LABEL, IDC_SEPARATOR})
        ShowDlgItem(id, SW_HIDE);
    m_nOpeningNumber = g_pSettings->m_nNumberFrom;
    ShowTarget();
    const BOOL bAuto = m_pMain->IsAutoSaveOn();
    ::CheckDlgButton(m_hWnd, IDC_AUTO_SAVE, bAuto ? BST_CHECKED : BST_UNCHECKED);
    if (!bAuto)
        EnableTargetControls(FALSE);
    ::CheckDlgButton(m_hWnd, IDC_SHOW_SAVE_DIALOG, m_pMain->IsShowSaveDialogOn() ? BST_CHECKED : BST_UNCHECKED);
    CreateToolTips({IDC_AUTO_SAVE, IDC_FILE_TYPE, IDC_COMPRESSION, IDC_LOCATION, IDC_BROWSE, IDC_FILE_NAME,
                    IDC_NUMBER_FROM, IDC_NUMBER_SPIN, IDC_EXTENSION});
    return TRUE;
}

void CPreferencesDlg::OnAutoSaveClicked()
{
    if (::IsDlgButtonChecked(m_hWnd, IDC_AUTO_SAVE) == BST_CHECKED) {
        EnableTargetControls(TRUE);
        EnableDlgItem(IDC_COMPRESSION_LABEL, TRUE);
        return;
    }
    EnableTargetControls(FALSE);
    // Switched off, the dialog forgets the target edits: what it opened with comes back.
    ShowLocation(m_pMain->PendingFolder());
    ShowStoredStem();
    ShowNumber(m_nOpeningNumber);
}

void CPreferencesDlg::OnOK()
{
    if (::IsDlgButtonChecked(m_hWnd, IDC_AUTO_SAVE) == BST_CHECKED) {
        m_pMain->SetAutoSaveOn(TRUE);
        g_pSettings->SetAutoSave(TRUE);
        StoreTarget();
    } else {
        m_pMain->SetAutoSaveOn(FALSE);
        g_pSettings->SetAutoSave(FALSE);
    }
    StoreTypeAndCompression();
    const BOOL bShowSave = ::IsDlgButtonChecked(m_hWnd, IDC_SHOW_SAVE_DIALOG) == BST_CHECKED;
    g_pSettings->m_bShowSaveDialog = bShowSave;
    m_pMain->SetShowSaveDialogOn(bShowSave);
    EndDialog(IDOK);
}

BOOL CPreferencesDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int nCode = HIWORD(wParam);
    switch (LOWORD(wParam)) {
    case IDC_AUTO_SAVE:
        if (nCode == BN_CLICKED)
            OnAutoSaveClicked();
        return TRUE;
    case IDC_PREFS_OK:
        if (nCode == BN_CLICKED)
            OnOK();
        return TRUE;
    case IDC_PREFS_CANCEL:
        if (nCode == BN_CLICKED)
            OnCancel();
        return TRUE;
    case IDC_PDF_INDEX:
        return TRUE;
    }
    return CSaveTargetDlg::OnCommand(wParam, lParam);
}

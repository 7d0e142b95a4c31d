// The save commands of the main window: Save with its dialog and checks, the
// check of the automatic-saving target before a scan, the Preferences command,
// and the window's lock around an export.
#include "app/UtilityDlg.h"
#include "res/resource.h"
#include "settings/PreferencesDlg.h"
#include "settings/SaveDlg.h"
#include "settings/ScanSettings.h"
#include "store/OverwriteDlg.h"
#include "store/PageStore.h"

#include <string.h>

namespace {

// Removes leading and trailing spaces in place.
void TrimSpaces(char* psz)
{
    size_t len = strlen(psz);
    while (len > 0 && psz[len - 1] == ' ')
        psz[--len] = '\0';
    size_t lead = strspn(psz, " ");
    if (lead)
        memmove(psz, psz + lead, len - lead + 1);
}

// An automatic save keeps the scan options locked; a save by hand locks the page controls.
const int kScanOptionControls[] = {IDC_RESOLUTION,  IDC_PAGE_SIZE,    IDC_TWO_SIDED,       IDC_MODE,
                                   IDC_WIDTH_UNITS, IDC_HEIGHT_UNITS, IDC_RESTORE_DEFAULTS};
const int kPageControls[] = {IDC_SHOW_PAGE, IDC_GO, IDC_ACTUAL_SIZE};

// Asks before the first output file is replaced; 1 lets the save go on.
int ConfirmStoredTarget(COverwriteDlg& overwrite)
{
    char szFolder[256];
    memcpy(szFolder, g_pSettings->m_szSaveFolder, sizeof szFolder);
    return overwrite.ConfirmOverwrite(szFolder, g_pSettings->m_szFileName, g_pSettings->m_nNumberFrom,
                                      g_pSettings->m_nFileType);
}

} // namespace

CUtilityDlg::TargetCheck CUtilityDlg::CheckPendingTarget()
{
    TrimSpaces(m_szPendingFolder);
    if (!g_pPageStore->TestFolderWritable(m_szPendingFolder)) {
        AfxMessageBox(IDS_ERR_BAD_NAME, MB_ICONEXCLAMATION);
        g_pSettings->GetSaveFolder(m_szPendingFolder);
        m_nSaveDlgFocus = 1;
        return kTargetBadFolder;
    }
    if (!g_pPageStore->TestFileName(m_szPendingFolder, m_szPendingFileName)) {
        AfxMessageBox(IDS_ERR_BAD_NAME, MB_ICONEXCLAMATION);
        m_nSaveDlgFocus = 2;
        return kTargetBadStem;
    }
    g_pSettings->SetSaveFolder(m_szPendingFolder);
    g_pSettings->SetFileName(m_szPendingFileName);
    return kTargetPassed;
}

void CUtilityDlg::SaveImages(int* pbConfirm)
{
    const BOOL bFullSave = *pbConfirm == 1;
    *pbConfirm = 1;
    CSaveDlg dlg(this);
    COverwriteDlg overwrite(this);

    BOOL bConfirmed = FALSE;
    while (!bConfirmed) {
        if (dlg.DoModal() != IDOK) {
            *pbConfirm = 0;
            break;
        }
        TargetCheck check;
        while ((check = CheckPendingTarget()) != kTargetPassed) {
            if (dlg.DoModal() != IDOK)
                break;
        }
        if (check != kTargetPassed) {
            *pbConfirm = 0;
            break;
        }
        bConfirmed = ConfirmStoredTarget(overwrite) == 1;
    }
    m_nSaveDlgFocus = 0;

    if (bFullSave && bConfirmed && *pbConfirm == 1) {
        // Locking the page controls takes the focus from Show Page; it goes back.
        HWND hFocus = ::GetFocus();
        LockForSave();
        ExportBatch(g_nNextPage);
        UnlockAfterSave();
        FocusWorkingControl(hFocus);
        // A batch whose export failed counts as saved too: its files are not lost.
        m_bSaved = TRUE;
    }
}

BOOL CUtilityDlg::CheckAutoSaveTarget()
{
    CSaveDlg dlg(this);
    COverwriteDlg overwrite(this);
    for (;;) {
        while (CheckPendingTarget() != kTargetPassed) {
            if (dlg.DoModal() != IDOK)
                return FALSE;
        }
        if (ConfirmStoredTarget(overwrite) == 1)
            return TRUE;
        if (dlg.DoModal() != IDOK)
            return FALSE;
    }
}

void CUtilityDlg::ExportBatch(int nCount)
{
    const int nResult = g_pPageStore->ExportPages(g_pSettings, nCount);
    if (nResult > 0)
        g_pSettings->m_nNumberFrom = nResult;
    else
        AfxMessageBox(ExportResultMessage(nResult), MB_ICONEXCLAMATION);
}

void CUtilityDlg::LockForSave()
{
    const BOOL bAuto = g_pSettings->IsAutoSave();
    for (int id = ID_CMD_CLEAR; id <= ID_CMD_HELP; ++id)
        m_wndToolBar.EnableButton(id, FALSE);
    for (int id : kScanOptionControls)
        if (bAuto)
            EnableDlgItem(id, FALSE);
    for (int id : kPageControls)
        if (!bAuto)
            EnableDlgItem(id, FALSE);
    ::UpdateWindow(m_hWnd);
}

void CUtilityDlg::UnlockAfterSave()
{
    const BOOL bAuto = g_pSettings->IsAutoSave();
    m_wndToolBar.EnableButton(ID_CMD_CLEAR, !bAuto);
    m_wndToolBar.EnableButton(ID_CMD_SCAN, TRUE);
    m_wndToolBar.EnableButton(ID_CMD_SAVE, !bAuto);
    m_wndToolBar.EnableButton(ID_CMD_PREFERENCES, bAuto);
    m_wndToolBar.EnableButton(ID_CMD_SHOW_DRIVER, TRUE);
    m_wndToolBar.EnableButton(ID_CMD_HELP, TRUE);
    for (int id : kScanOptionControls)
        if (bAuto)
            EnableDlgItem(id, FALSE);
    for (int id : kPageControls)
        if (!bAuto)
            EnableDlgItem(id, TRUE);
    ::UpdateWindow(m_hWnd);
}

void CUtilityDlg::OnPreferences()
{
    CPreferencesDlg dlg(this);
    if (dlg.DoModal() != IDOK)
        return;
    while (m_bAutoSaveOn) {
        if (CheckPendingTarget() == kTargetPassed)
            break;
        if (dlg.DoModal() != IDOK)
            break;
    }
    m_nSaveDlgFocus = 0;
    RebuildScanButton(m_bAutoSaveOn);
    m_wndToolBar.EnableButton(ID_CMD_SAVE, FALSE);
    if (!m_bAutoSaveOn)
        g_pPageStore->DeleteAllPages(g_pSettings->m_szWorkFolder, "Doc", g_pSettings->m_nPageCount);
    m_wndToolBar.AutoSize();
    ::InvalidateRect(m_wndToolBar.GetSafeHwnd(), nullptr, TRUE);
    ::UpdateWindow(m_wndToolBar.GetSafeHwnd());
}

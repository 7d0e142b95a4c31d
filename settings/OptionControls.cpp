#include "settings/OptionControls.h"

#include "app/UtilityDlg.h"
#include "res/resource.h"
#include "settings/ScanSettings.h"
#include "store/PageStore.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const char kDeviceRegistryPath[] = "Vexel\\PagewellQX\\1.0\\Devices\\QX710/720";
const char kDevicesKeyName[] = "Pagewell QX Devices";
const char kDeviceKeyName[] = "VexelPagewellQX";

namespace {

const int kMaxPages = 30000;

struct ListItem {
    UINT idText;
    int nValue;
};

const ListItem kModes[] = {{133, 0}, {134, 1}, {135, 2}};
// Not in index order: the third item is 400 dpi with value 1.
const ListItem kResolutions[] = {{103, 0}, {105, 2}, {104, 1}};
const int kPageSizes[] = {PAGESIZE_A4, PAGESIZE_LETTER, PAGESIZE_B5, PAGESIZE_TRIMMING, PAGESIZE_MAXIMUM};
const ListItem kScanRanges[] = {{306, SCANRANGE_CURRENT_PAGE},
                                {307, SCANRANGE_BATCH},
                                {308, SCANRANGE_FILE},
                                {309, SCANRANGE_FROM_CURRENT_PAGE},
                                {310, SCANRANGE_SPECIFY}};

void AddItem(const CComboBox& cb, UINT idText, int nValue)
{
    int i = cb.AddString(LoadStr(idText).c_str());
    if (i >= 0)
        cb.SetItemData(i, nValue);
}

// Selects the item whose value equals nValue; -1 when none does.
int SelectByValue(const CComboBox& cb, int nValue)
{
    for (int i = 0, n = cb.GetCount(); i < n; ++i) {
        if ((int)cb.GetItemData(i) == nValue) {
            cb.SetCurSel(i);
            return i;
        }
    }
    cb.SetCurSel(-1);
    return -1;
}

int SelectedValue(const CComboBox& cb, int nDefault)
{
    int i = cb.GetCurSel();
    return i < 0 ? nDefault : (int)cb.GetItemData(i);
}

} // namespace

void CUtilityDlg::EnablePagesToScan(BOOL bEnable)
{
    for (int id : {IDC_PAGES_LABEL, IDC_PAGES_TO_SCAN, IDC_PAGES_SPIN})
        EnableDlgItem(id, bEnable);
}

void CUtilityDlg::OnModeSelEndOk() { g_pSettings->SetMode(m_cbMode.GetCurSel()); }

void CUtilityDlg::OnResolutionSelEndOk() { g_pSettings->SetResolution(SelectedValue(m_cbResolution, -1)); }

void CUtilityDlg::OnPageSizeSelEndOk()
{
    if (m_cbPageSize.GetCurSel() >= 0)
        g_pSettings->m_nPageSize = SelectedValue(m_cbPageSize, g_pSettings->m_nPageSize);
}

void CUtilityDlg::OnScanRangeSelEndOk()
{
    int i = m_cbScanRange.GetCurSel();
    EnablePagesToScan(FALSE);
    if (i == SCANRANGE_SPECIFY)
        EnablePagesToScan(TRUE);
    g_pSettings->SetScanRange(i);
}

void CUtilityDlg::OnPagesKillFocus()
{
    g_pSettings->m_nPagesToScan = CheckCountField(*this, IDC_PAGES_TO_SCAN, m_spinPages, kMaxPages, TRUE);
}

LRESULT CUtilityDlg::OnPagesDeltaPos(NMUPDOWN* pUD)
{
    g_pSettings->m_nPagesToScan = StepCountField(*this, IDC_PAGES_TO_SCAN, m_spinPages, kMaxPages, pUD->iDelta);
    return 0;
}

void FormatCount(char* pszOut, size_t cb, int n)
{
    if (n <= 999)
        snprintf(pszOut, cb, "%03d", n);
    else if (n <= 9999)
        snprintf(pszOut, cb, "%04d", n);
    else
        snprintf(pszOut, cb, "%05d", n);
}

int CheckCountField(const CWnd& dlg, int idEdit, const CSpinButtonCtrl& spin, int nMax, BOOL bBeep)
{
    const int nPrev = LOWORD(spin.SendMessage(UDM_GETPOS));
    const int nNew = atoi(dlg.GetDlgItemText(idEdit).c_str());
    const BOOL bValid = nNew >= 1 && nNew <= nMax;
    const int nShown = bValid ? nNew : nPrev;
    char sz[16];
    FormatCount(sz, sizeof sz, nShown);
    dlg.SetDlgItemText(idEdit, sz);
    if (bValid)
        spin.SetPos(nNew);
    else if (bBeep)
        ::Beep(37, 0);
    return nShown;
}

int StepCountField(const CWnd& dlg, int idEdit, const CSpinButtonCtrl& spin, int nMax, int iDelta)
{
    int nBase = LOWORD(spin.SendMessage(UDM_GETPOS));
    const int nTyped = atoi(dlg.GetDlgItemText(idEdit).c_str());
    if (nTyped != nBase && nTyped >= 1 && nTyped <= nMax) {
        nBase = nTyped;
        spin.SetPos(nBase);
    }
    int nStepped;
    // The width follows the base, so stepping down from 1000 shows 0999.
    char sz[16];
    FormatCount(sz, sizeof sz, nBase);
    const int nDigits = (int)strlen(sz);
    if (iDelta >= 0) {
        nStepped = nBase < nMax ? nBase + 1 : nMax;
        if (nBase < nMax) {
            snprintf(sz, sizeof sz, "%0*d", nDigits, nStepped);
            dlg.SetDlgItemText(idEdit, sz);
        }
    } else {
        nStepped = nBase > 1 ? nBase - 1 : 1;
        if (nBase > 1)
            snprintf(sz, sizeof sz, "%0*d", nDigits, nStepped);
        dlg.SetDlgItemText(idEdit, nBase > 1 ? sz : "001");
    }
    HWND hEdit = dlg.GetDlgItem(idEdit);
    ::InvalidateRect(hEdit, nullptr, TRUE);
    ::UpdateWindow(hEdit);
    spin.SetPos(nBase);
    return nStepped;
}

void CUtilityDlg::FillModeList()
{
    for (const ListItem& it : kModes)
        AddItem(m_cbMode, it.idText, it.nValue);
    SelectByValue(m_cbMode, g_pSettings->m_nMode);
}

void CUtilityDlg::FillResolutionList()
{
    for (const ListItem& it : kResolutions)
        AddItem(m_cbResolution, it.idText, it.nValue);
    SelectByValue(m_cbResolution, g_pSettings->m_nResolution);
    OnResolutionSelEndOk();
}

void CUtilityDlg::FillPageSizeList()
{
    for (int code : kPageSizes)
        AddItem(m_cbPageSize, PageSizeTextId(code), code);
    if (SelectByValue(m_cbPageSize, g_pSettings->m_nPageSize) < 0)
        m_cbPageSize.SetCurSel(0);
}

void CUtilityDlg::FillScanRangeList()
{
    for (const ListItem& it : kScanRanges)
        AddItem(m_cbScanRange, it.idText, it.nValue);
    SelectByValue(m_cbScanRange, g_pSettings->m_nScanRange);
}

void CUtilityDlg::SetupPagesToScan()
{
    m_spinPages.SetRange32(1, kMaxPages);
    m_editPagesToScan.LimitText(5);
    SetDlgItemText(IDC_PAGES_TO_SCAN, "001");
    m_spinPages.SetPos(1);
    g_pSettings->m_nPagesToScan = 1;
}

void CUtilityDlg::SetupOrientation()
{
    BOOL bLandscape = g_pSettings->m_nOrientation != 0;
    m_rbLandscape.SetCheck(bLandscape ? BST_CHECKED : BST_UNCHECKED);
    m_rbPortrait.SetCheck(bLandscape ? BST_UNCHECKED : BST_CHECKED);
}

void CUtilityDlg::SetupToolTips()
{
    if (!m_tooltip.Create(this))
        return;
    for (int id : {IDC_RESOLUTION, IDC_PAGE_SIZE, IDC_TWO_SIDED, IDC_WIDTH_UNITS, IDC_HEIGHT_UNITS, IDC_SHOW_PAGE,
                   IDC_GO, IDC_ACTUAL_SIZE, IDC_RESTORE_DEFAULTS, IDC_LANDSCAPE, IDC_PORTRAIT})
        m_tooltip.AddTool(GetDlgItem(id));
    m_tooltip.Activate(TRUE);
}

DeviceModel QueryDeviceModel(HKEY hRoot, const char* pszPath, const char* pszDevices, const char* pszDevice)
{
    HKEY keys[4] = {};
    const char* names[4] = {"Software", pszPath, pszDevices, pszDevice};
    int nOpened = 0;
    DeviceModel nResult = MODEL_FULL_RANGE;
    HKEY hParent = hRoot;
    for (; nOpened < 4; ++nOpened) {
        if (::RegOpenKeyExA(hParent, names[nOpened], 0, KEY_READ, &keys[nOpened]) != ERROR_SUCCESS)
            break;
        hParent = keys[nOpened];
    }
    if (nOpened < 4) {
        nResult = MODEL_KEY_UNREADABLE;
    } else {
        for (DWORD i = 0;; ++i) {
            char szName[261];
            DWORD cchName = sizeof szName;
            if (::RegEnumValueA(keys[3], i, szName, &cchName, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            DWORD cbData = 0;
            if (::RegQueryValueExA(keys[3], szName, nullptr, nullptr, nullptr, &cbData) != ERROR_SUCCESS)
                continue;
            std::string data(cbData + 1, '\0');
            if (::RegQueryValueExA(keys[3], szName, nullptr, nullptr, reinterpret_cast<BYTE*>(&data[0]), &cbData) !=
                ERROR_SUCCESS)
                continue;
            if (strcmp(szName, "ProductId") != 0)
                continue;
            const char* psz = data.c_str();
            if (strstr(psz, "QX720"))
                nResult = strstr(psz, "QX720KTR") ? MODEL_QX720KTR : MODEL_QX720;
            else if (strstr(psz, "QX710")) {
                if (!strstr(psz, "QX710KTR"))
                    nResult = MODEL_QX710;
            } else
                nResult = MODEL_FULL_RANGE;
        }
    }
    for (int i = 0; i < nOpened; ++i)
        ::RegCloseKey(keys[i]);
    return nResult;
}

void CUtilityDlg::ApplyDeviceModel(DeviceModel nModel)
{
    if (nModel == MODEL_QX720KTR || nModel == MODEL_QX720) {
        for (int id : {IDC_SCREEN_LABEL, IDC_PORTRAIT, IDC_LANDSCAPE, IDC_PORTRAIT_PICTURE, IDC_LANDSCAPE_PICTURE})
            ShowDlgItem(id, SW_SHOW);
        m_bHasOrientation = TRUE;
    }
    if (nModel == MODEL_QX720 || nModel == MODEL_QX710) {
        m_cbScanRange.ResetContent();
        AddItem(m_cbScanRange, 306, SCANRANGE_CURRENT_PAGE);
        m_cbScanRange.SetCurSel(0);
        OnScanRangeSelEndOk();
    }
}

void CUtilityDlg::OnRestoreDefaults()
{
    m_cbResolution.SetCurSel(2);
    OnResolutionSelEndOk();
    m_cbPageSize.SetCurSel(g_pSettings->m_bUSLocale ? 1 : 0);
    OnPageSizeSelEndOk();
    m_cbMode.SetCurSel(0);
    OnModeSelEndOk();
    m_cbScanRange.SetCurSel(0);
    OnScanRangeSelEndOk();
    SetDlgItemText(IDC_PAGES_TO_SCAN, "001");
    m_spinPages.SetPos(1);
    g_pSettings->m_nPagesToScan = 1;
    g_pSettings->SetOrientation(0);
    m_rbPortrait.SetCheck(BST_CHECKED);
    m_rbLandscape.SetCheck(BST_UNCHECKED);
    ::SetFocus(GetDlgItem(IDC_RESTORE_DEFAULTS));
}

void CUtilityDlg::OnClear()
{
    if (m_pThumbnails)
        g_pPageStore->DeleteAllPages(g_pSettings->m_szWorkFolder, "Doc", g_pSettings->m_nPageCount);
    g_pSettings->ResetPageCount();
    g_pSettings->ResetCurrentPage();
    FreeThumbnails();
    m_nShowPage = 1;
    ::RedrawWindow(GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EnterNoPagesState();
    ::SetFocus(GetDlgItem(IDC_MODE));
    SendMessage(DM_SETDEFID, IDC_RESTORE_DEFAULTS);
}

BOOL CUtilityDlg::OnOptionCommand(int nID, int nCode)
{
    if (!g_pSettings)
        return FALSE;
    switch (nID) {
    case ID_CMD_CLEAR:
        OnClear();
        return TRUE;
    case IDC_MODE:
        if (nCode == CBN_SELENDOK)
            OnModeSelEndOk();
        return TRUE;
    case IDC_RESOLUTION:
        if (nCode == CBN_SELENDOK)
            OnResolutionSelEndOk();
        return TRUE;
    case IDC_PAGE_SIZE:
        if (nCode == CBN_SELENDOK || nCode == CBN_SELCHANGE)
            OnPageSizeSelEndOk();
        return TRUE;
    case IDC_SCAN_RANGE:
        if (nCode == CBN_SELENDOK)
            OnScanRangeSelEndOk();
        return TRUE;
    case IDC_PAGES_TO_SCAN:
        if (nCode == EN_KILLFOCUS)
            OnPagesKillFocus();
        return TRUE;
    case IDC_PORTRAIT:
        if (nCode == BN_CLICKED)
            g_pSettings->SetOrientation(0);
        return TRUE;
    case IDC_LANDSCAPE:
        if (nCode == BN_CLICKED)
            g_pSettings->SetOrientation(1);
        return TRUE;
    case IDC_RESTORE_DEFAULTS:
        if (nCode == BN_CLICKED)
            OnRestoreDefaults();
        return TRUE;
    }
    return FALSE;
}

BOOL CUtilityDlg::OnOptionNotify(int nID, NMHDR* pNMHDR, LRESULT* pResult)
{
    if (nID == IDC_PAGES_SPIN && pNMHDR->code == UDN_DELTAPOS && g_pSettings) {
        *pResult = OnPagesDeltaPos(reinterpret_cast<NMUPDOWN*>(pNMHDR));
        return TRUE;
    }
    return FALSE;
}

BOOL ToolTipNeedText(NMHDR* pNMHDR, LRESULT* pResult)
{
    UINT_PTR id = pNMHDR->idFrom;
    BOOL bByHandle = FALSE;
    if (pNMHDR->code == TTN_NEEDTEXTA)
        bByHandle = (reinterpret_cast<NMTTDISPINFOA*>(pNMHDR)->uFlags & TTF_IDISHWND) != 0;
    else
        bByHandle = (reinterpret_cast<NMTTDISPINFOW*>(pNMHDR)->uFlags & TTF_IDISHWND) != 0;

    if (!bByHandle && id >= ID_CMD_CLEAR && id <= ID_CMD_HELP) {
        UINT idText = (UINT)id;
        if (id == ID_CMD_SCAN && g_pSettings && g_pSettings->IsAutoSave())
            idText = IDS_TIP_SCAN_AND_SAVE;
        std::string text = LoadStr(idText).substr(0, 79);
        if (pNMHDR->code == TTN_NEEDTEXTA) {
            auto* p = reinterpret_cast<NMTTDISPINFOA*>(pNMHDR);
            lstrcpynA(p->szText, text.c_str(), sizeof p->szText);
        } else {
            auto* p = reinterpret_cast<NMTTDISPINFOW*>(pNMHDR);
            ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, p->szText, 80);
        }
        *pResult = 0;
        return TRUE;
    }
    if (bByHandle) {
        int nCtrl = ::GetDlgCtrlID(reinterpret_cast<HWND>(id));
        if (nCtrl != 0) {
            if (pNMHDR->code == TTN_NEEDTEXTA) {
                auto* p = reinterpret_cast<NMTTDISPINFOA*>(pNMHDR);
                p->lpszText = MAKEINTRESOURCEA(nCtrl);
                p->hinst = ::GetModuleHandleA(nullptr);
            } else {
                auto* p = reinterpret_cast<NMTTDISPINFOW*>(pNMHDR);
                p->lpszText = MAKEINTRESOURCEW(nCtrl);
                p->hinst = ::GetModuleHandleA(nullptr);
            }
            *pResult = 0;
            return TRUE;
        }
    }
    return FALSE;
}

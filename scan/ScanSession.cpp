#include "scan/ScanSession.h"

#include "app/UtilityDlg.h"
#include "controls/SmallDialogs.h"
#include "framework/Gdi.h"
#include "libs/xrtwif/tw_Interface.h"
#include "res/resource.h"
#include "settings/ScanSettings.h"
#include "store/PageStore.h"

#include <io.h>
#include <stdio.h>
#include <sys/stat.h>

#include <new>

namespace {

const char kPagePrefix[] = "Doc";
const UINT kIdsPageTotalPrefix = 124;  // "/ "

HWND DisplayWnd(CUtilityDlg* pDlg)
{
    return pDlg->m_wndDisplay.GetSafeHwnd();
}

void RepaintDisplayNow(CUtilityDlg* pDlg)
{
    ::RedrawWindow(DisplayWnd(pDlg), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void BackToNoPages(CUtilityDlg* pDlg)
{
    pDlg->EnterNoPagesState();
    ::SetForegroundWindow(pDlg->GetSafeHwnd());
    ::EnableWindow(pDlg->GetSafeHwnd(), TRUE);
}

// Discards the batch on screen: its page files, counters, thumbnails and page controls.
void ClearBatch(CUtilityDlg* pDlg)
{
    g_pPageStore->DeleteAllPages(g_pSettings->m_szWorkFolder, kPagePrefix, g_pSettings->m_nPageCount);
    g_pSettings->ResetPageCount();
    g_pSettings->ResetCurrentPage();
    pDlg->FreeThumbnails();
    RepaintDisplayNow(pDlg);
    pDlg->SetDlgItemText(IDC_SHOW_PAGE, "0");
    pDlg->EnableDlgItem(IDC_SHOW_PAGE, FALSE);
    pDlg->SetDlgItemText(IDC_PAGE_TOTAL, "/ 0");
    pDlg->EnableDlgItem(IDC_PAGE_TOTAL, FALSE);
    for (int id : {IDC_SHOW_PAGE_LABEL, IDC_GO, IDC_ACTUAL_SIZE})
        pDlg->EnableDlgItem(id, FALSE);
    ::ShowScrollBar(DisplayWnd(pDlg), SB_VERT, FALSE);
}

// The window stays disabled until the scanner library reports the end.
void LockAndStart(CUtilityDlg* pDlg, BOOL bDriver)
{
    pDlg->EnterScanningState();
    ::EnableWindow(pDlg->GetSafeHwnd(), FALSE);
    StartScanning(pDlg, bDriver);
    pDlg->m_nShowPage = 1;
}

void Unlock(CUtilityDlg* pDlg)
{
    HWND hWnd = pDlg->GetSafeHwnd();
    ::EnableWindow(hWnd, TRUE);
    ::SetActiveWindow(hWnd);
    ::SetForegroundWindow(hWnd);
    // The control that had the keyboard was locked and let it go; without a
    // focus the navigation keys would arrive as system keys.
    pDlg->FocusWorkingControl(::GetFocus());
    RepaintDisplayNow(pDlg);
}

// The top-left corner of the newest page, unscaled, over the display area.
void DrawPreview(CUtilityDlg* pDlg, HLOCAL hDib)
{
    RECT rc;
    ::GetWindowRect(pDlg->GetDlgItem(IDC_DISPLAY_FRAME), &rc);
    const int w = rc.right - rc.left - 6;
    const int h = rc.bottom - rc.top - 6;
    const BYTE* pDib = static_cast<const BYTE*>(::LocalLock(hDib));
    if (!pDib)
        return;
    const BITMAPINFOHEADER* pbi = reinterpret_cast<const BITMAPINFOHEADER*>(pDib);
    const BYTE* pBits = pDib + pbi->biSize + DibPaletteBytes(pbi);
    {
        CClientDC dc(DisplayWnd(pDlg));
        // Rows are bottom-up: the top h rows begin at row biHeight - h.
        ::StretchDIBits(dc, 0, 0, w, h, 0, pbi->biHeight - h, w, h, pBits, reinterpret_cast<const BITMAPINFO*>(pbi),
                        DIB_RGB_COLORS, SRCCOPY);
    }
    ::LocalUnlock(hDib);
}

// Closes and deletes the page files nFrom down to 1.
void DeletePagesDownFrom(int nFrom)
{
    char szName[256];
    for (int n = nFrom; n >= 1; --n) {
        if (!g_pSettings->BuildPageFileName(szName, n))
            continue;
        _chmod(szName, _S_IREAD | _S_IWRITE);
        std::vector<HANDLE>& table = g_pPageStore->m_hPageFiles;
        if (n - 1 < (int)table.size()) {
            HANDLE h = table[n - 1];
            if (h && h != INVALID_HANDLE_VALUE)
                ::CloseHandle(h);
            table[n - 1] = nullptr;
        }
        ::DeleteFileA(szName);
    }
    g_pPageStore->m_cbPageTable = 0;
}

// Shows the stored pages as the first screen of thumbnails; FALSE when the
// thumbnail set cannot be allocated.
BOOL ShowBatch(CUtilityDlg* pDlg)
{
    const int nStored = g_nNextPage;
    const int nCount = g_pSettings->m_nPageCount;

    pDlg->SetDlgItemText(IDC_SHOW_PAGE, nStored > 0 ? "1" : "");
    pDlg->EnableDlgItem(IDC_SHOW_PAGE, TRUE);
    char szTotal[64];
    snprintf(szTotal, sizeof szTotal, "%s%d", LoadStr(kIdsPageTotalPrefix).c_str(), nStored);
    pDlg->SetDlgItemText(IDC_PAGE_TOTAL, szTotal);

    int nScreens = nCount / 4;
    if (nScreens == 0)
        nScreens = 1;
    if (nCount > 4 && nCount % 4 != 0)
        ++nScreens;
    pDlg->m_nScreenCount = nScreens;

    HWND hArea = DisplayWnd(pDlg);
    ::SetScrollRange(hArea, SB_VERT, 1, nScreens, FALSE);
    ::SetScrollPos(hArea, SB_VERT, 1, FALSE);
    ::ShowScrollBar(hArea, SB_VERT, nCount > 4);

    pDlg->EnterPagesPresentState();
    pDlg->m_wndDisplay.m_nScreen = 1;
    pDlg->m_nShowPage = 1;
    return pDlg->m_wndDisplay.LoadThumbnails(0, nCount < 4 ? nCount : 4);
}

int OnPageWaiting(CUtilityDlg* pDlg)
{
    HGLOBAL hImage = static_cast<HGLOBAL>(g_pScanner->GetScanImage());
    HLOCAL hPreview = nullptr;
    if (!g_pSettings->m_bDriverUI) {
        hPreview = g_pPageStore->CopyDib(hImage);
        if (hPreview)
            DrawPreview(pDlg, hPreview);
    }

    char szName[256] = {};
    g_pSettings->BuildPageFileName(szName, g_nNextPage);
    const BOOL bStored = g_pPageStore->WritePage(hImage, szName, g_nNextPage - 1);
    g_pScanner->FreeScanImage(hImage);

    int nResult;
    if (bStored) {
        ++g_nNextPage;
        bool bGrown = true;
        try {
            g_pPageStore->GrowPageTable();
        } catch (const std::bad_alloc&) {
            bGrown = false;
        }
        // The page just stored stays in the batch; the scanner is told to stop.
        nResult = (!bGrown || g_nNextPage > kMaxBatchPages) ? 0 : 1;
    } else {
        pDlg->m_nPendingError = IDS_ERR_NO_MEMORY_SCAN;
        nResult = -1;
    }
    if (hPreview)
        ::LocalFree(hPreview);
    return nResult;
}

// A batch of no pages leaves no output file behind under the first number.
void DropEmptyOutput()
{
    char szName[256] = {};
    const int nFirst = OutputNumber(g_pSettings->m_nNumberFrom);
    if (nFirst != 0 && g_pSettings->BuildOutputFileName(szName, nFirst) && g_pPageStore->IsFileOpenable(szName))
        ::DeleteFileA(szName);
}

void OnAutoSaveEnd(CUtilityDlg* pDlg, int nStored)
{
    pDlg->LockForSave();
    if (nStored == 0) {
        DropEmptyOutput();
        pDlg->UnlockAfterSave();
        pDlg->EnterNoPagesState();
        // Nothing else follows this end: the window is unlocked here.
        Unlock(pDlg);
        return;
    }
    ::SetForegroundWindow(pDlg->GetSafeHwnd());
    pDlg->ExportBatch(nStored);
    pDlg->UnlockAfterSave();
    RepaintDisplayNow(pDlg);
    pDlg->EnterNoPagesState();
    Unlock(pDlg);
}

void OnNormalEnd(CUtilityDlg* pDlg)
{
    if (g_nNextPage >= 1)
        --g_nNextPage;
    const int nStored = g_nNextPage;
    if (g_pSettings->m_bAutoSave) {
        OnAutoSaveEnd(pDlg, nStored);
        return;
    }
    g_pSettings->SetPageCount(nStored);
    g_pSettings->SetCurrentPage(nStored);
    if (!ShowBatch(pDlg)) {
        DeletePagesDownFrom(nStored);
        g_nNextPage = 1;
        AfxMessageBox(IDS_ERR_THUMB_MEMORY, MB_ICONEXCLAMATION);
    }
    pDlg->m_bSaved = FALSE;
    Unlock(pDlg);
}

void OnAbnormalEnd(CUtilityDlg* pDlg)
{
    ::SetForegroundWindow(pDlg->GetSafeHwnd());
    if (!g_pSettings->m_bAutoSave) {
        g_pSettings->SetPageCount(g_nNextPage);
        g_pSettings->SetCurrentPage(g_nNextPage);
        DeletePagesDownFrom(g_nNextPage);
        g_nNextPage = 1;
    }
    if (pDlg->m_nPendingError) {
        AfxMessageBox((UINT)pDlg->m_nPendingError, MB_ICONEXCLAMATION);
        // The library has finished with us: the window and the scanner object
        // may go from inside its callback.
        pDlg->EndDialog(-1);
        pDlg->DestroyWindow();
        return;
    }
    Unlock(pDlg);
    // The batch is gone: the window must offer a new scan rather than stay in
    // its scanning state with every command off.
    pDlg->EnterNoPagesState();
}

} // namespace

void OnScanCommand(CUtilityDlg* pDlg, BOOL bDriver)
{
    if (!g_pSettings || !g_pScanner || !g_pPageStore)
        return;
    if (pDlg->m_bAutoSaveOn) {
        if (pDlg->m_bShowSaveDialogOn == 1) {
            int bConfirm = 0;
            pDlg->SaveImages(&bConfirm);
            if (!bConfirm)
                return;
        } else if (!pDlg->CheckAutoSaveTarget()) {
            return;
        }
        LockAndStart(pDlg, bDriver);
        g_pSettings->ResetPageCount();
        g_pSettings->ResetCurrentPage();
        return;
    }
    if (pDlg->m_pThumbnails) {
        if (!pDlg->m_bSaved) {
            CClearConfirmDlg dlg(pDlg);
            if (dlg.DoModal() != IDOK)
                return;
        }
        ClearBatch(pDlg);
    }
    LockAndStart(pDlg, bDriver);
}

void StartScanning(CUtilityDlg* pDlg, BOOL bDriver)
{
    CScanSettings* pSettings = g_pSettings;
    pSettings->SetResolution((int)pDlg->m_cbResolution.GetItemData(pDlg->m_cbResolution.GetCurSel()));
    g_nNextPage = 1;
    pSettings->ResetCurrentPage();
    pSettings->m_bDriverUI = bDriver;

    __ScanSetInterface set = {};
    set.nReserved = 0;
    set.fResolutionX = pSettings->GetResolutionDpi();
    set.fResolutionY = pSettings->GetResolutionDpi();
    set.nFrame[0] = 0;
    set.nFrame[1] = 0;
    set.nFrame[2] = 1640;
    set.nFrame[3] = 2260;
    set.bShowUI = bDriver ? 1 : 0;
    set.nReserved2 = 0;
    set.nReserved3 = 0;
    set.nScanRange = pSettings->m_nScanRange;
    set.nPagesToScan = pSettings->m_nPagesToScan;
    set.nMode = pSettings->GetMode();
    set.nOrientation = pSettings->GetOrientation();
    if (pSettings->m_nScanRange == 4)
        set.nPages = pSettings->m_nPagesToScan;
    else if (pSettings->m_nScanRange == 0)
        set.nPages = 1;
    else
        set.nPages = -1;
    const int nPageSize = (int)pDlg->m_cbPageSize.GetItemData(pDlg->m_cbPageSize.GetCurSel());
    set.nPageSize = nPageSize;
    set.bTrimming = nPageSize == PAGESIZE_TRIMMING ? 1 : 0;
    set.bMaximum = nPageSize == PAGESIZE_MAXIMUM ? 1 : 0;

    HWND hWnd = pDlg->GetSafeHwnd();
    if (!hWnd)
        return;
    pSettings->ResetCurrentPage();
    pDlg->m_nPendingError = 0;
    g_pPageStore->DeleteAllPages(pSettings->m_szWorkFolder, kPagePrefix, pSettings->m_nPageCount);
    const int nResult = g_pScanner->StartScan(hWnd, ScanCallback, &set);

    switch (nResult) {
    case TWI_ERR_INTERNAL:
    case TWI_ERR_NO_SOURCE:
    case TWI_ERR_SCAN_FAILED:
        AfxMessageBox(IDS_ERR_INTERNAL, MB_ICONSTOP);
        pDlg->EndDialog(-1);
        break;
    case TWI_ERR_PAPER_JAM:
        AfxMessageBox(IDS_ERR_TWAIN_OPEN, MB_ICONSTOP);
        BackToNoPages(pDlg);
        break;
    case TWI_ERR_NO_PAPER:
        // With the source's own dialog the user may still load paper there.
        if (!bDriver)
            BackToNoPages(pDlg);
        break;
    }
}

int ScanCallback(unsigned long nEvent, int nArg)
{
    CUtilityDlg* pDlg = g_pMainDlg;
    if (!pDlg || !g_pSettings || !g_pPageStore || !g_pScanner)
        return 1;
    switch (nEvent) {
    case TWI_EVENT_IMAGE:
        return nArg == 1 ? OnPageWaiting(pDlg) : 1;
    case TWI_EVENT_END:
        if (nArg)
            OnNormalEnd(pDlg);
        else
            OnAbnormalEnd(pDlg);
        return 1;
    case TWI_EVENT_CLOSED:
        ::EnableWindow(pDlg->GetSafeHwnd(), TRUE);
        pDlg->EnterNoPagesState();
        ::SetForegroundWindow(pDlg->GetSafeHwnd());
        return 1;
    }
    return 1;
}

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
const UINT kIdsPageTotalPrefix = 124; // "/ "

// Closes and deletes the page files nFrom down to 1.
void DeletePagesDownFrom(int nFrom)
{
    char szName[256];
    for (int n = nFrom; n >= 1; --n) {
        if (!g_pSettings->BuildPageFileName(szName, n))
            continue;
        _chmod(szName, _S_IREAD | _S_IWRITE);
        g_pPageStore->ReleasePage(n - 1);
        ::DeleteFileA(szName);
    }
}

// A batch of no pages leaves no output file behind under the first number.
void DropEmptyOutput()
{
    char szName[256] = {};
    const int nFirst = OutputNumber(g_pSettings->m_nNumberFrom);
    if (nFirst != 0 && g_pSettings->BuildOutputFileName(szName, nFirst) && g_pPageStore->IsFileOpenable(szName))
        ::DeleteFileA(szName);
}

} // namespace

void CUtilityDlg::RepaintDisplayNow()
{
    ::RedrawWindow(m_wndDisplay.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CUtilityDlg::BackToNoPages()
{
    EnterNoPagesState();
    ::SetForegroundWindow(m_hWnd);
    ::EnableWindow(m_hWnd, TRUE);
}

// Discards the batch on screen: its page files, counters, thumbnails and page controls.
void CUtilityDlg::ClearBatch()
{
    g_pPageStore->DeleteAllPages(g_pSettings->m_szWorkFolder, kPagePrefix, g_pSettings->m_nPageCount);
    g_pSettings->ResetPageCount();
    g_pSettings->ResetCurrentPage();
    FreeThumbnails();
    RepaintDisplayNow();
    ResetPageControls();
    ::ShowScrollBar(m_wndDisplay.GetSafeHwnd(), SB_VERT, FALSE);
}

// The window stays disabled until the scanner library reports the end.
void CUtilityDlg::LockAndStart(BOOL bDriver)
{
    EnterScanningState();
    ::EnableWindow(m_hWnd, FALSE);
    StartScanning(bDriver);
    m_nShowPage = 1;
}

void CUtilityDlg::Unlock()
{
    HWND hWnd = m_hWnd;
    ::EnableWindow(hWnd, TRUE);
    ::SetActiveWindow(hWnd);
    ::SetForegroundWindow(hWnd);
    // The control that had the keyboard was locked and let it go; without a
    // focus the navigation keys would arrive as system keys.
    FocusWorkingControl(::GetFocus());
    RepaintDisplayNow();
}

// The top-left corner of the newest page, unscaled, over the display area.
void CUtilityDlg::DrawPreview(HLOCAL hDib)
{
    RECT rc;
    ::GetWindowRect(GetDlgItem(IDC_DISPLAY_FRAME), &rc);
    const int w = rc.right - rc.left - 6;
    const int h = rc.bottom - rc.top - 6;
    const BYTE* pDib = static_cast<const BYTE*>(::LocalLock(hDib));
    if (!pDib)
        return;
    const BITMAPINFOHEADER* pbi = reinterpret_cast<const BITMAPINFOHEADER*>(pDib);
    const BYTE* pBits = pDib + pbi->biSize + DibPaletteBytes(pbi);
    {
        CClientDC dc(m_wndDisplay.GetSafeHwnd());
        // Rows are bottom-up: the top h rows begin at row biHeight - h.
        ::StretchDIBits(dc, 0, 0, w, h, 0, pbi->biHeight - h, w, h, pBits, reinterpret_cast<const BITMAPINFO*>(pbi),
                        DIB_RGB_COLORS, SRCCOPY);
    }
    ::LocalUnlock(hDib);
}

// Shows the stored pages as the first screen of thumbnails; FALSE when the
// thumbnail set cannot be allocated.
BOOL CUtilityDlg::ShowBatch()
{
    const int nStored = g_nNextPage;
    const int nCount = g_pSettings->m_nPageCount;

    SetDlgItemText(IDC_SHOW_PAGE, nStored > 0 ? "1" : "");
    EnableDlgItem(IDC_SHOW_PAGE, TRUE);
    char szTotal[64];
    snprintf(szTotal, sizeof szTotal, "%s%d", LoadStr(kIdsPageTotalPrefix).c_str(), nStored);
    SetDlgItemText(IDC_PAGE_TOTAL, szTotal);

    int nScreens = nCount / 4;
    if (nScreens == 0)
        nScreens = 1;
    if (nCount > 4 && nCount % 4 != 0)
        ++nScreens;
    m_nScreenCount = nScreens;

    HWND hArea = m_wndDisplay.GetSafeHwnd();
    ::SetScrollRange(hArea, SB_VERT, 1, nScreens, FALSE);
    ::SetScrollPos(hArea, SB_VERT, 1, FALSE);
    ::ShowScrollBar(hArea, SB_VERT, nCount > 4);

    EnterPagesPresentState();
    m_wndDisplay.m_nScreen = 1;
    m_nShowPage = 1;
    return m_wndDisplay.LoadThumbnails(0, nCount < 4 ? nCount : 4);
}

int CUtilityDlg::OnPageWaiting()
{
    HGLOBAL hImage = static_cast<HGLOBAL>(g_pScanner->GetScanImage());
    HLOCAL hPreview = nullptr;
    if (!g_pSettings->m_bDriverUI) {
        hPreview = g_pPageStore->CopyDib(hImage);
        if (hPreview)
            DrawPreview(hPreview);
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
        m_nPendingError = IDS_ERR_NO_MEMORY_SCAN;
        nResult = -1;
    }
    if (hPreview)
        ::LocalFree(hPreview);
    return nResult;
}

void CUtilityDlg::OnAutoSaveEnd(int nStored)
{
    LockForSave();
    if (nStored == 0) {
        DropEmptyOutput();
        UnlockAfterSave();
        EnterNoPagesState();
        // Nothing else follows this end: the window is unlocked here.
        Unlock();
        return;
    }
    ::SetForegroundWindow(m_hWnd);
    ExportBatch(nStored);
    UnlockAfterSave();
    RepaintDisplayNow();
    EnterNoPagesState();
    Unlock();
}

void CUtilityDlg::OnNormalEnd()
{
    if (g_nNextPage >= 1)
        --g_nNextPage;
    const int nStored = g_nNextPage;
    if (g_pSettings->m_bAutoSave) {
        OnAutoSaveEnd(nStored);
        return;
    }
    g_pSettings->SetPageCount(nStored);
    g_pSettings->SetCurrentPage(nStored);
    if (!ShowBatch()) {
        DeletePagesDownFrom(nStored);
        g_nNextPage = 1;
        AfxMessageBox(IDS_ERR_THUMB_MEMORY, MB_ICONEXCLAMATION);
    }
    m_bSaved = FALSE;
    Unlock();
}

void CUtilityDlg::OnAbnormalEnd()
{
    ::SetForegroundWindow(m_hWnd);
    if (!g_pSettings->m_bAutoSave) {
        g_pSettings->SetPageCount(g_nNextPage);
        g_pSettings->SetCurrentPage(g_nNextPage);
        DeletePagesDownFrom(g_nNextPage);
        g_nNextPage = 1;
    }
    if (m_nPendingError) {
        AfxMessageBox((UINT)m_nPendingError, MB_ICONEXCLAMATION);
        // The library has finished with us: the window and the scanner object
        // may go from inside its callback.
        EndDialog(-1);
        DestroyWindow();
        return;
    }
    Unlock();
    // The batch is gone: the window must offer a new scan rather than stay in
    // its scanning state with every command off.
    EnterNoPagesState();
}

void CUtilityDlg::OnScanCommand(BOOL bDriver)
{
    if (!g_pSettings || !g_pScanner || !g_pPageStore)
        return;
    if (m_bAutoSaveOn) {
        if (m_bShowSaveDialogOn == 1) {
            int bConfirm = 0;
            SaveImages(&bConfirm);
            if (!bConfirm)
                return;
        } else if (!CheckAutoSaveTarget()) {
            return;
        }
        LockAndStart(bDriver);
        g_pSettings->ResetPageCount();
        g_pSettings->ResetCurrentPage();
        return;
    }
    if (m_pThumbnails) {
        if (!m_bSaved) {
            CClearConfirmDlg dlg(this);
            if (dlg.DoModal() != IDOK)
                return;
        }
        ClearBatch();
    }
    LockAndStart(bDriver);
}

void CUtilityDlg::StartScanning(BOOL bDriver)
{
    CScanSettings* pSettings = g_pSettings;
    pSettings->SetResolution((int)m_cbResolution.GetItemData(m_cbResolution.GetCurSel()));
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
    if (pSettings->m_nScanRange == SCANRANGE_SPECIFY)
        set.nPages = pSettings->m_nPagesToScan;
    else if (pSettings->m_nScanRange == SCANRANGE_CURRENT_PAGE)
        set.nPages = 1;
    else
        set.nPages = -1;
    const int nPageSize = (int)m_cbPageSize.GetItemData(m_cbPageSize.GetCurSel());
    set.nPageSize = nPageSize;
    set.bTrimming = nPageSize == PAGESIZE_TRIMMING ? 1 : 0;
    set.bMaximum = nPageSize == PAGESIZE_MAXIMUM ? 1 : 0;

    HWND hWnd = m_hWnd;
    if (!hWnd)
        return;
    pSettings->ResetCurrentPage();
    m_nPendingError = 0;
    g_pPageStore->DeleteAllPages(pSettings->m_szWorkFolder, kPagePrefix, pSettings->m_nPageCount);
    const int nResult = g_pScanner->StartScan(hWnd, ScanCallback, &set);

    switch (nResult) {
    case TWI_ERR_INTERNAL:
    case TWI_ERR_NO_SOURCE:
    case TWI_ERR_SCAN_FAILED:
        AfxMessageBox(IDS_ERR_INTERNAL, MB_ICONSTOP);
        EndDialog(-1);
        break;
    case TWI_ERR_PAPER_JAM:
        AfxMessageBox(IDS_ERR_TWAIN_OPEN, MB_ICONSTOP);
        BackToNoPages();
        break;
    case TWI_ERR_NO_PAPER:
        // With the source's own dialog the user may still load paper there.
        if (!bDriver)
            BackToNoPages();
        break;
    }
}

int ScanCallback(unsigned long nEvent, int nArg)
{
    if (!g_pMainDlg || !g_pSettings || !g_pPageStore || !g_pScanner)
        return 1;
    return g_pMainDlg->OnScanEvent(nEvent, nArg);
}

int CUtilityDlg::OnScanEvent(unsigned long nEvent, int nArg)
{
    switch (nEvent) {
    case TWI_EVENT_IMAGE:
        return nArg == 1 ? OnPageWaiting() : 1;
    case TWI_EVENT_END:
        if (nArg)
            OnNormalEnd();
        else
            OnAbnormalEnd();
        return 1;
    case TWI_EVENT_CLOSED:
        ::EnableWindow(m_hWnd, TRUE);
        EnterNoPagesState();
        ::SetForegroundWindow(m_hWnd);
        return 1;
    }
    return 1;
}

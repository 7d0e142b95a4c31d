#include "view/PageNavigation.h"

#include "app/UtilityDlg.h"
#include "res/resource.h"
#include "settings/ScanSettings.h"
#include "view/ViewWnd.h"

#include <stdio.h>

namespace {

// The typed number; an empty or non-numeric text gives 0.
int TypedPage(CUtilityDlg* pDlg)
{
    BOOL bTranslated = FALSE;
    return (int)::GetDlgItemInt(pDlg->GetSafeHwnd(), IDC_SHOW_PAGE, &bTranslated, TRUE);
}

bool IsValidPage(int n)
{
    return g_pSettings && n >= 1 && n <= g_pSettings->m_nPageCount;
}

void SetShowPageText(CUtilityDlg* pDlg, int n)
{
    char sz[16];
    snprintf(sz, sizeof sz, "%d", n);
    pDlg->SetDlgItemText(IDC_SHOW_PAGE, sz);
}

// Shows the screen of page n and moves the green frame to it, reloading the
// thumbnails even when the screen stays.
void GoToPage(CUtilityDlg* pDlg, int n)
{
    CImageDisplayWnd& area = pDlg->m_wndDisplay;
    area.m_nScreen = ScreenOfPage(n);
    ::SetScrollPos(area.GetSafeHwnd(), SB_VERT, area.m_nScreen, TRUE);
    int first, last;
    area.GetScreenRange(first, last);
    area.LoadThumbnails(first - 1, last);
    ::InvalidateRect(area.GetSafeHwnd(), nullptr, TRUE);
    ::UpdateWindow(area.GetSafeHwnd());
}

void OnShowPageKillFocus(CUtilityDlg* pDlg)
{
    // Disabling the focused field on the way to the no-pages state sends a
    // lose-focus notice too; there is no typed page to apply then.
    if (!::IsWindowEnabled(pDlg->GetDlgItem(IDC_SHOW_PAGE)))
        return;
    const int n = TypedPage(pDlg);
    if (!IsValidPage(n)) {
        SetShowPageText(pDlg, pDlg->m_nShowPage);
        return;
    }
    pDlg->m_nShowPage = n;
    SetShowPageText(pDlg, n);
    GoToPage(pDlg, n);
}

// Like leaving the field, but the text stays as typed and the focus moves to Go.
void OnGo(CUtilityDlg* pDlg)
{
    const int n = TypedPage(pDlg);
    if (IsValidPage(n)) {
        pDlg->m_nShowPage = n;
        GoToPage(pDlg, n);
    } else {
        SetShowPageText(pDlg, pDlg->m_nShowPage);
    }
    ::SetFocus(pDlg->GetDlgItem(IDC_GO));
}

} // namespace

void OpenActualSizeWindow(CUtilityDlg* pDlg)
{
    CViewWnd* pFrame = new CViewWnd;
    CCreateContext context;
    context.m_pNewViewClass = RUNTIME_CLASS(CViewScroll);
    const RECT rc = {0, 0, 480, 480};
    // A frame that fails to be created has deleted itself.
    if (!pFrame->Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW | WS_HSCROLL | WS_VSCROLL, rc, pDlg,
                        MAKEINTRESOURCEA(IDR_VIEW_MENU), 0, &context))
        return;
    ::ShowWindow(pFrame->GetSafeHwnd(), SW_SHOW);
    ::EnableWindow(pDlg->GetSafeHwnd(), FALSE);
}

bool OnPageCommand(CUtilityDlg* pDlg, int nID, int nCode)
{
    switch (nID) {
    case IDC_SHOW_PAGE:
        if (nCode != EN_KILLFOCUS)
            return false;
        OnShowPageKillFocus(pDlg);
        return true;
    case IDC_GO:
        if (nCode != BN_CLICKED)
            return false;
        OnGo(pDlg);
        return true;
    case IDC_ACTUAL_SIZE:
        if (nCode != BN_CLICKED)
            return false;
        OpenActualSizeWindow(pDlg);
        return true;
    }
    return false;
}

#include "view/PageNavigation.h"

#include "app/UtilityDlg.h"
#include "res/resource.h"
#include "settings/ScanSettings.h"
#include "view/ViewWnd.h"

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

void OnShowPageKillFocus(CUtilityDlg* pDlg)
{
    // Disabling the focused field on the way to the no-pages state sends a
    // lose-focus notice too; there is no typed page to apply then.
    if (!::IsWindowEnabled(pDlg->GetDlgItem(IDC_SHOW_PAGE)))
        return;
    const int n = TypedPage(pDlg);
    if (!IsValidPage(n)) {
        pDlg->m_wndDisplay.SetShowPageText(pDlg->m_nShowPage);
        return;
    }
    pDlg->m_nShowPage = n;
    pDlg->m_wndDisplay.SetShowPageText(n);
    pDlg->m_wndDisplay.ShowScreenOf(n);
}

// Like leaving the field, but the text stays as typed and the focus moves to Go.
void OnGo(CUtilityDlg* pDlg)
{
    const int n = TypedPage(pDlg);
    if (IsValidPage(n)) {
        pDlg->m_nShowPage = n;
        pDlg->m_wndDisplay.ShowScreenOf(n);
    } else {
        pDlg->m_wndDisplay.SetShowPageText(pDlg->m_nShowPage);
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

// The page controls of the main window: the Show Page edit, Go and Actual Size.
#include "app/UtilityDlg.h"
#include "res/resource.h"
#include "settings/ScanSettings.h"
#include "view/ViewWnd.h"

namespace {

// The typed number; an empty or non-numeric text gives 0.
int TypedPage(HWND hDlg)
{
    BOOL bTranslated = FALSE;
    return (int)::GetDlgItemInt(hDlg, IDC_SHOW_PAGE, &bTranslated, TRUE);
}

bool IsValidPage(int n) { return g_pSettings && n >= 1 && n <= g_pSettings->m_nPageCount; }

} // namespace

void CUtilityDlg::OnShowPageKillFocus()
{
    // Disabling the focused field on the way to the no-pages state sends a
    // lose-focus notice too; there is no typed page to apply then.
    if (!::IsWindowEnabled(GetDlgItem(IDC_SHOW_PAGE)))
        return;
    const int n = TypedPage(m_hWnd);
    if (!IsValidPage(n)) {
        m_wndDisplay.SetShowPageText(m_nShowPage);
        return;
    }
    m_nShowPage = n;
    m_wndDisplay.SetShowPageText(n);
    m_wndDisplay.ShowScreenOf(n);
}

// Like leaving the field, but the text stays as typed and the focus moves to Go.
void CUtilityDlg::OnGo()
{
    const int n = TypedPage(m_hWnd);
    if (IsValidPage(n)) {
        m_nShowPage = n;
        m_wndDisplay.ShowScreenOf(n);
    } else {
        m_wndDisplay.SetShowPageText(m_nShowPage);
    }
    ::SetFocus(GetDlgItem(IDC_GO));
}

void CUtilityDlg::OpenActualSizeWindow()
{
    CViewWnd* pFrame = new CViewWnd;
    CCreateContext context;
    context.m_pNewViewClass = RUNTIME_CLASS(CViewScroll);
    const RECT rc = {0, 0, 480, 480};
    // A frame that fails to be created has deleted itself.
    if (!pFrame->Create(nullptr, nullptr, WS_OVERLAPPEDWINDOW | WS_HSCROLL | WS_VSCROLL, rc, this,
                        MAKEINTRESOURCEA(IDR_VIEW_MENU), 0, &context))
        return;
    ::ShowWindow(pFrame->GetSafeHwnd(), SW_SHOW);
    ::EnableWindow(m_hWnd, FALSE);
}

BOOL CUtilityDlg::OnPageCommand(int nID, int nCode)
{
    switch (nID) {
    case IDC_SHOW_PAGE:
        if (nCode != EN_KILLFOCUS)
            return FALSE;
        OnShowPageKillFocus();
        return TRUE;
    case IDC_GO:
        if (nCode != BN_CLICKED)
            return FALSE;
        OnGo();
        return TRUE;
    case IDC_ACTUAL_SIZE:
        if (nCode != BN_CLICKED)
            return FALSE;
        OpenActualSizeWindow();
        return TRUE;
    }
    return FALSE;
}

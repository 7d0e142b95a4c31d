#include "controls/SmallDialogs.h"

#include "framework/Gdi.h"
#include "res/resource.h"

CAboutDlg::CAboutDlg(CWnd* pParent) : CDialog(IDD_ABOUTBOX, pParent) {}

CClearConfirmDlg::CClearConfirmDlg(CWnd* pParent) : CDialog(IDD_CLEAR_CONFIRM, pParent) {}

BOOL CClearConfirmDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    return TRUE;
}

LRESULT CClearConfirmDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SHOWWINDOW: {
        LRESULT lr = Default(msg, wParam, lParam);
        OnShowWindow();
        return lr;
    }
    case WM_PAINT:
        OnPaint();
        return 0;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

void CClearConfirmDlg::OnShowWindow()
{
    // Enter must answer Cancel: the pages stay unless the user chooses OK.
    ::SetFocus(GetDlgItem(IDCANCEL));
    SendMessage(DM_SETDEFID, IDCANCEL);
}

void CClearConfirmDlg::OnPaint()
{
    CPaintDC dc(m_hWnd);
    HICON hIcon = ::LoadIconA(nullptr, IDI_EXCLAMATION);
    RECT rc;
    ::GetWindowRect(GetDlgItem(IDC_WARNING_ICON_MARK), &rc);
    POINT pt = {rc.left, rc.top};
    ::ScreenToClient(m_hWnd, &pt);
    int nOldMode = ::SetMapMode(dc, MM_TEXT);
    ::DrawIcon(dc, pt.x, pt.y, hIcon);
    ::SetMapMode(dc, nOldMode);
}

#include "view/ViewWnd.h"

#include "app/UtilityDlg.h"
#include "controls/SmallDialogs.h"
#include "framework/App.h"
#include "res/resource.h"
#include "view/PageImage.h"
#include "view/Printing.h"

CViewWnd* g_pViewWnd = nullptr;
CViewScroll* g_pViewScroll = nullptr;

IMPLEMENT_DYNCREATE(CViewWnd)
IMPLEMENT_DYNCREATE(CViewScroll)

namespace {
const char kViewWndClass[] = "ZUDOR";

HWND MainWindow() { return AfxGetApp() && AfxGetApp()->m_pMainWnd ? AfxGetApp()->m_pMainWnd->GetSafeHwnd() : nullptr; }

void CallHelp(UINT nCommand, ULONG_PTR dwData)
{
    char szHelp[300];
    GetHelpFilePath(szHelp, sizeof szHelp);
    ::WinHelpA(MainWindow(), szHelp, nCommand, dwData);
}
} // namespace

// ---- CViewWnd -------------------------------------------------------------------

BOOL CViewWnd::PreCreateWindow(CREATESTRUCTA& cs)
{
    // Registered before every creation; a second registration fails harmlessly.
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = CWnd::WndProc();
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hIcon = ::LoadIconA(wc.hInstance, MAKEINTRESOURCEA(IDR_MAINFRAME));
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kViewWndClass;
    ::RegisterClassA(&wc);

    cs.lpszClass = kViewWndClass;
    cs.style = WS_POPUP | WS_OVERLAPPEDWINDOW;
    cs.dwExStyle |= WS_EX_APPWINDOW;
    cs.x = 0;
    cs.y = 0;
    cs.cx = 500;
    cs.cy = 500;
    return CFrameWnd::PreCreateWindow(cs);
}

int CViewWnd::OnCreate(LPCREATESTRUCTA pcs)
{
    if (CFrameWnd::OnCreate(pcs) == -1)
        return -1;
    ::SetWindowTextA(m_hWnd, LoadStr(IDS_ACTUAL_SIZE_TITLE).c_str());
    g_pViewWnd = this;
    return 0;
}

LRESULT CViewWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_KEYDOWN:
        if (g_pViewScroll)
            g_pViewScroll->SendMessage(WM_KEYDOWN, wParam, 0);
        break;
    case WM_HELP:
        OnCommand(ID_HELP_FINDER_CMD, 0);
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        break;
    }
    return CFrameWnd::WindowProc(msg, wParam, lParam);
}

BOOL CViewWnd::OnCommand(WPARAM wParam, LPARAM)
{
    switch (LOWORD(wParam)) {
    case ID_IMAGE_PRINT:
        OnPrintCommand(this);
        return TRUE;
    case ID_IMAGE_CLOSE:
        // Straight to destruction: the help window stays as it is.
        DestroyWindow();
        return TRUE;
    case ID_HELP_FINDER_CMD:
        CallHelp(HELP_CONTEXT, 150);
        return TRUE;
    case ID_APP_ABOUT: {
        CAboutDlg dlg(this);
        dlg.DoModal();
        return TRUE;
    }
    }
    return FALSE;
}

void CViewWnd::OnClose()
{
    CallHelp(HELP_QUIT, 0);
    CFrameWnd::OnClose();
}

void CViewWnd::OnDestroy()
{
    HWND hMain = MainWindow();
    if (hMain) {
        ::EnableWindow(hMain, TRUE);
        ::SetActiveWindow(hMain);
        ::SetFocus(::GetDlgItem(hMain, IDC_ACTUAL_SIZE));
    }
    g_pViewWnd = nullptr;
}

// ---- CViewScroll ----------------------------------------------------------------

int CViewScroll::OnCreate(LPCREATESTRUCTA pcs)
{
    if (CScrollView::OnCreate(pcs) == -1)
        return -1;
    ::SetClassLongPtrA(m_hWnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(::GetStockObject(LTGRAY_BRUSH)));
    SetSizes();
    g_pViewScroll = this;
    return 0;
}

void CViewScroll::OnInitialUpdate()
{
    CScrollView::OnInitialUpdate();
    SetSizes();
}

void CViewScroll::OnUpdate() { SetSizes(); }

// The page is read again for every size update: no image stays in memory.
void CViewScroll::SetSizes()
{
    CPageImage image;
    if (!image.Header())
        return;
    SetScrollSizes(MM_TEXT, SIZE{image.Header()->biWidth, image.Header()->biHeight});
    ::SetScrollPos(m_hWnd, SB_HORZ, 0, TRUE);
    ::SetScrollPos(m_hWnd, SB_VERT, 0, TRUE);
}

void CViewScroll::OnDraw(HDC hDC)
{
    CPageImage image;
    const BITMAPINFOHEADER* pbi = image.Header();
    if (!pbi)
        return;
    ::StretchDIBits(hDC, 0, 0, pbi->biWidth, pbi->biHeight, 0, 0, pbi->biWidth, pbi->biHeight, image.Bits(),
                    image.Info(), DIB_RGB_COLORS, SRCCOPY);
}

LRESULT CViewScroll::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_KEYDOWN: {
        // Home and End move one page step sideways, not to the edges.
        static const struct {
            WPARAM vk;
            UINT msg;
            int code;
        } kKeys[] = {
            {VK_UP, WM_VSCROLL, SB_LINEUP},     {VK_DOWN, WM_VSCROLL, SB_LINEDOWN}, {VK_PRIOR, WM_VSCROLL, SB_PAGEUP},
            {VK_NEXT, WM_VSCROLL, SB_PAGEDOWN}, {VK_LEFT, WM_HSCROLL, SB_LINEUP},   {VK_RIGHT, WM_HSCROLL, SB_LINEDOWN},
            {VK_HOME, WM_HSCROLL, SB_PAGEUP},   {VK_END, WM_HSCROLL, SB_PAGEDOWN},
        };
        for (const auto& k : kKeys)
            if (k.vk == wParam)
                SendMessage(k.msg, MAKEWPARAM(k.code, 0), 0);
        break;
    }
    case WM_DESTROY:
        g_pViewScroll = nullptr;
        break;
    }
    return CScrollView::WindowProc(msg, wParam, lParam);
}

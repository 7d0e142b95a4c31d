#include "view/ImageDisplayWnd.h"

#include "app/UtilityDlg.h"
#include "framework/Gdi.h"

namespace {
const char kClassName[] = "TolvixPicView";

ATOM RegisterPaneClass()
{
    static ATOM s_atom = 0;
    if (!s_atom) {
        WNDCLASSA wc = {};
        wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        s_atom = ::RegisterClassA(&wc);
    }
    return s_atom;
}
} // namespace

BOOL CImageDisplayWnd::Create(CUtilityDlg* pOwner, int nPlaceholderId)
{
    m_pOwner = pOwner;
    if (!RegisterPaneClass())
        return FALSE;
    RECT rc;
    ::GetWindowRect(pOwner->GetDlgItem(nPlaceholderId), &rc);
    ::MapWindowPoints(nullptr, pOwner->GetSafeHwnd(), reinterpret_cast<POINT*>(&rc), 2);
    HWND hWnd = ::CreateWindowExA(WS_EX_CLIENTEDGE, kClassName, "PicView", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                                  rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, pOwner->GetSafeHwnd(),
                                  reinterpret_cast<HMENU>((INT_PTR)nPlaceholderId), ::GetModuleHandleA(nullptr),
                                  nullptr);
    if (!hWnd)
        return FALSE;
    m_nScreen = 1;
    return SubclassWindow(hWnd);
}

LRESULT CImageDisplayWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: {
        CPaintDC dc(m_hWnd);
        DoPaint(dc);
        return 0;
    }
    case WM_PRINTCLIENT:
        DoPaint(reinterpret_cast<HDC>(wParam));
        return 0;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

void CImageDisplayWnd::DoPaint(HDC)
{
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    CClientDC dc(m_hWnd);
    ::PatBlt(dc, 0, 0, rc.right - rc.left, rc.bottom - rc.top, WHITENESS);
}

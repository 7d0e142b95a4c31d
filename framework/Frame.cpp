#include "framework/Frame.h"

#include "framework/Gdi.h"

const char kFrameClassName[] = "TolvixFrame";
const char kViewClassName[] = "TolvixView";

namespace {
// The id of the one view inside a frame.
const UINT kViewId = 0xE900;

void RegisterOnce(const char* pszName, UINT style, HBRUSH hbrBackground)
{
    WNDCLASSA wc = {};
    if (::GetClassInfoA(::GetModuleHandleA(nullptr), pszName, &wc))
        return;
    wc.style = style;
    wc.lpfnWndProc = CWnd::WndProc();
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = hbrBackground;
    wc.lpszClassName = pszName;
    ::RegisterClassA(&wc);
}
} // namespace

// ---- CFrameWnd ------------------------------------------------------------------

BOOL CFrameWnd::Create(const char* pszClassName, const char* pszWindowName, DWORD dwStyle, const RECT& rect,
                       CWnd* pParentWnd, const char* pszMenuName, DWORD dwExStyle, CCreateContext* pContext)
{
    HMENU hMenu = pszMenuName ? ::LoadMenuA(::GetModuleHandleA(nullptr), pszMenuName) : nullptr;
    HWND hParent = pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr;
    // A window that fails in WM_CREATE has already deleted this object.
    if (!CreateEx(dwExStyle, pszClassName, pszWindowName, dwStyle, rect, hParent, hMenu, pContext)) {
        if (hMenu && ::IsMenu(hMenu))
            ::DestroyMenu(hMenu);
        return FALSE;
    }
    return TRUE;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!cs.lpszClass) {
        RegisterOnce(kFrameClassName, CS_HREDRAW | CS_VREDRAW, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
        cs.lpszClass = kFrameClassName;
    }
    return TRUE;
}

LRESULT CFrameWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        if (Default(msg, wParam, lParam) == -1)
            return -1;
        return OnCreate(reinterpret_cast<LPCREATESTRUCTA>(lParam));
    case WM_SIZE:
        RecalcLayout();
        break;
    case WM_SETFOCUS:
        if (m_pViewActive && m_pViewActive->GetSafeHwnd()) {
            ::SetFocus(m_pViewActive->GetSafeHwnd());
            return 0;
        }
        break;
    case WM_COMMAND:
        if (OnCommand(wParam, lParam))
            return 0;
        break;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_PARENTNOTIFY:
        if (LOWORD(wParam) == WM_DESTROY && m_pViewActive &&
            reinterpret_cast<HWND>(lParam) == m_pViewActive->GetSafeHwnd())
            m_pViewActive = nullptr;
        break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

int CFrameWnd::OnCreate(LPCREATESTRUCTA pcs)
{
    const CCreateContext* pContext = static_cast<const CCreateContext*>(pcs->lpCreateParams);
    if (!pContext || !pContext->m_pNewViewClass)
        return 0;
    CScrollView* pView = dynamic_cast<CScrollView*>(pContext->m_pNewViewClass->CreateObject());
    if (!pView)
        return -1;
    if (!pView->Create(this, kViewId))
        return -1;
    m_pViewActive = pView;
    RecalcLayout();
    pView->OnInitialUpdate();
    return 0;
}

void CFrameWnd::RecalcLayout()
{
    if (!m_pViewActive || !m_pViewActive->GetSafeHwnd())
        return;
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    ::MoveWindow(m_pViewActive->GetSafeHwnd(), 0, 0, rc.right, rc.bottom, TRUE);
}

BOOL CFrameWnd::OnCommand(WPARAM, LPARAM) { return FALSE; }

void CFrameWnd::OnClose() { DestroyWindow(); }

void CFrameWnd::PostNcDestroy() { delete this; }

// ---- CScrollView ----------------------------------------------------------------

BOOL CScrollView::Create(CWnd* pParent, UINT nID)
{
    RegisterOnce(kViewClassName, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    RECT rc = {0, 0, 0, 0};
    return CreateEx(WS_EX_CLIENTEDGE, kViewClassName, "", WS_CHILD | WS_VISIBLE, rc, pParent->GetSafeHwnd(),
                    reinterpret_cast<HMENU>((UINT_PTR)nID));
}

void CScrollView::SetScrollSizes(int nMapMode, SIZE sizeTotal, SIZE sizePage, SIZE sizeLine)
{
    m_nMapMode = nMapMode;
    m_totalLog = sizeTotal;
    m_pageDev.cx = sizePage.cx ? sizePage.cx : sizeTotal.cx / 10;
    m_pageDev.cy = sizePage.cy ? sizePage.cy : sizeTotal.cy / 10;
    m_lineDev.cx = sizeLine.cx ? sizeLine.cx : m_pageDev.cx / 10;
    m_lineDev.cy = sizeLine.cy ? sizeLine.cy : m_pageDev.cy / 10;
    UpdateBars();
}

POINT CScrollView::GetScrollPosition() const
{
    return POINT{::GetScrollPos(m_hWnd, SB_HORZ), ::GetScrollPos(m_hWnd, SB_VERT)};
}

// Shows a bar only where the content is larger than the client area, taking
// into account that each bar takes room from the other direction.
void CScrollView::UpdateBars()
{
    if (!m_hWnd || m_bInUpdateBars)
        return;
    m_bInUpdateBars = TRUE;
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    const LONG style = ::GetWindowLongA(m_hWnd, GWL_STYLE);
    const int cxBar = ::GetSystemMetrics(SM_CXVSCROLL), cyBar = ::GetSystemMetrics(SM_CYHSCROLL);
    int cx = rc.right + ((style & WS_VSCROLL) ? cxBar : 0);
    int cy = rc.bottom + ((style & WS_HSCROLL) ? cyBar : 0);
    bool needH = m_totalLog.cx > cx, needV = m_totalLog.cy > cy;
    if (needH && !needV)
        needV = m_totalLog.cy > cy - cyBar;
    if (needV && !needH)
        needH = m_totalLog.cx > cx - cxBar;
    if (needH)
        cy -= cyBar;
    if (needV)
        cx -= cxBar;

    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE;
    si.nMin = 0;
    si.nMax = m_totalLog.cx > 0 ? m_totalLog.cx - 1 : 0;
    si.nPage = needH ? (UINT)cx : (UINT)si.nMax + 1;
    ::SetScrollInfo(m_hWnd, SB_HORZ, &si, TRUE);
    ::ShowScrollBar(m_hWnd, SB_HORZ, needH);
    si.nMax = m_totalLog.cy > 0 ? m_totalLog.cy - 1 : 0;
    si.nPage = needV ? (UINT)cy : (UINT)si.nMax + 1;
    ::SetScrollInfo(m_hWnd, SB_VERT, &si, TRUE);
    ::ShowScrollBar(m_hWnd, SB_VERT, needV);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    m_bInUpdateBars = FALSE;
}

void CScrollView::ScrollTo(int nBar, int nPos)
{
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    ::GetScrollInfo(m_hWnd, nBar, &si);
    int nMaxPos = si.nMax - (int)si.nPage + 1;
    if (nPos > nMaxPos)
        nPos = nMaxPos;
    if (nPos < 0)
        nPos = 0;
    const int nOld = si.nPos;
    if (nPos == nOld)
        return;
    ::SetScrollPos(m_hWnd, nBar, nPos, TRUE);
    const int d = nOld - nPos;
    ::ScrollWindowEx(m_hWnd, nBar == SB_HORZ ? d : 0, nBar == SB_VERT ? d : 0, nullptr, nullptr, nullptr, nullptr,
                     SW_INVALIDATE | SW_ERASE);
    ::UpdateWindow(m_hWnd);
}

void CScrollView::OnScroll(int nBar, int nCode)
{
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    ::GetScrollInfo(m_hWnd, nBar, &si);
    const int nLine = nBar == SB_HORZ ? m_lineDev.cx : m_lineDev.cy;
    const int nPage = nBar == SB_HORZ ? m_pageDev.cx : m_pageDev.cy;
    int nPos = si.nPos;
    switch (nCode) {
    case SB_LINEUP:
        nPos -= nLine;
        break;
    case SB_LINEDOWN:
        nPos += nLine;
        break;
    case SB_PAGEUP:
        nPos -= nPage;
        break;
    case SB_PAGEDOWN:
        nPos += nPage;
        break;
    case SB_TOP:
        nPos = si.nMin;
        break;
    case SB_BOTTOM:
        nPos = si.nMax;
        break;
    case SB_THUMBTRACK:
        nPos = si.nTrackPos;
        break;
    default:
        return;
    }
    ScrollTo(nBar, nPos);
}

void CScrollView::DoPaint(HDC hDC)
{
    ::SetMapMode(hDC, m_nMapMode ? m_nMapMode : MM_TEXT);
    const POINT pos = GetScrollPosition();
    ::SetViewportOrgEx(hDC, -pos.x, -pos.y, nullptr);
    OnDraw(hDC);
}

LRESULT CScrollView::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:
        if (Default(msg, wParam, lParam) == -1)
            return -1;
        return OnCreate(reinterpret_cast<LPCREATESTRUCTA>(lParam));
    case WM_PAINT: {
        CPaintDC dc(m_hWnd);
        DoPaint(dc);
        return 0;
    }
    case WM_PRINTCLIENT:
        DoPaint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SIZE:
        UpdateBars();
        break;
    case WM_HSCROLL:
        OnScroll(SB_HORZ, LOWORD(wParam));
        return 0;
    case WM_VSCROLL:
        OnScroll(SB_VERT, LOWORD(wParam));
        return 0;
    case WM_LBUTTONDOWN:
        ::SetFocus(m_hWnd);
        break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

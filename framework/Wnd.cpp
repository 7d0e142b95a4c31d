#include "framework/Wnd.h"

#include <commctrl.h>

#include <assert.h>

namespace {
// The object whose window is being created on this thread; bound by the thunk
// at the window's first message, before WM_NCCREATE and WM_CREATE.
thread_local CWnd* t_pWndInit = nullptr;
const UINT_PTR kSubclassId = 1;
} // namespace

CWnd::~CWnd()
{
    if (!m_hWnd || !::IsWindow(m_hWnd))
        return;
    if (m_bSubclassed)
        ::RemoveWindowSubclass(m_hWnd, &CWnd::SubclassProc, kSubclassId);
    else if (m_pfnSuper)
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
}

BOOL CWnd::Attach(HWND hWnd)
{
    // A wrapper whose old window was destroyed may take a new one.
    assert((!m_hWnd || m_hWnd == hWnd || !::IsWindow(m_hWnd)) && "CWnd::Attach: already bound to another window");
    assert(!m_bSubclassed && !m_pfnSuper && "CWnd::Attach: the wrapper still routes another window's messages");
    m_hWnd = hWnd;
    return hWnd != nullptr;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    assert(!m_bSubclassed && !m_pfnSuper && "CWnd::SubclassWindow: the wrapper already routes a window");
    if (!hWnd || m_bSubclassed || m_pfnSuper)
        return FALSE;
    if (!::SetWindowSubclass(hWnd, &CWnd::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return FALSE;
    m_hWnd = hWnd;
    m_bSubclassed = TRUE;
    return TRUE;
}

BOOL CWnd::HookProcedure(HWND hWnd)
{
    assert(!m_hWnd && "CWnd::HookProcedure: the object already has a window");
    if (!hWnd || m_hWnd)
        return FALSE;
    m_hWnd = hWnd;
    ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_pfnSuper =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::Thunk)));
    return TRUE;
}

void CWnd::Release()
{
    m_pfnSuper = nullptr;
    m_bSubclassed = FALSE;
    m_hWnd = nullptr;
    PostNcDestroy();
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

void CWnd::CenterWindow() const
{
    RECT rc, area, work;
    ::GetWindowRect(m_hWnd, &rc);
    MONITORINFO mi = {};
    mi.cbSize = sizeof mi;
    ::GetMonitorInfoA(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &mi);
    work = mi.rcWork;
    HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (hOwner && ::IsWindowVisible(hOwner) && !::IsIconic(hOwner))
        ::GetWindowRect(hOwner, &area);
    else
        area = work;
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    int x = area.left + (area.right - area.left - w) / 2;
    int y = area.top + (area.bottom - area.top - h) / 2;
    x = x + w > work.right ? work.right - w : x;
    y = y + h > work.bottom ? work.bottom - h : y;
    x = x < work.left ? work.left : x;
    y = y < work.top ? work.top : y;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

std::string CWnd::GetDlgItemText(int nID) const
{
    HWND hItem = GetDlgItem(nID);
    int n = ::GetWindowTextLengthA(hItem);
    std::string s(n > 0 ? n + 1 : 1, '\0');
    n = ::GetWindowTextA(hItem, &s[0], (int)s.size());
    s.resize(n > 0 ? n : 0);
    return s;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) { return Default(msg, wParam, lParam); }

LRESULT CWnd::Default(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_bSubclassed)
        return ::DefSubclassProc(m_hWnd, msg, wParam, lParam);
    if (m_pfnSuper)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, const char* pszClassName, const char* pszWindowName, DWORD dwStyle,
                    const RECT& rect, HWND hParent, HMENU hMenu, LPVOID lpParam)
{
    assert(!m_hWnd && "CWnd::CreateEx: the object already has a window");
    if (m_hWnd)
        return FALSE;
    CREATESTRUCTA cs = {};
    cs.dwExStyle = dwExStyle;
    cs.lpszClass = pszClassName;
    cs.lpszName = pszWindowName;
    cs.style = (LONG)dwStyle;
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = rect.right - rect.left;
    cs.cy = rect.bottom - rect.top;
    cs.hwndParent = hParent;
    cs.hMenu = hMenu;
    cs.hInstance = ::GetModuleHandleA(nullptr);
    cs.lpCreateParams = lpParam;
    if (!PreCreateWindow(cs))
        return FALSE;
    // A window created while this one is (from its WM_CREATE) leaves the outer
    // slot as it found it.
    CWnd* pOuter = t_pWndInit;
    t_pWndInit = this;
    HWND hWnd = ::CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, (DWORD)cs.style, cs.x, cs.y, cs.cx, cs.cy,
                                  cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    assert((!hWnd || m_hWnd == hWnd) && "CWnd::CreateEx: the window was bound to another object");
    t_pWndInit = pOuter;
    return hWnd != nullptr;
}

LRESULT CALLBACK CWnd::Thunk(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = reinterpret_cast<CWnd*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (!pWnd && t_pWndInit) {
        pWnd = t_pWndInit;
        t_pWndInit = nullptr;
        pWnd->m_hWnd = hWnd;
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pWnd));
    }
    if (!pWnd)
        return ::DefWindowProcA(hWnd, msg, wParam, lParam);
    LRESULT lr = pWnd->WindowProc(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        if (pWnd->m_pfnSuper)
            ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pWnd->m_pfnSuper));
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
        pWnd->Release();
    }
    return lr;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR dwRefData)
{
    CWnd* pWnd = reinterpret_cast<CWnd*>(dwRefData);
    assert(pWnd->m_hWnd == hWnd && "CWnd::SubclassProc: the subclass outlived its object's binding");
    LRESULT lr = pWnd->WindowProc(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hWnd, &CWnd::SubclassProc, kSubclassId);
        pWnd->Release();
    }
    return lr;
}

std::string LoadStr(UINT nID)
{
    char buf[1024];
    int n = ::LoadStringA(::GetModuleHandleA(nullptr), nID, buf, sizeof buf);
    return std::string(buf, n > 0 ? n : 0);
}

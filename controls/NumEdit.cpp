#include "controls/NumEdit.h"

LRESULT CEnterEdit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_GETDLGCODE:
        // Tab, Enter and Escape come to the field instead of the dialog manager.
        return Default(msg, wParam, lParam) | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
        if (wParam == VK_TAB) {
            ::PostMessageA(::GetParent(m_hWnd), WM_NEXTDLGCTL, (WPARAM)(LONG_PTR)::GetAsyncKeyState(VK_SHIFT), 0);
            return 0;
        }
        if (wParam == VK_RETURN) {
            PostMessage(WM_KILLFOCUS, 0, 0);
            PostMessage(WM_SETFOCUS, 0, 0);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == '\r' || wParam == '\t')
            return 0;
        break;
    }
    return CEdit::WindowProc(msg, wParam, lParam);
}

LRESULT CNumEdit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CHAR && !((wParam >= '0' && wParam <= '9') || wParam == '\b'))
        return 0;
    return CEnterEdit::WindowProc(msg, wParam, lParam);
}

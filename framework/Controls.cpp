#include "framework/Controls.h"

BOOL CToolTipCtrl::Create(CWnd* pParent)
{
    HWND hTip = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, pParent->GetSafeHwnd(), nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
    if (!hTip)
        return FALSE;
    return Attach(hTip);
}

BOOL CToolTipCtrl::AddTool(HWND hCtrl) const
{
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = ::GetParent(hCtrl);
    ti.uId = reinterpret_cast<UINT_PTR>(hCtrl);
    ti.lpszText = LPSTR_TEXTCALLBACKA;
    return (BOOL)SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

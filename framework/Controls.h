// Thin, non-owning wrappers over the common controls: SendMessage and nothing else.
#pragma once

#include "framework/Wnd.h"

#include <commctrl.h>

class CEdit : public CWnd {
public:
    void LimitText(int n) const { SendMessage(EM_LIMITTEXT, n); }
    void SetWindowText(const char* psz) const { ::SetWindowTextA(m_hWnd, psz); }
};

class CButton : public CWnd {
public:
    void SetCheck(int n) const { SendMessage(BM_SETCHECK, n); }
    int GetCheck() const { return (int)SendMessage(BM_GETCHECK); }
};

class CComboBox : public CWnd {
public:
    int AddString(const char* psz) const { return (int)SendMessage(CB_ADDSTRING, 0, (LPARAM)psz); }
    int GetCount() const { return (int)SendMessage(CB_GETCOUNT); }
    int GetCurSel() const { return (int)SendMessage(CB_GETCURSEL); }
    int SetCurSel(int n) const { return (int)SendMessage(CB_SETCURSEL, n); }
    LRESULT GetItemData(int n) const { return SendMessage(CB_GETITEMDATA, n); }
    int SetItemData(int n, LRESULT v) const { return (int)SendMessage(CB_SETITEMDATA, n, v); }
    void ResetContent() const { SendMessage(CB_RESETCONTENT); }
    BOOL GetDroppedState() const { return (BOOL)SendMessage(CB_GETDROPPEDSTATE); }
};

class CSpinButtonCtrl : public CWnd {
public:
    void SetRange32(int lo, int hi) const { SendMessage(UDM_SETRANGE32, lo, hi); }
    int GetPos() const { return (int)SendMessage(UDM_GETPOS); }
    void SetPos(int n) const { SendMessage(UDM_SETPOS, 0, MAKELPARAM(n, 0)); }
};

class CToolBarCtrl : public CWnd {
public:
    BOOL EnableButton(int nID, BOOL bEnable) const
    {
        return (BOOL)SendMessage(TB_ENABLEBUTTON, nID, MAKELPARAM(bEnable, 0));
    }
    int GetState(int nID) const { return (int)SendMessage(TB_GETSTATE, nID); }
    void AutoSize() const { SendMessage(TB_AUTOSIZE); }
};

class CToolTipCtrl : public CWnd {
public:
    BOOL Create(CWnd* pParent);
    // Registers a control window; its text is asked for with TTN_NEEDTEXT.
    BOOL AddTool(HWND hCtrl) const;
    void Activate(BOOL b) const { SendMessage(TTM_ACTIVATE, b); }
};

// A window object bound once to its HWND; every message reaches one virtual
// WindowProc through a static thunk.
#pragma once

#include <windows.h>
#include <string>

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Borrows a window's handle (a dialog item or a window made by someone
    // else); its messages stay with its own procedure.
    BOOL Attach(HWND hWnd);
    // Binds the dialog item as this wrapper wants it: attached, or subclassed by
    // a wrapper that handles the item's own messages (see Bind).
    BOOL BindDlgItem(UINT nID, const CWnd* pParent) { return Bind(::GetDlgItem(pParent->m_hWnd, nID)); }
    // Routes the control's messages through WindowProc with SetWindowSubclass;
    // the control keeps its GWLP_USERDATA. The subclass ends at WM_NCDESTROY.
    BOOL SubclassWindow(HWND hWnd);

    virtual BOOL DestroyWindow();
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // Creates a window of a class whose procedure is WndProc, bound to this
    // object from its first message on; lpParam reaches WM_CREATE.
    BOOL CreateEx(DWORD dwExStyle, const char* pszClassName, const char* pszWindowName, DWORD dwStyle, const RECT& rect,
                  HWND hParent, HMENU hMenu, LPVOID lpParam = nullptr);
    // Last chance to change the window's class, styles and place before creation.
    virtual BOOL PreCreateWindow(CREATESTRUCTA&) { return TRUE; }
    static WNDPROC WndProc() { return &CWnd::Thunk; }

    // Thin helpers over the Win32 calls the windows use most.
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    void SetDlgItemText(int nID, const char* psz) const { ::SetDlgItemTextA(m_hWnd, nID, psz); }
    std::string GetDlgItemText(int nID) const;
    void EnableDlgItem(int nID, BOOL bEnable) const { ::EnableWindow(GetDlgItem(nID), bEnable); }
    void ShowDlgItem(int nID, int nCmdShow) const { ::ShowWindow(GetDlgItem(nID), nCmdShow); }
    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageA(m_hWnd, msg, wp, lp); }
    BOOL PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::PostMessageA(m_hWnd, msg, wp, lp); }

    // Centres the window over its owner, or on the work area when it has none
    // that can be seen, keeping it on the work area.
    void CenterWindow() const;

protected:
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);
    // The last message of the window: the object lets go of its handle.
    virtual void PostNcDestroy() {}
    // How BindDlgItem takes the item: a wrapper with messages of its own
    // overrides this to subclass.
    virtual BOOL Bind(HWND hWnd) { return Attach(hWnd); }
    // Takes over the procedure of a window made from our own dialog template;
    // only dialogs do this, so that their messages stay ANSI (a comctl32
    // subclass would turn the window Unicode, and with it the notifications
    // its controls send).
    BOOL HookProcedure(HWND hWnd);

    static LRESULT CALLBACK Thunk(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR uId,
                                         DWORD_PTR dwRefData);
    // The window is gone: the object lets go of its handle.
    void Release();

    HWND m_hWnd = nullptr;
    WNDPROC m_pfnSuper = nullptr; // the procedure HookProcedure replaced
    BOOL m_bSubclassed = FALSE;   // SubclassWindow's subclass is installed
};

// Text of a string-table entry of the program ("" when missing).
std::string LoadStr(UINT nID);

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

    // Binds this object to an existing window (a dialog item or a window made by
    // someone else) and routes its messages through WindowProc.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();
    // Borrow a handle without taking its messages.
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    HWND Detach();

    virtual BOOL DestroyWindow();
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // Creates a window of a class whose procedure is WndProc, bound to this
    // object from its first message on; lpParam reaches WM_CREATE.
    BOOL CreateEx(DWORD dwExStyle, const char* pszClassName, const char* pszWindowName, DWORD dwStyle,
                  const RECT& rect, HWND hParent, HMENU hMenu, LPVOID lpParam = nullptr);
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

    static CWnd* FromHandlePermanent(HWND hWnd);

protected:
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);
    // The last message of the window: the object lets go of its handle.
    virtual void PostNcDestroy() {}

    static LRESULT CALLBACK Thunk(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    WNDPROC m_pfnSuper = nullptr;
};

// Text of a string-table entry of the program ("" when missing).
std::string LoadStr(UINT nID);

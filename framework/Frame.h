// Frame windows with one view filling their client area, the scroll view, and
// creation of a window object from its class record.
#pragma once

#include "framework/Wnd.h"

// A window class that can be created by its record alone.
struct CRuntimeClass {
    CWnd* (*m_pfnCreateObject)();
    CWnd* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
};

#define DECLARE_DYNCREATE(cls) \
public: \
    static const CRuntimeClass class##cls; \
    static CWnd* CreateObject();
#define IMPLEMENT_DYNCREATE(cls) \
    const CRuntimeClass cls::class##cls = {&cls::CreateObject}; \
    CWnd* cls::CreateObject() { return new cls; }
#define RUNTIME_CLASS(cls) (&cls::class##cls)

// What a frame is to make while it is created: here only the view's class.
struct CCreateContext {
    const CRuntimeClass* m_pNewViewClass = nullptr;
};

class CScrollView;

// A top-level window that owns its object: the object is deleted when the
// window is destroyed.
class CFrameWnd : public CWnd {
public:
    // pszClassName null: the framework's frame class. pszMenuName: a menu resource.
    BOOL Create(const char* pszClassName, const char* pszWindowName, DWORD dwStyle, const RECT& rect,
                CWnd* pParentWnd = nullptr, const char* pszMenuName = nullptr, DWORD dwExStyle = 0,
                CCreateContext* pContext = nullptr);

    CWnd* GetActiveView() const { return m_pViewActive; }

protected:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Creates the view named in the context; -1 refuses the window.
    virtual int OnCreate(LPCREATESTRUCTA pcs);
    // Menu commands: TRUE when handled.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual void OnClose();
    void PostNcDestroy() override;

    CWnd* m_pViewActive = nullptr;

private:
    void RecalcLayout();
};

// A view whose content is drawn in page coordinates of MM_TEXT and scrolled by
// the window's own scroll bars.
class CScrollView : public CWnd {
public:
    // The view's window as a child of the frame; the view object deletes itself
    // with its window.
    BOOL Create(CWnd* pParent, UINT nID);

    // Zero page or line sizes take a tenth of the total, and a tenth of the page.
    void SetScrollSizes(int nMapMode, SIZE sizeTotal, SIZE sizePage = SIZE{0, 0}, SIZE sizeLine = SIZE{0, 0});
    POINT GetScrollPosition() const;
    SIZE GetTotalSize() const { return m_totalLog; }

    virtual void OnInitialUpdate() { OnUpdate(); }
    virtual void OnUpdate() { ::InvalidateRect(m_hWnd, nullptr, TRUE); }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    virtual int OnCreate(LPCREATESTRUCTA) { return 0; }
    virtual void OnDraw(HDC hDC) = 0;
    void PostNcDestroy() override { delete this; }

private:
    void DoPaint(HDC hDC);
    void OnScroll(int nBar, int nCode);
    void UpdateBars();
    void ScrollTo(int nBar, int nPos);

    int m_nMapMode = 0;
    SIZE m_totalLog = {0, 0};
    SIZE m_pageDev = {0, 0};
    SIZE m_lineDev = {0, 0};
    BOOL m_bInUpdateBars = FALSE;
};

// Class names the framework registers for frames and views.
extern const char kFrameClassName[];
extern const char kViewClassName[];

// The actual-size window: one page at one image pixel per screen pixel in a
// scrolling view, with a menu to print it, close, and help.
#pragma once

#include "framework/Frame.h"

class CViewWnd : public CFrameWnd {
    DECLARE_DYNCREATE(CViewWnd)

protected:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    int OnCreate(LPCREATESTRUCTA pcs) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnClose() override;

private:
    void OnDestroy();
};

class CViewScroll : public CScrollView {
    DECLARE_DYNCREATE(CViewScroll)

public:
    void OnInitialUpdate() override;
    void OnUpdate() override;

protected:
    void OnDraw(HDC hDC) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    int OnCreate(LPCREATESTRUCTA pcs) override;

private:
    void SetSizes();
};

extern CViewWnd* g_pViewWnd;
extern CViewScroll* g_pViewScroll;

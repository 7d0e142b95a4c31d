// The thumbnail pane of the main window: four pages to a screen, two by two,
// the selected page framed in green.
#pragma once

#include "framework/Wnd.h"

class CUtilityDlg;

class CImageDisplayWnd : public CWnd {
public:
    // Creates the pane over the placeholder control of the main dialog.
    BOOL Create(CUtilityDlg* pOwner, int nPlaceholderId);

    // Rebuilds the owner's thumbnail set for the screen shown: slots nFirstSlot
    // (0-based) to nCount - 1. FALSE only when the set cannot be allocated.
    BOOL LoadThumbnails(int nFirstSlot, int nCount);
    // The slots (1..4) in use on the screen shown; nLast is 0 on a screen past the end.
    void GetScreenRange(int& nFirst, int& nLast) const;
    // Scrolls to the screen of page nPage and repaints it at once, its
    // thumbnails reloaded even when the screen stays.
    void ShowScreenOf(int nPage);
    // The owner's Show Page field, as "%d".
    void SetShowPageText(int nPage) const;

    int m_nScreen = 1;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void DoPaint(HDC hDC);
    void OnVScroll(int nCode, int nTrackPos);
    void OnLButtonDown(LPARAM lParam);
    BOOL OnLButtonDblClk(LPARAM lParam);
    void OnKeyDown(WPARAM vk);

    void Reload();
    int PageAt(LPARAM lParam) const;
    int PageCount() const;

    CUtilityDlg* m_pOwner = nullptr;
    int m_nThumbCount = 0; // entries in the owner's thumbnail set
};

// The screen (1-based) that shows page nPage.
inline int ScreenOfPage(int nPage) { return (nPage - 1) / 4 + 1; }

// The thumbnail pane of the main window: four pages to a screen.
#pragma once

#include "framework/Wnd.h"

class CUtilityDlg;

class CImageDisplayWnd : public CWnd {
public:
    // Creates the pane over the placeholder control of the main dialog.
    BOOL Create(CUtilityDlg* pOwner, int nPlaceholderId);

    int m_nScreen = 1;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void DoPaint(HDC hDC);

    CUtilityDlg* m_pOwner = nullptr;
};

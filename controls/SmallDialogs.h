// The About box and the confirmation shown before unsaved pages are thrown away.
#pragma once

#include "framework/Dialog.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* pParent = nullptr);
};

class CClearConfirmDlg : public CDialog {
public:
    explicit CClearConfirmDlg(CWnd* pParent = nullptr);
    BOOL OnInitDialog() override;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnShowWindow();
    void OnPaint();
};

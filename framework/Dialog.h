// Dialogs from templates of the resource script, run modally by our own message
// loop so that PreTranslateMessage sees every message first.
#pragma once

#include "framework/Wnd.h"

class CDialog;

// Binds controls to dialog items.
class CDataExchange {
public:
    explicit CDataExchange(CDialog* pDlg) : m_pDlgWnd(pDlg) {}
    CDialog* m_pDlgWnd;
};

// Binds the control to the dialog item (see CWnd::BindDlgItem) on the first
// exchange of each window.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParent = nullptr);
    ~CDialog() override;

    INT_PTR DoModal();
    // A modeless dialog on the template given at construction; the caller's
    // message loop drives it (IsDialogMessage).
    BOOL Create(CWnd* pParent = nullptr);
    void EndDialog(int nResult);
    // Runs DoDataExchange: binds the controls it names.
    BOOL UpdateData();

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    virtual void DoDataExchange(CDataExchange*) {}
    // WM_CREATE of the dialog window; -1 refuses creation.
    virtual int OnCreate(LPCREATESTRUCTA) { return 0; }
    // Commands and notifications of controls: return TRUE when handled.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    BOOL m_bModalEnded = FALSE;
    int m_nModalResult = -1;

private:
    // Creates the window of the template, bound to this object from its
    // first message on, so that the object also sees WM_CREATE.
    HWND CreateFromTemplate(HWND hParent);
    static INT_PTR CALLBACK DlgProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK CreateHook(int nCode, WPARAM wParam, LPARAM lParam);
};

// Message box with a string-table text, captioned with the program's title.
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK);
int AfxMessageBox(const char* pszText, UINT nType = MB_OK);

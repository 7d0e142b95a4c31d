#include "framework/Dialog.h"
#include "framework/App.h"

#include <assert.h>

namespace {
// The dialog being created on this thread and the hook that binds it; a dialog
// created while another is (from its WM_CREATE or WM_INITDIALOG) saves the
// outer pair and puts it back.
thread_local CDialog* t_pDlgInit = nullptr;
thread_local HHOOK t_hHook = nullptr;
} // namespace

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    HWND hItem = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (rControl.GetSafeHwnd() != hItem)
        rControl.BindDlgItem(nIDC, pDX->m_pDlgWnd);
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParent) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParent) {}

CDialog::~CDialog()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

LRESULT CALLBACK CDialog::CreateHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    if (nCode == HCBT_CREATEWND && t_pDlgInit) {
        CDialog* pDlg = t_pDlgInit;
        t_pDlgInit = nullptr;
        pDlg->HookProcedure(reinterpret_cast<HWND>(wParam));
    }
    return ::CallNextHookEx(t_hHook, nCode, wParam, lParam);
}

INT_PTR CALLBACK CDialog::DlgProc(HWND, UINT, WPARAM, LPARAM)
{
    // Everything is handled by the subclassed window procedure first.
    return FALSE;
}

INT_PTR CDialog::DoModal()
{
    HWND hParent = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    if (!hParent && AfxGetApp() && AfxGetApp()->m_pMainWnd && AfxGetApp()->m_pMainWnd != this)
        hParent = AfxGetApp()->m_pMainWnd->GetSafeHwnd();
    BOOL bParentEnabled = hParent && ::IsWindowEnabled(hParent);

    m_bModalEnded = FALSE;
    m_nModalResult = -1;
    HWND hWnd = CreateFromTemplate(hParent);
    if (!hWnd)
        return -1;

    if (bParentEnabled)
        ::EnableWindow(hParent, FALSE);
    if (!m_bModalEnded) {
        ::ShowWindow(hWnd, SW_SHOW);
        MSG msg;
        while (!m_bModalEnded) {
            BOOL r = ::GetMessageA(&msg, nullptr, 0, 0);
            if (r == 0) {
                ::PostQuitMessage((int)msg.wParam);
                break;
            }
            if (r < 0)
                break;
            // The dialog that runs the loop sees every message first.
            if (!m_hWnd || !PreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
    }
    if (bParentEnabled)
        ::EnableWindow(hParent, TRUE);
    if (hParent && ::GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(hParent);
    if (m_hWnd)
        DestroyWindow();
    return m_nModalResult;
}

BOOL CDialog::Create(CWnd* pParent)
{
    m_pParentWnd = pParent;
    m_bModalEnded = FALSE;
    return CreateFromTemplate(pParent ? pParent->GetSafeHwnd() : nullptr) != nullptr;
}

HWND CDialog::CreateFromTemplate(HWND hParent)
{
    assert(!m_hWnd && "CDialog: the dialog already has a window");
    CDialog* pOuterDlg = t_pDlgInit;
    HHOOK hOuterHook = t_hHook;
    t_pDlgInit = this;
    t_hHook = ::SetWindowsHookExA(WH_CBT, &CDialog::CreateHook, nullptr, ::GetCurrentThreadId());
    HWND hWnd = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate), hParent,
                                     &CDialog::DlgProc, 0);
    ::UnhookWindowsHookEx(t_hHook);
    assert(t_pDlgInit != this && "CDialog: the creation hook never saw the dialog's window");
    t_hHook = hOuterHook;
    t_pDlgInit = pOuterDlg;
    // Creation was refused (WM_CREATE gave -1) or the template is missing.
    if (!hWnd && m_hWnd && !::IsWindow(m_hWnd))
        m_hWnd = nullptr;
    return hWnd;
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bModalEnded = TRUE;
    if (m_hWnd)
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialog::UpdateData()
{
    CDataExchange dx(this);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData();
    return TRUE;
}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::PreTranslateMessage(MSG* pMsg) { return m_hWnd && ::IsDialogMessageA(m_hWnd, pMsg); }

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM)
{
    if (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == 1 /* accelerator */) {
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            return TRUE;
        case IDCANCEL:
            OnCancel();
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CDialog::OnNotify(WPARAM, LPARAM, LRESULT*) { return FALSE; }

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: {
        LRESULT lr = Default(msg, wParam, lParam);
        if (lr == -1)
            return -1;
        return OnCreate(reinterpret_cast<LPCREATESTRUCTA>(lParam));
    }
    case WM_INITDIALOG: {
        RECT before, after;
        ::GetWindowRect(m_hWnd, &before);
        BOOL bFocus = OnInitDialog();
        // A dialog that did not place itself opens centred over its owner.
        if (m_hWnd && !m_bModalEnded && ::GetWindowRect(m_hWnd, &after) && ::EqualRect(&before, &after))
            CenterWindow();
        return bFocus;
    }
    case WM_COMMAND:
        if (OnCommand(wParam, lParam))
            return 0;
        break;
    case WM_NOTIFY: {
        LRESULT lr = 0;
        if (OnNotify(wParam, lParam, &lr))
            return lr;
        break;
    }
    }
    return Default(msg, wParam, lParam);
}

int AfxMessageBox(const char* pszText, UINT nType)
{
    HWND hOwner = nullptr;
    if (AfxGetApp() && AfxGetApp()->m_pMainWnd)
        hOwner = AfxGetApp()->m_pMainWnd->GetSafeHwnd();
    if (hOwner && !::IsWindowEnabled(hOwner))
        hOwner = ::GetActiveWindow();
    std::string title = LoadStr(57344);
    return ::MessageBoxA(hOwner, pszText, title.c_str(), nType | MB_TASKMODAL * (hOwner == nullptr));
}

int AfxMessageBox(UINT nIDPrompt, UINT nType) { return AfxMessageBox(LoadStr(nIDPrompt).c_str(), nType); }

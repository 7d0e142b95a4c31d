#include "framework/PrintDialog.h"

#include "framework/App.h"

CPrintDialog::CPrintDialog(BOOL bPrintSetupOnly, DWORD dwFlags, CWnd* pParentWnd) : m_pd{}, m_pParentWnd(pParentWnd)
{
    m_pd.lStructSize = sizeof m_pd;
    m_pd.Flags = dwFlags | PD_RETURNDC;
    if (bPrintSetupOnly)
        m_pd.Flags |= PD_PRINTSETUP;
}

CPrintDialog::~CPrintDialog()
{
    if (m_pd.hDevMode)
        ::GlobalFree(m_pd.hDevMode);
    if (m_pd.hDevNames)
        ::GlobalFree(m_pd.hDevNames);
}

INT_PTR CPrintDialog::DoModal()
{
    m_pd.hwndOwner = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    if (!m_pd.hwndOwner && AfxGetApp() && AfxGetApp()->m_pMainWnd)
        m_pd.hwndOwner = AfxGetApp()->m_pMainWnd->GetSafeHwnd();
    m_pd.hInstance = ::GetModuleHandleA(nullptr);
    return ::PrintDlgA(&m_pd) ? IDOK : IDCANCEL;
}

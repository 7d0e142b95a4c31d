// The common print dialog, asking the printer driver for a device context.
#pragma once

#include "framework/Wnd.h"

#include <commdlg.h>

class CPrintDialog {
public:
    CPrintDialog(BOOL bPrintSetupOnly,
                 DWORD dwFlags = PD_ALLPAGES | PD_USEDEVMODECOPIES | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE | PD_NOSELECTION,
                 CWnd* pParentWnd = nullptr);
    ~CPrintDialog();
    CPrintDialog(const CPrintDialog&) = delete;
    CPrintDialog& operator=(const CPrintDialog&) = delete;

    // IDOK or IDCANCEL; a dialog that could not be shown (no printer) counts as cancelled.
    INT_PTR DoModal();
    // The printer device context of a confirmed dialog; the caller deletes it.
    HDC GetPrinterDC() const { return m_pd.hDC; }

    PRINTDLGA m_pd;

private:
    CWnd* m_pParentWnd;
};

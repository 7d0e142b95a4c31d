#include "view/Printing.h"

#include "framework/Gdi.h"
#include "framework/PrintDialog.h"
#include "res/resource.h"
#include "view/PageImage.h"
#include "view/PrintScale.h"
#include "view/ViewWnd.h"

BOOL g_bUserAbort = FALSE;
HWND g_hDlgPrint = nullptr;

namespace {
const char kDocName[] = "QX Utility Page Print";
}

CPrintingDlg::CPrintingDlg() : CDialog(IDD_PRINTING) {}

void CPrintingDlg::OnCancel()
{
    g_bUserAbort = TRUE;
    ::EnableWindow(::GetParent(m_hWnd), TRUE);
    CDialog::OnCancel();
}

void OnPrintCommand(CViewWnd* pFrame)
{
    CPrintDialog dlg(FALSE, PD_NOSELECTION | PD_USEDEVMODECOPIES | PD_HIDEPRINTTOFILE, pFrame);
    dlg.m_pd.nFromPage = 1;
    dlg.m_pd.nToPage = 1;
    dlg.m_pd.nMinPage = 1;
    dlg.m_pd.nMaxPage = 1;
    dlg.m_pd.nCopies = 1;
    if (dlg.DoModal() != IDCANCEL)
        RunPrintJob(pFrame, dlg);
}

BOOL RunPrintJob(CViewWnd* pFrame, CPrintDialog& dlg)
{
    g_bUserAbort = FALSE;
    COwnedDC dc(dlg.m_pd.hDC);
    dlg.m_pd.hDC = nullptr;

    // The frame waits while the job runs; Cancel gives it back at once.
    CPrintingDlg printing;
    if (printing.Create(pFrame)) {
        g_hDlgPrint = printing.GetSafeHwnd();
        ::ShowWindow(g_hDlgPrint, SW_SHOW);
        ::EnableWindow(pFrame->GetSafeHwnd(), FALSE);
    }

    if (::SetAbortProc(dc, &PrintAbortProc) < 0) {
        ::EnableWindow(pFrame->GetSafeHwnd(), TRUE);
        printing.DestroyWindow();
        g_hDlgPrint = nullptr;
        return FALSE;
    }

    // Handed to the printer driver: the platform's own layout on either build.
    static_assert(sizeof(DOCINFOA) == (sizeof(void*) == 8 ? 40 : 20), "DOCINFO layout");
    DOCINFOA di = {};
    di.cbSize = sizeof di;
    di.lpszDocName = kDocName;
    if (::StartDocA(dc, &di) > 0 && ::StartPage(dc) > 0) {
        const int nSaved = ::SaveDC(dc);
        ::SetMapMode(dc, MM_TEXT);
        PrintPage(dc);
        ::RestoreDC(dc, nSaved);
        if (::EndPage(dc) >= 0)
            ::EndDoc(dc);
    }

    if (!g_bUserAbort)
        ::EnableWindow(pFrame->GetSafeHwnd(), TRUE);
    printing.DestroyWindow();
    g_hDlgPrint = nullptr;
    return TRUE;
}

BOOL PrintPage(HDC hDC)
{
    CPageImage image;
    const BITMAPINFOHEADER* pbi = image.Header();
    if (!pbi)
        return FALSE;
    const int w = pbi->biWidth, h = pbi->biHeight;
    const PrintSize size = ScaleToPrintable(::GetDeviceCaps(hDC, HORZRES), ::GetDeviceCaps(hDC, VERTRES), w, h);
    // Top left, not centred: the scan resolution plays no part.
    ::StretchDIBits(hDC, 0, 0, size.width, size.height, 0, 0, w, h, image.Bits(), image.Info(), DIB_RGB_COLORS, SRCCOPY);
    return TRUE;
}

BOOL CALLBACK PrintAbortProc(HDC, int)
{
    MSG msg;
    while (!g_bUserAbort && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!g_hDlgPrint || !::IsDialogMessageA(g_hDlgPrint, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return !g_bUserAbort;
}

// Printing the page of the actual-size window, scaled to fill the printable
// area with its proportions kept.
#pragma once

#include "framework/Dialog.h"

class CViewWnd;
class CPrintDialog;

extern BOOL g_bUserAbort;
extern HWND g_hDlgPrint;

// "Printing..." with its Cancel button, shown for the length of a job.
class CPrintingDlg : public CDialog {
public:
    CPrintingDlg();
    void OnCancel() override;
};

// The frame's Print command: the print dialog, then the job unless cancelled.
void OnPrintCommand(CViewWnd* pFrame);
// FALSE only when the abort procedure cannot be installed.
BOOL RunPrintJob(CViewWnd* pFrame, CPrintDialog& dlg);
// Draws the shown page at the top left of the printable area; FALSE without an image.
BOOL PrintPage(HDC hDC);
BOOL CALLBACK PrintAbortProc(HDC hDC, int nCode);

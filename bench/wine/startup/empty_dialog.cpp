// An empty modal dialog: what starting any dialog program under Wine costs.
#include <windows.h>

static INT_PTR CALLBACK DlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(hDlg, 0);
        return TRUE;
    }
    return msg == WM_INITDIALOG;
}

int WINAPI WinMain(HINSTANCE hInst, HINSTANCE, LPSTR, int)
{
    return (int)DialogBoxParamA(hInst, MAKEINTRESOURCEA(100), nullptr, DlgProc, 0);
}

// Tolvix.exe's main window template (dialog 102) with a procedure that does nothing: what the
// template's own controls cost, apart from what the program does before its window shows.
#include <windows.h>
#include <commctrl.h>

static INT_PTR CALLBACK DlgProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    ::InitCommonControls();
    HMODULE hProgram = ::LoadLibraryExA("Tolvix.exe", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!hProgram)
        return 1;
    return (int)::DialogBoxParamA(hProgram, MAKEINTRESOURCEA(102), nullptr, DlgProc, 0);
}

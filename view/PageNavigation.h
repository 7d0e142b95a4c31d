// The page controls of the main window: the Show Page edit, Go and Actual Size.
#pragma once

class CUtilityDlg;

// Commands and notifications of the page controls; TRUE when handled.
bool OnPageCommand(CUtilityDlg* pDlg, int nID, int nCode);

// Opens the selected page in the actual-size window; the main window waits.
void OpenActualSizeWindow(CUtilityDlg* pDlg);

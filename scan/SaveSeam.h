// The save commands a scan hands its batch to when automatic saving is on.
// Until those commands exist there is no save target: every check fails, so an
// automatic-saving scan does not start.
#pragma once

#include <windows.h>

class CUtilityDlg;

// The Save dialog used only to collect and check the target; FALSE when cancelled.
BOOL SeamRunSaveDialog(CUtilityDlg* pDlg);
// TRUE when the stored save target can take the batch.
BOOL SeamCheckAutoSaveTarget(CUtilityDlg* pDlg);
void SeamLockForSave(CUtilityDlg* pDlg);
void SeamUnlockAfterSave(CUtilityDlg* pDlg);
// Exports pages 1..nPages; the next file number, or a negative export result.
int SeamExportPages(CUtilityDlg* pDlg, int nPages);
// An empty batch removes the first output file name if nobody holds it.
void SeamDropEmptyOutput(CUtilityDlg* pDlg);

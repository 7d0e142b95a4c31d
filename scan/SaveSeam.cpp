#include "scan/SaveSeam.h"

namespace {
// The result the export engine gives when the save folder does not exist.
const int kNoSaveTarget = -83;
}

BOOL SeamRunSaveDialog(CUtilityDlg*)
{
    return FALSE;
}

BOOL SeamCheckAutoSaveTarget(CUtilityDlg*)
{
    return FALSE;
}

void SeamLockForSave(CUtilityDlg*) {}

void SeamUnlockAfterSave(CUtilityDlg*) {}

int SeamExportPages(CUtilityDlg*, int)
{
    return kNoSaveTarget;
}

void SeamDropEmptyOutput(CUtilityDlg*) {}

// The scan option controls of the main window: filling them from the settings,
// storing each change, Restore Defaults, Clear, tooltips and the scanner model.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/Controls.h"

class CUtilityDlg;

extern const char kDeviceRegistryPath[];
extern const char kDevicesKeyName[];
extern const char kDeviceKeyName[];

void FillModeList(CUtilityDlg* pDlg);
void FillResolutionList(CUtilityDlg* pDlg);
void FillPageSizeList(CUtilityDlg* pDlg);
void FillScanRangeList(CUtilityDlg* pDlg);
void SetupPagesToScan(CUtilityDlg* pDlg);
void SetupOrientation(CUtilityDlg* pDlg);
void SetupToolTips(CUtilityDlg* pDlg);

// 0..3 classify the model found under the device key; 4: the key cannot be read.
int QueryDeviceModel(HKEY hRoot, const char* pszPath, const char* pszDevices, const char* pszDevice);
void ApplyDeviceModel(CUtilityDlg* pDlg, int nModel);

// Command and notification handlers of the option controls; TRUE when handled.
BOOL OnOptionCommand(CUtilityDlg* pDlg, int nID, int nCode);
BOOL OnOptionNotify(CUtilityDlg* pDlg, int nID, NMHDR* pNMHDR, LRESULT* pResult);
BOOL ToolTipNeedText(NMHDR* pNMHDR, LRESULT* pResult);

void OnRestoreDefaults(CUtilityDlg* pDlg);
void OnClear(CUtilityDlg* pDlg);
// "%003d", "%0004d" or "%00005d" by the size of the count.
void FormatCount(char* pszOut, size_t cb, int n);

// A number field with its up-down, as the main window and the save dialogs have
// them. On leaving the field: a typed count in 1..nMax is shown in the count
// format and becomes the up-down position; anything else is replaced by the
// position (with a beep when bBeep). Returns the count shown.
int CheckCountField(const CWnd& dlg, int idEdit, const CSpinButtonCtrl& spin, int nMax, BOOL bBeep);
// An arrow of the up-down: a valid typed count becomes the base, the field shows
// the base stepped by one within 1..nMax. Returns the stepped count.
int StepCountField(const CWnd& dlg, int idEdit, const CSpinButtonCtrl& spin, int nMax, int iDelta);

// The scan option controls of the main window: filling them from the settings,
// storing each change, Restore Defaults, Clear, tooltips and the scanner model.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/Controls.h"

extern const char kDeviceRegistryPath[];
extern const char kDevicesKeyName[];
extern const char kDeviceKeyName[];

// The scanner model found under the device key.
enum DeviceModel : int {
    MODEL_FULL_RANGE = 0, // QX710KTR, or no model named
    MODEL_QX720KTR = 1,
    MODEL_QX720 = 2,
    MODEL_QX710 = 3,
    MODEL_KEY_UNREADABLE = 4,
};

DeviceModel QueryDeviceModel(HKEY hRoot, const char* pszPath, const char* pszDevices, const char* pszDevice);

BOOL ToolTipNeedText(NMHDR* pNMHDR, LRESULT* pResult);

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

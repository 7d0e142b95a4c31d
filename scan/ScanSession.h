// Scan sessions started from the main window and the reception of each page.
#pragma once

#include <windows.h>

class CUtilityDlg;

// Most pages one batch may hold.
const int kMaxBatchPages = 30000;

// The Scan (bDriver FALSE) and Show Driver (bDriver TRUE) commands.
void OnScanCommand(CUtilityDlg* pDlg, BOOL bDriver);
// Fills the scan record from the settings and starts the scanner library.
void StartScanning(CUtilityDlg* pDlg, BOOL bDriver);
// The scanner library's page and end-of-scan callback.
int ScanCallback(unsigned long nEvent, int nArg);

// Scan sessions started from the main window and the reception of each page
// (CUtilityDlg's scanning handlers are defined in ScanSession.cpp).
#pragma once

#include <windows.h>

// Most pages one batch may hold.
const int kMaxBatchPages = 30000;

// The scanner library's page and end-of-scan callback.
int ScanCallback(unsigned long nEvent, int nArg);

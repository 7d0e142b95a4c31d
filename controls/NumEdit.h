// Numeric entry fields: digits only, Tab moves the focus, Enter validates the
// field in place through its lose-focus check.
#pragma once

#include "framework/Controls.h"

class CEnterEdit : public CEdit {
protected:
    BOOL Bind(HWND hWnd) override { return SubclassWindow(hWnd); }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

class CNumEdit : public CEnterEdit {
protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// The application object: one global instance whose InitInstance runs the program.
#pragma once

#include "framework/Wnd.h"

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Returns FALSE when the program is to end without a message loop of its own.
    virtual BOOL InitInstance() { return FALSE; }
    virtual int Run();
    // The platform's three-dimensional control look; common controls are initialised here.
    void Enable3dControls();

    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();

// The application object: runs the main dialog and ends with it.
#include "app/UtilityDlg.h"
#include "framework/App.h"

class CUtilityApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        Enable3dControls();
        CUtilityDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
        return FALSE;
    }
};

CUtilityApp theApp;

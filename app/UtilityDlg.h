// The main window: the one modal dialog that is the whole user interface.
#pragma once

#include "controls/NumEdit.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "view/ImageDisplayWnd.h"
#include "view/Thumbnail.h"

class tw_Interface;

extern tw_Interface* g_pScanner;
extern class CUtilityDlg* g_pMainDlg;
extern HWND g_hMainWnd;      // for drawing the preview while pages arrive
extern HWND g_hDisplayWnd;   // the image display area
extern int g_nNextPage;      // number of the next arriving page during a scan

// One toolbar button record: bitmap index, command, state, style, user data, text.
struct ToolButton {
    int iBitmap;
    int idCommand;
    BYTE fsState;
    BYTE fsStyle;
    DWORD_PTR dwData;
    INT_PTR iString;
};

class CUtilityDlg : public CDialog {
public:
    explicit CUtilityDlg(CWnd* pParent = nullptr);
    ~CUtilityDlg() override;

    BOOL DestroyWindow() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;
    void OnCancel() override;
    virtual void EnterNoPagesState();

    void EnterScanningState();
    void EnterPagesPresentState();
    void RebuildScanButton(BOOL bAutoSave);
    // TTN_NEEDTEXT for the main window and the option dialogs.
    BOOL OnToolTipNeedText(NMHDR* pNMHDR, LRESULT* pResult);

    // Bound at data exchange.
    CSpinButtonCtrl m_spinPages;       // 1114
    CComboBox m_cbMode;                // 1047
    CButton m_btnRestore;              // 1057
    CComboBox m_cbWidthUnits;          // 1069
    CComboBox m_cbHeightUnits;         // 1070
    CComboBox m_cbTwoSided;            // 1068
    CButton m_rbPortrait;              // 1108
    CButton m_rbLandscape;             // 1109
    CNumEdit m_editPagesToScan;        // 1110
    CButton m_btnScanArea;             // 1029
    CSpinButtonCtrl m_spinAll;         // 1008
    CButton m_chkAllPages;             // 1013
    // Attached during initialisation.
    CComboBox m_cbResolution;          // 1002
    CComboBox m_cbPageSize;            // 1006
    CComboBox m_cbScanRange;           // 1011
    CNumEdit m_editAll;                // 1007
    CNumEdit m_editShowPage;           // 1005
    CButton m_btnActualSize;           // 1023
    CButton m_btnGo;                   // 1042

    CToolTipCtrl m_tooltip;
    CImageDisplayWnd m_wndDisplay;
    CToolBarCtrl m_wndToolBar;
    ToolButton* m_pButtons = nullptr;

    HANDLE m_hMutex = nullptr;
    HICON m_hIcon = nullptr;
    char* m_pszSourceName = nullptr;

    ThumbnailEntry* m_pThumbnails = nullptr;
    int m_nShowPage = 1;
    int m_nScreenCount = 1;
    BOOL m_bHasOrientation = FALSE;
    BOOL m_bAutoSaveOn = FALSE;
    BOOL m_bShowSaveDialogOn = FALSE;
    BOOL m_bSaved = FALSE;
    int m_nPendingError = 0;
    char m_szPendingFolder[256] = {};
    char m_szPendingFileName[64] = {};
    int m_nSaveDlgFocus = 0;
    int m_nUnits = 0;                  // units of the Scan Area dialog: 1 cm, 0 inch

    BOOL IsActualSizeOpen() const;
    // Saving (store/SaveCommands.cpp). *pbConfirm: 1 on entry asks for a full
    // save, 0 for the dialog and the checks only; on return 1 when the target
    // was confirmed, 0 when the user cancelled.
    void SaveImages(int* pbConfirm);
    BOOL CheckAutoSaveTarget();
    void LockForSave();
    void UnlockAfterSave();
    // Exports pages 1..nCount: the next number is stored, a failure is shown.
    void ExportBatch(int nCount);
    void OnPreferences();

    void FreeThumbnails();
    // After a save or a scan: hPrefer when it can still take the keyboard, the
    // display area while thumbnails are shown, else the first control that works.
    void FocusWorkingControl(HWND hPrefer);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    int OnCreate(LPCREATESTRUCTA pcs) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

private:
    BOOL CreateToolBar();
    void AddToolButtons(BOOL bAutoSave);
    BOOL ClaimSingleInstance();
    void OnDestroy();
    void OnSysCommand(WPARAM nID, LPARAM lParam);
    BOOL OnQueryEndSession();
    void OnEndSession(BOOL bEnding);
    void OnPaint();
    void OpenHelp(HWND hOwner, UINT nCommand, ULONG_PTR dwData);
    void TeardownAtStart();
    BOOL ConfirmDiscard();
    void RunToolCommand(int nID);

    BOOL m_bDestroyHandled = FALSE;
};

// Full path of the help file: the program's folder + "\KEVRAN.HLP".
void GetHelpFilePath(char* pszOut, size_t cb);

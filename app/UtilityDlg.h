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
extern int g_nNextPage; // number of the next arriving page during a scan

enum DeviceModel : int;

// The three states that decide which controls of the main window can be used.
enum MainWindowState : int {
    STATE_NO_PAGES,
    STATE_SCANNING,
    STATE_PAGES_PRESENT,
};

// One toolbar button record: bitmap index, command, state, style, user data, text.
struct ToolButton {
    int iBitmap;
    int idCommand;
    BYTE fsState;
    BYTE fsStyle;
    DWORD_PTR dwData;
    INT_PTR iString;
};

// The handlers of each subsystem are defined in its own folder: app/ the window
// and its states, settings/OptionControls.cpp the option controls,
// scan/ScanSession.cpp scanning, store/SaveCommands.cpp saving,
// view/PageNavigation.cpp the page controls, controls/ScanAreaDlg.cpp the Scan
// Area command.
class CUtilityDlg : public CDialog {
public:
    explicit CUtilityDlg(CWnd* pParent = nullptr);
    ~CUtilityDlg() override;

    BOOL DestroyWindow() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;
    void OnCancel() override;
    virtual void EnterNoPagesState();

    // TTN_NEEDTEXT for the main window and the option dialogs.
    BOOL OnToolTipNeedText(NMHDR* pNMHDR, LRESULT* pResult);
    BOOL IsActualSizeOpen() const;
    void FreeThumbnails();
    // The scanner library's events, passed on by ScanCallback.
    int OnScanEvent(unsigned long nEvent, int nArg);

    // The thumbnail set of the batch shown (null without one), owned here.
    const ThumbnailEntry* Thumbnails() const { return m_pThumbnails; }
    void SetThumbnails(ThumbnailEntry* pSet)
    {
        FreeThumbnails();
        m_pThumbnails = pSet;
    }
    int ShowPage() const { return m_nShowPage; }
    void SetShowPage(int n) { m_nShowPage = n; }
    int ScreenCount() const { return m_nScreenCount; }
    // The save options as the main window holds them between the dialogs.
    BOOL IsAutoSaveOn() const { return m_bAutoSaveOn; }
    void SetAutoSaveOn(BOOL b) { m_bAutoSaveOn = b; }
    BOOL IsShowSaveDialogOn() const { return m_bShowSaveDialogOn; }
    void SetShowSaveDialogOn(BOOL b) { m_bShowSaveDialogOn = b; }
    // The location and stem that wait for their checks (store/SaveCommands.cpp).
    const char* PendingFolder() const { return m_szPendingFolder; }
    void SetPendingFolder(const char* psz) { lstrcpynA(m_szPendingFolder, psz, sizeof m_szPendingFolder); }
    void SetPendingFileName(const char* psz) { lstrcpynA(m_szPendingFileName, psz, sizeof m_szPendingFileName); }
    // The Save dialog's field that takes the focus when it opens: 1 location, 2 stem, 0 none.
    int SaveDlgFocus() const { return m_nSaveDlgFocus; }
    void SetSaveDlgFocus(int n) { m_nSaveDlgFocus = n; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    int OnCreate(LPCREATESTRUCTA pcs) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

private:
    // app/UtilityDlg.cpp
    void EnterScanningState();
    void EnterPagesPresentState();
    void ResetPageControls();
    void RebuildScanButton(BOOL bAutoSave);
    BOOL CreateToolBar();
    void AddToolButtons(BOOL bAutoSave);
    BOOL ClaimSingleInstance();
    void OnDestroy();
    BOOL OnQueryEndSession();
    void OnEndSession(BOOL bEnding);
    void OnPaint();
    void OpenHelp(HWND hOwner, UINT nCommand, ULONG_PTR dwData);
    void TeardownAtStart();
    BOOL ConfirmDiscard();
    void RunToolCommand(int nID);
    // After a save or a scan: hPrefer when it can still take the keyboard, the
    // display area while thumbnails are shown, else the first control that works.
    void FocusWorkingControl(HWND hPrefer);

    // settings/OptionControls.cpp
    void FillModeList();
    void FillResolutionList();
    void FillPageSizeList();
    void FillScanRangeList();
    void SetupPagesToScan();
    void SetupOrientation();
    void SetupToolTips();
    void ApplyDeviceModel(DeviceModel nModel);
    BOOL OnOptionCommand(int nID, int nCode);
    BOOL OnOptionNotify(int nID, NMHDR* pNMHDR, LRESULT* pResult);
    void OnRestoreDefaults();
    void OnClear();
    void EnablePagesToScan(BOOL bEnable);
    void OnModeSelEndOk();
    void OnResolutionSelEndOk();
    void OnPageSizeSelEndOk();
    void OnScanRangeSelEndOk();
    void OnPagesKillFocus();
    LRESULT OnPagesDeltaPos(NMUPDOWN* pUD);

    // scan/ScanSession.cpp
    // The Scan (bDriver FALSE) and Show Driver (bDriver TRUE) commands.
    void OnScanCommand(BOOL bDriver);
    // Fills the scan record from the settings and starts the scanner library.
    void StartScanning(BOOL bDriver);
    void RepaintDisplayNow();
    void BackToNoPages();
    void ClearBatch();
    void LockAndStart(BOOL bDriver);
    void Unlock();
    void DrawPreview(HLOCAL hDib);
    BOOL ShowBatch();
    int OnPageWaiting();
    void OnAutoSaveEnd(int nStored);
    void OnNormalEnd();
    void OnAbnormalEnd();

    // store/SaveCommands.cpp. *pbConfirm: 1 on entry asks for a full save, 0
    // for the dialog and the checks only; on return 1 when the target was
    // confirmed, 0 when the user cancelled.
    void SaveImages(int* pbConfirm);
    BOOL CheckAutoSaveTarget();
    void LockForSave();
    void UnlockAfterSave();
    // Exports pages 1..nCount: the next number is stored, a failure is shown.
    void ExportBatch(int nCount);
    void OnPreferences();
    enum TargetCheck { kTargetPassed, kTargetBadFolder, kTargetBadStem };
    // The tests of the pending location and stem; a target that passes is stored.
    TargetCheck CheckPendingTarget();

    // view/PageNavigation.cpp
    // Commands and notifications of the page controls; TRUE when handled.
    BOOL OnPageCommand(int nID, int nCode);
    void OnShowPageKillFocus();
    void OnGo();
    // Opens the selected page in the actual-size window; the main window waits.
    void OpenActualSizeWindow();

    // controls/ScanAreaDlg.cpp: command 1029 shows the dialog and applies the
    // chosen units to the unit lists.
    void OnScanArea();

    // Bound at data exchange.
    CSpinButtonCtrl m_spinPages; // 1114
    CComboBox m_cbMode;          // 1047
    CButton m_btnRestore;        // 1057
    CComboBox m_cbWidthUnits;    // 1069
    CComboBox m_cbHeightUnits;   // 1070
    CComboBox m_cbTwoSided;      // 1068
    CButton m_rbPortrait;        // 1108
    CButton m_rbLandscape;       // 1109
    CNumEdit m_editPagesToScan;  // 1110
    CButton m_btnScanArea;       // 1029
    CSpinButtonCtrl m_spinAll;   // 1008
    CButton m_chkAllPages;       // 1013
    // Attached during initialisation.
    CComboBox m_cbResolution; // 1002
    CComboBox m_cbPageSize;   // 1006
    CComboBox m_cbScanRange;  // 1011
    CNumEdit m_editAll;       // 1007
    CNumEdit m_editShowPage;  // 1005
    CButton m_btnActualSize;  // 1023
    CButton m_btnGo;          // 1042

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
    int m_nUnits = 0; // units of the Scan Area dialog: 1 cm, 0 inch

    BOOL m_bDestroyHandled = FALSE;
    MainWindowState m_nState = STATE_NO_PAGES;
};

// Full path of the help file: the program's folder + "\KEVRAN.HLP".
void GetHelpFilePath(char* pszOut, size_t cb);

#include "app/UtilityDlg.h"

#include "controls/SmallDialogs.h"
#include "framework/App.h"
#include "framework/Gdi.h"
#include "libs/xrtwif/tw_Interface.h"
#include "res/resource.h"
#include "settings/OptionControls.h"
#include "settings/ScanSettings.h"
#include "store/PageStore.h"
#include "view/ViewWnd.h"

#include <assert.h>
#include <ctype.h>
#include <string.h>

tw_Interface* g_pScanner = nullptr;
CUtilityDlg* g_pMainDlg = nullptr;
int g_nNextPage = 0;

namespace {

const char kMutexName[] = "__KD_UTILITY_SYNC";
const char kRefusedCaption[] = "CloseKDUtility";
const int kToolbarId = 132;
const int kToolCount = 6;

// The toolbar mnemonics in the order they are compared.
const struct {
    UINT idLetter;
    int idCommand;
} kMnemonics[] = {
    {IDS_MNEMONIC_CLEAR, ID_CMD_CLEAR},       {IDS_MNEMONIC_SCAN, ID_CMD_SCAN},
    {IDS_MNEMONIC_SAVE, ID_CMD_SAVE},         {IDS_MNEMONIC_DRIVER, ID_CMD_SHOW_DRIVER},
    {IDS_MNEMONIC_PREFS, ID_CMD_PREFERENCES},
};

} // namespace

void GetHelpFilePath(char* pszOut, size_t cb)
{
    char szModule[256] = {};
    ::GetModuleFileNameA(::GetModuleHandleA("Tolvix.exe"), szModule, sizeof szModule);
    szModule[sizeof szModule - 1] = '\0';
    char* pSlash = strrchr(szModule, '\\');
    if (pSlash)
        *pSlash = '\0';
    snprintf(pszOut, cb, "%s\\KEVRAN.HLP", szModule);
}

CUtilityDlg::CUtilityDlg(CWnd* pParent) : CDialog(IDD_UTILITY_DIALOG, pParent)
{
    m_hIcon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CUtilityDlg::~CUtilityDlg()
{
    FreeThumbnails();
    delete[] m_pButtons;
}

void CUtilityDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_PAGES_SPIN, m_spinPages);
    DDX_Control(pDX, IDC_MODE, m_cbMode);
    DDX_Control(pDX, IDC_RESTORE_DEFAULTS, m_btnRestore);
    DDX_Control(pDX, IDC_WIDTH_UNITS, m_cbWidthUnits);
    DDX_Control(pDX, IDC_HEIGHT_UNITS, m_cbHeightUnits);
    DDX_Control(pDX, IDC_TWO_SIDED, m_cbTwoSided);
    DDX_Control(pDX, IDC_PORTRAIT, m_rbPortrait);
    DDX_Control(pDX, IDC_LANDSCAPE, m_rbLandscape);
    DDX_Control(pDX, IDC_PAGES_TO_SCAN, m_editPagesToScan);
    DDX_Control(pDX, IDC_SCAN_AREA, m_btnScanArea);
    DDX_Control(pDX, IDC_ALL_SPIN, m_spinAll);
    DDX_Control(pDX, IDC_ALL_PAGES, m_chkAllPages);
}

// ---- creation, single instance, start-up -----------------------------------

int CUtilityDlg::OnCreate(LPCREATESTRUCTA)
{
    CreateToolBar();
    return ClaimSingleInstance() ? 0 : -1;
}

BOOL CUtilityDlg::ClaimSingleInstance()
{
    HANDLE hOther = ::OpenMutexA(0x1F0001, FALSE, kMutexName);
    if (!hOther) {
        m_hMutex = ::CreateMutexA(nullptr, TRUE, kMutexName);
        return TRUE;
    }
    ::CloseHandle(hOther);
    m_hMutex = nullptr;
    // The refused window must not be found by the search for the running copy.
    ::SetWindowTextA(m_hWnd, kRefusedCaption);
    return FALSE;
}

BOOL CUtilityDlg::CreateToolBar()
{
    HINSTANCE hInst = ::GetModuleHandleA(nullptr);
    HWND hTb = ::CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, 0x50800121, 0, 0, 0, 0, m_hWnd,
                                 reinterpret_cast<HMENU>((INT_PTR)kToolbarId), hInst, nullptr);
    if (!hTb)
        return FALSE;
    m_wndToolBar.Attach(hTb);
    m_wndToolBar.SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    m_wndToolBar.SendMessage(TB_SETEXTENDEDSTYLE, 0, 0);
    HWND hTips = reinterpret_cast<HWND>(m_wndToolBar.SendMessage(TB_GETTOOLTIPS));
    if (hTips)
        ::SendMessageA(hTips, TTM_ACTIVATE, TRUE, 0);
    TBADDBITMAP ab = {hInst, IDR_MAINFRAME};
    m_wndToolBar.SendMessage(TB_ADDBITMAP, kToolCount, reinterpret_cast<LPARAM>(&ab));

    m_pButtons = new ToolButton[kToolCount];
    for (int i = 0; i < kToolCount; ++i) {
        // The string pool takes a list of texts ended by an extra zero.
        std::string text = LoadStr(IDS_TOOLBAR_FIRST + i);
        text.push_back('\0');
        INT_PTR iString = m_wndToolBar.SendMessage(TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>(text.c_str()));
        m_pButtons[i] = ToolButton{i, ID_CMD_CLEAR + i, TBSTATE_ENABLED, BTNS_BUTTON, 0, iString};
    }
    AddToolButtons(FALSE);
    return TRUE;
}

// Adds the buttons from the record table, a separator after Save and after Show Driver.
void CUtilityDlg::AddToolButtons(BOOL bFromScan)
{
    for (int i = bFromScan ? 1 : 0; i < kToolCount; ++i) {
        const ToolButton& b = m_pButtons[i];
        TBBUTTON tb = {};
        tb.iBitmap = b.iBitmap;
        tb.idCommand = b.idCommand;
        tb.fsState = b.fsState;
        tb.fsStyle = b.fsStyle;
        tb.dwData = b.dwData;
        tb.iString = b.iString;
        m_wndToolBar.SendMessage(TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&tb));
        if (i == 2 || i == 4) {
            TBBUTTON sep = {};
            sep.fsStyle = BTNS_SEP;
            m_wndToolBar.SendMessage(TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&sep));
        }
    }
}

void CUtilityDlg::RebuildScanButton(BOOL bAutoSave)
{
    for (int i = 0; i < 7; ++i)
        m_wndToolBar.SendMessage(TB_DELETEBUTTON, 1);
    std::string text = LoadStr(bAutoSave ? IDS_SCAN_AND_SAVE : IDS_TOOLBAR_FIRST + 1);
    text.push_back('\0');
    m_pButtons[1].iString = m_wndToolBar.SendMessage(TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>(text.c_str()));
    AddToolButtons(TRUE);
    m_wndToolBar.AutoSize();
}

BOOL CUtilityDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    HMENU hSysMenu = ::GetSystemMenu(m_hWnd, FALSE);
    std::string about = LoadStr(IDS_ABOUTBOX);
    if (hSysMenu && !about.empty()) {
        ::AppendMenuA(hSysMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(hSysMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_cbResolution.BindDlgItem(IDC_RESOLUTION, this);
    g_pSettings = new CScanSettings;
    g_pScanner = new tw_Interface;
    g_pPageStore = new CPageStore;
    g_pMainDlg = this;
    m_wndToolBar.AutoSize();

    int nOpen = g_pScanner->Open(m_hWnd);
    if (nOpen == TWI_ERR_NO_DSM || nOpen == TWI_ERR_INTERNAL) {
        AfxMessageBox(nOpen == TWI_ERR_NO_DSM ? IDS_ERR_NO_DRIVER : IDS_ERR_INTERNAL, MB_ICONSTOP);
        TeardownAtStart();
        return FALSE;
    }

    FillModeList();
    m_pszSourceName = g_pScanner->GetSelecedDS(m_hWnd);

    m_editAll.BindDlgItem(IDC_ALL_EDIT, this);
    m_editShowPage.BindDlgItem(IDC_SHOW_PAGE, this);
    m_btnGo.BindDlgItem(IDC_GO, this);
    m_btnActualSize.BindDlgItem(IDC_ACTUAL_SIZE, this);
    m_editShowPage.LimitText(5);

    FillResolutionList();
    m_cbPageSize.BindDlgItem(IDC_PAGE_SIZE, this);
    FillPageSizeList();
    m_cbScanRange.BindDlgItem(IDC_SCAN_RANGE, this);
    FillScanRangeList();
    SetupPagesToScan();

    strcpy(m_szPendingFolder, g_pSettings->m_szSaveFolder);
    strcpy(m_szPendingFileName, g_pSettings->m_szFileName);
    g_nNextPage = 0;

    m_wndDisplay.Create(this, IDC_DISPLAY_FRAME);

    EnterNoPagesState();
    m_chkAllPages.SetCheck(BST_CHECKED);

    m_bAutoSaveOn = g_pSettings->IsAutoSave();
    RebuildScanButton(m_bAutoSaveOn);
    m_wndToolBar.EnableButton(ID_CMD_SAVE, FALSE);

    SetupOrientation();
    if (!g_pSettings->PrepareWorkFolder()) {
        TeardownAtStart();
        return FALSE;
    }
    m_bShowSaveDialogOn = g_pSettings->m_bShowSaveDialog;
    DeviceModel nModel = QueryDeviceModel(HKEY_LOCAL_MACHINE, kDeviceRegistryPath, kDevicesKeyName, kDeviceKeyName);
    if (nModel == MODEL_KEY_UNREADABLE) {
        AfxMessageBox(IDS_ERR_REGISTRY, MB_ICONSTOP);
        TeardownAtStart();
        return FALSE;
    }
    ApplyDeviceModel(nModel);

    SetupToolTips();
    m_nPendingError = 0;
    m_nSaveDlgFocus = 0;
    m_bSaved = FALSE;
    return TRUE;
}

void CUtilityDlg::TeardownAtStart()
{
    delete g_pScanner;
    g_pScanner = nullptr;
    delete g_pSettings;
    g_pSettings = nullptr;
    delete g_pPageStore;
    g_pPageStore = nullptr;
    EndDialog(-1);
}

// ---- ending -----------------------------------------------------------------

BOOL CUtilityDlg::ConfirmDiscard()
{
    if (!m_pThumbnails || m_bSaved)
        return TRUE;
    CClearConfirmDlg dlg(this);
    return dlg.DoModal() == IDOK;
}

void CUtilityDlg::OnCancel()
{
    if (ConfirmDiscard())
        EndDialog(IDCANCEL);
}

BOOL CUtilityDlg::OnQueryEndSession() { return ConfirmDiscard(); }

void CUtilityDlg::FocusWorkingControl(HWND hPrefer)
{
    auto works = [this](HWND h) { return h && ::IsChild(m_hWnd, h) && ::IsWindowVisible(h) && ::IsWindowEnabled(h); };
    HWND hDisplay = m_wndDisplay.GetSafeHwnd();
    if (works(hPrefer) && (hPrefer != hDisplay || m_pThumbnails))
        ::SetFocus(hPrefer);
    else if (m_pThumbnails && works(hDisplay))
        ::SetFocus(hDisplay);
    else if (HWND hFirst = ::GetNextDlgTabItem(m_hWnd, nullptr, FALSE))
        ::SetFocus(hFirst);
}

void CUtilityDlg::OnEndSession(BOOL bEnding)
{
    // A refused end leaves everything as it was. An accepted one may end the
    // process as soon as this returns: the shut-down runs now, as on closing.
    if (!bEnding || m_bDestroyHandled)
        return;
    EndDialog(IDCANCEL);
    DestroyWindow();
}

BOOL CUtilityDlg::DestroyWindow()
{
    if (g_pScanner) {
        g_pScanner->Close();
        delete g_pScanner;
        g_pScanner = nullptr;
    }
    if (g_pSettings) {
        if (g_pPageStore)
            g_pPageStore->DeleteAllPages(g_pSettings->m_szWorkFolder, "Doc", g_pSettings->m_nPageCount);
        delete g_pSettings;
        g_pSettings = nullptr;
    }
    delete g_pPageStore;
    g_pPageStore = nullptr;
    delete[] m_pButtons;
    m_pButtons = nullptr;
    FreeThumbnails();

    char szHelp[300];
    GetHelpFilePath(szHelp, sizeof szHelp);
    HWND hMain = AfxGetApp() && AfxGetApp()->m_pMainWnd ? AfxGetApp()->m_pMainWnd->GetSafeHwnd() : m_hWnd;
    ::WinHelpA(hMain, szHelp, HELP_QUIT, 0);
    g_pMainDlg = nullptr;
    return CDialog::DestroyWindow();
}

void CUtilityDlg::OnDestroy()
{
    if (m_bDestroyHandled)
        return;
    m_bDestroyHandled = TRUE;
    if (m_hMutex) {
        ::ReleaseMutex(m_hMutex);
        ::CloseHandle(m_hMutex);
        m_hMutex = nullptr;
        return;
    }
    HWND hOther = ::FindWindowA(nullptr, LoadStr(IDS_MAIN_CAPTION).c_str());
    if (hOther)
        ::SetForegroundWindow(hOther);
}

void CUtilityDlg::FreeThumbnails()
{
    delete[] m_pThumbnails;
    m_pThumbnails = nullptr;
}

// ---- messages -----------------------------------------------------------------

LRESULT CUtilityDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_DESTROY:
    case WM_NCDESTROY:
        OnDestroy();
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            CAboutDlg dlg(this);
            dlg.DoModal();
            return 0;
        }
        break;
    case WM_QUERYENDSESSION:
        return OnQueryEndSession();
    case WM_ENDSESSION:
        OnEndSession(wParam != FALSE);
        return 0;
    case WM_PAINT:
        if (::IsIconic(m_hWnd)) {
            OnPaint();
            return 0;
        }
        break;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_hIcon);
    case WM_HELP:
        // F1 reaches the help command through the platform's help key.
        OnCommand(ID_HELP_FINDER_CMD, 0);
        return TRUE;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

void CUtilityDlg::OnPaint()
{
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>((HDC)dc), 0);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    int x = (rc.right - rc.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (rc.bottom - rc.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
}

void CUtilityDlg::OpenHelp(HWND hOwner, UINT nCommand, ULONG_PTR dwData)
{
    char szHelp[300];
    GetHelpFilePath(szHelp, sizeof szHelp);
    ::WinHelpA(hOwner, szHelp, nCommand, dwData);
}

void CUtilityDlg::RunToolCommand(int nID) { OnCommand(MAKEWPARAM(nID, 0), 0); }

BOOL CUtilityDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int nID = LOWORD(wParam);
    const int nCode = HIWORD(wParam);
    HWND hMain = AfxGetApp()->m_pMainWnd ? AfxGetApp()->m_pMainWnd->GetSafeHwnd() : m_hWnd;
    switch (nID) {
    case ID_CMD_HELP:
        OpenHelp(hMain, HELP_FINDER, 0);
        return TRUE;
    case ID_CMD_SCAN:
        OnScanCommand(FALSE);
        return TRUE;
    case ID_CMD_SHOW_DRIVER:
        OnScanCommand(TRUE);
        return TRUE;
    case ID_CMD_SAVE: {
        int bConfirm = 1;
        SaveImages(&bConfirm);
        return TRUE;
    }
    case ID_CMD_PREFERENCES:
        OnPreferences();
        return TRUE;
    case ID_HELP_FINDER_CMD:
        if (IsActualSizeOpen())
            OpenHelp(hMain, HELP_CONTEXT, 150);
        else
            OpenHelp(m_hWnd, HELP_FINDER, 0);
        return TRUE;
    case IDC_SCAN_AREA:
        if (nCode == BN_CLICKED)
            OnScanArea();
        return TRUE;
    }
    if (OnOptionCommand(nID, nCode))
        return TRUE;
    if (OnPageCommand(nID, nCode))
        return TRUE;
    return CDialog::OnCommand(wParam, lParam);
}

BOOL CUtilityDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    NMHDR* pNMHDR = reinterpret_cast<NMHDR*>(lParam);
    if (pNMHDR->code == TTN_NEEDTEXTA || pNMHDR->code == TTN_NEEDTEXTW)
        return OnToolTipNeedText(pNMHDR, pResult);
    if (OnOptionNotify((int)wParam, pNMHDR, pResult))
        return TRUE;
    return CDialog::OnNotify(wParam, lParam, pResult);
}

BOOL CUtilityDlg::OnToolTipNeedText(NMHDR* pNMHDR, LRESULT* pResult) { return ToolTipNeedText(pNMHDR, pResult); }

BOOL CUtilityDlg::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_SYSCHAR && (pMsg->lParam & (1 << 29)) && !IsActualSizeOpen()) {
        int ch = toupper((int)(unsigned char)pMsg->wParam);
        for (const auto& m : kMnemonics) {
            std::string letter = LoadStr(m.idLetter);
            if (!letter.empty() && letter[0] == ch) {
                if (m_wndToolBar.GetState(m.idCommand) & TBSTATE_ENABLED) {
                    RunToolCommand(m.idCommand);
                    return TRUE;
                }
                break;
            }
        }
    }

    if (g_pScanner && m_hWnd) {
        int r = g_pScanner->HandleMessage(m_hWnd, pMsg);
        if (r)
            return r;
    }

    if (pMsg->message == WM_KEYDOWN) {
        switch (pMsg->wParam) {
        case VK_UP:
        case VK_DOWN:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_END:
        case VK_HOME:
            if (m_pThumbnails && m_wndDisplay.GetSafeHwnd()) {
                HWND hTarget = m_wndDisplay.GetSafeHwnd();
                if (g_pViewWnd)
                    hTarget = g_pViewWnd->GetSafeHwnd();
                else if (::GetFocus() == m_editShowPage.GetSafeHwnd())
                    hTarget = m_editShowPage.GetSafeHwnd();
                ::SendMessageA(hTarget, WM_KEYDOWN, pMsg->wParam, 0);
                return TRUE;
            }
            break;
        case VK_ESCAPE: {
            // Escape only closes an open drop-down; it never ends the dialog.
            const int lists[] = {IDC_MODE, IDC_SCAN_RANGE, IDC_RESOLUTION, IDC_PAGE_SIZE};
            for (int id : lists)
                ::SendMessageA(GetDlgItem(id), WM_KEYDOWN, VK_ESCAPE, 0);
            return TRUE;
        }
        }
    }
    return CDialog::PreTranslateMessage(pMsg);
}

BOOL CUtilityDlg::IsActualSizeOpen() const { return g_pViewWnd != nullptr; }

// ---- states -------------------------------------------------------------------

void CUtilityDlg::EnterNoPagesState()
{
    m_nState = STATE_NO_PAGES;
    SetDlgItemText(IDC_SHOW_PAGE, "0");
    EnableDlgItem(IDC_SHOW_PAGE, FALSE);
    SetDlgItemText(IDC_PAGE_TOTAL, "/ 0");
    EnableDlgItem(IDC_PAGE_TOTAL, FALSE);
    EnableDlgItem(IDC_SHOW_PAGE_LABEL, FALSE);
    EnableDlgItem(IDC_ACTUAL_SIZE, FALSE);
    ShowDlgItem(IDC_GO, SW_HIDE);

    if (!m_bHasOrientation) {
        for (int id : {IDC_SCREEN_LABEL, IDC_PORTRAIT, IDC_LANDSCAPE, IDC_PORTRAIT_PICTURE, IDC_LANDSCAPE_PICTURE})
            ShowDlgItem(id, SW_HIDE);
    }
    if (m_wndDisplay.GetSafeHwnd())
        ::ShowScrollBar(m_wndDisplay.GetSafeHwnd(), SB_VERT, FALSE);

    for (int id :
         {IDC_MAIN_GROUP, IDC_TWO_SIDED_PICTURE, IDC_TWO_SIDED_LABEL, IDC_TWO_SIDED, IDC_SIZE_GROUP, IDC_HIDDEN_1105,
          IDC_WIDTH_LABEL, IDC_WIDTH_VALUE, IDC_WIDTH_UNITS, IDC_HIDDEN_1106, IDC_HEIGHT_LABEL, IDC_HEIGHT_VALUE,
          IDC_HEIGHT_UNITS, IDC_HIDDEN_1107, IDC_FILE_SIZE_LABEL, IDC_FILE_SIZE_VALUE, IDC_KB_LABEL})
        ShowDlgItem(id, SW_HIDE);

    for (int id : {IDC_PAGES_LABEL, IDC_PAGES_TO_SCAN, IDC_PAGES_SPIN})
        EnableDlgItem(id, FALSE);
    for (int id : {IDC_SCAN_RANGE_LABEL, IDC_SCAN_RANGE, IDC_RESOLUTION, IDC_PAGE_SIZE, IDC_MODE, IDC_WIDTH_VALUE,
                   IDC_HEIGHT_VALUE, IDC_FILE_SIZE_VALUE, IDC_SCREEN_LABEL, IDC_PORTRAIT, IDC_LANDSCAPE,
                   IDC_PORTRAIT_PICTURE, IDC_LANDSCAPE_PICTURE})
        EnableDlgItem(id, TRUE);
    if (g_pSettings && g_pSettings->m_nScanRange == SCANRANGE_SPECIFY) {
        for (int id : {IDC_PAGES_LABEL, IDC_PAGES_TO_SCAN, IDC_PAGES_SPIN})
            EnableDlgItem(id, TRUE);
    }

    BOOL bUnits = g_pSettings && g_pSettings->m_nPageSize != 0;
    EnableDlgItem(IDC_WIDTH_UNITS, bUnits);
    EnableDlgItem(IDC_HEIGHT_UNITS, bUnits);
    for (int id : {IDC_RESTORE_DEFAULTS, IDC_RESOLUTION_LABEL, IDC_PAGE_SIZE_LABEL, IDC_TWO_SIDED_LABEL, IDC_MODE_LABEL,
                   IDC_WIDTH_LABEL, IDC_HEIGHT_LABEL, IDC_FILE_SIZE_LABEL, IDC_KB_LABEL})
        EnableDlgItem(id, TRUE);

    m_wndToolBar.EnableButton(ID_CMD_CLEAR, FALSE);
    m_wndToolBar.EnableButton(ID_CMD_SCAN, TRUE);
    m_wndToolBar.EnableButton(ID_CMD_SHOW_DRIVER, TRUE);
    m_wndToolBar.EnableButton(ID_CMD_HELP, TRUE);
    m_wndToolBar.EnableButton(ID_CMD_PREFERENCES, TRUE);
    m_wndToolBar.EnableButton(ID_CMD_SAVE, FALSE);
    ::SetFocus(GetDlgItem(IDC_MODE));
}

void CUtilityDlg::EnterScanningState()
{
    m_nState = STATE_SCANNING;
    for (int id : {IDC_RESOLUTION,       IDC_PAGE_SIZE,       IDC_TWO_SIDED,        IDC_MODE,
                   IDC_WIDTH_VALUE,      IDC_HEIGHT_VALUE,    IDC_FILE_SIZE_VALUE,  IDC_WIDTH_UNITS,
                   IDC_HEIGHT_UNITS,     IDC_SCAN_AREA,       IDC_RESTORE_DEFAULTS, IDC_RESOLUTION_LABEL,
                   IDC_PAGE_SIZE_LABEL,  IDC_TWO_SIDED_LABEL, IDC_MODE_LABEL,       IDC_WIDTH_LABEL,
                   IDC_HEIGHT_LABEL,     IDC_FILE_SIZE_LABEL, IDC_KB_LABEL,         IDC_PAGES_LABEL,
                   IDC_PAGES_TO_SCAN,    IDC_PAGES_SPIN,      IDC_SCAN_RANGE_LABEL, IDC_SCAN_RANGE,
                   IDC_SCREEN_LABEL,     IDC_PORTRAIT,        IDC_LANDSCAPE,        IDC_PORTRAIT_PICTURE,
                   IDC_LANDSCAPE_PICTURE})
        EnableDlgItem(id, FALSE);
    ResetPageControls();
    for (int id = ID_CMD_CLEAR; id <= ID_CMD_HELP; ++id)
        m_wndToolBar.EnableButton(id, FALSE);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// Page 0 of 0, nothing to go to.
void CUtilityDlg::ResetPageControls()
{
    SetDlgItemText(IDC_SHOW_PAGE, "0");
    EnableDlgItem(IDC_SHOW_PAGE, FALSE);
    SetDlgItemText(IDC_PAGE_TOTAL, "/ 0");
    EnableDlgItem(IDC_PAGE_TOTAL, FALSE);
    for (int id : {IDC_SHOW_PAGE_LABEL, IDC_GO, IDC_ACTUAL_SIZE})
        EnableDlgItem(id, FALSE);
}

void CUtilityDlg::EnterPagesPresentState()
{
    // The controls the scanning state disabled and this one does not name stay disabled.
    assert(m_nState == STATE_SCANNING && "EnterPagesPresentState: a batch is shown only at the end of a scan");
    m_nState = STATE_PAGES_PRESENT;
    for (int id : {IDC_SHOW_PAGE_LABEL, IDC_PAGE_TOTAL, IDC_GO, IDC_ACTUAL_SIZE})
        EnableDlgItem(id, TRUE);
    for (int id : {IDC_RESOLUTION, IDC_PAGE_SIZE, IDC_TWO_SIDED, IDC_MODE, IDC_WIDTH_VALUE, IDC_HEIGHT_VALUE,
                   IDC_FILE_SIZE_VALUE, IDC_WIDTH_UNITS, IDC_HEIGHT_UNITS, IDC_SCAN_AREA, IDC_RESTORE_DEFAULTS,
                   IDC_RESOLUTION_LABEL, IDC_PAGE_SIZE_LABEL, IDC_TWO_SIDED_LABEL, IDC_MODE_LABEL, IDC_WIDTH_LABEL,
                   IDC_HEIGHT_LABEL, IDC_FILE_SIZE_LABEL, IDC_KB_LABEL})
        EnableDlgItem(id, FALSE);
    m_wndToolBar.EnableButton(ID_CMD_CLEAR, TRUE);
    m_wndToolBar.EnableButton(ID_CMD_PREFERENCES, FALSE);
    m_wndToolBar.EnableButton(ID_CMD_SCAN, TRUE);
    m_wndToolBar.EnableButton(ID_CMD_SHOW_DRIVER, TRUE);
    m_wndToolBar.EnableButton(ID_CMD_HELP, TRUE);
    m_wndToolBar.EnableButton(ID_CMD_SAVE, !m_bAutoSaveOn);
}

#include "settings/SaveTargetDlg.h"

#include "app/UtilityDlg.h"
#include "framework/FileDialog.h"
#include "res/resource.h"
#include "settings/OptionControls.h"
#include "settings/ScanSettings.h"
#include "store/PageStore.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

namespace {

const int kMaxNumber = 9999;
const int kMaxLocation = 100;
const int kMaxStem = 50;
const char kDefaultExtensions[] = "BMP|TIF|PDF";

const UINT kFileTypeTexts[] = {127, 128, 129, 132};
const UINT kTiffCompressions[] = {200, 201, 202};
const UINT kPdfCompressions[] = {200, 204, 205, 206};

// Text of an edit, at most cchMax characters.
std::string ItemText(const CWnd& dlg, int id, int cchMax)
{
    std::string s(cchMax + 1, '\0');
    int n = ::GetDlgItemTextA(dlg.GetSafeHwnd(), id, &s[0], cchMax + 1);
    s.resize(n > 0 ? n : 0);
    return s;
}

} // namespace

CSaveTargetDlg::CSaveTargetDlg(UINT nIDTemplate, CUtilityDlg* pMain, BOOL bBeepOnBadNumber)
    : CDialog(nIDTemplate, pMain), m_pMain(pMain), m_bBeepOnBadNumber(bBeepOnBadNumber)
{}

void CSaveTargetDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_FILE_TYPE, m_cbFileType);
    DDX_Control(pDX, IDC_COMPRESSION, m_cbCompression);
    DDX_Control(pDX, IDC_NUMBER_FROM, m_editNumber);
    DDX_Control(pDX, IDC_NUMBER_SPIN, m_spinNumber);
}

void CSaveTargetDlg::ShowLocation(const char* pszFolder) { SetDlgItemText(IDC_LOCATION, pszFolder); }

void CSaveTargetDlg::ShowStoredStem()
{
    char szStem[64] = {};
    g_pSettings->GetFileName(szStem);
    SetDlgItemText(IDC_FILE_NAME, szStem);
}

void CSaveTargetDlg::ShowNumber(int n)
{
    char sz[16];
    FormatCount(sz, sizeof sz, n);
    SetDlgItemText(IDC_NUMBER_FROM, sz);
    m_spinNumber.SetRange32(1, kMaxNumber);
    m_editNumber.LimitText(4);
    m_spinNumber.SetPos(n);
}

void CSaveTargetDlg::ShowTarget()
{
    ShowLocation(m_pMain->PendingFolder());
    lstrcpynA(m_szBrowseFolder, m_pMain->PendingFolder(), sizeof m_szBrowseFolder);
    ShowStoredStem();
    m_pMain->SetPendingFileName(g_pSettings->m_szFileName);
    ShowNumber(g_pSettings->m_nNumberFrom);

    for (UINT id : kFileTypeTexts)
        m_cbFileType.AddString(LoadStr(id).c_str());
    m_cbFileType.SetCurSel(g_pSettings->m_nFileType);
    SetDlgItemText(IDC_EXTENSION, LoadStr(IDS_EXTENSION_FIRST + g_pSettings->m_nFileType).c_str());
    FillCompressionList(g_pSettings->m_nFileType);
    m_cbCompression.SetCurSel(g_pSettings->m_nCompression);
    m_nChosenCompression = m_cbCompression.GetCurSel();
}

void CSaveTargetDlg::FillCompressionList(int nFileType)
{
    m_cbCompression.ResetContent();
    const BOOL bList = nFileType != FILETYPE_BMP;
    EnableDlgItem(IDC_COMPRESSION, bList);
    EnableDlgItem(IDC_COMPRESSION_LABEL, bList);
    if (nFileType == FILETYPE_PDF) {
        for (UINT id : kPdfCompressions)
            m_cbCompression.AddString(LoadStr(id).c_str());
    } else if (bList) {
        for (UINT id : kTiffCompressions)
            m_cbCompression.AddString(LoadStr(id).c_str());
    }
}

void CSaveTargetDlg::CreateToolTips(std::initializer_list<int> ids)
{
    if (!m_tooltip.Create(this))
        return;
    for (int id : ids)
        m_tooltip.AddTool(GetDlgItem(id));
    m_tooltip.Activate(TRUE);
}

void CSaveTargetDlg::StoreTypeAndCompression()
{
    g_pSettings->m_nCompression = m_cbCompression.GetCurSel();
    g_pSettings->m_nFileType = m_cbFileType.GetCurSel();
}

void CSaveTargetDlg::StoreTarget()
{
    m_pMain->SetPendingFileName(Stem().c_str());
    m_pMain->SetPendingFolder(Location().c_str());
    g_pSettings->m_nNumberFrom = Number();
}

std::string CSaveTargetDlg::Location() const { return ItemText(*this, IDC_LOCATION, 255); }

std::string CSaveTargetDlg::Stem() const { return ItemText(*this, IDC_FILE_NAME, kMaxStem); }

int CSaveTargetDlg::Number() const { return atoi(GetDlgItemText(IDC_NUMBER_FROM).c_str()); }

// ---- checks of the fields ---------------------------------------------------------

void CSaveTargetDlg::FocusAndSelect(int idEdit)
{
    HWND hEdit = GetDlgItem(idEdit);
    ::SetFocus(hEdit);
    ::SendMessageA(hEdit, EM_SETSEL, 0, -1);
    ::SendMessageA(hEdit, EM_SCROLLCARET, 0, 0);
}

void CSaveTargetDlg::RefuseLocation()
{
    AfxMessageBox(IDS_ERR_BAD_NAME, MB_ICONEXCLAMATION);
    ShowLocation(m_szBrowseFolder);
    FocusAndSelect(IDC_LOCATION);
}

void CSaveTargetDlg::OnLocationKillFocus()
{
    if (ItemText(*this, IDC_LOCATION, 127).size() > kMaxLocation)
        RefuseLocation();
}

void CSaveTargetDlg::OnFileTypeChanged()
{
    EnableDlgItem(IDC_COMPRESSION, TRUE);
    EnableDlgItem(IDC_COMPRESSION_LABEL, TRUE);
    ShowDlgItem(IDC_PDF_INDEX, SW_HIDE);
    const int nType = m_cbFileType.GetCurSel();
    SetDlgItemText(IDC_EXTENSION, LoadStr(IDS_EXTENSION_FIRST + nType).c_str());
    FillCompressionList(nType);
    m_cbCompression.SetCurSel(0);
}

void CSaveTargetDlg::OnStemKillFocus()
{
    char szStored[64] = {};
    g_pSettings->GetFileName(szStored);
    if (Stem() != szStored) {
        SetDlgItemText(IDC_NUMBER_FROM, "1");
        OnNumberKillFocus();
    }
}

void CSaveTargetDlg::OnNumberKillFocus()
{
    CheckCountField(*this, IDC_NUMBER_FROM, m_spinNumber, kMaxNumber, m_bBeepOnBadNumber);
}

void CSaveTargetDlg::OnBrowse()
{
    for (;;) {
        if (!g_pPageStore->IsValidFileStem(Stem().c_str())) {
            AfxMessageBox(IDS_ERR_BAD_NAME, MB_ICONEXCLAMATION);
            ShowStoredStem();
            m_pMain->SetSaveDlgFocus(2);
            ApplyFocusRule();
            return;
        }
        const std::string filter = LoadStr(IDS_SAVE_FILTER);
        CFileDialog dlg(FALSE, kDefaultExtensions, Stem().c_str(),
                        OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NONETWORKBUTTON, filter.c_str(), this);
        dlg.m_ofn.lpstrInitialDir = m_szBrowseFolder;
        dlg.m_ofn.nFilterIndex = m_cbFileType.GetCurSel() + 1;
        if (dlg.DoModal() != IDOK) {
            ::SetFocus(GetDlgItem(IDC_BROWSE));
            return;
        }
        const std::string path = dlg.GetPathName();
        const size_t slash = path.rfind('\\');
        const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
        if (folder.size() > kMaxLocation) {
            AfxMessageBox(IDS_ERR_BAD_NAME, MB_ICONEXCLAMATION);
            continue;
        }
        lstrcpynA(m_szBrowseFolder, folder.c_str(), sizeof m_szBrowseFolder);
        ShowLocation(m_szBrowseFolder);

        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        const size_t dot = name.rfind('.');
        std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
        for (char& c : ext)
            c = (char)toupper((unsigned char)c);
        if (ext == "BMBM" || ext == "BMP")
            m_cbFileType.SetCurSel(FILETYPE_BMP);
        else if (ext == "TIF")
            m_cbFileType.SetCurSel(dlg.m_ofn.nFilterIndex == 2 ? FILETYPE_MULTI_TIFF : FILETYPE_TIFF);
        else if (ext == "PDF")
            m_cbFileType.SetCurSel(FILETYPE_PDF);
        OnFileTypeChanged();

        if (dot != std::string::npos)
            name.resize(dot);
        SetDlgItemText(IDC_FILE_NAME, name.substr(0, kMaxStem).c_str());
        m_cbCompression.SetCurSel(m_nChosenCompression);
        OnStemKillFocus();
        ::SetFocus(GetDlgItem(IDC_BROWSE));
        return;
    }
}

void CSaveTargetDlg::ApplyFocusRule()
{
    const int nFocus = m_pMain->SaveDlgFocus();
    if (nFocus == 1 || nFocus == 2) {
        FocusAndSelect(nFocus == 1 ? IDC_LOCATION : IDC_FILE_NAME);
        m_pMain->SetSaveDlgFocus(0);
    }
}

// ---- messages -------------------------------------------------------------------

LRESULT CSaveTargetDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_SHOWWINDOW) {
        LRESULT lr = CDialog::WindowProc(msg, wParam, lParam);
        if (wParam)
            ApplyFocusRule();
        return lr;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

BOOL CSaveTargetDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int nCode = HIWORD(wParam);
    // A field that loses the focus because the dialog is closing is not checked.
    if (m_bModalEnded && nCode == EN_KILLFOCUS)
        return TRUE;
    switch (LOWORD(wParam)) {
    case IDC_FILE_TYPE:
        if (nCode == CBN_SELENDOK)
            OnFileTypeChanged();
        return TRUE;
    case IDC_COMPRESSION:
        if (nCode == CBN_SELENDOK)
            m_nChosenCompression = m_cbCompression.GetCurSel();
        return TRUE;
    case IDC_LOCATION:
        if (nCode == EN_KILLFOCUS)
            OnLocationKillFocus();
        return TRUE;
    case IDC_FILE_NAME:
        if (nCode == EN_KILLFOCUS)
            OnStemKillFocus();
        return TRUE;
    case IDC_NUMBER_FROM:
        if (nCode == EN_KILLFOCUS)
            OnNumberKillFocus();
        return TRUE;
    case IDC_BROWSE:
        if (nCode == BN_CLICKED)
            OnBrowse();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

BOOL CSaveTargetDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    NMHDR* pNMHDR = reinterpret_cast<NMHDR*>(lParam);
    if (pNMHDR->code == TTN_NEEDTEXTA || pNMHDR->code == TTN_NEEDTEXTW)
        return m_pMain->OnToolTipNeedText(pNMHDR, pResult);
    if ((int)wParam == IDC_NUMBER_SPIN && pNMHDR->code == UDN_DELTAPOS) {
        StepCountField(*this, IDC_NUMBER_FROM, m_spinNumber, kMaxNumber, reinterpret_cast<NMUPDOWN*>(pNMHDR)->iDelta);
        *pResult = 0;
        return TRUE;
    }
    return CDialog::OnNotify(wParam, lParam, pResult);
}

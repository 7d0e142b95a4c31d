#include "controls/ScanAreaDlg.h"

#include "app/UtilityDlg.h"
#include "libs/xrtwif/tw_Interface.h"
#include "res/resource.h"

CScanAreaDlg::CScanAreaDlg(CWnd* pParent, const std::string& szWidth, const std::string& szHeight, int nUnits)
    : CDialog(IDD_SCAN_AREA, pParent), m_nUnits(nUnits), m_szWidth(szWidth), m_szHeight(szHeight)
{}

void CScanAreaDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_AREA_LEFT, m_editLeft);
    DDX_Control(pDX, IDC_AREA_TOP, m_editTop);
    DDX_Control(pDX, IDC_AREA_WIDTH, m_editWidth);
    DDX_Control(pDX, IDC_AREA_HEIGHT, m_editHeight);
    DDX_Control(pDX, IDC_AREA_UNITS, m_cbUnits);
    DDX_Control(pDX, IDC_DS_LIST, m_cbSources);
}

BOOL CScanAreaDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_editLeft.SetWindowText("0");
    m_editTop.SetWindowText("0");
    m_editWidth.SetWindowText(m_szWidth.c_str());
    m_editHeight.SetWindowText(m_szHeight.c_str());
    m_cbUnits.AddString(LoadStr(IDS_UNITS_INCH).c_str());
    m_cbUnits.AddString(LoadStr(IDS_UNITS_CM).c_str());
    m_cbUnits.SetCurSel(m_nUnits == 1 ? 1 : 0);
    FillSourceList();
    return TRUE;
}

void CScanAreaDlg::FillSourceList()
{
    m_cbSources.ResetContent();
    if (!g_pScanner)
        return;
    const char* pszName = g_pScanner->GetSelecedDS(m_hWnd);
    if (pszName && *pszName) {
        m_cbSources.AddString(pszName);
        m_cbSources.SetCurSel(0);
    }
}

BOOL CScanAreaDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_DS_CHANGE && HIWORD(wParam) == BN_CLICKED) {
        if (g_pScanner)
            g_pScanner->SelectDS(m_hWnd);
        FillSourceList();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CScanAreaDlg::OnOK()
{
    // The numbers typed are not used; only the units leave the dialog.
    m_nUnits = m_cbUnits.GetCurSel() == 1 ? 1 : 0;
    CDialog::OnOK();
}

void CUtilityDlg::OnScanArea()
{
    CScanAreaDlg dlg(this, GetDlgItemText(IDC_WIDTH_VALUE), GetDlgItemText(IDC_HEIGHT_VALUE), m_nUnits);
    if (dlg.DoModal() == IDOK)
        m_nUnits = dlg.m_nUnits;
    m_cbWidthUnits.SetCurSel(m_nUnits);
    m_cbHeightUnits.SetCurSel(m_nUnits);
}

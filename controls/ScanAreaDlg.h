// The Scan Area dialog: start point, size and units of the scan area, and the
// data source choice. Only the units leave the dialog.
#pragma once

#include "controls/NumEdit.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"

class CScanAreaDlg : public CDialog {
public:
    // szWidth and szHeight fill the size fields; nUnits selects "cm" when 1.
    CScanAreaDlg(CWnd* pParent, const std::string& szWidth, const std::string& szHeight, int nUnits);

    BOOL OnInitDialog() override;
    void OnOK() override;

    int m_nUnits; // 1 for "cm", else 0; valid after IDOK

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void FillSourceList();

    std::string m_szWidth;
    std::string m_szHeight;
    CNumEdit m_editLeft;   // 1043
    CNumEdit m_editTop;    // 1044
    CNumEdit m_editWidth;  // 1045
    CNumEdit m_editHeight; // 1033
    CComboBox m_cbUnits;   // 1046
    CComboBox m_cbSources; // 1037
};

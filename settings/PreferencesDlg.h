// The Preferences dialog: automatic saving, the Save dialog for every scan, and
// the save target that automatic saving uses.
#pragma once

#include "settings/SaveTargetDlg.h"

class CPreferencesDlg : public CSaveTargetDlg {
public:
    explicit CPreferencesDlg(CUtilityDlg* pMain);

    BOOL OnInitDialog() override;
    void OnOK() override;

    int m_nOpeningNumber = 1;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void OnAutoSaveClicked();
    void EnableTargetControls(BOOL bEnable);
};

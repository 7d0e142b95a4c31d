// The Save dialog: the save target of one save. The save commands check what
// it leaves and show it again after a failed check.
#pragma once

#include "settings/SaveTargetDlg.h"

class CSaveDlg : public CSaveTargetDlg {
public:
    explicit CSaveDlg(CUtilityDlg* pMain);

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnLocationKillFocus() override;
};

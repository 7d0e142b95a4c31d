// What the Preferences and Save dialogs share: the file type and compression
// lists, the location, file name and number fields with their checks, Browse,
// the focus after a failed check and the tooltips.
#pragma once

#include "controls/NumEdit.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"

#include <initializer_list>

class CUtilityDlg;

class CSaveTargetDlg : public CDialog {
protected:
    CSaveTargetDlg(UINT nIDTemplate, CUtilityDlg* pMain, BOOL bBeepOnBadNumber);

    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    // Location, stem, number and the two lists as the settings and the main
    // window hold them.
    void ShowTarget();
    void ShowLocation(const char* pszFolder);
    void ShowStoredStem();
    void ShowNumber(int n);
    void CreateToolTips(std::initializer_list<int> ids);
    void FillCompressionList(int nFileType);
    // Stores the chosen file type and compression in the settings.
    void StoreTypeAndCompression();
    // Hands the stem and the location to the main window, where they wait for
    // their checks, and stores the starting number at once.
    void StoreTarget();
    std::string Location() const;
    std::string Stem() const;
    int Number() const;

    virtual void OnLocationKillFocus();
    void OnFileTypeChanged();
    void OnStemKillFocus();
    void OnNumberKillFocus();
    void OnBrowse();

    CUtilityDlg* m_pMain;
    CComboBox m_cbFileType;       // 1034
    CComboBox m_cbCompression;    // 1035
    CNumEdit m_editNumber;        // 1083
    CSpinButtonCtrl m_spinNumber; // 1040
    CToolTipCtrl m_tooltip;
    char m_szBrowseFolder[256] = {};
    int m_nChosenCompression = 0;

private:
    void ApplyFocusRule();
    void RefuseLocation();
    void FocusAndSelect(int idEdit);

    BOOL m_bBeepOnBadNumber;
};

// Reading and working another process's main window: control texts and states,
// list contents, toolbar buttons, focus, mouse clicks, the scanner model key and
// settings files.
#pragma once

#include "../harness/Harness.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace mw {

typedef std::vector<unsigned char> Bytes;

// ---- controls of a window in another process -----------------------------------
std::string Text(HWND hDlg, int id);
bool Visible(HWND hDlg, int id);
bool Enabled(HWND hDlg, int id);
int CurSel(HWND hDlg, int id);
std::vector<std::string> ComboItems(HWND hDlg, int id);
std::string SelectedText(HWND hDlg, int id);
bool Dropped(HWND hDlg, int id);
int SpinPos(HWND hDlg);            // low word of UDM_GETPOS of 1114
// The up-down is set after the field's text, in the same handler: wait for it.
bool WaitSpin(HWND hDlg, int want, DWORD ms = 5000);
int FocusId(HWND hWnd);            // its control id, 0 when none
int DefaultId(HWND hDlg);          // DM_GETDEFID, 0 when none

// Toolbar 132 of the main window.
HWND ToolBar(HWND hMain);
bool ButtonEnabled(HWND hMain, int cmd);
std::string ButtonText(HWND hMain, int cmd);
RECT ButtonRect(HWND hMain, int cmd);   // in screen coordinates

// Waits until the control shows the text; the last text seen is returned.
bool WaitText(HWND hDlg, int id, const std::string& want, DWORD ms = 10000);
bool WaitFocus(HWND hDlg, int id, DWORD ms = 10000);

// ---- input ----------------------------------------------------------------------
// A left click at the centre of the rectangle part (fx, fy fractions of width and height).
void ClickAt(HWND hWnd, double fx, double fy);
void AltKey(char letter);
// Puts text into Pages to Scan as a user would: Alt+T, type, then the leaving
// key (none when 0).
void EnterPages(HWND h, const char* text, WORD leaveKey);

// ---- the scanner model key ---------------------------------------------------------
extern const char kModelKey[];

// Holds the model key for a test and puts back the value it had.
class ModelKey {
public:
    ModelKey();
    ~ModelKey();
    ModelKey(const ModelKey&) = delete;
    ModelKey& operator=(const ModelKey&) = delete;
    void SetProduct(const char* product);
    void SetValue(const char* name, const char* data);
    void DeleteValue(const char* name);

private:
    bool m_bHad = false;
    bool m_bHadValue = false;
    std::string m_product;
};

// ---- settings files --------------------------------------------------------------
const int kSettingsSize = 392;
enum SettingsOffset {
    kOffResolution = 328,
    kOffPageSize = 340,
    kOffAutoSave = 348,
    kOffOrientation = 352,
    kOffScanRange = 356,
    kOffMode = 360,
    kOffUSLocale = 388,
};
// A valid record: the defaults, save folder in the program's folder.
Bytes DefaultSettings(const std::string& folder);
int GetInt(const Bytes& b, int off);
void PutInt(Bytes& b, int off, int v);

// Starts the program on the settings file (none when empty) and waits for the main window.
HWND StartWith(harness::Program& prog, const Bytes& settings = Bytes());
// Whether this prefix's user locale is the US one (country code 1).
bool USLocale();

} // namespace mw

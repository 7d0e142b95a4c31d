// Reading and working another process's windows: control states, lists,
// toolbar buttons, focus; the scanner model key and settings files.
#pragma once

#include "Harness.h"

#include <commctrl.h>

namespace harness {

bool Visible(HWND hDlg, int id);
bool Enabled(HWND hDlg, int id);
int CurSel(HWND hDlg, int id);
std::vector<std::string> ComboItems(HWND hDlg, int id);
bool Dropped(HWND hDlg, int id);
int FocusId(HWND hWnd);   // 0 when none
int DefaultId(HWND hDlg); // 0 when none

// The main window's toolbar.
HWND ToolBar(HWND hMain);
bool ButtonEnabled(HWND hMain, int cmd);
std::string ButtonText(HWND hMain, int cmd);
RECT ButtonRect(HWND hMain, int cmd); // in screen coordinates

// Waits for what the control shows; a failure prints what it showed instead.
bool WaitText(HWND hDlg, int id, const std::string& want, DWORD ms = 5000);
bool WaitFocus(HWND hDlg, int id, DWORD ms = 5000);
// The up-down is set after the field's text, in the same handler: wait for it.
bool WaitSpin(HWND hMain, int want, DWORD ms = 5000);

void AltKey(char letter);
// Puts text into Pages to Scan as a user would: Alt+T, the field's text
// selected, the text typed, then the leaving key (none when 0).
void EnterPages(HWND hMain, const char* text, WORD leaveKey = VK_TAB);

const char kModelKey[] = "Software\\Vexel\\PagewellQX\\1.0\\Devices\\QX710/720\\Pagewell QX Devices\\VexelPagewellQX";

// Holds the model key for a test and puts back the ProductId it had (none: no key).
class ModelKey {
public:
    ModelKey();
    ~ModelKey();
    ModelKey(const ModelKey&) = delete;
    ModelKey& operator=(const ModelKey&) = delete;
    void SetProduct(const char* product) { SetValue("ProductId", product); }
    void SetValue(const char* name, const char* data);
    void DeleteValue(const char* name);

private:
    std::string m_product; // empty: there was none
};

const int kSettingsSize = 392;
// Byte offsets of the record's fields.
const int kOffFolder = 0, kOffStem = 256, kOffNumber = 324, kOffResolution = 328, kOffFileType = 332,
          kOffCompression = 336, kOffPageSize = 340, kOffAutoSave = 348, kOffOrientation = 352, kOffScanRange = 356,
          kOffMode = 360, kOffShowSave = 364, kOffFolderValid = 384, kOffUSLocale = 388;
enum { kRangeCurrentPage = 0, kRangeBatch = 1, kRangeSpecify = 4 }; // scan ranges as the file stores them

int GetInt(const Bytes& b, int off);
void PutInt(Bytes& b, int off, int v);
// A valid record: 400 dpi, A4, no automatic saving, the Save dialog shown, this
// scan range; the save folder as given (empty: none).
Bytes SettingsRecord(int scanRange = kRangeCurrentPage, const std::string& saveFolder = std::string());
bool USLocale(); // this prefix's user locale is the US one (country code 1)

// Starts the program on the settings file (none when empty) and waits for the main window.
HWND StartWith(Program& prog, const Bytes& settings = Bytes());

} // namespace harness

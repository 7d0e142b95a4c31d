// Scanning through the real Tolvix.exe: the virtual scanner's test controls,
// the page files in the work folder, what the screen shows, and a Session.
#pragma once

#include "Controls.h"

#include <stdint.h>
#include <utility>

namespace harness {

// The virtual scanner's test controls while the object lives; a name given twice takes its last value.
class ScannerControls {
public:
    typedef std::vector<std::pair<const char*, DWORD>> Values;
    ScannerControls(const Values& values);
    ~ScannerControls();
    ScannerControls(const ScannerControls&) = delete;
    ScannerControls& operator=(const ScannerControls&) = delete;
};

// How many times the virtual scanner was closed since its controls were set.
DWORD ScannerSessionsEnded();

// Gives the driver and the programs it starts from now on this temp folder (empty: the first again).
void SetWorkFolder(const std::string& folder);
std::string PagePath(int n);
bool RemovePageFiles();              // false if one stays
std::vector<int> PageFilesPresent(); // their numbers, ascending
// Another process cannot open the file at all (it is held without sharing).
bool IsHeldWithoutSharing(const std::string& path);

// Pixel size of an A4 page at 400 dpi from the virtual scanner.
void A4PageSize(int divisor, int* width, int* height);
// The page file is a BMP of a 1-bit scanned page of this size, and the system's
// own BMP loader reads the same pixels from it.
void CheckPageFile(const std::string& path, int width, int height);

// The screen's pixels over a window's client area, as 0x00RRGGBB.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> px;
    uint32_t At(int x, int y) const { return px[(size_t)y * width + x]; }
};
Pixels CaptureClient(HWND hWnd);
Pixels SettledCapture(HWND hWnd);                       // once two captures agree: painting has settled
bool SaveBmp(const Pixels& p, const std::string& path); // to look at, or to compare

// A Tolvix.exe of its own folder with a settings file, driven as a user would.
class Session {
public:
    explicit Session(const char* tag, int scanRange = kRangeBatch);
    bool Start();

    HWND Main() const { return m_hMain; }
    HWND Display() const;
    Program& Prog() { return m_prog; }

    // Alt+S and Alt+D, and other keys, with the main window in front.
    void PressScan() { KeyOnMain('S', VK_MENU); }
    void PressShowDriver() { KeyOnMain('D', VK_MENU); }
    void KeyOnMain(WORD vk, WORD modifier = 0);
    // The scan is over with this page count on show and the window usable again;
    // a failure prints what the program shows instead.
    bool WaitPagesShown(int nPages, DWORD timeoutMs = 60000);
    bool ScrollBarShown() const;
    // The window's state and the program's other windows, for a failure's message.
    std::string State();

    void Click(int x, int y, int count = 1) { ClickAt(Display(), x, y, count); } // on the display area

    // Ends the program, answering the clear confirmation if it comes.
    bool CloseAndConfirm(DWORD exitTimeoutMs = 20000);

private:
    Program m_prog;
    HWND m_hMain = nullptr;
};

} // namespace harness

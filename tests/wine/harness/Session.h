// Scanning through the real Tolvix.exe: the virtual scanner's test controls,
// the page files in the work folder, what the screen shows, and a Session.
#pragma once

#include "Controls.h"

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

namespace harness {

// The virtual scanner's test controls for as long as the object lives; a name
// given twice takes its last value.
class ScannerControls {
public:
    typedef std::vector<std::pair<const char*, DWORD>> Values;
    ScannerControls(const Values& values);
    ~ScannerControls();
    ScannerControls(const ScannerControls&) = delete;
    ScannerControls& operator=(const ScannerControls&) = delete;
};

// The program's work folder: the temp path, which it shares with the driver,
// unless a test gives the program a temp folder of its own.
std::string WorkFolder();
void SetWorkFolder(const std::string& folder);
std::string PagePath(int n);
// Removes every page file left in the work folder; false if one stays.
bool RemovePageFiles();
// Numbers of the page files present, ascending.
std::vector<int> PageFilesPresent();
// True when another process cannot open the file at all (held without sharing).
bool IsHeldWithoutSharing(const std::string& path);

// Pixel size of an A4 page at 400 dpi from the virtual scanner.
void A4PageSize(int divisor, int* width, int* height);

// Checks that a page file is a BMP of a 1-bit scanned page of the given size,
// readable by the system's own BMP loader.
void CheckPageFile(const std::string& path, int width, int height);

// The screen's pixels over a window's client area, as 0x00RRGGBB.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> px;
    uint32_t At(int x, int y) const { return px[(size_t)y * width + x]; }
};
Pixels CaptureClient(HWND hWnd);
// Waits until two captures agree (painting has settled) and returns the last.
Pixels SettledCapture(HWND hWnd);
// Writes the capture as a 24-bit BMP file (for looking at a failure).
bool SaveBmp(const Pixels& p, const std::string& path);

// A Tolvix.exe of its own folder with a settings file, driven as a user would.
class Session {
public:
    explicit Session(const char* tag, int scanRange = kRangeBatch);
    // extraEnv: "NAME=value" entries for the program's environment.
    bool Start(const std::vector<std::string>& extraEnv = {});

    HWND Main() const { return m_hMain; }
    HWND Display() const;
    Program& Prog() { return m_prog; }

    // Alt+S and Alt+D with the main window in front.
    void PressScan();
    void PressShowDriver();
    // The scan is over with this page count on show and the window usable again;
    // a failure prints what the program shows instead.
    bool WaitPagesShown(int nPages, DWORD timeoutMs = 60000);
    // The window is enabled again after a scan (whatever it shows).
    bool WaitUnlocked(DWORD timeoutMs = 60000);
    bool ScrollBarShown() const;
    // The window's state and the program's other windows, for a failure's message.
    std::string State();

    // Mouse input on the display area, in its client coordinates.
    void Click(int x, int y, int count = 1) { ClickAt(Display(), x, y, count); }
    void KeyOnMain(WORD vk);

    // Ends the program, answering the clear confirmation if it comes.
    bool CloseAndConfirm(DWORD exitTimeoutMs = 20000);

private:
    Program m_prog;
    HWND m_hMain = nullptr;
};

} // namespace harness

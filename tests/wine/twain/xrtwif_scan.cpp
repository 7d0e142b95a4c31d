// Drives Xrtwif.dll as the program does: Open, StartScan with a callback, and
// every message of its own loop through HandleMessage, against the virtual
// scanner. Each scenario sets the scanner's test controls, scans, and checks the
// callback's events, the pages and the result of StartScan.
// Usage: xrtwif_scan [EXPECTED_SOURCE_NAME]
#include "check.h"
#include "tw_Interface.h"

#include <string.h>

#include <string>
#include <vector>

namespace {

const char kScannerKey[] = "Software\\Tolvix\\VirtualScanner";

struct Scenario {
    const char* name;
    int sheets = 9;
    int jamAt = 0;
    int cancelAt = 0;
    int failAt = 0;
    int divisor = 16;
    int pages = -1;
    float dpi = 200;
    int pageSize = 1;  // A4
    int orientation = 0;
    int showUI = 0;
    int uiButton = IDOK;     // pressed in the scanner's dialog when showUI is set
    int stopAt = 0;          // the callback answers 0 for this page
    int rejectAt = 0;        // the callback answers -1 for this page
    int startResult = 0;
    int images = 0;
    unsigned long endEvent = 1;  // 0: none expected
    int endArg = 1;
    int width = 0, height = 0;  // expected page size in pixels, when nonzero
};

struct Run {
    tw_Interface* twi = nullptr;
    const Scenario* sc = nullptr;
    int images = 0;
    std::vector<std::pair<unsigned long, int>> events;
    bool ended = false;
    int badImages = 0;
    std::vector<unsigned> pageHashes;
};

Run g_run;

void SetDword(HKEY key, const char* name, int value)
{
    DWORD v = (DWORD)value;
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&v, sizeof(v));
}

void SetScanner(const Scenario& sc)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kScannerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        printf("cannot write the scanner's settings\n");
        ++g_nFailures;
        return;
    }
    SetDword(key, "Sheets", sc.sheets);
    SetDword(key, "JamAt", sc.jamAt);
    SetDword(key, "CancelAt", sc.cancelAt);
    SetDword(key, "FailAt", sc.failAt);
    SetDword(key, "PageDivisor", sc.divisor);
    RegCloseKey(key);
}

// The page must be a packed 1-bit DIB of the expected size and resolution.
bool CheckImage(void* hImage, const Scenario& sc, unsigned* hash)
{
    if (!hImage)
        return false;
    SIZE_T size = GlobalSize((HGLOBAL)hImage);
    auto* bih = (const BITMAPINFOHEADER*)GlobalLock((HGLOBAL)hImage);
    if (!bih)
        return false;
    bool ok = bih->biSize == 40 && bih->biBitCount == 1 && bih->biPlanes == 1 && bih->biHeight > 0 &&
              bih->biWidth > 0 && bih->biCompression == BI_RGB;
    DWORD stride = ((DWORD)bih->biWidth + 31) / 32 * 4;
    ok = ok && bih->biSizeImage == stride * (DWORD)bih->biHeight && size >= 40 + 8 + bih->biSizeImage;
    LONG ppm = (LONG)(sc.dpi * 10000 / 254);
    ok = ok && bih->biXPelsPerMeter == ppm && bih->biYPelsPerMeter == ppm;
    if (sc.width)
        ok = ok && bih->biWidth == sc.width && bih->biHeight == sc.height;
    unsigned h = 2166136261u;
    int ink = 0;
    if (ok) {
        const BYTE* bits = (const BYTE*)bih + 40 + 8;
        for (DWORD i = 0; i < bih->biSizeImage; ++i) {
            h = (h ^ bits[i]) * 16777619u;
            ink += bits[i] != 0xff;
        }
        ok = ink > 0;  // something is printed on every page
    }
    if (!ok)
        printf("  bad image: %ldx%ld, %u bpp, %ld ppm, ink bytes %d\n", (long)bih->biWidth, (long)bih->biHeight,
               bih->biBitCount, (long)bih->biXPelsPerMeter, ink);
    GlobalUnlock((HGLOBAL)hImage);
    *hash = h;
    return ok;
}

int ScanCallback(unsigned long nEvent, int nArg)
{
    Run& r = g_run;
    if (nEvent == TWI_EVENT_IMAGE && nArg == 1) {
        ++r.images;
        void* h = r.twi->GetScanImage();
        unsigned hash = 0;
        if (!CheckImage(h, *r.sc, &hash))
            ++r.badImages;
        r.pageHashes.push_back(hash);
        r.twi->FreeScanImage(h);
        if (r.sc->rejectAt == r.images)
            return -1;
        if (r.sc->stopAt == r.images)
            return 0;
        return 1;
    }
    r.events.push_back({nEvent, nArg});
    if (nEvent == TWI_EVENT_END || nEvent == TWI_EVENT_CLOSED)
        r.ended = true;
    return 1;
}

// Presses a button in the scanner's own dialog once it is up.
bool PressScannerButton(int id)
{
    HWND dlg = FindWindowA("#32770", "Tolvix Virtual Scanner");
    if (!dlg || !IsWindowVisible(dlg))
        return false;
    HWND button = GetDlgItem(dlg, id);
    if (!button || !IsWindowEnabled(button))
        return false;
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
    return true;
}

void RunScenario(HWND hWnd, const Scenario& sc)
{
    printf("scenario: %s\n", sc.name);
    fflush(stdout);
    int failuresBefore = g_nFailures;
    SetScanner(sc);
    tw_Interface twi;
    g_run = Run{};
    g_run.twi = &twi;
    g_run.sc = &sc;
    CHECK_EQ(twi.Open(hWnd), 0);

    __ScanSetInterface set = {};
    set.fResolutionX = sc.dpi;
    set.fResolutionY = sc.dpi;
    set.nFrame[2] = 1640;
    set.nFrame[3] = 2260;
    set.bShowUI = sc.showUI;
    set.nPages = sc.pages;
    set.nPageSize = sc.pageSize;
    set.bTrimming = sc.pageSize == 0;
    set.bMaximum = sc.pageSize == 54;
    set.nOrientation = sc.orientation;
    int rc = twi.StartScan(hWnd, ScanCallback, &set);
    CHECK_EQ(rc, sc.startResult);

    bool running = rc == 0 || (rc == TWI_ERR_NO_PAPER && sc.showUI);
    if (running) {
        CHECK_EQ(twi.StartScan(hWnd, ScanCallback, &set), TWI_ERR_SCAN_FAILED);
        DWORD deadline = GetTickCount() + 20000;
        bool pressed = false;
        SetTimer(hWnd, 1, 20, nullptr);
        MSG msg;
        while (!g_run.ended && (int)(deadline - GetTickCount()) > 0 && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (twi.HandleMessage(hWnd, &msg))
                continue;
            if (msg.message == WM_TIMER && msg.hwnd == hWnd && sc.showUI && !pressed)
                pressed = PressScannerButton(sc.uiButton);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        KillTimer(hWnd, 1);
        CHECK(g_run.ended);
        if (sc.showUI)
            CHECK(pressed);
    }
    // Nothing more may arrive once the scan has ended.
    MSG msg;
    DWORD quiet = GetTickCount() + 100;
    while ((int)(quiet - GetTickCount()) > 0) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            twi.HandleMessage(hWnd, &msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }

    CHECK_EQ(g_run.images, sc.images);
    CHECK_EQ(g_run.badImages, 0);
    if (sc.endEvent) {
        CHECK_EQ(g_run.events.size(), 1);
        if (!g_run.events.empty()) {
            CHECK_EQ(g_run.events[0].first, sc.endEvent);
            if (sc.endEvent == TWI_EVENT_END)
                CHECK_EQ(g_run.events[0].second != 0, sc.endArg != 0);
        }
    } else {
        CHECK_EQ(g_run.events.size(), 0);
    }
    for (size_t i = 1; i < g_run.pageHashes.size(); ++i)
        CHECK(g_run.pageHashes[i] != g_run.pageHashes[i - 1]);
    // The source is closed again: another scan can start at once.
    if (running || rc == TWI_ERR_NO_PAPER) {
        __ScanSetInterface bad = set;
        bad.fResolutionX = bad.fResolutionY = 123;
        CHECK_EQ(twi.StartScan(hWnd, ScanCallback, &bad), TWI_ERR_SCAN_FAILED);
    }
    twi.Close();
    printf("  %d image(s), %s\n", g_run.images, g_nFailures == failuresBefore ? "ok" : "FAILED");
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "XrtwifScanTest";
    RegisterClassA(&wc);
    HWND hWnd = CreateWindowA("XrtwifScanTest", "xrtwif_scan", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                              nullptr, wc.hInstance, nullptr);
    CHECK(hWnd != nullptr);

    {
        tw_Interface twi;
        CHECK_EQ(twi.Open(hWnd), 0);
        const char* name = twi.GetSelecedDS(hWnd);
        printf("default source: \"%s\"\n", name);
        if (argc > 1)
            CHECK(strcmp(name, argv[1]) == 0);
    }

    std::vector<Scenario> scenarios;
    Scenario s;

    s = Scenario{"feeder of 9, until empty"};
    s.images = 9;
    scenarios.push_back(s);

    s = Scenario{"count of 7 from 9 sheets"};
    s.pages = 7;
    s.images = 7;
    scenarios.push_back(s);

    s = Scenario{"one page"};
    s.pages = 1;
    s.images = 1;
    scenarios.push_back(s);

    s = Scenario{"count above the sheets: the feeder runs empty"};
    s.sheets = 3;
    s.pages = 5;
    s.images = 3;
    scenarios.push_back(s);

    // The sheets before a jam are a batch: a normal end.
    s = Scenario{"paper jam after page 3"};
    s.jamAt = 4;
    s.images = 3;
    s.endArg = 1;
    scenarios.push_back(s);

    s = Scenario{"failing transfer at page 2"};
    s.failAt = 2;
    s.images = 1;
    s.endArg = 0;
    scenarios.push_back(s);

    s = Scenario{"cancel at the scanner after page 4"};
    s.cancelAt = 5;
    s.images = 4;
    scenarios.push_back(s);

    s = Scenario{"callback stops after page 2"};
    s.stopAt = 2;
    s.images = 2;
    scenarios.push_back(s);

    s = Scenario{"callback cannot store page 3"};
    s.rejectAt = 3;
    s.images = 3;
    s.endArg = 0;
    scenarios.push_back(s);

    s = Scenario{"empty feeder"};
    s.sheets = 0;
    s.startResult = TWI_ERR_NO_PAPER;
    s.endEvent = 0;
    scenarios.push_back(s);

    s = Scenario{"resolution the scanner lacks"};
    s.dpi = 600;
    s.startResult = TWI_ERR_SCAN_FAILED;
    s.endEvent = 0;
    scenarios.push_back(s);

    s = Scenario{"page size the scanner lacks"};
    s.pageSize = 11;  // A3
    s.startResult = TWI_ERR_SCAN_FAILED;
    s.endEvent = 0;
    scenarios.push_back(s);

    s = Scenario{"show driver, cancel"};
    s.showUI = 1;
    s.uiButton = IDCANCEL;
    s.endEvent = TWI_EVENT_CLOSED;
    scenarios.push_back(s);

    s = Scenario{"show driver, scan"};
    s.showUI = 1;
    s.sheets = 4;
    s.images = 4;
    scenarios.push_back(s);

    s = Scenario{"show driver with an empty feeder, cancel"};
    s.showUI = 1;
    s.sheets = 0;
    s.uiButton = IDCANCEL;
    s.startResult = TWI_ERR_NO_PAPER;
    s.endEvent = TWI_EVENT_CLOSED;
    scenarios.push_back(s);

    // Full-size pages: A4 at 400 dpi, Letter landscape at 300, B6 at 200.
    s = Scenario{"A4 at 400 dpi"};
    s.divisor = 1;
    s.pages = 2;
    s.dpi = 400;
    s.images = 2;
    s.width = 3307;
    s.height = 4677;
    scenarios.push_back(s);

    s = Scenario{"Letter landscape at 300 dpi"};
    s.divisor = 1;
    s.pages = 1;
    s.dpi = 300;
    s.pageSize = 3;
    s.orientation = 1;
    s.images = 1;
    s.width = 3300;
    s.height = 2550;
    scenarios.push_back(s);

    s = Scenario{"B6 at 200 dpi"};
    s.divisor = 1;
    s.pages = 1;
    s.pageSize = 7;
    s.images = 1;
    s.width = 984;
    s.height = 1386;
    scenarios.push_back(s);

    for (const Scenario& sc : scenarios)
        RunScenario(hWnd, sc);

    DestroyWindow(hWnd);
    printf("%d failure(s)\n", g_nFailures);
    return g_nFailures;
}

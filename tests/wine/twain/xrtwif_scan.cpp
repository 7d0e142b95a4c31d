// Drives Xrtwif.dll as the program does: Open, StartScan with a callback, and
// every message of its own loop through HandleMessage, against the virtual
// scanner. One row per source behaviour: the scanner's test controls, the scan
// record, and what StartScan, the callback's events and the pages must be.
// Usage: xrtwif_scan [EXPECTED_SOURCE_NAME]
#include "check.h"
#include "tw_Interface.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

namespace {

const char kScannerKey[] = "Software\\Tolvix\\VirtualScanner";
const char kStallText[] = "did not start";

struct Row {
    const char* name;
    const char* controls;  // the scanner's test controls, "Name=value ..."
    int pages = -1;
    float dpi = 200;
    int pageSize = 1;  // A4
    int orientation = 0;
    int mode = 1;
    int showUI = 0;
    int uiButton = IDOK;  // pressed in the scanner's dialog when showUI is set
    int stopAt = 0;       // the callback answers 0 for this page
    int rejectAt = 0;     // the callback answers -1 for this page
    // Expected:
    int startResult = 0;
    int images = 0;
    unsigned long endEvent = TWI_EVENT_END;  // 0: none
    int endArg = 1;
    float pageDpi = 0;          // the pages' resolution when not `dpi`
    int width = 0, height = 0;  // page size in pixels, when nonzero (1 pixel of slack)
    const char* sameAs = nullptr;     // pages identical to that row's
    const char* differsFrom = nullptr;  // first page differs from that row's
    bool stallMessage = false;
};

struct Run {
    tw_Interface* twi = nullptr;
    const Row* row = nullptr;
    int images = 0;
    std::vector<std::pair<unsigned long, int>> events;
    bool ended = false;
    int badImages = 0;
    bool sawStallMessage = false;
    std::vector<unsigned> hashes;
};

Run g_run;
std::map<std::string, std::vector<unsigned>> g_hashes;

void SetScanner(const char* controls)
{
    RegDeleteKeyA(HKEY_CURRENT_USER, kScannerKey);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kScannerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        printf("cannot write the scanner's settings\n");
        ++g_nFailures;
        return;
    }
    std::string all = std::string("Sheets=9 PageDivisor=16 Seed=7 ") + controls;
    for (char* item = strtok(&all[0], " "); item; item = strtok(nullptr, " ")) {
        char* eq = strchr(item, '=');
        if (!eq)
            continue;
        *eq = 0;
        DWORD v = (DWORD)strtoul(eq + 1, nullptr, 0);
        RegSetValueExA(key, item, 0, REG_DWORD, (const BYTE*)&v, sizeof(v));
    }
    RegCloseKey(key);
}

// The page must be the one form the program takes: a packed 1-bit DIB with a
// 40-byte header, black and white table, biSizeImage filled, bottom-up rows.
bool CheckImage(void* hImage, const Row& row, unsigned* hash)
{
    if (!hImage)
        return false;
    SIZE_T size = GlobalSize((HGLOBAL)hImage);
    auto* bih = (const BITMAPINFOHEADER*)GlobalLock((HGLOBAL)hImage);
    if (!bih)
        return false;
    const BYTE* table = (const BYTE*)bih + 40;
    bool ok = bih->biSize == 40 && bih->biBitCount == 1 && bih->biPlanes == 1 && bih->biHeight > 0 &&
              bih->biWidth > 0 && bih->biCompression == BI_RGB && table[0] + table[1] + table[2] == 0 &&
              table[4] + table[5] + table[6] == 3 * 255;
    DWORD stride = ((DWORD)bih->biWidth + 31) / 32 * 4;
    ok = ok && bih->biSizeImage == stride * (DWORD)bih->biHeight && size >= 40 + 8 + bih->biSizeImage;
    LONG ppm = lround((row.pageDpi ? row.pageDpi : row.dpi) * 10000 / 254);
    ok = ok && bih->biXPelsPerMeter == ppm && bih->biYPelsPerMeter == ppm;
    if (row.width)
        ok = ok && labs(bih->biWidth - row.width) <= 1 && labs(bih->biHeight - row.height) <= 1;
    unsigned h = 2166136261u;
    int ink = 0;
    if (ok) {
        const BYTE* bits = table + 8;
        for (DWORD i = 0; i < bih->biSizeImage; ++i) {
            h = (h ^ bits[i]) * 16777619u;
            ink += bits[i] != 0xff;
        }
        ok = ink > 0;  // something is printed on every page
    }
    if (!ok)
        printf("  bad image: header %lu, %ldx%ld, %u bpp, %ld ppm, size image %lu, ink bytes %d\n",
               (unsigned long)bih->biSize, (long)bih->biWidth, (long)bih->biHeight, bih->biBitCount,
               (long)bih->biXPelsPerMeter, (unsigned long)bih->biSizeImage, ink);
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
        if (!CheckImage(h, *r.row, &hash))
            ++r.badImages;
        r.hashes.push_back(hash);
        r.twi->FreeScanImage(h);
        if (r.row->rejectAt == r.images)
            return -1;
        return r.row->stopAt == r.images ? 0 : 1;
    }
    r.events.push_back({nEvent, nArg});
    r.ended = nEvent == TWI_EVENT_END || nEvent == TWI_EVENT_CLOSED;
    return 1;
}

// Presses a button in the scanner's own dialog once it is up.
bool PressScannerButton(int id)
{
    HWND dlg = FindWindowA("#32770", "Tolvix Virtual Scanner");
    HWND button = dlg && IsWindowVisible(dlg) ? GetDlgItem(dlg, id) : nullptr;
    if (!button || !IsWindowEnabled(button))
        return false;
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
    return true;
}

// Runs inside the library's message box as well: answers the one that says
// the scanner never started.
BOOL CALLBACK AnswerStallMessage(HWND w, LPARAM)
{
    char cls[16] = {}, text[256] = {};
    GetClassNameA(w, cls, sizeof(cls));
    GetDlgItemTextA(w, 0xffff, text, sizeof(text));
    if (strcmp(cls, "#32770") == 0 && strstr(text, kStallText) && !g_run.sawStallMessage) {
        g_run.sawStallMessage = true;
        PostMessageA(w, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
}

void CALLBACK OnWatchTimer(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), AnswerStallMessage, 0);
}

void RunRow(HWND hWnd, const Row& row)
{
    printf("row: %s\n", row.name);
    fflush(stdout);
    int failuresBefore = g_nFailures;
    SetScanner(row.controls);
    tw_Interface twi;
    g_run = Run{};
    g_run.twi = &twi;
    g_run.row = &row;
    CHECK_EQ(twi.Open(hWnd), 0);

    __ScanSetInterface set = {};
    set.fResolutionX = set.fResolutionY = row.dpi;
    set.nFrame[2] = 1640;
    set.nFrame[3] = 2260;
    set.bShowUI = row.showUI;
    set.nPages = row.pages;
    set.nPageSize = row.pageSize;
    set.nMode = row.mode;
    set.bTrimming = row.pageSize == 0;
    set.bMaximum = row.pageSize == 54;
    set.nOrientation = row.orientation;
    set.nPagesToScan = row.pages > 0 ? row.pages : 1;
    int rc = twi.StartScan(hWnd, ScanCallback, &set);
    CHECK_EQ(rc, row.startResult);

    bool running = rc == 0 || (rc == TWI_ERR_NO_PAPER && row.showUI);
    UINT_PTR watch = SetTimer(hWnd, 2, 100, OnWatchTimer);
    if (running) {
        CHECK_EQ(twi.StartScan(hWnd, ScanCallback, &set), TWI_ERR_SCAN_FAILED);
        DWORD deadline = GetTickCount() + 40000;
        bool pressed = false;
        SetTimer(hWnd, 1, 20, nullptr);
        MSG msg;
        while (!g_run.ended && (int)(deadline - GetTickCount()) > 0 && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (twi.HandleMessage(hWnd, &msg))
                continue;
            if (msg.message == WM_TIMER && msg.hwnd == hWnd && msg.wParam == 1 && row.showUI && !pressed)
                pressed = PressScannerButton(row.uiButton);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        KillTimer(hWnd, 1);
        if (!g_run.ended)
            printf("  no end within 40 s: %d image(s), %u event(s)\n", g_run.images, (unsigned)g_run.events.size());
        CHECK(g_run.ended);
        if (row.showUI)
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
    KillTimer(hWnd, watch);

    CHECK_EQ(g_run.images, row.images);
    CHECK_EQ(g_run.badImages, 0);
    CHECK_EQ(g_run.sawStallMessage, row.stallMessage);
    CHECK_EQ(g_run.events.size(), row.endEvent ? 1 : 0);
    if (row.endEvent && !g_run.events.empty()) {
        CHECK_EQ(g_run.events[0].first, row.endEvent);
        if (row.endEvent == TWI_EVENT_END)
            CHECK_EQ(g_run.events[0].second != 0, row.endArg != 0);
    }
    for (size_t i = 1; i < g_run.hashes.size(); ++i)
        CHECK(g_run.hashes[i] != g_run.hashes[i - 1]);
    if (row.sameAs)
        CHECK(g_run.hashes == g_hashes[row.sameAs]);
    if (row.differsFrom)
        CHECK(!g_run.hashes.empty() && !g_hashes[row.differsFrom].empty() &&
              g_run.hashes[0] != g_hashes[row.differsFrom][0]);
    g_hashes[row.name] = g_run.hashes;
    twi.Close();
    printf("  %d image(s), %s\n", g_run.images, g_nFailures == failuresBefore ? "ok" : "FAILED");
    fflush(stdout);
}

Row R(const char* name, const char* controls, int images)
{
    Row r{name, controls};
    r.images = images;
    return r;
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

    // No saved choice: the manager's default is the first source found, Wine's
    // own camera source; the scanner must be picked all the same.
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Tolvix\\TWAINDSM", "Default Source");
    {
        tw_Interface twi;
        CHECK_EQ(twi.Open(hWnd), 0);
        const char* name = twi.GetSelecedDS(hWnd);
        printf("selected source: \"%s\"\n", name);
        if (argc > 1)
            CHECK(strcmp(name, argv[1]) == 0);
    }

    std::vector<Row> rows;
    Row r;
    auto add = [&](const Row& row) { rows.push_back(row); };

    add(R("feeder of 9, until empty", "", 9));
    r = R("count of 7 from 9 sheets", "", 7), r.pages = 7, add(r);
    r = R("one page", "", 1), r.pages = 1, add(r);
    r = R("count above the sheets: the feeder runs empty", "Sheets=3", 3), r.pages = 5, add(r);
    // Any failure after some pages leaves a batch of those pages.
    add(R("paper jam at page 4", "JamAt=4", 3));
    add(R("double feed at page 3", "DoubleFeedAt=3", 2));
    add(R("failing transfer at page 2", "FailAt=2", 1));
    add(R("close request after page 2", "CloseRequestAt=2", 2));
    add(R("cancel at the scanner at page 5", "CancelAt=5", 4));
    // Nothing scanned: the quiet end.
    r = R("failing first transfer", "FailAt=1", 0), r.endEvent = TWI_EVENT_CLOSED, add(r);
    r = R("cancel before the first page", "CancelAt=1", 0), r.endEvent = TWI_EVENT_CLOSED, add(r);
    r = R("empty feeder", "Sheets=0", 0), r.startResult = TWI_ERR_NO_PAPER, r.endEvent = 0, add(r);
    r = R("empty feeder it cannot sense", "Sheets=0 NoFeederSense=1", 0), r.endEvent = TWI_EVENT_CLOSED, add(r);
    r = R("a source that never starts", "Stall=1", 0), r.endEvent = TWI_EVENT_CLOSED, r.stallMessage = true, add(r);
    for (const char* off : {"OpenFails=23", "OpenFails=5", "OpenFails=1", "OpenFails=3"})
        r = R(off, off, 0), r.startResult = TWI_ERR_PAPER_JAM, r.endEvent = 0, add(r);
    // The callback's answers.
    r = R("callback stops after page 2", "", 2), r.stopAt = 2, add(r);
    r = R("callback cannot store page 3", "", 3), r.rejectAt = 3, r.endArg = 0, add(r);
    // The source's own dialog.
    r = R("show driver, cancel", "", 0), r.showUI = 1, r.uiButton = IDCANCEL, r.endEvent = TWI_EVENT_CLOSED, add(r);
    r = R("show driver, scan", "Sheets=4", 4), r.showUI = 1, add(r);
    r = R("show driver with an empty feeder, cancel", "Sheets=0", 0), r.showUI = 1, r.uiButton = IDCANCEL;
    r.startResult = TWI_ERR_NO_PAPER, r.endEvent = TWI_EVENT_CLOSED, add(r);
    // Values the source adjusts or lacks.
    r = R("rounding source: 400 dpi becomes 450, count only -1", "Rounding=1", 3), r.pages = 3, r.dpi = 400;
    r.pageDpi = 450, add(r);
    r = R("A4 at 200 dpi", "PageDivisor=1", 1), r.pages = 1, r.width = 1654, r.height = 2339, add(r);
    r = R("A4 on a Letter and Legal source", "PageDivisor=1 FewSizes=1", 1), r.pages = 1, r.width = 1654;
    r.height = 2339, add(r);
    r = R("Maximum on a Letter and Legal source", "PageDivisor=1 FewSizes=1", 1), r.pages = 1, r.pageSize = 54;
    r.width = 1700, r.height = 2800, add(r);
    r = R("Trimming on a Letter and Legal source", "FewSizes=1", 1), r.pages = 1, r.pageSize = 0, add(r);
    r = R("Letter landscape at 300 dpi", "PageDivisor=1", 1), r.pages = 1, r.dpi = 300, r.pageSize = 3;
    r.orientation = 1, r.width = 3300, r.height = 2550, add(r);
    r = R("Letter landscape, turned by the library", "PageDivisor=1 NoRotate=1", 1), r.pages = 1, r.dpi = 300;
    r.pageSize = 3, r.orientation = 1, r.width = 3300, r.height = 2550, r.sameAs = "Letter landscape at 300 dpi";
    add(r);
    // Every delivered form ends as the same page.
    r = R("plain pages", "", 3), r.pages = 3, add(r);
    for (const char* form : {"DibForm=1", "DibForm=2", "DibForm=4", "DibForm=8", "DibForm=16", "DibForm=31",
                             "Transfer=1", "Transfer=1 DibForm=16"})
        r = R(form, form, 3), r.pages = 3, r.sameAs = "plain pages", add(r);
    for (const char* depth : {"Depth=8", "Depth=24", "Depth=8 Transfer=1", "Depth=24 Transfer=1"})
        r = R(depth, depth, 3), r.pages = 3, add(r);
    // The three modes give three different pages.
    r = R("mode Black and White", "", 1), r.pages = 1, r.mode = 1, add(r);
    r = R("mode Text (Error Diffusion)", "", 1), r.pages = 1, r.mode = 0, r.differsFrom = "mode Black and White";
    add(r);
    r = R("mode B/W (Error Diffusion)", "", 1), r.pages = 1, r.mode = 2, r.differsFrom = "mode Text (Error Diffusion)";
    add(r);
    r = R("grey source, diffusion by the library", "Depth=8", 1), r.pages = 1, r.mode = 2;
    r.differsFrom = "mode Black and White", add(r);

    for (const Row& row : rows)
        RunRow(hWnd, row);

    DestroyWindow(hWnd);
    printf("%d failure(s)\n", g_nFailures);
    return g_nFailures;
}

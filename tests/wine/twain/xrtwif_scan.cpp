// Drives Xrtwif.dll as the program does (Open, StartScan with a callback, every message through HandleMessage)
// against the virtual scanner, whichever manager the prefix has: one row per source behaviour the program's own
// scans do not meet, with the scanner's controls, the scan record, and StartScan's answer, events and pages.
#include "../harness/Session.h"
#include "TwainTest.h"
#include "tw_Interface.h"

#include <map>

namespace {

const char kScanner[] = "Tolvix Virtual Scanner";
const char kGrey[] = "Depth=8", kColour[] = "Depth=24";

struct Row {
    const char* name;
    harness::ScannerControls::Values controls = {};
    int pages = 3, paper = 1 /* A4 */, mode = 1;
    int showUI = 0;                        // the button pressed in the scanner's dialog; 0: no dialog
    int stopAt = 0, rejectAt = 0;          // the callback answers 0 or -1 for this page
    int images = 3, start = 0, endArg = 1; // expected; endArg 0: TWI_EVENT_END says abnormal
    unsigned long end = TWI_EVENT_END;     // 0: none
    int width = 0, height = 0;             // page size in pixels, when nonzero (1 pixel of slack)
    const char* sameAs = nullptr;          // pages identical to that row's
    const char* differsFrom = nullptr;     // first page differs from that row's
};

const Row kRows[] = {
    {.name = "count above the sheets: the feeder runs empty", .controls = {{"Sheets", 3}}, .pages = 5, .images = 3},
    {.name = "failing first transfer", .controls = {{"FailAt", 1}}, .images = 0, .end = TWI_EVENT_CLOSED},
    // Whatever the opening fails with, StartScan says what it says for a scanner that is off.
    {.name = "OpenFails=5", .controls = {{"OpenFails", 5}}, .images = 0, .start = TWI_ERR_PAPER_JAM, .end = 0},
    {.name = "OpenFails=1", .controls = {{"OpenFails", 1}}, .images = 0, .start = TWI_ERR_PAPER_JAM, .end = 0},
    {.name = "OpenFails=3", .controls = {{"OpenFails", 3}}, .images = 0, .start = TWI_ERR_PAPER_JAM, .end = 0},
    {.name = "callback stops after page 2", .pages = -1, .stopAt = 2, .images = 2},
    {.name = "callback cannot store page 3", .pages = -1, .rejectAt = 3, .images = 3, .endArg = 0},
    // No paper with the source's own dialog: it stays up until Cancel.
    {.name = "show driver, no paper",
     .controls = {{"Sheets", 0}},
     .showUI = IDCANCEL,
     .images = 0,
     .start = TWI_ERR_NO_PAPER,
     .end = TWI_EVENT_CLOSED},
    // Page sizes the source lacks.
    {.name = "Maximum", .controls = {{"PageDivisor", 1}, {"FewSizes", 1}}, .paper = 54, .width = 1700, .height = 2800},
    {.name = "Trimming, few sizes", .controls = {{"FewSizes", 1}}, .paper = 0},
    // Every delivered form of a grey or colour page ends as the same page.
    {.name = kGrey, .controls = {{"Depth", 8}}},
    {.name = "Depth=8 DibForm=8", .controls = {{"Depth", 8}, {"DibForm", 8}}, .sameAs = kGrey},
    {.name = "Depth=8 Transfer=1", .controls = {{"Depth", 8}, {"Transfer", 1}}, .sameAs = kGrey},
    {.name = kColour, .controls = {{"Depth", 24}}},
    {.name = "Depth=24 Transfer=1", .controls = {{"Depth", 24}, {"Transfer", 1}}, .sameAs = kColour},
    // From a grey source the library makes black and white by the mode's own method.
    {.name = "grey source, diffusion here", .controls = {{"Depth", 8}}, .mode = 2, .differsFrom = kGrey},
};

HWND g_hWnd;
struct Run {
    tw_Interface* twi;
    const Row* row;
    int images = 0;
    std::vector<std::pair<unsigned long, int>> events = {}; // all but the images
    std::vector<unsigned> hashes = {};
} g_run = {nullptr, nullptr};
std::map<std::string, std::vector<unsigned>> g_hashes;

int ScanCallback(unsigned long nEvent, int nArg)
{
    if (nEvent == TWI_EVENT_IMAGE && nArg == 1) {
        void* h = g_run.twi->GetScanImage();
        unsigned hash = 0;
        CHECK(CheckDib((HGLOBAL)h, g_run.row->width, g_run.row->height, 200, 1, &hash));
        g_run.hashes.push_back(hash);
        g_run.twi->FreeScanImage(h);
        ++g_run.images;
        return g_run.row->rejectAt == g_run.images ? -1 : g_run.row->stopAt == g_run.images ? 0 : 1;
    }
    g_run.events.push_back({nEvent, nEvent == TWI_EVENT_END && nArg != 0});
    return 1;
}

void RunRow(const Row& row)
{
    harness::ScannerControls::Values controls = {{"Sheets", 9}, {"PageDivisor", 16}, {"Seed", 7}};
    controls.insert(controls.end(), row.controls.begin(), row.controls.end());
    harness::ScannerControls scanner(controls);
    tw_Interface twi;
    g_run = Run{&twi, &row};
    CHECK_EQ(twi.Open(g_hWnd), 0);
    __ScanSetInterface set = {};
    set.fResolutionX = set.fResolutionY = 200, set.nFrame[2] = 1640, set.nFrame[3] = 2260;
    set.bShowUI = row.showUI != 0, set.nPages = row.pages, set.nPageSize = row.paper, set.nMode = row.mode;
    set.bTrimming = row.paper == 0, set.bMaximum = row.paper == 54;
    set.nPagesToScan = row.pages > 0 ? row.pages : 1;
    int rc = twi.StartScan(g_hWnd, ScanCallback, &set);
    CHECK_EQ(rc, row.start);

    auto route = [&](MSG& msg) { return twi.HandleMessage(g_hWnd, &msg) != 0; };
    if (rc == 0 || (rc == TWI_ERR_NO_PAPER && row.showUI)) {
        CHECK_EQ(twi.StartScan(g_hWnd, ScanCallback, &set), TWI_ERR_SCAN_FAILED);
        // The scanner's own dialog is answered once it is up and its button enabled (posted: the focus does not matter).
        bool pressed = !row.showUI;
        auto done = [&] {
            HWND dlg = pressed ? nullptr : FindWindowA("#32770", kScanner);
            HWND button = dlg && IsWindowVisible(dlg) ? GetDlgItem(dlg, row.showUI) : nullptr;
            if (button && IsWindowEnabled(button)) {
                harness::ClickButton(dlg, row.showUI);
                pressed = true;
            }
            return !g_run.events.empty();
        };
        bool ended = PumpUntil(route, done, 40000);
        harness::Check(ended, "the scan ends within 40 s", std::to_string(g_run.images) + " image(s)");
        CHECK(pressed);
    }
    // Nothing more may arrive once the scan has ended: what is queued still goes through the library.
    PumpUntil(
        route, [] { return HIWORD(GetQueueStatus(QS_ALLINPUT)) == 0; }, 5000);

    CHECK_EQ(g_run.images, row.images);
    std::vector<std::pair<unsigned long, int>> want; // the one end event, and for TWI_EVENT_END whether normal
    if (row.end)
        want.push_back({row.end, row.end == TWI_EVENT_END && row.endArg});
    harness::Check(g_run.events == want, "the end event", std::to_string(g_run.events.size()) + " event(s)");
    for (size_t i = 1; i < g_run.hashes.size(); ++i)
        CHECK(g_run.hashes[i] != g_run.hashes[i - 1]);
    if (row.sameAs)
        CHECK(g_run.hashes == g_hashes[row.sameAs]);
    if (row.differsFrom)
        CHECK(!g_run.hashes.empty() && !g_hashes[row.differsFrom].empty() &&
              g_run.hashes[0] != g_hashes[row.differsFrom][0]);
    g_hashes[row.name] = g_run.hashes;
    twi.Close();
}

std::string Selected(tw_Interface& twi)
{
    const char* name = twi.GetSelecedDS(g_hWnd);
    return name ? name : "(null)";
}

// Open and close as at start-up and shut-down; before Open and after Close every call is harmless. No choice is
// saved, so the manager's default may be another source (Wine's own camera): ours is picked all the same.
void OpenAndClose()
{
    tw_Interface twi;
    MSG msg = {g_hWnd, WM_MOUSEMOVE, 0, 0, 0, {0, 0}};
    CHECK_EQ(Selected(twi), "");
    CHECK_EQ(twi.HandleMessage(g_hWnd, &msg), 0);
    twi.Close();
    CHECK_EQ(twi.Open(g_hWnd), 0);
    CHECK_EQ(Selected(twi), kScanner);
    CHECK_EQ(twi.HandleMessage(g_hWnd, &msg), 0);
    twi.Close();
    twi.Close();
    CHECK_EQ(Selected(twi), "");
    CHECK_EQ(twi.Open(g_hWnd), 0); // again after a close; the destructor closes it
}

} // namespace

int main(int argc, char** argv)
{
    g_hWnd = CreateWindowA("STATIC", "xrtwif_scan", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    std::vector<harness::Case> cases = {{"open and close", OpenAndClose}};
    for (const Row& row : kRows) // in order: a row compares its pages with rows before it
        cases.push_back({row.name, [&row] { RunRow(row); }});
    return harness::RunCases(argc, argv, cases);
}

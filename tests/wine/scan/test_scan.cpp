// Scans through the real Tolvix.exe, our source manager and the virtual scanner,
// pressed as a user presses them: what the window shows and which page files the
// work folder holds, for every way a scan can end.
#include "../harness/Session.h"

#include <commctrl.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <memory>

using namespace harness;

namespace {

const char kSourceCaption[] = "Tolvix Virtual Scanner";

// What the window shows and which page files are held with n pages scanned: the
// page controls live and the options locked until Clear, or the no-pages state.
void ExpectState(Session& s, int n)
{
    HWND h = s.Main();
    CHECK(::IsWindowEnabled(h));
    CHECK_EQ(Text(h, IDC_PAGE_TOTAL), "/ " + std::to_string(n));
    CHECK_EQ(Text(h, IDC_SHOW_PAGE), std::string(n ? "1" : "0"));
    CHECK_EQ(Enabled(h, IDC_SHOW_PAGE), n > 0);
    CHECK_EQ(s.ScrollBarShown(), n > 4);
    if (n)
        CHECK(Enabled(h, IDC_ACTUAL_SIZE));
    CHECK_EQ(ButtonEnabled(h, ID_CMD_CLEAR), n > 0);
    CHECK_EQ(ButtonEnabled(h, ID_CMD_SAVE), n > 0);
    CHECK_EQ(ButtonEnabled(h, ID_CMD_PREFERENCES), n == 0);
    CHECK(ButtonEnabled(h, ID_CMD_SCAN) && ButtonEnabled(h, ID_CMD_SHOW_DRIVER));
    std::vector<int> expected;
    for (int i = 1; i <= n; ++i)
        expected.push_back(i);
    CHECK(PageFilesPresent() == expected);
    for (int i = 1; i <= n; ++i)
        if (!IsHeldWithoutSharing(PagePath(i))) {
            CHECK_EQ(PagePath(i), std::string("held without sharing"));
            break;
        }
}

// Presses Show Driver and waits for the scanner's own dialog (null when none came),
// pressing its button answer when nonzero.
HWND OpenSourceDialog(Session& s, int answer = 0)
{
    s.PressShowDriver();
    std::vector<HWND> found;
    CHECK(WaitFor(
        [&] {
            found = ProcessWindows(s.Prog().Pid(), kSourceCaption);
            return !found.empty();
        },
        10000));
    if (!found.empty() && answer)
        ClickButton(found[0], answer);
    return found.empty() ? nullptr : found[0];
}

// Presses Scan over a batch on screen and answers the question that comes first.
HWND ScanAgainAnswering(Session& s, int button)
{
    s.PressScan();
    HWND hAsk = s.Prog().WaitDialogWithText("Scanned images will be cleared");
    CHECK(hAsk != nullptr);
    ClickButton(hAsk, button);
    return hAsk;
}

// A batch on screen: Scan asks first; Cancel keeps it, OK replaces it.
void RescanAsksFirst()
{
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 30}, {"PageDivisor", 4}});
    Session s("rescan", kRangeSpecify);
    CHECK(s.Start());
    EnterPages(s.Main(), "6");
    s.PressScan();
    CHECK(s.WaitPagesShown(6));

    HWND hAsk = ScanAgainAnswering(s, IDCANCEL);
    CHECK(WaitFor([&] { return !::IsWindow(hAsk); }, 10000));
    CHECK(WaitFor([&] { return ::IsWindowEnabled(s.Main()) != FALSE; }, 10000));
    ExpectState(s, 6);

    CHECK(!Enabled(s.Main(), IDC_PAGES_TO_SCAN));
    ScanAgainAnswering(s, IDOK);
    // The same count again: pages 1..6 are new files of the second batch.
    CHECK(WaitFor([&] { return !::IsWindowEnabled(s.Main()); }, 10000) || s.WaitPagesShown(6, 0));
    CHECK(s.WaitPagesShown(6));
    ExpectState(s, 6);
    s.Prog().Kill();
    int w, h;
    A4PageSize(4, &w, &h);
    for (int n = 1; n <= 6; ++n)
        CheckPageFile(PagePath(n), w, h);
    CHECK(RemovePageFiles());
}

void ShowDriverCancel()
{
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 9}, {"PageDivisor", 4}});
    Session s("driver", kRangeBatch);
    CHECK(s.Start());
    HWND hSource = OpenSourceDialog(s);
    CHECK(!::IsWindowEnabled(s.Main()));
    for (int id : {ID_CMD_CLEAR, ID_CMD_SCAN, ID_CMD_SAVE, ID_CMD_PREFERENCES, ID_CMD_SHOW_DRIVER})
        CHECK(!ButtonEnabled(s.Main(), id));
    if (hSource) {
        CHECK(DialogText(hSource).find("Sheets in the feeder: 9") != std::string::npos);
        ClickButton(hSource, IDCANCEL);
    }
    CHECK(s.WaitPagesShown(0));
    CHECK(WaitFor([&] { return ProcessWindows(s.Prog().Pid(), kSourceCaption).empty(); }, 10000));
    ExpectState(s, 0);
    CHECK(s.Prog().CloseNormally());
}

// A page file the program cannot create: the scan stops, the pages already
// stored are deleted, message 4002 is shown and the program ends. The preview
// drawn before the failure is still on the screen then, with Scan; Show Driver
// draws none.
void UnwritablePage(bool bDriver)
{
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 9}, {"PageDivisor", 8}});
    HANDLE hBlock = ::CreateFileA(PagePath(3).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(hBlock != INVALID_HANDLE_VALUE);
    Session s(bDriver ? "faildriver" : "failscan", kRangeBatch);
    CHECK(s.Start());
    if (bDriver)
        OpenSourceDialog(s, IDOK);
    else
        s.PressScan();
    HWND hBox = s.Prog().WaitDialogWithText("Running out of memory.");
    CHECK(hBox != nullptr);
    CHECK(s.Prog().Running());
    CHECK_EQ(WindowText(hBox), std::string("Pagewell Utility"));
    CHECK(DialogText(hBox).find("Failed to scan images.The scanner utility will be closed.") != std::string::npos);
    // Pages 1 and 2 were stored and are gone again; page 3 is still ours.
    CHECK(PageFilesPresent() == std::vector<int>{3});

    // What the area shows outside the message box, once whatever covered it
    // (the scanner's own dialog) has been painted over.
    RECT rcBox;
    ::GetWindowRect(hBox, &rcBox);
    Pixels shown;
    size_t dark = 0, white = 0, seen = 0;
    WaitFor(
        [&] {
            shown = CaptureClient(s.Display());
            dark = white = seen = 0;
            for (int y = 0; y < shown.height; ++y)
                for (int x = 0; x < shown.width; ++x) {
                    POINT pt = {x, y};
                    ::ClientToScreen(s.Display(), &pt);
                    if (::PtInRect(&rcBox, pt))
                        continue;
                    ++seen;
                    uint32_t c = shown.At(x, y);
                    dark += c == 0;
                    white += c == 0xFFFFFF;
                }
            return seen > 1000 && dark + white == seen;
        },
        10000);
    CHECK(seen > 1000);
    CHECK(dark + white == seen);
    // Show Driver drew no preview; Scan's is still there.
    CHECK_EQ(std::string(dark > 50 ? "preview" : dark ? "some" : "none"), std::string(bDriver ? "none" : "preview"));

    ClickButton(hBox, IDOK);
    CHECK(s.Prog().WaitExit());
    CHECK(PageFilesPresent() == std::vector<int>{3});
    ::CloseHandle(hBlock);
    CHECK(RemovePageFiles());
}

// One row per way a scanner behaves that the user meets: the scanner's test
// controls, the options in the settings file, and what comes of a Scan.
enum How { kAltS, kToolbar, kDriverOk };
struct SourceRow {
    const char* tag;
    ScannerControls::Values controls;
    int range = kRangeCurrentPage;
    const char* pagesToScan = nullptr; // typed when the range is Specify
    int resolution = 0;                // index: 0 = 200 dpi, 1 = 400, 2 = 300
    int pageSize = 1;                  // A4
    int orientation = 0;
    int mode = 1;
    How how = kAltS;
    // Expected:
    int pages = 1;                 // pages kept; 0: the no-pages state
    const char* message = nullptr; // a message box with this text comes first
    int dpi = 200;
    int width = 0, height = 0;    // of every page, when nonzero
    const char* sameAs = nullptr; // page 1 has the same pixels as that row's
    const char* differsFrom = nullptr;
    bool noSavedDefault = false; // the manager's default is then the first source found
    bool closeAsks = false;      // closing asks first and deletes the page files
};

std::map<std::string, Bytes> g_firstPage;

// Without the saved choice the manager's default is Wine's own camera source,
// the first one in every prefix; the program must still open the scanner.
class NoSavedDefault {
public:
    NoSavedDefault()
    {
        DWORD size = sizeof m_sz;
        m_bHad = ::RegGetValueA(HKEY_CURRENT_USER, kManagerKey, kDefault, RRF_RT_REG_SZ, nullptr, m_sz, &size) ==
                 ERROR_SUCCESS;
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kManagerKey, kDefault);
    }
    ~NoSavedDefault()
    {
        if (m_bHad)
            ::RegSetKeyValueA(HKEY_CURRENT_USER, kManagerKey, kDefault, REG_SZ, m_sz, (DWORD)strlen(m_sz) + 1);
    }

private:
    static constexpr const char* kManagerKey = "Software\\Tolvix\\TWAINDSM";
    static constexpr const char* kDefault = "Default Source";
    char m_sz[256] = {};
    bool m_bHad = false;
};

// The pixel rows of a page file, after checking it is the 1-bit page the
// program writes, at the row's size and resolution.
Bytes PageRows(const std::string& path, const SourceRow& row)
{
    Bytes b;
    CHECK(ReadFileBytes(path, b));
    if (b.size() < 62)
        return {};
    int w = GetInt(b, 18), h = GetInt(b, 22);
    if (row.width && (abs(w - row.width) > 1 || abs(h - row.height) > 1))
        CHECK_EQ(path + " " + std::to_string(w) + " x " + std::to_string(h), std::string("of the row's size"));
    CheckPageFile(path, w, h);
    const int ppm = (int)lround(row.dpi * 10000.0 / 254.0);
    CHECK_EQ(GetInt(b, 38), ppm);
    CHECK_EQ(GetInt(b, 42), ppm);
    return Bytes(b.begin() + 62, b.end());
}

// Clicks the toolbar's Scan button; the buttons sit side by side from the left,
// Clear then Scan.
void ClickScanButton(Session& s)
{
    HWND hTb = ToolBar(s.Main());
    DWORD size = (DWORD)::SendMessageA(hTb, TB_GETBUTTONSIZE, 0, 0);
    RECT rc = {};
    ::GetClientRect(hTb, &rc);
    ClickAt(hTb, LOWORD(size) * 3 / 2, rc.bottom / 2);
}

void ScanWithSource(const SourceRow& row)
{
    CHECK(RemovePageFiles());
    ScannerControls::Values controls = {{"Sheets", 9}, {"PageDivisor", 4}, {"Seed", 11}};
    controls.insert(controls.end(), row.controls.begin(), row.controls.end());
    ScannerControls scanner(controls);
    std::unique_ptr<NoSavedDefault> noDefault(row.noSavedDefault ? new NoSavedDefault : nullptr);
    Session s(row.tag, row.range);
    Bytes settings = SettingsRecord(row.range);
    PutInt(settings, kOffResolution, row.resolution);
    PutInt(settings, kOffPageSize, row.pageSize);
    PutInt(settings, kOffOrientation, row.orientation);
    PutInt(settings, kOffMode, row.mode);
    CHECK(WriteFileBytes(s.Prog().SettingsPath(), settings));
    CHECK(s.Start());
    if (row.closeAsks)
        ExpectState(s, 0);
    if (row.pagesToScan)
        EnterPages(s.Main(), row.pagesToScan);
    if (row.how == kToolbar)
        ClickScanButton(s);
    else if (row.how == kDriverOk)
        OpenSourceDialog(s, IDOK);
    else
        s.PressScan();
    if (row.message) {
        HWND hBox = s.Prog().WaitDialogWithText(row.message, 40000);
        CHECK(hBox != nullptr);
        if (hBox)
            ClickButton(hBox, IDOK);
    }
    if (row.pages) {
        CHECK(s.WaitPagesShown(row.pages, 40000));
        ExpectState(s, row.pages);
    } else {
        CHECK(WaitFor(
            [&] {
                return ::IsWindowEnabled(s.Main()) && ButtonEnabled(s.Main(), ID_CMD_SCAN) &&
                       ButtonEnabled(s.Main(), ID_CMD_SHOW_DRIVER) && ButtonEnabled(s.Main(), ID_CMD_PREFERENCES);
            },
            40000, [&] { return s.State(); }));
        ExpectState(s, 0);
    }
    CHECK(s.Prog().Running());
    if (row.closeAsks) {
        CHECK(s.CloseAndConfirm());
        CHECK(PageFilesPresent().empty());
        return;
    }
    s.Prog().Kill();
    Bytes last;
    for (int n = 1; n <= row.pages; ++n) {
        last = PageRows(PagePath(n), row);
        if (n == 1)
            g_firstPage[row.tag] = last;
    }
    // Every page is a page of its own.
    if (row.pages > 1)
        CHECK(g_firstPage[row.tag] != last);
    if (row.sameAs)
        CHECK(g_firstPage[row.tag] == g_firstPage[row.sameAs]);
    if (row.differsFrom)
        CHECK(g_firstPage[row.tag] != g_firstPage[row.differsFrom]);
    CHECK(RemovePageFiles());
}

std::vector<SourceRow> SourceRows()
{
    std::vector<SourceRow> rows;
    SourceRow r;
    auto row = [&](const char* tag, const ScannerControls::Values& controls, int pages) {
        r = SourceRow{tag, controls};
        r.pages = pages;
        r.range = kRangeBatch;
        return &r;
    };
    // The three ways to start a scan, and the three scan ranges.
    row("current_page", {}, 1), r.range = kRangeCurrentPage, r.closeAsks = true, rows.push_back(r);
    row("specify_7", {}, 7), r.range = kRangeSpecify, r.pagesToScan = "7", rows.push_back(r);
    row("batch_9", {}, 9), r.how = kToolbar, rows.push_back(r);
    row("show_driver_scan", {{"Sheets", 5}}, 5), r.how = kDriverOk, rows.push_back(r);
    // The pages before any failure at the scanner are the batch.
    row("jam_at_4", {{"JamAt", 4}}, 3), rows.push_back(r);
    row("cancel_at_5", {{"CancelAt", 5}}, 4), rows.push_back(r);
    row("fail_at_2", {{"FailAt", 2}}, 1), rows.push_back(r);
    row("double_feed_at_3", {{"DoubleFeedAt", 3}}, 2), rows.push_back(r);
    row("close_request_at_2", {{"CloseRequestAt", 2}}, 2), rows.push_back(r);
    // Nothing scanned: the window offers a new scan, with the truth where it helps.
    row("cancel_at_1", {{"CancelAt", 1}}, 0), rows.push_back(r);
    row("empty_feeder", {{"Sheets", 0}}, 0), rows.push_back(r);
    row("empty_feeder_unsensed", {{"Sheets", 0}, {"NoFeederSense", 1}}, 0), rows.push_back(r);
    row("scanner_off", {{"OpenFails", 23}}, 0), r.message = "scanner connection is proper", rows.push_back(r);
    row("never_starts", {{"Stall", 1}}, 0), r.message = "did not start", rows.push_back(r);
    // Values the source adjusts or lacks.
    row("rounding_specify_3", {{"Rounding", 1}}, 3), r.range = kRangeSpecify, r.pagesToScan = "3";
    r.resolution = 1, r.dpi = 450, rows.push_back(r);
    row("a4", {{"PageDivisor", 1}}, 1), r.range = kRangeCurrentPage, r.width = 1654, r.height = 2339;
    rows.push_back(r);
    row("a4_on_letter_legal", {{"PageDivisor", 1}, {"FewSizes", 1}}, 1), r.range = kRangeCurrentPage;
    r.width = 1654, r.height = 2339, rows.push_back(r);
    row("landscape", {{"PageDivisor", 1}}, 1), r.range = kRangeCurrentPage, r.pageSize = 3, r.orientation = 1;
    r.width = 2200, r.height = 1700, rows.push_back(r);
    row("landscape_not_rotating", {{"PageDivisor", 1}, {"NoRotate", 1}}, 1), r.range = kRangeCurrentPage;
    r.pageSize = 3, r.orientation = 1, r.width = 2200, r.height = 1700, r.sameAs = "landscape", rows.push_back(r);
    // Whatever form the pages come in, the page files are the same.
    row("plain", {{"Sheets", 2}}, 2), rows.push_back(r);
    row("no_saved_default", {{"Sheets", 2}}, 2), r.noSavedDefault = true, r.sameAs = "plain", rows.push_back(r);
    row("DibForm=31", {{"Sheets", 2}, {"DibForm", 31}}, 2), r.sameAs = "plain", rows.push_back(r);
    row("Transfer=1", {{"Sheets", 2}, {"Transfer", 1}}, 2), r.sameAs = "plain", rows.push_back(r);
    row("Depth=8", {{"Sheets", 2}, {"Depth", 8}}, 2), rows.push_back(r);
    row("Depth=24", {{"Sheets", 2}, {"Depth", 24}}, 2), rows.push_back(r);
    // The three modes give three different pages.
    row("mode_text", {}, 1), r.range = kRangeCurrentPage, r.mode = 0, rows.push_back(r);
    row("mode_bw", {}, 1), r.range = kRangeCurrentPage, r.mode = 1, r.differsFrom = "mode_text", rows.push_back(r);
    row("mode_bw_diffusion", {}, 1), r.range = kRangeCurrentPage, r.mode = 2, r.differsFrom = "mode_bw";
    rows.push_back(r);
    return rows;
}

// The work folder on a small file system of its own (TOLVIX_FULL_DISK, set up by
// full-disk.sh): the disk fills while page 4 is written. Message 4002 comes, the
// program ends and no page file is left, not even part of one.
void FullDisk()
{
    const char* unixFolder = getenv("TOLVIX_FULL_DISK");
    CHECK(unixFolder != nullptr);
    if (!unixFolder)
        return;
    ScannerControls scanner({{"Sheets", 9}, {"PageDivisor", 4}});
    Session s("fulldisk", kRangeBatch);
    SetWorkFolder(WindowsPath(unixFolder));
    CHECK(s.Start());
    s.PressScan();
    HWND hBox = s.Prog().WaitDialogWithText("Running out of memory.");
    CHECK(hBox != nullptr);
    CHECK(PageFilesPresent().empty());
    WIN32_FIND_DATAA fd;
    HANDLE hFind = ::FindFirstFileA((WorkFolder() + "*").c_str(), &fd);
    int entries = 0;
    if (hFind != INVALID_HANDLE_VALUE) {
        do
            entries += strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0;
        while (::FindNextFileA(hFind, &fd));
        ::FindClose(hFind);
    }
    CHECK_EQ(entries, 0);
    if (hBox)
        ClickButton(hBox, IDOK);
    CHECK(s.Prog().WaitExit());
    CHECK(PageFilesPresent().empty());
    SetWorkFolder("");
}

// The most pages one batch takes: the 30000th is stored, then the program tells
// the scanner to stop. The scanner would fail a 30001st transfer, which would end
// the scan abnormally and throw the batch away. All 30000 files are held at once.
void ThirtyThousand()
{
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 30010}, {"PageDivisor", 100}, {"FailAt", 30001}});
    Session s("limit", kRangeBatch);
    CHECK(s.Start());
    DWORD start = ::GetTickCount();
    s.PressScan();
    CHECK(s.WaitPagesShown(30000, 400000));
    printf("  30000 pages in %lu ms\n", (unsigned long)(::GetTickCount() - start));
    CHECK_EQ(Text(s.Main(), IDC_SHOW_PAGE), std::string("1"));
    std::vector<int> present = PageFilesPresent();
    CHECK_EQ(present.size(), (size_t)30000);
    CHECK(!present.empty() && present.front() == 1 && present.back() == 30000);
    int notHeld = 0;
    for (int n = 1; n <= 30000; ++n)
        notHeld += !IsHeldWithoutSharing(PagePath(n));
    CHECK_EQ(notHeld, 0);
    // Closing deletes every page file, one by one.
    start = ::GetTickCount();
    CHECK(s.CloseAndConfirm(400000));
    printf("  closed with 30000 pages in %lu ms\n", (unsigned long)(::GetTickCount() - start));
    CHECK(PageFilesPresent().empty());
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<Case> cases = {
        {"rescan_asks_first", RescanAsksFirst},
        {"show_driver_cancel", ShowDriverCancel},
        {"unwritable_page_scan", [] { UnwritablePage(false); }},
        {"unwritable_page_driver", [] { UnwritablePage(true); }},
    };
    static const std::vector<SourceRow> rows = SourceRows();
    for (const SourceRow& row : rows)
        cases.push_back({row.tag, [&row] { ScanWithSource(row); }});
    // Only when asked for: it needs a small file system mounted for it.
    if (argc > 1) {
        cases.push_back({"full_disk", FullDisk});
        cases.push_back({"limit_30000", ThirtyThousand});
    }
    return RunCases(argc, argv, cases);
}

// Scans through the real Tolvix.exe, our source manager and the virtual scanner,
// pressed as a user presses them: what the window shows and which page files the
// work folder holds, for every way a scan can end.
#include "../harness/Session.h"

#include <commctrl.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <memory>
#include <numeric>

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
    std::vector<int> expected(n);
    std::iota(expected.begin(), expected.end(), 1);
    CHECK(PageFilesPresent() == expected);
    for (int i = 1; i <= n; ++i)
        CHECK(IsHeldWithoutSharing(PagePath(i)));
}

// One row per way a scan goes that the user meets: the scanner's test controls,
// the options in the settings file, how the scan is started, and what comes of it.
enum How { kAltS, kToolbar, kDriverOk, kDriverCancel };
struct SourceRow {
    const char* tag;
    ScannerControls::Values controls = {};
    int range = kRangeBatch;
    const char* pagesToScan = nullptr; // typed, with the range Specify
    int resolution = 0;                // index: 0 = 200 dpi, 1 = 400, 2 = 300
    bool landscape = false;            // Letter landscape, else A4 portrait
    int mode = 1;
    How how = kAltS;
    // Expected:
    int pages = 1;                 // pages kept; 0: the no-pages state
    const char* message = nullptr; // a message box with this text comes first
    int dpi = 200;
    int size[2] = {};             // of every page, scanned whole (PageDivisor 1), when nonzero
    const char* sameAs = nullptr; // page 1 has the same pixels as that row's
    const char* differsFrom = nullptr;
    bool noSavedDefault = false; // the manager's default is then the first source found
    bool closeAsks = false;      // closing asks first and deletes the page files
    bool rescan = false;         // Scan again asks first: Cancel keeps the batch, OK scans anew
    DWORD timeoutMs = 40000;     // for the scan, and for closing
};

const SourceRow kRows[] = {
    // The ways to start a scan, and the three scan ranges.
    {.tag = "current_page", .range = kRangeCurrentPage, .closeAsks = true},
    {.tag = "specify_7", .pagesToScan = "7", .pages = 7},
    {.tag = "batch_9", .how = kToolbar, .pages = 9},
    {.tag = "show_driver_scan", .controls = {{"Sheets", 5}}, .how = kDriverOk, .pages = 5},
    {.tag = "show_driver_cancel", .how = kDriverCancel, .pages = 0},
    {.tag = "rescan_asks_first", .controls = {{"Sheets", 30}}, .pagesToScan = "6", .pages = 6, .rescan = true},
    // The pages before any failure at the scanner are the batch.
    {.tag = "jam_at_4", .controls = {{"JamAt", 4}}, .pages = 3},
    {.tag = "cancel_at_5", .controls = {{"CancelAt", 5}}, .pages = 4},
    {.tag = "fail_at_2", .controls = {{"FailAt", 2}}, .pages = 1},
    {.tag = "double_feed_at_3", .controls = {{"DoubleFeedAt", 3}}, .pages = 2},
    {.tag = "close_request_at_2", .controls = {{"CloseRequestAt", 2}}, .pages = 2},
    // Nothing scanned: the window offers a new scan, with the truth where it helps.
    {.tag = "cancel_at_1", .controls = {{"CancelAt", 1}}, .pages = 0},
    {.tag = "empty_feeder", .controls = {{"Sheets", 0}}, .pages = 0},
    {.tag = "empty_feeder_unsensed", .controls = {{"Sheets", 0}, {"NoFeederSense", 1}}, .pages = 0},
    {.tag = "scanner_off", .controls = {{"OpenFails", 23}}, .pages = 0, .message = "scanner connection is proper"},
    {.tag = "never_starts", .controls = {{"Stall", 1}}, .pages = 0, .message = "did not start"},
    // Values the source adjusts or lacks.
    {.tag = "rounding_specify_3", .controls = {{"Rounding", 1}}, .pagesToScan = "3", .resolution = 1, .pages = 3, .dpi = 450},
    {.tag = "a4", .range = kRangeCurrentPage, .size = {1654, 2339}},
    {.tag = "a4_on_letter_legal", .controls = {{"FewSizes", 1}}, .range = kRangeCurrentPage, .size = {1654, 2339}},
    {.tag = "landscape", .range = kRangeCurrentPage, .landscape = true, .size = {2200, 1700}},
    {.tag = "landscape_not_rotating",
     .controls = {{"NoRotate", 1}},
     .range = kRangeCurrentPage,
     .landscape = true,
     .size = {2200, 1700},
     .sameAs = "landscape"},
    // Whatever form the pages come in, the page files are the same.
    {.tag = "plain", .controls = {{"Sheets", 2}}, .pages = 2},
    {.tag = "no_saved_default", .controls = {{"Sheets", 2}}, .pages = 2, .sameAs = "plain", .noSavedDefault = true},
    {.tag = "DibForm=31", .controls = {{"Sheets", 2}, {"DibForm", 31}}, .pages = 2, .sameAs = "plain"},
    {.tag = "Transfer=1", .controls = {{"Sheets", 2}, {"Transfer", 1}}, .pages = 2, .sameAs = "plain"},
    {.tag = "Depth=8", .controls = {{"Sheets", 2}, {"Depth", 8}}, .pages = 2},
    {.tag = "Depth=24", .controls = {{"Sheets", 2}, {"Depth", 24}}, .pages = 2},
    // The three modes give three different pages.
    {.tag = "mode_text", .range = kRangeCurrentPage, .mode = 0},
    {.tag = "mode_bw", .range = kRangeCurrentPage, .mode = 1, .differsFrom = "mode_text"},
    {.tag = "mode_bw_diffusion", .range = kRangeCurrentPage, .mode = 2, .differsFrom = "mode_bw"},
    // The most pages one batch takes, all held at once (run only when asked for: many_pages.sh raises the
    // descriptor limit for it). The 30000th is stored, then the program tells the scanner to stop: a 30001st
    // transfer would fail, end the scan abnormally and throw the batch away. Closing deletes them one by one.
    {.tag = "limit_30000",
     .controls = {{"Sheets", 30010}, {"PageDivisor", 100}, {"FailAt", 30001}},
     .pages = 30000,
     .closeAsks = true,
     .timeoutMs = 400000},
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
    if (row.size[0] && (abs(w - row.size[0]) > 1 || abs(h - row.size[1]) > 1))
        CHECK_EQ(path + " " + std::to_string(w) + " x " + std::to_string(h), std::string("of the row's size"));
    CheckPageFile(path, w, h);
    const int ppm = (int)lround(row.dpi * 10000.0 / 254.0);
    CHECK_EQ(GetInt(b, 38), ppm);
    CHECK_EQ(GetInt(b, 42), ppm);
    return Bytes(b.begin() + 62, b.end());
}

// Presses Show Driver, waits for the scanner's own dialog, with the main window
// locked while it is up, and presses its button answer.
void OpenSourceDialog(Session& s, int answer)
{
    s.PressShowDriver();
    std::vector<HWND> found;
    CHECK(WaitFor([&] { return !(found = ProcessWindows(s.Prog().Pid(), kSourceCaption)).empty(); }, 10000));
    CHECK(!::IsWindowEnabled(s.Main()));
    for (int id : {ID_CMD_CLEAR, ID_CMD_SCAN, ID_CMD_SAVE, ID_CMD_PREFERENCES, ID_CMD_SHOW_DRIVER})
        CHECK(!ButtonEnabled(s.Main(), id));
    if (!found.empty())
        ClickButton(found[0], answer);
}

void ScanWithSource(const SourceRow& row)
{
    CHECK(RemovePageFiles());
    ScannerControls::Values controls = {{"Sheets", 9}, {"PageDivisor", 4}, {"Seed", 11}};
    if (row.size[0])
        controls.push_back({"PageDivisor", 1});
    controls.insert(controls.end(), row.controls.begin(), row.controls.end());
    ScannerControls scanner(controls);
    std::unique_ptr<NoSavedDefault> noDefault(row.noSavedDefault ? new NoSavedDefault : nullptr);
    const int range = row.pagesToScan ? kRangeSpecify : row.range;
    Session s(row.tag, range);
    Bytes settings = SettingsRecord(range);
    PutInt(settings, kOffResolution, row.resolution);
    PutInt(settings, kOffPageSize, row.landscape ? 3 : 1);
    PutInt(settings, kOffOrientation, row.landscape);
    PutInt(settings, kOffMode, row.mode);
    CHECK(WriteFileBytes(s.Prog().SettingsPath(), settings));
    CHECK(s.Start());
    if (row.closeAsks)
        ExpectState(s, 0);
    if (row.pagesToScan)
        EnterPages(s.Main(), row.pagesToScan);
    if (row.how == kToolbar) {
        // The toolbar's buttons sit side by side from the left, Clear then Scan.
        HWND hTb = ToolBar(s.Main());
        RECT rc = {};
        ::GetClientRect(hTb, &rc);
        ClickAt(hTb, LOWORD(::SendMessageA(hTb, TB_GETBUTTONSIZE, 0, 0)) * 3 / 2, rc.bottom / 2);
    } else if (row.how == kAltS) {
        s.PressScan();
    } else {
        OpenSourceDialog(s, row.how == kDriverOk ? IDOK : IDCANCEL);
    }
    if (row.message) {
        HWND hBox = s.Prog().WaitDialogWithText(row.message, row.timeoutMs);
        CHECK(hBox != nullptr);
        if (hBox)
            ClickButton(hBox, IDOK);
    }
    if (row.pages) {
        CHECK(s.WaitPagesShown(row.pages, row.timeoutMs));
    } else {
        CHECK(WaitFor(
            [&] {
                // The window looked the same before the scan: a message or a session ended tells them apart.
                return (row.message || ScannerSessionsEnded() > 0) && ::IsWindowEnabled(s.Main()) &&
                       ButtonEnabled(s.Main(), ID_CMD_SCAN) && ButtonEnabled(s.Main(), ID_CMD_SHOW_DRIVER) &&
                       ButtonEnabled(s.Main(), ID_CMD_PREFERENCES);
            },
            row.timeoutMs, [&] { return s.State(); }));
    }
    ExpectState(s, row.pages);
    if (row.how == kDriverOk || row.how == kDriverCancel)
        CHECK(WaitFor([&] { return ProcessWindows(s.Prog().Pid(), kSourceCaption).empty(); }, 10000));
    for (int answer : {IDCANCEL, IDOK}) {
        if (!row.rescan)
            break;
        CHECK(!Enabled(s.Main(), IDC_PAGES_TO_SCAN));
        s.PressScan();
        HWND hAsk = s.Prog().WaitDialogWithText("Scanned images will be cleared");
        CHECK(hAsk != nullptr);
        ClickButton(hAsk, answer);
        CHECK(WaitFor([&] { return !::IsWindow(hAsk); }, 10000));
        // OK: the same count is scanned again, as new files, in a second session of the source.
        if (answer == IDOK)
            CHECK(WaitFor([&] { return ScannerSessionsEnded() == 2; }, row.timeoutMs));
        CHECK(s.WaitPagesShown(row.pages));
        ExpectState(s, row.pages);
    }
    CHECK(s.Prog().Running());
    if (row.closeAsks) {
        CHECK(s.CloseAndConfirm(row.timeoutMs));
        CHECK(PageFilesPresent().empty());
        return;
    }
    if (!row.pages)
        CHECK(s.Prog().CloseNormally());
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

// A page file the program cannot write: page 3 held by another, or (full_disk) the
// work folder on a small file system of its own (TOLVIX_FULL_DISK, by full-disk.sh)
// that fills while page 4 is written. The scan stops, the pages already stored are
// deleted, message 4002 is shown and the program ends; no page file of ours is left,
// not even part of one. The preview drawn before the failure is still on the screen
// then, with Scan; Show Driver draws none.
void WriteFails(How how, bool bFullDisk)
{
    const char* unixFolder = getenv("TOLVIX_FULL_DISK");
    if (bFullDisk && !unixFolder)
        return CHECK(!"TOLVIX_FULL_DISK names the small file system");
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 9}, {"PageDivisor", bFullDisk ? 4u : 8u}});
    HANDLE hBlock = bFullDisk ? INVALID_HANDLE_VALUE
                              : ::CreateFileA(PagePath(3).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(bFullDisk || hBlock != INVALID_HANDLE_VALUE);
    const std::vector<int> left = bFullDisk ? std::vector<int>{} : std::vector<int>{3};
    Session s(bFullDisk ? "fulldisk" : how == kDriverOk ? "faildriver" : "failscan", kRangeBatch);
    if (bFullDisk) {
        // A folder of its own there, so that removing it shows it empty; the program's own stays outside.
        SetWorkFolder(WindowsPath(unixFolder) + "\\work");
        CHECK(::CreateDirectoryA(WorkFolder().c_str(), nullptr));
    }
    CHECK(s.Start());
    if (how == kDriverOk)
        OpenSourceDialog(s, IDOK);
    else
        s.PressScan();
    HWND hBox = s.Prog().WaitDialogWithText("Running out of memory.");
    if (!hBox) {
        ::CloseHandle(hBlock);
        return Check(false, "message 4002", s.State());
    }
    CHECK(s.Prog().Running());
    CHECK_EQ(WindowText(hBox), std::string("Pagewell Utility"));
    CHECK(DialogText(hBox).find("Failed to scan images.The scanner utility will be closed.") != std::string::npos);
    CHECK(PageFilesPresent() == left);
    // Not even part of a page is left.
    if (bFullDisk)
        CHECK(::RemoveDirectoryA(WorkFolder().c_str()));

    // What the area shows outside the message box, once whatever covered it
    // (the scanner's own dialog) has been painted over. The preview reaches the
    // screen only when the program next waits for messages, so the white from
    // before the scan can still be showing when the box is first found.
    const bool bPreview = how != kDriverOk;
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
            return seen > 1000 && dark + white == seen && (dark > 50) == bPreview;
        },
        10000);
    CHECK(seen > 1000);
    CHECK(dark + white == seen);
    CHECK_EQ(std::string(dark > 50 ? "preview" : dark ? "some" : "none"), std::string(bPreview ? "preview" : "none"));

    ClickButton(hBox, IDOK);
    CHECK(s.Prog().WaitExit());
    CHECK(PageFilesPresent() == left);
    ::CloseHandle(hBlock);
    CHECK(RemovePageFiles());
    SetWorkFolder("");
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<Case> cases = {
        {"unwritable_page_scan", [] { WriteFails(kAltS, false); }},
        {"unwritable_page_driver", [] { WriteFails(kDriverOk, false); }},
    };
    // The last ones only when asked for: they need a small file system or a raised descriptor limit.
    for (const SourceRow& row : kRows)
        if (argc > 1 || strcmp(row.tag, "limit_30000") != 0)
            cases.push_back({row.tag, [&row] { ScanWithSource(row); }});
    if (argc > 1)
        cases.push_back({"full_disk", [] { WriteFails(kAltS, true); }});
    return RunCases(argc, argv, cases);
}

// The page views of the real Tolvix.exe after real scans: the thumbnail area read
// back from the screen, page navigation, the actual-size window compared pixel by
// pixel with the scanned page, its help, and printing through a real print queue.
#include "../harness/Session.h"
#include "page.h"

#include <winspool.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

using namespace harness;

namespace {

const int kDivisor = 4;
const DWORD kSeed = 0x5EED1234;
const uint32_t kGray = 0x969696, kGreen = 0x00FF00, kInk = 0x000000, kPaper = 0xFFFFFF, kLightGray = 0xC0C0C0;

// A program with a scanned batch of n pages of the fixed seed; killed at the end.
struct Batch {
    bool clean = RemovePageFiles();
    ScannerControls scanner;
    Session s;
    Batch(const char* tag, int n) : scanner({{"Sheets", (DWORD)n}, {"PageDivisor", kDivisor}, {"Seed", kSeed}}), s(tag)
    {
        CHECK(clean);
        CHECK(s.Start() && (s.PressScan(), s.WaitPagesShown(n)));
    }
    ~Batch()
    {
        s.Prog().Kill();
        CHECK(RemovePageFiles());
    }
};

// One program runs at a time: its frame is the one of this class and title.
HWND ActualSizeFrame()
{
    HWND h = ::FindWindowA("ZUDOR", "Actual Size");
    return ::IsWindowVisible(h) ? h : nullptr;
}

HWND View() { return ::GetWindow(ActualSizeFrame(), GW_CHILD); }

bool WaitOpen(bool open = true)
{
    return WaitFor([&] { return open ? ActualSizeFrame() && ::IsWindowVisible(View()) : !ActualSizeFrame(); }, 10000);
}

// ---- the thumbnail area ----------------------------------------------------------

// What the area shows, slot by slot: empty, a plain or a green-framed page, or
// anything else, with "#" where the page number is written; then its background.
// Expect: pages in slots 1..filled, the one in slot green framed (0: none).
std::string Expect(int filled, int green)
{
    std::string t;
    for (int i = 1; i <= 4; ++i)
        t += i > filled ? "empty " : i == green ? "framed# " : "plain# ";
    return t + "gray";
}

// Reads the area: cells from its outer size, a portrait thumbnail (a sixteenth
// of the page) as high as the cell's image space is wide, with a 4-pixel frame.
std::string ReadArea(HWND hArea, const Pixels& p)
{
    RECT rc;
    ::GetWindowRect(hArea, &rc);
    const int cellW = (rc.right - rc.left - 20) / 2, cellH = (rc.bottom - rc.top - 4) / 2;
    int pageW, pageH;
    A4PageSize(kDivisor, &pageW, &pageH);
    std::string out;
    for (int slot = 0; slot < 4; ++slot) {
        const int left = 4 + slot % 2 * (cellW - 4), top = 4 + slot / 2 * (cellH - 4);
        const int right = left + cellW - 8, bottom = top + cellH - 8, mid = (left + right) / 2;
        const int avail = right - left - 8, drawW = (int)((double)avail * (pageW / 16) / (pageH / 16));
        const int bx = left + (avail - drawW) / 2, by = top;
        size_t cell = 0, cellGray = 0, ring = 0, ringGreen = 0, ringGray = 0, inner = 0, innerBw = 0, ink = 0, dark = 0;
        for (int y = top; y < bottom && y < p.height; ++y)
            for (int x = left; x < right && x < p.width; ++x) {
                const uint32_t c = p.At(x, y);
                ++cell;
                cellGray += c == kGray;
                if (x >= bx + 4 && x < bx + 4 + drawW && y >= by + 4 && y < by + 4 + avail) {
                    ++inner;
                    innerBw += c == kInk || c == kPaper;
                    ink += c == kInk;
                } else if (x >= bx && x < bx + drawW + 8 && y >= by && y < by + avail + 8) {
                    ++ring;
                    ringGreen += c == kGreen;
                    ringGray += c == kGray;
                }
                if (x >= mid && x < mid + 40 && y >= bottom - 16 && y < bottom - 2)
                    dark += (c & 0xFF) < 0x60 && ((c >> 8) & 0xFF) < 0x60 && (c >> 16) < 0x60;
            }
        const bool image = innerBw == inner && ink > 0;
        out += cell > 0 && cellGray == cell ? "empty"
               : image && ringGreen == ring ? "framed"
               : image && ringGray == ring  ? "plain"
                                            : "broken";
        out += dark > 0 ? "# " : " ";
    }
    return out + (p.width > 2 && p.At(1, 1) == kGray && p.At(p.width / 2, 2) == kGray ? "gray" : "not-gray");
}

// Waits until what read makes of a capture of hWnd is want; a failure says what it
// made of the last one and leaves that picture behind.
bool WaitLook(HWND hWnd, const std::function<std::string(const Pixels&)>& read, const std::string& want,
              const std::string& what)
{
    Pixels p;
    std::string got;
    return WaitFor([&] { return (got = read(p = CaptureClient(hWnd))) == want; }, 5000,
                   [&] {
                       const std::string path = NewTempFolder("shot") + "\\shot.bmp";
                       SaveBmp(p, path);
                       return what + ": [" + got + "], expected [" + want + "]; picture " + path;
                   });
}

// The client point in the middle of a quarter: slot 1 top left .. 4 bottom right.
POINT Quarter(HWND hArea, int slot)
{
    RECT rc;
    ::GetClientRect(hArea, &rc);
    return POINT{(slot % 2 ? 1 : 3) * rc.right / 4, (slot <= 2 ? 1 : 3) * rc.bottom / 4};
}

// What a user does on the area (arg: the quarter clicked, or the key; Type: the
// text typed into Show Page, what reaches the field, and the key that leaves it),
// then the page selected and what the area shows.
enum Act { Nothing, Down, Up, Click, Double, Press, Type };
// clang-format off
struct Step { Act act; int arg; int page, filled, green; const char *text = "", *shown = ""; };
struct ThumbCase { const char* name; int sheets; std::vector<Step> steps; };

const ThumbCase kThumbCases[] = {
    {"one_page", 1, {{Nothing, 0, 1, 1, 1}}},
    {"five_pages", 5, {{Nothing, 0, 1, 4, 1}, {Down, 0, 1, 1, 0}, {Down, 0, 1, 1, 0}, {Click, 1, 5, 1, 1},
                       {Up, 0, 5, 4, 0}}},
    // Two screens exactly: no third.
    {"eight_pages", 8, {{Nothing, 0, 1, 4, 1}, {Down, 0, 1, 4, 0}, {Down, 0, 1, 4, 0}, {Press, VK_END, 8, 4, 4},
                        {Press, VK_HOME, 1, 4, 1}}},
    {"nine_pages", 9, {{Nothing, 0, 1, 4, 1}, {Down, 0, 1, 4, 0}, {Down, 0, 1, 1, 0}, {Down, 0, 1, 1, 0},
                       {Press, VK_END, 9, 1, 1}}},
    // An empty quarter selects nothing and a double click on it opens nothing;
    // with 4 pages or fewer Page Up and Page Down do nothing.
    {"clicks_and_few_page_keys", 3,
     {{Nothing, 0, 1, 3, 1}, {Click, 2, 2, 3, 2}, {Click, 4, 2, 3, 2}, {Double, 4, 2, 3, 2}, {Click, 3, 3, 3, 3},
      {Press, VK_NEXT, 3, 3, 3}, {Press, VK_PRIOR, 3, 3, 3}, {Press, VK_RIGHT, 3, 3, 3}, {Press, VK_UP, 3, 3, 3},
      {Press, VK_DOWN, 3, 3, 3}, {Press, VK_HOME, 1, 3, 1}, {Press, VK_LEFT, 1, 3, 1}, {Press, VK_RIGHT, 2, 3, 2},
      {Press, VK_END, 3, 3, 3}}},
    // Page Down from 6 of 7 stops at 7; Page Up goes back four at a time.
    {"seven_page_keys", 7, {{Press, VK_NEXT, 5, 3, 1}, {Press, VK_RIGHT, 6, 3, 2}, {Press, VK_NEXT, 7, 3, 3},
                            {Press, VK_RIGHT, 7, 3, 3}, {Press, VK_PRIOR, 3, 4, 3}, {Press, VK_PRIOR, 1, 4, 1},
                            {Press, VK_LEFT, 1, 4, 1}}},
    // Out of range, zero and nothing bring the selected page back, whichever key
    // leaves; leading zeros go, and letters never reach the field.
    {"show_page", 7, {{Type, VK_RETURN, 3, 4, 3, "3", "3"}, {Type, VK_TAB, 3, 4, 3, "9", "9"},
                      {Type, VK_RETURN, 3, 4, 3, "0", "0"}, {Type, VK_TAB, 3, 4, 3, "", ""},
                      {Type, VK_RETURN, 5, 3, 1, "005", "005"}, {Type, VK_RETURN, 7, 3, 3, "x7", "7"},
                      {Type, VK_RETURN, 2, 4, 2, "2", "2"}}},
};
// clang-format on

void RunThumbCase(const ThumbCase& c)
{
    Batch b(c.name, c.sheets);
    Session& s = b.s;
    int n = 0;
    for (const Step& st : c.steps) {
        const POINT pt = Quarter(s.Display(), st.arg);
        if (st.act == Down || st.act == Up) { // the area's own scroll bar arrows, right of its client area
            RECT rc;
            ::GetClientRect(s.Display(), &rc);
            const int cx = ::GetSystemMetrics(SM_CXVSCROLL), cy = ::GetSystemMetrics(SM_CYVSCROLL);
            s.Click(rc.right + cx / 2, st.act == Down ? rc.bottom - cy / 2 : cy / 2);
        } else if (st.act == Click || st.act == Double)
            s.Click(pt.x, pt.y, st.act == Double ? 2 : 1);
        else if (st.act == Press)
            s.KeyOnMain((WORD)st.arg);
        else if (st.act == Type) {
            // Show Page is reached by its label's Alt+W, and left with the key once
            // it shows what reached it (so the key's effect can be told apart).
            CHECK(MakeForeground(s.Main()));
            AltKey('W');
            CHECK(WaitFocus(s.Main(), IDC_SHOW_PAGE));
            Tap(VK_HOME);
            Chord(VK_SHIFT, VK_END);
            TypeText(st.text);
            if (!*st.text)
                Tap(VK_BACK);
            CHECK(WaitText(s.Main(), IDC_SHOW_PAGE, st.shown));
            ::GetAsyncKeyState(VK_SHIFT); // a Shift seen since the last query would turn Tab into Shift+Tab
            Tap((WORD)st.arg);
        }
        const std::string what = std::string(c.name) + " step " + std::to_string(++n);
        CHECK(WaitText(s.Main(), IDC_SHOW_PAGE, std::to_string(st.page)));
        CHECK(WaitLook(
            s.Display(), [&](const Pixels& p) { return ReadArea(s.Display(), p); }, Expect(st.filled, st.green), what));
        CHECK_EQ(ProcessWindows(s.Prog().Pid()).size(), 1u);
        if (st.act == Type && st.arg == VK_RETURN)
            CHECK_EQ(FocusId(s.Main()), IDC_SHOW_PAGE);
    }
    CHECK(!Visible(s.Main(), IDC_GO));
}

// ---- navigation and the actual-size window -----------------------------------------

// Page n of the batch as the virtual scanner delivers it with the fixed seed in
// the settings file's mode, "Text (Error Diffusion)".
Pixels Page(int n)
{
    vscan::ScanParams params;
    params.dpi = 400;
    params.divisor = kDivisor;
    params.seed = kSeed;
    params.diffusion = params.textEmphasis = true;
    const codec::Image img = vscan::ScanPage(params, n);
    Pixels p;
    p.width = (int)img.width, p.height = (int)img.height;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            p.px.push_back(img.bits[(size_t)y * img.stride + x / 8] & (0x80 >> (x % 8)) ? kPaper : kInk);
    return p;
}

// Opens page 5 of the batch (Page Down from page 1) with Alt+I in the main window.
bool OpenPage5(Session& s)
{
    s.KeyOnMain(VK_NEXT);
    CHECK(WaitText(s.Main(), IDC_SHOW_PAGE, "5"));
    CHECK(MakeForeground(s.Main()));
    AltKey('I');
    return WaitOpen();
}

// Waits until the view shows the page 1:1 seen from the origin, light gray beyond it.
bool WaitShows(const Pixels& page, int ox, int oy, const char* what)
{
    auto differing = [&](const Pixels& px) {
        size_t wrong = 0;
        for (int y = 0; y < px.height; ++y)
            for (int x = 0; x < px.width; ++x) {
                const int sx = x + ox, sy = y + oy;
                wrong += px.At(x, y) != (sx < page.width && sy < page.height ? page.At(sx, sy) : kLightGray);
            }
        return px.width > 0 ? std::to_string(wrong) + " pixels differ" : std::string("no view");
    };
    return WaitLook(View(), differing, "0 pixels differ",
                    std::string(what) + " from " + std::to_string(ox) + "," + std::to_string(oy));
}

// Page 5 of 7 opened by Alt+I: the frame, key scrolling, and F1 opening the window's
// help topic, which the Close command leaves open. Then page 6 opened by a double
// click and Help in its menu; the close box closes the help window too.
void OpenAndScroll()
{
    EndProcesses(ProcessesNamed("winhlp32.exe"));
    const char kTopic[] = "The Actual Size Window";
    Batch b("actual", 7);
    Session& s = b.s;
    const Pixels page5 = Page(5);
    const int w = page5.width, h = page5.height;

    CHECK(OpenPage5(s));
    HWND hFrame = ActualSizeFrame();
    CHECK(WaitFor([&] { return !::IsWindowEnabled(s.Main()); }, 5000));
    CHECK_EQ((unsigned long)::GetWindowLongA(hFrame, GWL_STYLE) & 0x80CF0000ul, 0x80CF0000ul);
    CHECK((::GetWindowLongA(hFrame, GWL_EXSTYLE) & WS_EX_APPWINDOW) != 0);
    RECT rc;
    ::GetWindowRect(hFrame, &rc);
    CHECK(rc.left == 0 && rc.top == 0 && rc.right == 500 && rc.bottom == 500);
    CHECK(::GetMenu(hFrame) != nullptr);
    // Both bars: the page is larger than the window either way.
    CHECK((~::GetWindowLongA(View(), GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL)) == 0);
    CHECK(WaitShows(page5, 0, 0, "opened"));

    // Page steps are a tenth of the page, line steps a tenth of that; every key
    // reaches the view once, through the frame's forwarding.
    const int pageX = w / 10, pageY = h / 10, lineX = pageX / 10, lineY = pageY / 10;
    CHECK(MakeForeground(hFrame));
    // clang-format off
    const struct { WORD vk; int x, y; const char* what; } steps[] = {
        {VK_END, pageX, 0, "End"},
        {VK_DOWN, pageX, lineY, "Down"},
        {VK_NEXT, pageX, lineY + pageY, "Page Down"},
        {VK_RIGHT, pageX + lineX, lineY + pageY, "Right"},
        {VK_HOME, lineX, lineY + pageY, "Home"},
        {VK_LEFT, 0, lineY + pageY, "Left"},
        {VK_UP, 0, pageY, "Up"},
        {VK_PRIOR, 0, 0, "Page Up"},
        {VK_PRIOR, 0, 0, "Page Up at the top"},
        {VK_HOME, 0, 0, "Home at the left"},
        {VK_F5, 0, 0, "a key that does not scroll"},
    };
    // clang-format on
    for (const auto& st : steps) {
        Tap(st.vk);
        CHECK(WaitShows(page5, st.x, st.y, st.what));
    }
    // The scroll range is the page's size: the far end shows the page's corner.
    for (int i = 0; i < 12; ++i) {
        Tap(VK_END);
        Tap(VK_NEXT);
    }
    RECT rcView;
    ::GetClientRect(View(), &rcView);
    CHECK(WaitShows(page5, w - rcView.right, h - rcView.bottom, "far end"));

    Tap(VK_F1);
    CHECK(WaitHelpTopic(kTopic));
    CHECK(MakeForeground(hFrame));
    AltKey('I');
    Tap('C');
    CHECK(WaitOpen(false));
    // Back in the main window: enabled, active, Actual Size focused.
    CHECK(WaitFor([&] { return ::IsWindowEnabled(s.Main()) && ActiveOf(s.Main()) == s.Main(); }, 5000));
    CHECK(WaitFocus(s.Main(), IDC_ACTUAL_SIZE));
    CHECK(WaitHelpTopic(kTopic, 2000));
    EndProcesses(ProcessesNamed("winhlp32.exe"));

    // Page 6 stands in the second quarter of the second screen.
    const POINT pt = Quarter(s.Display(), 2);
    s.Click(pt.x, pt.y, 2);
    CHECK(WaitOpen());
    CHECK(WaitText(s.Main(), IDC_SHOW_PAGE, "6"));
    CHECK(!::IsWindowEnabled(s.Main()));
    CHECK(WaitShows(Page(6), 0, 0, "page 6 from a double click"));
    CHECK(MakeForeground(ActualSizeFrame()));
    AltKey('H');
    Tap(VK_RETURN);
    CHECK(WaitHelpTopic(kTopic));
    ::PostMessageA(ActualSizeFrame(), WM_SYSCOMMAND, SC_CLOSE, 0);
    CHECK(WaitOpen(false));
    CHECK(WaitFor([] { return HelpViewer() == nullptr; }, 10000));
}

// ---- printing ---------------------------------------------------------------------

// Control ids of the common print dialog's template.
enum { kPrintToFile = 0x410, kRangeSelection = 0x421, kFromPage = 0x480, kToPage = 0x481, kCopies = 0x482 };

// Prints page 5 of 7 from the actual-size window on the queue TOLVIX_PRINTER,
// which print-queue.sh set up: the print dialog offers page 1 to 1, one copy, no
// selection and no printing to a file. The script says by the file "printed"
// when the queue has finished the job.
void PrintQueue()
{
    const char* queue = getenv("TOLVIX_PRINTER");
    const char* workUnix = getenv("TOLVIX_PRINT_WORK");
    if (!queue || !workUnix)
        return CHECK(!"TOLVIX_PRINTER and TOLVIX_PRINT_WORK set by print-queue.sh");
    const std::string work = WindowsPath(workUnix);
    // The queue exists before Wine starts, so Wine lists it at once.
    CHECK(::SetDefaultPrinterA(queue));
    // Where the page must stand on the sheet, for print-queue.sh: the printable
    // area's offset, the page scaled to fill its width or height.
    HDC hdc = ::CreateDCA("WINSPOOL", queue, nullptr, nullptr);
    if (!hdc)
        return CHECK(!"a device context of the queue");
    const int W = ::GetDeviceCaps(hdc, HORZRES), H = ::GetDeviceCaps(hdc, VERTRES);
    const int left = ::GetDeviceCaps(hdc, PHYSICALOFFSETX), top = ::GetDeviceCaps(hdc, PHYSICALOFFSETY);
    const int dpi = ::GetDeviceCaps(hdc, LOGPIXELSX);
    ::DeleteDC(hdc);
    const Pixels page5 = Page(5);
    const double a = (double)W / H, r = (double)page5.width / page5.height;
    const int w = a > r ? (int)(H * r) : W, h = a < r ? (int)(W / r) : H;
    char expect[128];
    snprintf(expect, sizeof expect, "%d %d %d %d %d\n", w, h, left, top, dpi);
    CHECK(SaveBmp(page5, work + "\\page.bmp"));
    CHECK(WriteFileBytes(work + "\\expect.txt", Bytes(expect, expect + strlen(expect))));

    Batch b("printq", 7);
    Session& s = b.s;
    CHECK(OpenPage5(s));
    // Cancel prints nothing, OK prints once (print-queue.sh counts the jobs), and Escape typed straight after OK
    // is the Cancel of "Printing...": the job ends before it begins, and the frame is given back.
    const int kOkThenEscape = 0;
    for (int answer : {IDCANCEL, IDOK, kOkThenEscape}) {
        CHECK(MakeForeground(ActualSizeFrame()));
        AltKey('I');
        Tap('P');
        HWND hDlg = nullptr;
        CHECK(WaitFor(
            [&] {
                for (HWND hWnd : ProcessWindows(s.Prog().Pid(), "Print"))
                    hDlg = ::GetDlgItem(hWnd, kCopies) ? hWnd : hDlg;
                return hDlg != nullptr;
            },
            10000));
        if (!hDlg)
            return;
        CHECK_EQ(ControlText(::GetDlgItem(hDlg, kFromPage)), "1");
        CHECK_EQ(ControlText(::GetDlgItem(hDlg, kToPage)), "1");
        CHECK_EQ(ControlText(::GetDlgItem(hDlg, kCopies)), "1");
        CHECK(!::IsWindowEnabled(::GetDlgItem(hDlg, kRangeSelection)));
        CHECK(!::IsWindowVisible(::GetDlgItem(hDlg, kPrintToFile)));
        if (answer == kOkThenEscape) {
            CHECK(MakeForeground(hDlg));
            Taps({VK_RETURN, VK_ESCAPE});
        } else {
            ClickButton(hDlg, answer);
        }
        // Cancel gives the window back at once; OK leaves it to the printing.
        CHECK(WaitFor(
            [&] {
                return !::IsWindow(hDlg) && ProcessWindows(s.Prog().Pid(), "Printing...").empty() &&
                       (answer == IDOK || ::IsWindowEnabled(ActualSizeFrame()));
            },
            10000));
        if (answer != IDOK)
            continue;
        // The program ends nothing before the queue has the whole job.
        const std::string printed = work + "\\printed";
        CHECK(WaitFor([&] { return FileExists(printed); }, 90000)); // print-queue.sh says what the queue shows
        CHECK(WaitFor([&] { return ::IsWindowEnabled(ActualSizeFrame()) != FALSE; }, 10000));
        CHECK(!::IsWindowEnabled(s.Main()));
        CHECK(WaitShows(page5, 0, 0, "after printing"));
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<Case> cases;
    for (const ThumbCase& c : kThumbCases)
        cases.push_back({c.name, [&c] { RunThumbCase(c); }});
    cases.push_back({"open_and_scroll", OpenAndScroll});
    cases.push_back({"print_queue", PrintQueue});
    return RunCases(argc, argv, cases);
}

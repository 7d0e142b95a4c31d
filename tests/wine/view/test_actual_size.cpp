// Page navigation and the actual-size window of the real Tolvix.exe after real
// scans: the Show Page edit typed into, the window opened with the button and a
// double click, its view scrolled with keys and read back from the screen pixel
// by pixel against the page files, and both ways of closing it.
#include "../scan/ScanHelpers.h"
#include "page.h"

#include <winspool.h>

#include <stdio.h>
#include <stdlib.h>

using namespace harness;
using namespace scantest;

namespace {

const int kDivisor = 4;
const int kGoButton = 1042;
const char kFrameCaption[] = "Actual Size";

std::string ClassOf(HWND hWnd)
{
    char sz[64] = {};
    ::GetClassNameA(hWnd, sz, sizeof sz);
    return sz;
}

const DWORD kSeed = 0x5EED1234;
const int kDpi = 400;
int ScreenOfPageNumber(int n)
{
    return (n - 1) / 4 + 1;
}

const uint32_t kInk = 0x000000, kPaper = 0xFFFFFF, kLightGray = 0xC0C0C0, kGreen = 0x00FF00;

// Page n of the batch as the virtual scanner delivers it with the fixed seed.
class Page {
public:
    explicit Page(int n)
    {
        vscan::ScanParams p;
        p.dpi = kDpi;
        p.divisor = kDivisor;
        p.seed = kSeed;
        // The settings file's mode, "Text (Error Diffusion)".
        p.diffusion = true;
        p.textEmphasis = true;
        m_img = vscan::ScanPage(p, n);
    }
    int Width() const { return (int)m_img.width; }
    int Height() const { return (int)m_img.height; }
    // Ink or paper, in top-down page coordinates.
    uint32_t At(int x, int y) const
    {
        const uint8_t byte = m_img.bits[(size_t)y * m_img.stride + x / 8];
        return (byte & (0x80 >> (x % 8))) ? kPaper : kInk;
    }

private:
    codec::Image m_img;
};

// Screen pixels that differ from the page seen from the origin; where the view
// is larger than the page the light-gray background shows.
size_t Mismatches(const Pixels& px, const Page& page, int ox, int oy)
{
    size_t wrong = 0;
    for (int y = 0; y < px.height; ++y)
        for (int x = 0; x < px.width; ++x) {
            const int sx = x + ox, sy = y + oy;
            const uint32_t want = sx < page.Width() && sy < page.Height() ? page.At(sx, sy) : kLightGray;
            wrong += px.At(x, y) != want;
        }
    return wrong;
}

class ActualSize {
public:
    explicit ActualSize(Session& s) : m_s(s) {}

    HWND Frame() const
    {
        for (HWND h : ProcessWindows(m_s.Prog().Pid(), kFrameCaption))
            if (ClassOf(h) == "ZUDOR")
                return h;
        return nullptr;
    }
    HWND View() const { return ::GetWindow(Frame(), GW_CHILD); }

    bool WaitOpen() { return WaitFor([&] { return Frame() != nullptr && ::IsWindowVisible(View()); }); }
    bool WaitClosed() { return WaitFor([&] { return Frame() == nullptr; }); }

    // Waits until the view shows the page 1:1 with its top left at the origin;
    // a failure leaves a picture behind.
    bool WaitShows(const Page& page, int ox, int oy, const char* what)
    {
        Pixels px;
        size_t wrong = 0;
        bool ok = WaitFor([&] {
            px = CaptureClient(View());
            wrong = Mismatches(px, page, ox, oy);
            return px.width > 0 && wrong == 0;
        }, 10000);
        if (!ok) {
            std::string shot = NewTempFolder("shot") + "\\view.bmp";
            SaveBmp(px, shot);
            printf("  %s: %zu pixels differ from the page at %d,%d; picture %s\n", what, wrong, ox, oy,
                   shot.c_str());
        }
        return ok;
    }

    SIZE Client() const
    {
        RECT rc;
        ::GetClientRect(View(), &rc);
        return SIZE{rc.right, rc.bottom};
    }

private:
    Session& m_s;
};

// Starts a program and scans a batch of the given size.
bool ScanBatch(Session& s, int nPages)
{
    if (!s.Start())
        return false;
    s.PressScan();
    return s.WaitPagesShown(nPages);
}

// Puts the focus into the Show Page edit with a click and selects its text.
void FocusShowPage(Session& s)
{
    HWND hEdit = ::GetDlgItem(s.Main(), kShowPageEdit);
    RECT rc;
    ::GetWindowRect(hEdit, &rc);
    POINT pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ::ScreenToClient(s.Display(), &pt);
    // Under Wine a click has once failed to give the field the focus: click
    // again until it has it.
    CHECK(WaitFor([&] {
        s.Click(pt.x, pt.y);
        return WaitFor([&] { return FocusOf(s.Main()) == hEdit; }, 2000);
    }, 8000));
    Tap(VK_HOME);
    Key(VK_SHIFT, true);
    Tap(VK_END);
    Key(VK_SHIFT, false);
}

// Types into the Show Page edit and leaves it with the key given.
void EnterShowPage(Session& s, const char* text, WORD leaveKey)
{
    FocusShowPage(s);
    if (*text)
        TypeText(text);
    else
        Tap(VK_BACK);
    Tap(leaveKey);
}

bool WaitShowPage(Session& s, const char* text)
{
    bool ok = WaitFor([&] { return s.Text(kShowPageEdit) == text; }, 10000);
    if (!ok)
        printf("  Show Page shows \"%s\", expected \"%s\"\n", s.Text(kShowPageEdit).c_str(), text);
    return ok;
}

// What the thumbnail area shows: which screen of a 7-page batch (screen 2 has
// nothing in its bottom-right quarter) and the quarter with the green frame.
struct AreaLook {
    int screen = 0;
    int green = 0;
    bool operator==(const AreaLook& o) const { return screen == o.screen && green == o.green; }
};

AreaLook ReadArea(Session& s)
{
    Pixels p = CaptureClient(s.Display());
    AreaLook look;
    size_t ink[4] = {}, green[4] = {};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const int q = (x < p.width / 2 ? 0 : 1) + (y < p.height / 2 ? 0 : 2);
            ink[q] += p.At(x, y) == kInk;
            green[q] += p.At(x, y) == kGreen;
        }
    look.screen = ink[3] ? 1 : 2;
    for (int q = 0; q < 4; ++q)
        if (green[q])
            look.green = look.green ? -1 : q + 1;
    return look;
}

// Page n of 7 selected and on show.
bool WaitArea(Session& s, int n)
{
    const AreaLook want = {ScreenOfPageNumber(n), (n - 1) % 4 + 1};
    AreaLook got;
    bool ok = WaitFor([&] {
        got = ReadArea(s);
        return got == want;
    }, 10000);
    if (!ok)
        printf("  area shows screen %d, green in quarter %d; expected %d, %d\n", got.screen, got.green,
               want.screen, want.green);
    return ok;
}

void ShowPage()
{
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 7}, {"PageDivisor", kDivisor}, {"Seed", kSeed}});
    Session s("showpage");
    CHECK(ScanBatch(s, 7));
    CHECK(WaitArea(s, 1));

    EnterShowPage(s, "3", VK_RETURN);
    CHECK(WaitShowPage(s, "3"));
    CHECK(WaitArea(s, 3));
    // Out of range, zero and nothing: the selected page comes back, whichever key leaves.
    EnterShowPage(s, "9", VK_TAB);
    CHECK(WaitShowPage(s, "3"));
    EnterShowPage(s, "0", VK_RETURN);
    CHECK(WaitShowPage(s, "3"));
    EnterShowPage(s, "", VK_TAB);
    CHECK(WaitShowPage(s, "3"));
    CHECK(WaitArea(s, 3));

    // Leading zeros go; the area moves to the page's screen; the caret stays.
    EnterShowPage(s, "005", VK_RETURN);
    CHECK(WaitShowPage(s, "5"));
    CHECK(WaitArea(s, 5));
    CHECK(FocusOf(s.Main()) == ::GetDlgItem(s.Main(), kShowPageEdit));
    // Letters never reach the field.
    FocusShowPage(s);
    TypeText("x7");
    Tap(VK_RETURN);
    CHECK(WaitShowPage(s, "7"));
    CHECK(WaitArea(s, 7));
    EnterShowPage(s, "2", VK_RETURN);
    CHECK(WaitShowPage(s, "2"));
    CHECK(WaitArea(s, 2));
    CHECK(!::IsWindowVisible(::GetDlgItem(s.Main(), kGoButton)));
    s.Prog().Kill();
    CHECK(RemovePageFiles());
}

void CheckBackInMain(Session& s)
{
    CHECK(WaitFor([&] { return ::IsWindowEnabled(s.Main()) && ActiveOf(s.Main()) == s.Main(); }, 5000));
    CHECK(WaitFor([&] { return FocusOf(s.Main()) == ::GetDlgItem(s.Main(), kActualSize); }, 5000));
}

void OpenAndScroll()
{
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 7}, {"PageDivisor", kDivisor}, {"Seed", kSeed}});
    Session s("actual");
    CHECK(ScanBatch(s, 7));
    ActualSize v(s);
    const Page page5(5), page2(2);
    const int w = page5.Width(), h = page5.Height();

    EnterShowPage(s, "5", VK_RETURN);
    CHECK(WaitShowPage(s, "5"));
    MakeForeground(s.Main());
    Chord(VK_MENU, 'I');
    CHECK(v.WaitOpen());
    HWND hFrame = v.Frame();
    CHECK(WaitFor([&] { return !::IsWindowEnabled(s.Main()); }, 5000));
    CHECK_EQ(WindowText(hFrame), std::string(kFrameCaption));
    CHECK_EQ((unsigned long)::GetWindowLongA(hFrame, GWL_STYLE) & 0x80CF0000ul, 0x80CF0000ul);
    CHECK((::GetWindowLongA(hFrame, GWL_EXSTYLE) & WS_EX_APPWINDOW) != 0);
    RECT rc;
    ::GetWindowRect(hFrame, &rc);
    CHECK_EQ(rc.left, 0L);
    CHECK_EQ(rc.top, 0L);
    CHECK_EQ(rc.right - rc.left, 500L);
    CHECK_EQ(rc.bottom - rc.top, 500L);
    CHECK(::GetMenu(hFrame) != nullptr);
    // Both bars: the page is larger than the window either way.
    const LONG viewStyle = ::GetWindowLongA(v.View(), GWL_STYLE);
    CHECK((viewStyle & WS_HSCROLL) && (viewStyle & WS_VSCROLL));
    CHECK(v.WaitShows(page5, 0, 0, "opened"));

    // Page steps are a tenth of the page, line steps a tenth of that; every key
    // reaches the view once, through the main window's forwarding.
    const int pageX = w / 10, pageY = h / 10, lineX = pageX / 10, lineY = pageY / 10;
    CHECK(MakeForeground(hFrame));
    struct Step {
        WORD vk;
        int x, y;
        const char* what;
    } steps[] = {
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
    for (const Step& st : steps) {
        Tap(st.vk);
        CHECK(v.WaitShows(page5, st.x, st.y, st.what));
    }
    // The far end is as far as the page reaches: the scroll range is the page's size.
    for (int i = 0; i < 12; ++i)
        Tap(VK_END);
    for (int i = 0; i < 12; ++i)
        Tap(VK_NEXT);
    const SIZE client = v.Client();
    CHECK(v.WaitShows(page5, w - client.cx, h - client.cy, "far end"));

    // Close from the menu: the main window is back, active, Actual Size focused.
    Chord(VK_MENU, 'I');
    Tap('C');
    CHECK(v.WaitClosed());
    CheckBackInMain(s);

    // A double click on page 2 opens it; the title bar's close box ends it too.
    EnterShowPage(s, "1", VK_RETURN);
    CHECK(WaitShowPage(s, "1"));
    RECT rcArea;
    ::GetClientRect(s.Display(), &rcArea);
    s.DoubleClick(3 * rcArea.right / 4, rcArea.bottom / 4);
    CHECK(v.WaitOpen());
    CHECK(WaitShowPage(s, "2"));
    CHECK(WaitFor([&] { return !::IsWindowEnabled(s.Main()); }, 5000));
    CHECK(v.WaitShows(page2, 0, 0, "page 2 from a double click"));
    ::PostMessageA(v.Frame(), WM_SYSCOMMAND, SC_CLOSE, 0);
    CHECK(v.WaitClosed());
    CheckBackInMain(s);

    s.Prog().Kill();
    CHECK(RemovePageFiles());
}

// F1 and Help in the window's menu open the help at the window's own topic; the
// close box closes the help window too, the Close command leaves it open.
void Help()
{
    EndProcesses(ProcessesNamed("winhlp32.exe"));
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 1}, {"PageDivisor", kDivisor}, {"Seed", kSeed}});
    Session s("help");
    CHECK(ScanBatch(s, 1));
    ActualSize v(s);
    const char kTopic[] = "The Actual Size Window";
    struct {
        const char* how;
        void (*ask)();
        bool bCloseBox;
    } ways[] = {
        {"F1, then the Close command", [] { Tap(VK_F1); }, false},
        {"Help in the menu, then the close box", [] { Chord(VK_MENU, 'H'); Tap(VK_RETURN); }, true},
    };
    for (const auto& way : ways) {
        printf("%s\n", way.how);
        MakeForeground(s.Main());
        Chord(VK_MENU, 'I');
        CHECK(v.WaitOpen());
        CHECK(MakeForeground(v.Frame()));
        way.ask();
        CHECK(WaitHelpTopic(kTopic));
        if (way.bCloseBox) {
            ::PostMessageA(v.Frame(), WM_SYSCOMMAND, SC_CLOSE, 0);
            CHECK(v.WaitClosed());
            CHECK(WaitFor([] { return HelpViewer() == nullptr; }, 10000));
        } else {
            CHECK(MakeForeground(v.Frame()));
            Chord(VK_MENU, 'I');
            Tap('C');
            CHECK(v.WaitClosed());
            CHECK(WaitHelpTopic(kTopic, 2000));
        }
    }
    s.Prog().Kill();
    EndProcesses(ProcessesNamed("winhlp32.exe"));
    CHECK(RemovePageFiles());
}

// ---- printing ---------------------------------------------------------------------

const char kPrinter[] = "Tolvix Test Printer";
const char kPsDriver[] = "Wine PostScript Driver";

// Control ids of the common print dialog's template.
enum { kPrintToFile = 0x410, kRangeSelection = 0x421, kFromPage = 0x480, kToPage = 0x481, kCopies = 0x482 };

// The printing tests' folder, a Unix path from TOLVIX_PRINT_WORK, and the same
// folder as the program sees it.
std::string PrintWorkUnix()
{
    const char* p = getenv("TOLVIX_PRINT_WORK");
    return p ? p : "";
}

std::string PrintWork()
{
    return "Z:" + PrintWorkUnix();
}

// A PostScript printer whose port is a file in the work folder, made the
// default; the driver's description file goes into the driver folder first.
bool InstallPrinter(const std::string& portFile)
{
    char dir[MAX_PATH] = {};
    DWORD cb = 0;
    if (!::GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(dir), sizeof dir, &cb))
        return false;
    const std::string driverDir = std::string(dir) + "\\3";
    ::CreateDirectoryA(driverDir.c_str(), nullptr);
    const std::string ppd = SourceFolder() + "\\tests\\wine\\view\\test-printer.ppd";
    if (!::CopyFileA(ppd.c_str(), (driverDir + "\\test-printer.ppd").c_str(), FALSE))
        return false;
    DRIVER_INFO_3A di = {};
    di.cVersion = 3;
    di.pName = const_cast<char*>(kPsDriver);
    di.pDriverPath = const_cast<char*>("wineps.drv");
    di.pDataFile = const_cast<char*>("test-printer.ppd");
    di.pConfigFile = const_cast<char*>("wineps.drv");
    if (!::AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&di)))
        return false;
    HANDLE hOld = nullptr;
    if (::OpenPrinterA(const_cast<char*>(kPrinter), &hOld, nullptr)) {
        ::DeletePrinter(hOld);
        ::ClosePrinter(hOld);
    }
    PRINTER_INFO_2A pi = {};
    pi.pPrinterName = const_cast<char*>(kPrinter);
    pi.pPortName = const_cast<char*>(portFile.c_str());
    pi.pDriverName = const_cast<char*>(kPsDriver);
    pi.pPrintProcessor = const_cast<char*>("WinPrint");
    pi.pDatatype = const_cast<char*>("RAW");
    pi.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE h = ::AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&pi));
    if (!h)
        return false;
    ::ClosePrinter(h);
    return ::SetDefaultPrinterA(kPrinter) != FALSE;
}

void RemovePrinter()
{
    HANDLE h = nullptr;
    if (::OpenPrinterA(const_cast<char*>(kPrinter), &h, nullptr)) {
        ::DeletePrinter(h);
        ::ClosePrinter(h);
    }
}

// The page as a 1-bit BMP file, for the checker to compare the print with.
bool WritePageBmp(const Page& page, const std::string& path)
{
    const int w = page.Width(), h = page.Height();
    const size_t stride = ((size_t)w + 31) / 32 * 4;
    Bytes b(62 + stride * h, 0);
    auto put = [&](size_t off, uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b[off + i] = (unsigned char)(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, (uint32_t)b.size(), 4);
    put(10, 62, 4);
    put(14, 40, 4);
    put(18, (uint32_t)w, 4);
    put(22, (uint32_t)h, 4);
    put(26, 1, 2);
    put(28, 1, 2);
    put(58, 0xFFFFFF, 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (page.At(x, y) == kPaper)
                b[62 + (size_t)(h - 1 - y) * stride + x / 8] |= (unsigned char)(0x80 >> (x % 8));
    return WriteFileBytes(path, b);
}

HWND WaitPrintDialog(Session& s)
{
    HWND hDlg = nullptr;
    WaitFor([&] {
        for (HWND h : ProcessWindows(s.Prog().Pid(), "Print"))
            if (::GetDlgItem(h, kCopies))
                hDlg = h;
        return hDlg != nullptr;
    }, 20000);
    return hDlg;
}

void OpenPrintDialog(ActualSize& v)
{
    CHECK(MakeForeground(v.Frame()));
    Chord(VK_MENU, 'I');
    Tap('P');
}

// Where the page must stand on the default printer's sheet: the printable
// area's offset, and the page scaled to fill the area's width or height.
std::string Expectation(const char* doc, const Page& page)
{
    char name[256] = {};
    DWORD cch = sizeof name;
    HDC hdc = ::GetDefaultPrinterA(name, &cch) ? ::CreateDCA("WINSPOOL", name, nullptr, nullptr) : nullptr;
    if (!hdc)
        return "";
    const int W = ::GetDeviceCaps(hdc, HORZRES), H = ::GetDeviceCaps(hdc, VERTRES);
    const int left = ::GetDeviceCaps(hdc, PHYSICALOFFSETX), top = ::GetDeviceCaps(hdc, PHYSICALOFFSETY);
    const int dpi = ::GetDeviceCaps(hdc, LOGPIXELSX);
    ::DeleteDC(hdc);
    const double a = (double)W / H, r = (double)page.Width() / page.Height();
    const int w = a > r ? (int)(H * r) : W, h = a < r ? (int)(W / r) : H;
    printf("  %s: printable area %dx%d at %d,%d, %d dpi; page printed %dx%d\n", name, W, H, left, top, dpi, w, h);
    return std::string(doc) + " page.bmp " + std::to_string(w) + " " + std::to_string(h) + " " +
           std::to_string(left) + " " + std::to_string(top) + " " + std::to_string(dpi) + "\n";
}

// Scans 7 pages and prints page 5 from the actual-size window on the default
// printer: the print dialog offers page 1 to 1, one copy, no selection and no
// printing to a file; Cancel prints nothing, OK prints. expect.txt tells the
// checker where the page must be in the document doc.
void PrintPageFive(Session& s, const char* doc)
{
    const std::string work = PrintWork();
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 7}, {"PageDivisor", kDivisor}, {"Seed", kSeed}});
    CHECK(ScanBatch(s, 7));
    ActualSize v(s);
    const Page page5(5);
    CHECK(WritePageBmp(page5, work + "\\page.bmp"));
    const std::string expect = Expectation(doc, page5);
    CHECK(!expect.empty());
    CHECK(WriteFileBytes(work + "\\expect.txt", Bytes(expect.begin(), expect.end())));

    EnterShowPage(s, "5", VK_RETURN);
    CHECK(WaitShowPage(s, "5"));
    MakeForeground(s.Main());
    Chord(VK_MENU, 'I');
    CHECK(v.WaitOpen());

    OpenPrintDialog(v);
    HWND hDlg = WaitPrintDialog(s);
    CHECK(hDlg != nullptr);
    if (!hDlg)
        return;
    CHECK_EQ(ControlText(::GetDlgItem(hDlg, kFromPage)), std::string("1"));
    CHECK_EQ(ControlText(::GetDlgItem(hDlg, kToPage)), std::string("1"));
    CHECK_EQ(ControlText(::GetDlgItem(hDlg, kCopies)), std::string("1"));
    CHECK(!::IsWindowEnabled(::GetDlgItem(hDlg, kRangeSelection)));
    CHECK(!::IsWindowVisible(::GetDlgItem(hDlg, kPrintToFile)));
    ClickButton(hDlg, IDCANCEL);
    CHECK(WaitFor([&] { return !::IsWindow(hDlg) && ::IsWindowEnabled(v.Frame()); }, 10000));

    OpenPrintDialog(v);
    hDlg = WaitPrintDialog(s);
    CHECK(hDlg != nullptr);
    if (hDlg)
        ClickButton(hDlg, IDOK);
    CHECK(WaitFor([&] { return ::IsWindowEnabled(v.Frame()) && ProcessWindows(s.Prog().Pid(), "Printing...").empty(); },
                  30000));
    CHECK(WaitFor([&] { return !::IsWindowEnabled(s.Main()); }, 5000));
    CHECK(v.WaitShows(page5, 0, 0, "after printing"));
}

// To a PostScript printer whose port is a file.
void Print()
{
    if (PrintWorkUnix().empty()) {
        printf("  TOLVIX_PRINT_WORK is not set\n");
        CHECK(!"a work folder for printing");
        return;
    }
    const std::string out = PrintWork() + "\\page.ps";
    ::CreateDirectoryA(PrintWork().c_str(), nullptr);
    ::DeleteFileA(out.c_str());
    CHECK(InstallPrinter(PrintWorkUnix() + "/page.ps"));
    Session s("print");
    PrintPageFive(s, "page.ps");
    // The job is complete once the document's trailer is written; Cancel wrote nothing before.
    CHECK(WaitFor([&] {
        Bytes b;
        return ReadFileBytes(out, b) && std::string(b.begin(), b.end()).find("%%EOF") != std::string::npos;
    }, 30000));
    s.Prog().Kill();
    RemovePrinter();
    CHECK(RemovePageFiles());
}

// To the print queue named by TOLVIX_PRINTER, which Wine lists from the print
// server; print-queue.sh reads the job back from the queue.
void PrintQueue()
{
    const char* queue = getenv("TOLVIX_PRINTER");
    CHECK(queue != nullptr && !PrintWorkUnix().empty());
    if (!queue || PrintWorkUnix().empty())
        return;
    HANDLE h = nullptr;
    CHECK(WaitFor([&] { return ::OpenPrinterA(const_cast<char*>(queue), &h, nullptr) != FALSE; }, 20000));
    if (h)
        ::ClosePrinter(h);
    CHECK(::SetDefaultPrinterA(queue));
    Session s("printq");
    PrintPageFive(s, "page.pdf");
    s.Prog().Kill();
    CHECK(RemovePageFiles());
}

// A picture of the window with a page and its Image menu open, for looking at.
void Screenshot()
{
    const char* artifacts = getenv("TOLVIX_ARTIFACTS");
    CHECK(artifacts != nullptr);
    if (!artifacts)
        return;
    const std::string folder = WindowsPath(artifacts);
    ::CreateDirectoryA(folder.c_str(), nullptr);
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 2}, {"PageDivisor", kDivisor}, {"Seed", kSeed}});
    Session s("picture");
    CHECK(ScanBatch(s, 2));
    ActualSize v(s);
    MakeForeground(s.Main());
    Chord(VK_MENU, 'I');
    CHECK(v.WaitOpen());
    CHECK(v.WaitShows(Page(1), 0, 0, "picture"));
    CHECK(MakeForeground(v.Frame()));
    Chord(VK_MENU, 'I');
    CHECK(WaitFor([&] {
        for (HWND h : ProcessWindows(s.Prog().Pid()))
            if (ClassOf(h) == "#32768")
                return true;
        return false;
    }));
    Pixels screen = SettledCapture(::GetDesktopWindow());
    CHECK(SaveBmp(screen, folder + "\\actual-size.bmp"));
    printf("actual-size picture: %s\\actual-size.bmp\n", folder.c_str());
    Tap(VK_ESCAPE);
    Tap(VK_ESCAPE);
    s.Prog().Kill();
    CHECK(RemovePageFiles());
}

} // namespace

int main(int argc, char** argv)
{
    return RunCases(argc, argv, {
        {"show_page", ShowPage},
        {"open_and_scroll", OpenAndScroll},
        {"help", Help},
        {"print", Print},
        {"print_queue", PrintQueue},
        {"screenshot", Screenshot},
    });
}

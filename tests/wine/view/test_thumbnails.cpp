// The thumbnail display area of the real Tolvix.exe after real scans: the cells,
// page numbers and the green frame read back from the screen, and what clicks,
// double clicks, the scroll bar and the navigation keys do to them.
#include "../scan/ScanHelpers.h"

#include <stdio.h>

using namespace harness;
using namespace scantest;

namespace {

const int kDivisor = 4;
const uint32_t kGray = 0x969696;
const uint32_t kGreen = 0x00FF00;
const uint32_t kBlack = 0x000000;
const uint32_t kWhite = 0xFFFFFF;

// What one of the four cells shows.
enum Look { Empty, Plain, Framed, Broken };

const char* LookName(Look l)
{
    switch (l) {
    case Empty: return "empty";
    case Plain: return "plain";
    case Framed: return "framed";
    default: return "broken";
    }
}

struct Cell {
    int left, top, right, bottom;  // the cell
    int x, y, drawW, drawH;        // the frame's box; the image is inside it, 4 pixels in
};

// Where the area draws slot s (1..4), from its outer size and the thumbnail size.
Cell CellOf(int W, int H, int s, int w, int h)
{
    const int cellW = (W - 20) / 2, cellH = (H - 4) / 2;
    const int c = (s - 1) % 2, r = (s - 1) / 2;
    Cell k;
    k.left = 4 + c * (cellW - 4);
    k.right = k.left + cellW - 8;
    k.top = 4 + r * (cellH - 4);
    k.bottom = k.top + cellH - 8;
    const int availW = (k.right - k.left) - 8, availH = (k.bottom - k.top) - 24;
    if (w > h) {
        k.drawW = availW;
        k.drawH = (int)((double)availH * h / w);
        k.x = k.left;
        k.y = k.top + (availH - k.drawH) / 2;
    } else {
        k.drawH = availW;
        k.drawW = (int)((double)availW * w / h);
        k.x = k.left + (availW - k.drawW) / 2;
        k.y = k.top;
    }
    return k;
}

struct Screen {
    Look looks[4];
    bool numbers[4];  // dark pixels where the page number is written
    bool backgroundGray;
    bool operator==(const Screen& o) const
    {
        for (int i = 0; i < 4; ++i)
            if (looks[i] != o.looks[i] || numbers[i] != o.numbers[i])
                return false;
        return backgroundGray == o.backgroundGray;
    }
};

std::string Describe(const Screen& s)
{
    std::string t;
    for (int i = 0; i < 4; ++i)
        t += std::string(LookName(s.looks[i])) + (s.numbers[i] ? "#" : "") + " ";
    return t + (s.backgroundGray ? "gray" : "not-gray");
}

// A screen with pages in slots 1..filled, the one in slot green framed (0: none).
Screen Expect(int filled, int green)
{
    Screen s;
    for (int i = 0; i < 4; ++i) {
        s.looks[i] = i >= filled ? Empty : (i + 1 == green ? Framed : Plain);
        s.numbers[i] = i < filled;
    }
    s.backgroundGray = true;
    return s;
}

class Viewer {
public:
    explicit Viewer(Session& s) : m_s(s)
    {
        A4PageSize(kDivisor, &m_pageW, &m_pageH);
        m_thumbW = m_pageW / 16;
        m_thumbH = m_pageH / 16;
    }

    Screen Read(Pixels* pOut = nullptr) const
    {
        HWND hArea = m_s.Display();
        RECT rc;
        ::GetWindowRect(hArea, &rc);
        const int W = rc.right - rc.left, H = rc.bottom - rc.top;
        Pixels p = CaptureClient(hArea);
        if (pOut)
            *pOut = p;
        Screen out = {};
        out.backgroundGray = p.width > 2 && p.At(1, 1) == kGray && p.At(p.width / 2, 2) == kGray;
        for (int slot = 1; slot <= 4; ++slot) {
            const Cell k = CellOf(W, H, slot, m_thumbW, m_thumbH);
            size_t ringGreen = 0, ringGray = 0, ring = 0, inner = 0, innerBw = 0, innerBlack = 0, cell = 0,
                   cellGray = 0, numberDark = 0;
            for (int y = k.top; y < k.bottom && y < p.height; ++y)
                for (int x = k.left; x < k.right && x < p.width; ++x) {
                    const uint32_t c = p.At(x, y);
                    ++cell;
                    cellGray += c == kGray;
                    const bool inBox = x >= k.x && x < k.x + k.drawW + 8 && y >= k.y && y < k.y + k.drawH + 8;
                    const bool inImage = x >= k.x + 4 && x < k.x + 4 + k.drawW && y >= k.y + 4 && y < k.y + 4 + k.drawH;
                    if (inImage) {
                        ++inner;
                        innerBw += c == kBlack || c == kWhite;
                        innerBlack += c == kBlack;
                    } else if (inBox) {
                        ++ring;
                        ringGreen += c == kGreen;
                        ringGray += c == kGray;
                    }
                    const int mid = k.left + (k.right - k.left) / 2;
                    if (x >= mid && x < mid + 40 && y >= k.bottom - 16 && y < k.bottom - 2)
                        numberDark += (c & 0xFF) < 0x60 && ((c >> 8) & 0xFF) < 0x60 && (c >> 16) < 0x60;
                }
            Look l = Broken;
            if (cell > 0 && cellGray == cell)
                l = Empty;
            else if (innerBw == inner && innerBlack > 0 && ringGreen == ring)
                l = Framed;
            else if (innerBw == inner && innerBlack > 0 && ringGray == ring)
                l = Plain;
            out.looks[slot - 1] = l;
            out.numbers[slot - 1] = numberDark > 0;
        }
        return out;
    }

    // Waits for the screen to look as expected; a failure leaves a picture behind.
    void ExpectScreen(const Screen& want, const char* what)
    {
        Screen got = {};
        bool ok = WaitFor([&] {
            got = Read();
            return got == want;
        }, 10000);
        if (!ok) {
            Pixels p;
            Read(&p);
            std::string shot = NewTempFolder("shot") + "\\area.bmp";
            SaveBmp(p, shot);
            printf("  %s: got [%s], expected [%s]; picture %s\n", what, Describe(got).c_str(),
                   Describe(want).c_str(), shot.c_str());
        }
        CHECK(ok);
    }

    bool WaitShowPage(int n)
    {
        return WaitFor([&] { return m_s.Text(kShowPageEdit) == std::to_string(n); }, 10000);
    }

    // The area's own scroll bar arrows, clicked.
    void ScrollArrow(bool down)
    {
        HWND hArea = m_s.Display();
        RECT rc;
        ::GetWindowRect(hArea, &rc);
        const int cx = ::GetSystemMetrics(SM_CXVSCROLL), cy = ::GetSystemMetrics(SM_CYVSCROLL);
        POINT client = {0, 0};
        ::ClientToScreen(hArea, &client);
        RECT rcClient;
        ::GetClientRect(hArea, &rcClient);
        // The bar stands right of the client area, between it and the border.
        const int sx = client.x + rcClient.right + cx / 2;
        const int sy = down ? client.y + rcClient.bottom - cy / 2 : client.y + cy / 2;
        m_s.Click(sx - client.x, sy - client.y);
    }

    int W() const
    {
        RECT rc;
        ::GetClientRect(m_s.Display(), &rc);
        return rc.right;
    }
    int H() const
    {
        RECT rc;
        ::GetClientRect(m_s.Display(), &rc);
        return rc.bottom;
    }

private:
    Session& m_s;
    int m_pageW = 0, m_pageH = 0, m_thumbW = 0, m_thumbH = 0;
};

// Starts a program and scans a batch of the given size.
bool ScanBatch(Session& s, int nPages)
{
    if (!s.Start())
        return false;
    s.PressScan();
    return s.WaitPagesShown(nPages);
}

// The client point in the middle of a quarter: slot 1 top left .. 4 bottom right.
POINT Quarter(const Viewer& v, int slot)
{
    return POINT{(slot % 2 ? 1 : 3) * v.W() / 4, (slot <= 2 ? 1 : 3) * v.H() / 4};
}

void OnePage()
{
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 1}, {"PageDivisor", kDivisor}});
    Session s("one");
    CHECK(ScanBatch(s, 1));
    Viewer v(s);
    CHECK(!s.ScrollBarShown());
    v.ExpectScreen(Expect(1, 1), "one page");
    s.Prog().Kill();
    CHECK(RemovePageFiles());
}

void FivePages()
{
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 5}, {"PageDivisor", kDivisor}});
    Session s("five");
    CHECK(ScanBatch(s, 5));
    Viewer v(s);
    CHECK(s.ScrollBarShown());
    v.ExpectScreen(Expect(4, 1), "five pages, screen 1");
    // Scrolling shows screen 2 (page 5 alone) and leaves the selection on page 1.
    v.ScrollArrow(true);
    v.ExpectScreen(Expect(1, 0), "five pages, screen 2");
    CHECK_EQ(s.Text(kShowPageEdit), std::string("1"));
    // The last screen is the last: another click keeps it.
    v.ScrollArrow(true);
    v.ExpectScreen(Expect(1, 0), "five pages, still screen 2");
    POINT pt = Quarter(v, 1);
    s.Click(pt.x, pt.y);
    CHECK(v.WaitShowPage(5));
    v.ExpectScreen(Expect(1, 1), "page 5 selected");
    v.ScrollArrow(false);
    v.ExpectScreen(Expect(4, 0), "back on screen 1, page 5 selected");
    s.Prog().Kill();
    CHECK(RemovePageFiles());
}

void EightPages()
{
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 8}, {"PageDivisor", kDivisor}});
    Session s("eight");
    CHECK(ScanBatch(s, 8));
    Viewer v(s);
    CHECK(s.ScrollBarShown());
    v.ExpectScreen(Expect(4, 1), "eight pages, screen 1");
    // Two screens exactly: two steps down still show a full screen.
    v.ScrollArrow(true);
    v.ExpectScreen(Expect(4, 0), "eight pages, screen 2");
    v.ScrollArrow(true);
    v.ExpectScreen(Expect(4, 0), "eight pages, no screen 3");
    s.KeyOnMain(VK_END);
    CHECK(v.WaitShowPage(8));
    v.ExpectScreen(Expect(4, 4), "End: page 8");
    s.KeyOnMain(VK_HOME);
    CHECK(v.WaitShowPage(1));
    v.ExpectScreen(Expect(4, 1), "Home: page 1");
    s.Prog().Kill();
    CHECK(RemovePageFiles());
}

void NinePages()
{
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 9}, {"PageDivisor", kDivisor}});
    Session s("nine");
    CHECK(ScanBatch(s, 9));
    Viewer v(s);
    CHECK(s.ScrollBarShown());
    CHECK_EQ(s.Text(kPageTotal), std::string("/ 9"));
    v.ExpectScreen(Expect(4, 1), "nine pages, screen 1");
    // Three screens: the third holds page 9 alone.
    v.ScrollArrow(true);
    v.ExpectScreen(Expect(4, 0), "nine pages, screen 2");
    v.ScrollArrow(true);
    v.ExpectScreen(Expect(1, 0), "nine pages, screen 3");
    v.ScrollArrow(true);
    v.ExpectScreen(Expect(1, 0), "nine pages, still screen 3");
    s.KeyOnMain(VK_END);
    CHECK(v.WaitShowPage(9));
    v.ExpectScreen(Expect(1, 1), "End: page 9");
    s.Prog().Kill();
    CHECK(RemovePageFiles());
}

// Three pages: clicks select, empty quarters select nothing, a double click on
// an empty quarter does nothing at all, Page Up and Page Down do nothing.
void ClicksAndFewPageKeys()
{
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 3}, {"PageDivisor", kDivisor}});
    Session s("clicks");
    CHECK(ScanBatch(s, 3));
    Viewer v(s);
    CHECK(!s.ScrollBarShown());
    v.ExpectScreen(Expect(3, 1), "three pages");

    POINT pt = Quarter(v, 2);
    s.Click(pt.x, pt.y);
    CHECK(v.WaitShowPage(2));
    v.ExpectScreen(Expect(3, 2), "click on page 2");

    pt = Quarter(v, 4);
    s.Click(pt.x, pt.y);
    v.ExpectScreen(Expect(3, 2), "click on the empty quarter");
    CHECK_EQ(s.Text(kShowPageEdit), std::string("2"));

    s.DoubleClick(pt.x, pt.y);
    v.ExpectScreen(Expect(3, 2), "double click on the empty quarter");
    CHECK_EQ(s.Text(kShowPageEdit), std::string("2"));
    CHECK_EQ(ProcessWindows(s.Prog().Pid()).size(), (size_t)1);

    pt = Quarter(v, 3);
    s.DoubleClick(pt.x, pt.y);
    CHECK(v.WaitShowPage(3));
    // It opens the page at actual size; the main window waits until that closes.
    HWND hFrame = nullptr;
    CHECK(WaitFor([&] {
        std::vector<HWND> frames = ProcessWindows(s.Prog().Pid(), "Actual Size");
        hFrame = frames.empty() ? nullptr : frames[0];
        return hFrame != nullptr;
    }));
    CHECK(WaitFor([&] { return !::IsWindowEnabled(s.Main()); }, 5000));
    ::PostMessageA(hFrame, WM_CLOSE, 0, 0);
    CHECK(WaitFor([&] { return ::IsWindowEnabled(s.Main()) != FALSE; }));
    v.ExpectScreen(Expect(3, 3), "double click on page 3");

    for (WORD vk : {VK_NEXT, VK_PRIOR, VK_RIGHT, VK_UP, VK_DOWN}) {
        s.KeyOnMain(vk);
        v.ExpectScreen(Expect(3, 3), "keys that change nothing on the last of three");
        CHECK_EQ(s.Text(kShowPageEdit), std::string("3"));
    }
    s.KeyOnMain(VK_HOME);
    CHECK(v.WaitShowPage(1));
    v.ExpectScreen(Expect(3, 1), "Home");
    s.KeyOnMain(VK_LEFT);
    v.ExpectScreen(Expect(3, 1), "Left on page 1");
    CHECK_EQ(s.Text(kShowPageEdit), std::string("1"));
    s.KeyOnMain(VK_RIGHT);
    CHECK(v.WaitShowPage(2));
    v.ExpectScreen(Expect(3, 2), "Right");
    s.KeyOnMain(VK_END);
    CHECK(v.WaitShowPage(3));
    v.ExpectScreen(Expect(3, 3), "End");
    s.Prog().Kill();
    CHECK(RemovePageFiles());
}

// Seven pages: Page Down from 6 stops at 7; Page Up goes back four at a time.
void SevenPageKeys()
{
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", 7}, {"PageDivisor", kDivisor}});
    Session s("seven");
    CHECK(ScanBatch(s, 7));
    Viewer v(s);
    s.KeyOnMain(VK_NEXT);
    CHECK(v.WaitShowPage(5));
    v.ExpectScreen(Expect(3, 1), "Page Down from 1: page 5");
    s.KeyOnMain(VK_RIGHT);
    CHECK(v.WaitShowPage(6));
    v.ExpectScreen(Expect(3, 2), "Right: page 6");
    s.KeyOnMain(VK_NEXT);
    CHECK(v.WaitShowPage(7));
    v.ExpectScreen(Expect(3, 3), "Page Down from 6: page 7");
    s.KeyOnMain(VK_RIGHT);
    v.ExpectScreen(Expect(3, 3), "Right on the last page");
    CHECK_EQ(s.Text(kShowPageEdit), std::string("7"));
    s.KeyOnMain(VK_PRIOR);
    CHECK(v.WaitShowPage(3));
    v.ExpectScreen(Expect(4, 3), "Page Up from 7: page 3");
    s.KeyOnMain(VK_PRIOR);
    CHECK(v.WaitShowPage(1));
    v.ExpectScreen(Expect(4, 1), "Page Up from 3: page 1");
    s.KeyOnMain(VK_LEFT);
    v.ExpectScreen(Expect(4, 1), "Left on page 1");
    s.Prog().Kill();
    CHECK(RemovePageFiles());
}

} // namespace

int main(int argc, char** argv)
{
    return RunCases(argc, argv, {
        {"one_page", OnePage},
        {"five_pages", FivePages},
        {"eight_pages", EightPages},
        {"nine_pages", NinePages},
        {"clicks_and_few_page_keys", ClicksAndFewPageKeys},
        {"seven_page_keys", SevenPageKeys},
    });
}

// Pages to Scan: typing, leaving the field, the beep, and the up-down arrows at
// the ends of the range and at the digit-count boundaries.
#include "Cases.h"
#include "../harness/Session.h"

#include <stdlib.h>
#include <string.h>

using namespace harness;
using namespace harness;

namespace {

HWND StartSpecify(Program& prog, ModelKey& key)
{
    key.SetProduct("Pagewell QX710KTR");
    Bytes in = Defaults(prog);
    PutInt(in, kOffScanRange, 4);
    HWND h = StartWith(prog, in);
    if (!h)
        return nullptr;
    CHECK(MakeForeground(h));
    CHECK(Enabled(h, 1110));
    return h;
}

// The Beep calls of the program, as Wine's relay trace wrote them to the log that
// the test's wrapper script collects (tests/wine/mainwindow/relay.sh).
class BeepLog {
public:
    BeepLog()
    {
        const char* v = getenv("TOLVIX_RELAY_LOG");
        m_path = WindowsPath(v ? v : "");
    }
    bool Available() const { return !m_path.empty(); }
    // Calls of Beep, and how many of them had frequency 37 and duration 0.
    void Count(int& nAll, int& nExpected) const
    {
        nAll = nExpected = 0;
        Bytes log;
        ReadFileBytes(m_path, log);
        std::string text(log.begin(), log.end());
        // A call through kernel32 shows once more as its kernelbase implementation.
        const char* entry = strstr(text.c_str(), "Call KERNEL32.Beep(") ? "Call KERNEL32.Beep(" : "Call KERNELBASE.Beep(";
        for (size_t at = text.find(entry); at != std::string::npos; at = text.find(entry, at + 1)) {
            ++nAll;
            if (text.compare(at + strlen(entry), 18, "00000025,00000000)") == 0)
                ++nExpected;
        }
    }
    bool WaitCount(int n) const
    {
        return WaitFor([&] {
            int a, e;
            Count(a, e);
            return a >= n;
        });
    }

private:
    std::string m_path;
};

void Typing()
{
    BeepLog beeps;
    CHECK(beeps.Available());
    ModelKey key;
    Program prog("pagestyping");
    HWND h = StartSpecify(prog, key);
    if (!h)
        return;
    CHECK_EQ(Text(h, 1110), std::string("001"));

    // Tab leaves the field; the count is shown with three digits.
    EnterPages(h, "25", VK_TAB);
    CHECK(WaitText(h, 1110, "025"));
    CHECK(WaitSpin(h, 25));
    CHECK(WaitFocus(h, 1057));
    // Shift+Tab comes back, with the whole text selected by the dialog manager.
    Chord(VK_SHIFT, VK_TAB);
    CHECK(WaitFocus(h, 1110));

    // Enter checks the field in place.
    EnterPages(h, "12000", VK_RETURN);
    CHECK(WaitText(h, 1110, "12000"));
    CHECK(WaitSpin(h, 12000));
    CHECK_EQ(FocusId(h), 1110);

    EnterPages(h, "1000", VK_TAB);
    CHECK(WaitText(h, 1110, "1000"));
    CHECK(WaitSpin(h, 1000));

    // Non-digits never reach the field.
    EnterPages(h, "7x-.,", VK_TAB);
    CHECK(WaitText(h, 1110, "007"));
    CHECK(WaitSpin(h, 7));
    EnterPages(h, "999", VK_RETURN);
    CHECK(WaitText(h, 1110, "999"));

    // Out of range or empty: the previous count comes back, with a beep each.
    EnterPages(h, "0", VK_TAB);
    CHECK(beeps.WaitCount(1));
    CHECK(WaitText(h, 1110, "999"));
    CHECK(WaitSpin(h, 999));
    EnterPages(h, "30001", VK_RETURN);
    CHECK(beeps.WaitCount(2));
    CHECK(WaitText(h, 1110, "999"));
    AltKey('T');
    CHECK(WaitFocus(h, 1110));
    Tap(VK_BACK);
    CHECK(WaitText(h, 1110, ""));
    Tap(VK_TAB);
    CHECK(beeps.WaitCount(3));
    CHECK(WaitText(h, 1110, "999"));
    EnterPages(h, "30000", VK_TAB);
    CHECK(WaitText(h, 1110, "30000"));

    int nAll = 0, nExpected = 0;
    beeps.Count(nAll, nExpected);
    CHECK_EQ(nAll, 3);
    CHECK_EQ(nExpected, 3);
    CHECK(prog.CloseNormally());
}

void UpDown()
{
    ModelKey key;
    Program prog("updown");
    HWND h = StartSpecify(prog, key);
    if (!h)
        return;
    HWND spin = ::GetDlgItem(h, 1114);
    RECT rc;
    ::GetClientRect(spin, &rc);
    auto clickUp = [&] { ClickAt(spin, rc.right / 2, rc.bottom / 4); };
    auto clickDown = [&] { ClickAt(spin, rc.right / 2, rc.bottom * 3 / 4); };

    // Down at 1 shows "001".
    clickDown();
    CHECK(WaitFor([&] { return Text(h, 1110) == "001" && SpinPos(h) == 1; }));
    clickUp();
    CHECK(WaitText(h, 1110, "002"));
    CHECK(WaitSpin(h, 2));

    // One step up from a checked count and back down: each text is formatted by its
    // base, so 999 up shows 1000 and 1000 down shows 0999.
    auto upThenDown = [&](const char* typed, const char* up, const char* down) {
        EnterPages(h, typed, VK_TAB);
        CHECK(WaitText(h, 1110, typed));
        clickUp();
        CHECK(WaitText(h, 1110, up));
        CHECK(WaitSpin(h, atoi(up)));
        clickDown();
        CHECK(WaitText(h, 1110, down));
        CHECK(WaitSpin(h, atoi(down)));
    };
    upThenDown("999", "1000", "0999");

    // The arrow keys in the field step as well.
    AltKey('T');
    CHECK(WaitFocus(h, 1110));
    Tap(VK_UP);
    CHECK(WaitText(h, 1110, "1000"));
    CHECK(WaitSpin(h, 1000));

    // 9999 up shows five digits; 10000 down keeps five.
    upThenDown("9999", "10000", "09999");

    // Up at 30000 leaves the text; the step down that follows shows it was handled.
    EnterPages(h, "30000", VK_TAB);
    CHECK(WaitText(h, 1110, "30000"));
    clickUp();
    clickUp();
    clickDown();
    CHECK(WaitText(h, 1110, "29999"));
    CHECK(WaitSpin(h, 29999));

    // A count typed but not yet checked becomes the base of the step, also when
    // the up-down stands at an end of its range.
    EnterPages(h, "30000", VK_TAB);
    CHECK(WaitText(h, 1110, "30000"));
    EnterPages(h, "500", 0);
    clickUp();
    CHECK(WaitText(h, 1110, "501"));
    CHECK(WaitSpin(h, 501));
    EnterPages(h, "1", VK_TAB);
    CHECK(WaitText(h, 1110, "001"));
    EnterPages(h, "700", 0);
    clickDown();
    CHECK(WaitText(h, 1110, "699"));
    CHECK(WaitSpin(h, 699));
    EnterPages(h, "500", 0);
    CHECK(WaitText(h, 1110, "500"));
    Tap(VK_UP);
    CHECK(WaitText(h, 1110, "501"));
    CHECK(WaitSpin(h, 501));
    EnterPages(h, "1", 0);
    Tap(VK_DOWN);
    CHECK(WaitText(h, 1110, "001"));
    CHECK(WaitSpin(h, 1));
    CHECK(prog.CloseNormally());
}

bool WaitPagesShown(HWND h, int n)
{
    std::string total = "/ " + std::to_string(n);
    return WaitFor([&] { return ::IsWindowEnabled(h) && Text(h, 1022) == total && ButtonEnabled(h, 2001); },
                   60000);
}

// The count a scan asks for is the one the field shows, however it got there.
void ScanCounts()
{
    ModelKey key;
    harness::ScannerControls scanner({{"Sheets", 9}, {"PageDivisor", 4}});
    Program prog("pagesscan");
    HWND h = StartSpecify(prog, key);
    if (!h)
        return;
    // Alt+S and Alt+D do nothing while their buttons are disabled.
    HWND tb = ToolBar(h);
    ::SendMessageA(tb, TB_ENABLEBUTTON, 2001, MAKELPARAM(FALSE, 0));
    ::SendMessageA(tb, TB_ENABLEBUTTON, 2004, MAKELPARAM(FALSE, 0));
    AltKey('S');
    AltKey('D');
    AltKey('N');
    CHECK(WaitFocus(h, 1011));
    CHECK_EQ(Text(h, 1022), std::string("/ 0"));
    CHECK(::IsWindowEnabled(h));
    CHECK_EQ(ProcessWindows(prog.Pid()).size(), (size_t)1);
    ::SendMessageA(tb, TB_ENABLEBUTTON, 2001, MAKELPARAM(TRUE, 0));
    ::SendMessageA(tb, TB_ENABLEBUTTON, 2004, MAKELPARAM(TRUE, 0));

    EnterPages(h, "5", VK_TAB);
    CHECK(WaitText(h, 1110, "005"));
    HWND spin = ::GetDlgItem(h, IDC_PAGES_SPIN);
    RECT rc;
    ::GetClientRect(spin, &rc);
    ClickAt(spin, rc.right / 2, rc.bottom * 3 / 4);
    CHECK(WaitText(h, 1110, "004"));
    AltKey('S');
    CHECK(WaitPagesShown(h, 4));
    // With pages on show the options stay as they are until Clear.
    for (int id : {1047, 1002, 1006, 1057})
        CHECK(!Enabled(h, id));
    CHECK(!ButtonEnabled(h, 2003));
    CHECK(ButtonEnabled(h, 2000));
    AltKey('C');
    CHECK(WaitPagesShown(h, 0));
    CHECK(!ButtonEnabled(h, 2000));
    CHECK(Enabled(h, 1047));

    // 40 pages, then Restore Defaults, then "Specify" again: one page.
    EnterPages(h, "40", VK_TAB);
    CHECK(WaitText(h, 1110, "040"));
    AltKey('F');
    CHECK(WaitText(h, 1110, "001"));
    AltKey('N');
    CHECK(WaitFocus(h, 1011));
    Tap(VK_END);
    CHECK(WaitFor([&] { return Enabled(h, 1110); }));
    AltKey('S');
    CHECK(WaitPagesShown(h, 1));

    // Closing with the batch unsaved asks first.
    ::PostMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND hAsk = prog.WaitDialogWithText("Scanned images will be cleared. Continue?");
    CHECK(hAsk != nullptr);
    if (hAsk)
        ClickButton(hAsk, IDOK);
    CHECK(prog.WaitExit());
}

} // namespace

std::vector<Case> PagesCases()
{
    return {
        {"pages_typing", Typing},
        {"pages_updown", UpDown},
        {"pages_scan", ScanCounts},
    };
}

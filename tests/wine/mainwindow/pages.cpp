// Pages to Scan: typing, leaving the field, the beep, and the up-down arrows at
// the ends of the range and at the digit-count boundaries.
#include "Cases.h"
#include "../harness/Session.h"

#include <stdlib.h>
#include <string.h>

using namespace harness;

namespace {

HWND StartSpecify(Program& prog, ModelKey& key)
{
    Bytes in = Defaults(prog);
    PutInt(in, kOffScanRange, kRangeSpecify);
    HWND h = StartModel(prog, key, "Pagewell QX710KTR", in);
    CHECK(h && Enabled(h, IDC_PAGES_TO_SCAN));
    return h;
}

// The program's Beep calls in Wine's relay trace (relay.sh collects it), and how
// many of them had frequency 37 and duration 0.
void CountBeeps(int& nAll, int& nExpected)
{
    const char* v = getenv("TOLVIX_RELAY_LOG");
    Bytes log;
    ReadFileBytes(WindowsPath(v ? v : ""), log);
    std::string text(log.begin(), log.end());
    // A call through kernel32 shows once more as its kernelbase implementation.
    const char* entry = strstr(text.c_str(), "Call KERNEL32.Beep(") ? "Call KERNEL32.Beep(" : "Call KERNELBASE.Beep(";
    nAll = nExpected = 0;
    for (size_t at = text.find(entry); at != std::string::npos; at = text.find(entry, at + 1)) {
        ++nAll;
        nExpected += text.compare(at + strlen(entry), 18, "00000025,00000000)") == 0;
    }
}

// One user action on the field or its up-down, and what the field then shows.
// Actions: typed text left with Tab ('T'), Enter ('E') or not left ('N'); the
// field emptied and left with Tab ('X'); Shift+Tab back into it ('S'); a click
// on the up-down's upper or lower half ('+', '-'); the Up or Down key in the
// field ('u', 'd'), after Alt+T ('U').
struct Step {
    char action;
    const char* text;
    const char* shows; // null: not checked
    int spin;          // the up-down's position after it; 0: not checked
    int beeps;         // beeps so far, when the relay trace is there; -1: not checked
};

void RunSteps(const char* tag, const std::vector<Step>& steps, bool beeps)
{
    ModelKey key;
    Program prog(tag);
    HWND h = StartSpecify(prog, key);
    if (!h)
        return;
    HWND spin = ::GetDlgItem(h, IDC_PAGES_SPIN);
    RECT rc;
    ::GetClientRect(spin, &rc);
    for (const Step& st : steps) {
        printf("  step %c \"%s\"\n", st.action, st.text ? st.text : "");
        switch (st.action) {
        case 'T':
        case 'E':
        case 'N':
            EnterPages(h, st.text, st.action == 'T' ? VK_TAB : st.action == 'E' ? VK_RETURN : 0);
            break;
        case 'X':
            EnterPages(h, "", 0);
            Tap(VK_BACK);
            CHECK(WaitText(h, IDC_PAGES_TO_SCAN, ""));
            Tap(VK_TAB);
            break;
        case '+':
        case '-':
            ClickAt(spin, rc.right / 2, st.action == '+' ? rc.bottom / 4 : rc.bottom * 3 / 4);
            break;
        case 'U':
            AltKey('T');
            CHECK(WaitFocus(h, IDC_PAGES_TO_SCAN));
            Tap(VK_UP);
            break;
        case 'S':
            Chord(VK_SHIFT, VK_TAB);
            CHECK(WaitFocus(h, IDC_PAGES_TO_SCAN));
            break;
        case 'u':
        case 'd':
            Tap(st.action == 'u' ? VK_UP : VK_DOWN);
            break;
        }
        int nAll = 0, nExpected = 0;
        if (beeps && st.beeps >= 0 &&
            !WaitFor(
                [&] {
                    CountBeeps(nAll, nExpected);
                    return nAll == st.beeps && nExpected == st.beeps;
                },
                5000))
            CHECK_EQ(std::to_string(nAll) + " beeps, " + std::to_string(nExpected) + " of 37 Hz",
                     std::to_string(st.beeps) + " beeps, " + std::to_string(st.beeps) + " of 37 Hz");
        if (st.shows)
            CHECK(WaitText(h, IDC_PAGES_TO_SCAN, st.shows));
        if (st.spin)
            CHECK(WaitSpin(h, st.spin));
        if (st.action == 'T')
            CHECK(WaitFocus(h, IDC_RESTORE_DEFAULTS));
        if (st.action == 'E')
            CHECK_EQ(FocusId(h), IDC_PAGES_TO_SCAN);
    }
    CHECK(prog.CloseNormally());
}

void Typing()
{
    CHECK(getenv("TOLVIX_RELAY_LOG") != nullptr);
    RunSteps("pagestyping",
             {
                 // The count is shown with three digits; Enter checks it in place.
                 {'T', "25", "025", 25, 0},
                 {'S', "", nullptr, 0, 0},
                 {'E', "12000", "12000", 12000, 0},
                 {'T', "1000", "1000", 1000, 0},
                 // Non-digits never reach the field.
                 {'T', "7x-.,", "007", 7, 0},
                 {'E', "999", "999", 999, 0},
                 // Out of range or empty: the previous count comes back, with a beep each.
                 {'T', "0", "999", 999, 1},
                 {'E', "30001", "999", 999, 2},
                 {'X', "", "999", 999, 3},
                 {'T', "30000", "30000", 30000, 3},
             },
             true);
}

void UpDown()
{
    RunSteps("updown",
             {
                 // Down at 1 shows "001".
                 {'-', "", "001", 1, -1},
                 {'+', "", "002", 2, -1},
                 // Each text is formatted by its base: 999 up shows 1000, 1000 down 0999.
                 {'T', "999", "999", 0, -1},
                 {'+', "", "1000", 1000, -1},
                 {'-', "", "0999", 999, -1},
                 {'U', "", "1000", 1000, -1},
                 // 9999 up shows five digits; 10000 down keeps five.
                 {'T', "9999", "9999", 0, -1},
                 {'+', "", "10000", 10000, -1},
                 {'-', "", "09999", 9999, -1},
                 // Up at 30000 leaves the text; the step down that follows shows it was handled.
                 {'T', "30000", "30000", 0, -1},
                 {'+', "", nullptr, 0, -1},
                 {'+', "", nullptr, 0, -1},
                 {'-', "", "29999", 29999, -1},
                 // A count typed but not yet checked is the base of the step, also when the
                 // up-down stands at an end of its range.
                 {'T', "30000", "30000", 0, -1},
                 {'N', "500", nullptr, 0, -1},
                 {'+', "", "501", 501, -1},
                 {'T', "1", "001", 0, -1},
                 {'N', "700", nullptr, 0, -1},
                 {'-', "", "699", 699, -1},
                 {'N', "500", "500", 0, -1},
                 {'u', "", "501", 501, -1},
                 {'N', "1", nullptr, 0, -1},
                 {'d', "", "001", 1, -1},
             },
             false);
}

// The count a scan asks for is the one the field shows, however it got there.
void ScanCounts()
{
    ModelKey key;
    ScannerControls scanner({{"Sheets", 9}, {"PageDivisor", 4}});
    Program prog("pagesscan");
    HWND h = StartSpecify(prog, key);
    if (!h)
        return;
    // Alt+S and Alt+D do nothing while their buttons are disabled.
    HWND tb = ToolBar(h);
    for (BOOL on : {FALSE, TRUE}) {
        ::SendMessageA(tb, TB_ENABLEBUTTON, ID_CMD_SCAN, MAKELPARAM(on, 0));
        ::SendMessageA(tb, TB_ENABLEBUTTON, ID_CMD_SHOW_DRIVER, MAKELPARAM(on, 0));
        if (on)
            break;
        AltKey('S');
        AltKey('D');
        AltKey('N');
        CHECK(WaitFocus(h, IDC_SCAN_RANGE));
        CHECK_EQ(Text(h, IDC_PAGE_TOTAL), std::string("/ 0"));
        CHECK(::IsWindowEnabled(h));
        CHECK_EQ(ProcessWindows(prog.Pid()).size(), (size_t)1);
    }
    auto scanShows = [&](int n) {
        AltKey('S');
        const std::string total = "/ " + std::to_string(n);
        CHECK(WaitFor(
            [&] { return ::IsWindowEnabled(h) && Text(h, IDC_PAGE_TOTAL) == total && ButtonEnabled(h, ID_CMD_SCAN); },
            60000));
    };
    EnterPages(h, "5", VK_TAB);
    CHECK(WaitText(h, IDC_PAGES_TO_SCAN, "005"));
    HWND spin = ::GetDlgItem(h, IDC_PAGES_SPIN);
    RECT rc;
    ::GetClientRect(spin, &rc);
    ClickAt(spin, rc.right / 2, rc.bottom * 3 / 4);
    CHECK(WaitText(h, IDC_PAGES_TO_SCAN, "004"));
    scanShows(4);
    // With pages on show the options stay as they are until Clear.
    for (int id : {IDC_MODE, IDC_RESOLUTION, IDC_PAGE_SIZE, IDC_RESTORE_DEFAULTS})
        CHECK(!Enabled(h, id));
    AltKey('C');
    CHECK(WaitText(h, IDC_PAGE_TOTAL, "/ 0"));
    CHECK(WaitFor([&] { return Enabled(h, IDC_MODE); }, 5000));

    // 40 pages, then Restore Defaults, then "Specify" again by keys: one page.
    EnterPages(h, "40", VK_TAB);
    CHECK(WaitText(h, IDC_PAGES_TO_SCAN, "040"));
    AltKey('F');
    CHECK(WaitText(h, IDC_PAGES_TO_SCAN, "001"));
    AltKey('N');
    CHECK(WaitFocus(h, IDC_SCAN_RANGE));
    Tap(VK_END);
    CHECK(WaitFor([&] { return Enabled(h, IDC_PAGES_TO_SCAN); }, 5000));
    CHECK_EQ(Text(h, IDC_SCAN_RANGE), std::string("Specify"));
    CHECK(WaitSpin(h, 1));
    scanShows(1);
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

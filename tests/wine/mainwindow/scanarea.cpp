// The Scan Area dialog, opened by its hidden command: its digit-only fields under real
// keys, and the one value it hands back, the units.
#include "Cases.h"

#include <string.h>

using namespace harness;

namespace {

const char kCaption[] = "Scan Area";

HWND OpenScanArea(Program& prog, HWND hMain)
{
    ::PostMessageA(hMain, WM_COMMAND, MAKEWPARAM(IDC_SCAN_AREA, BN_CLICKED), 0);
    HWND hDlg = nullptr;
    CHECK(WaitFor(
        [&] {
            auto v = ProcessWindows(prog.Pid(), kCaption);
            hDlg = v.empty() ? nullptr : v[0];
            return hDlg != nullptr;
        },
        5000));
    if (hDlg)
        CHECK(MakeForeground(hDlg));
    return hDlg;
}

bool WaitClosed(Program& prog)
{
    return WaitFor([&] { return ProcessWindows(prog.Pid(), kCaption).empty(); }, 5000);
}

void PutClipboardText(const char* text)
{
    CHECK(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    size_t n = strlen(text) + 1;
    HGLOBAL hMem = ::GlobalAlloc(GMEM_MOVEABLE, n);
    memcpy(::GlobalLock(hMem), text, n);
    ::GlobalUnlock(hMem);
    CHECK(::SetClipboardData(CF_TEXT, hMem) != nullptr);
    ::CloseClipboard();
}

// Shift+Tab as a person types it, Shift held until the focus has moved. The
// field asks GetAsyncKeyState at Tab, and Wine answers a thread that asked less
// than 50 ms before from its copy of then (here: Shift up, at the last Tab, which
// the caller saw handled). So Tab goes once that copy has expired.
void ShiftTab(HWND d, int idExpected)
{
    const DWORD lastAsked = ::GetTickCount();
    Key(VK_SHIFT, true);
    WaitFor([&] { return ::GetTickCount() - lastAsked > 100; }, 1000);
    Tap(VK_TAB);
    CHECK(WaitFocus(d, idExpected));
    Key(VK_SHIFT, false);
    ::GetAsyncKeyState(VK_SHIFT);
}

void Fields()
{
    ModelKey key;
    Program prog("scanarea");
    HWND h = StartModel(prog, key, "Pagewell QX720KTR");
    if (!h)
        return;
    HWND d = OpenScanArea(prog, h);
    if (!d)
        return;
    CHECK(!::IsWindowEnabled(h)); // modal
    CHECK_EQ(Text(d, IDC_AREA_LEFT), std::string("0"));
    CHECK_EQ(Text(d, IDC_AREA_TOP), std::string("0"));
    CHECK_EQ(Text(d, IDC_AREA_WIDTH), Text(h, IDC_WIDTH_VALUE));
    CHECK_EQ(Text(d, IDC_AREA_HEIGHT), Text(h, IDC_HEIGHT_VALUE));
    CHECK(ComboItems(d, IDC_AREA_UNITS) == std::vector<std::string>({"inch", "cm"}));
    CHECK_EQ(CurSel(d, IDC_AREA_UNITS), 0);
    for (int id : {IDC_DS_LIST, IDC_DS_CHANGE})
        CHECK(!Visible(d, id));
    std::vector<std::string> sources = ComboItems(d, IDC_DS_LIST);
    CHECK_EQ(sources.size(), (size_t)1);
    if (!sources.empty())
        CHECK(!sources[0].empty());

    CHECK(WaitFocus(d, IDC_AREA_LEFT));
    Tap(VK_END);
    Tap(VK_BACK);
    CHECK(WaitText(d, IDC_AREA_LEFT, ""));
    // Letters and signs are dropped silently; Backspace deletes.
    TypeText("12A3");
    CHECK(WaitText(d, IDC_AREA_LEFT, "123"));
    Tap(VK_BACK);
    TypeText("-.,+e4");
    CHECK(WaitText(d, IDC_AREA_LEFT, "124"));

    // Ctrl+V is a character and dropped; Shift+Insert pastes unfiltered.
    PutClipboardText("x9");
    Chord(VK_CONTROL, 'V');
    TypeText("5");
    CHECK(WaitText(d, IDC_AREA_LEFT, "1245"));
    Chord(VK_SHIFT, VK_INSERT);
    CHECK(WaitText(d, IDC_AREA_LEFT, "1245x9"));
    // Home and Delete keep their editing meaning.
    Tap(VK_HOME);
    Tap(VK_DELETE);
    CHECK(WaitText(d, IDC_AREA_LEFT, "245x9"));
    // Tab asks whether Shift went down since the last query, and Wine keeps that
    // bit for the whole desktop: query it here so the Shift of the keys above is
    // not taken for a Shift+Tab.
    ::GetAsyncKeyState(VK_SHIFT);

    // Tab and Shift+Tab move between the fields.
    Tap(VK_TAB);
    CHECK(WaitFocus(d, IDC_AREA_TOP));
    Tap(VK_TAB);
    CHECK(WaitFocus(d, IDC_AREA_WIDTH));
    ShiftTab(d, IDC_AREA_TOP);
    ShiftTab(d, IDC_AREA_LEFT);

    // Enter and Escape stay in the field; the digit typed next lands there.
    Tap(VK_END);
    Tap(VK_RETURN);
    Tap(VK_ESCAPE);
    TypeText("6");
    CHECK(WaitText(d, IDC_AREA_LEFT, "245x96"));
    CHECK_EQ(FocusId(d), IDC_AREA_LEFT);
    CHECK(::IsWindowVisible(d));
    CHECK(prog.Running());

    ClickButton(d, IDCANCEL);
    CHECK(WaitClosed(prog));
    CHECK(WaitFor([&] { return ::IsWindowEnabled(h) != 0; }, 5000));
    CHECK(prog.CloseNormally());
}

void Units()
{
    ModelKey key;
    Program prog("scanunits");
    HWND h = StartModel(prog, key, "Pagewell QX720KTR");
    if (!h)
        return;
    HWND d = OpenScanArea(prog, h);
    if (!d)
        return;
    CHECK(WaitFocus(d, IDC_AREA_LEFT));
    TypeText("77");
    // Tab through the four fields to the Units list, pick "cm", Enter for OK.
    for (int i = 0; i < 4; ++i)
        Tap(VK_TAB);
    CHECK(WaitFocus(d, IDC_AREA_UNITS));
    Tap(VK_DOWN);
    CHECK(WaitFor([&] { return CurSel(d, IDC_AREA_UNITS) == 1; }, 5000));
    Tap(VK_RETURN);
    CHECK(WaitClosed(prog));

    // The units come back; the numbers typed do not.
    d = OpenScanArea(prog, h);
    if (!d)
        return;
    CHECK_EQ(CurSel(d, IDC_AREA_UNITS), 1);
    CHECK_EQ(Text(d, IDC_AREA_LEFT), std::string("0"));
    // A choice left with Cancel is forgotten.
    ::SendMessageA(::GetDlgItem(d, IDC_AREA_UNITS), CB_SETCURSEL, 0, 0);
    ClickButton(d, IDCANCEL);
    CHECK(WaitClosed(prog));
    d = OpenScanArea(prog, h);
    if (!d)
        return;
    CHECK_EQ(CurSel(d, IDC_AREA_UNITS), 1);
    ClickButton(d, IDOK);
    CHECK(WaitClosed(prog));
    // The main window's own unit lists stay unfilled and hidden.
    CHECK_EQ(CurSel(h, IDC_WIDTH_UNITS), -1);
    CHECK(!Visible(h, IDC_WIDTH_UNITS));
    CHECK(prog.CloseNormally());
    // The unit setting of the file is not the dialog's.
    CHECK_EQ(SavedInt(prog, kOffNumber + 20), 0);
}

} // namespace

std::vector<Case> ScanAreaCases()
{
    return {
        {"scanarea_fields", Fields},
        {"scanarea_units", Units},
    };
}

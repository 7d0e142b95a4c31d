// Keyboard and mouse on the main window: Alt mnemonics, Clear, Escape, Restore
// Defaults and the tooltips.
#include "Cases.h"

#include <string.h>

using namespace harness;

namespace {

void SetShowPage(HWND h, const char* text)
{
    ::SendMessageA(::GetDlgItem(h, IDC_SHOW_PAGE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

// Clear disabled: neither Alt+C nor a click on it does a thing (Show Page would
// be reset to "0"), nor Alt+A for the disabled Save. Enabled, both clear without
// asking: the no-pages state again, focus on Mode, Restore Defaults the default.
void ClearCommand()
{
    ModelKey key;
    Program prog("clear");
    HWND h = StartModel(prog, key, "Pagewell QX720KTR");
    if (!h)
        return;
    // Alt with a label's letter still moves to its list: the keys arrive.
    AltKey('R');
    CHECK(WaitFocus(h, IDC_RESOLUTION));
    ::SendMessageA(h, DM_SETDEFID, IDC_ACTUAL_SIZE, 0);
    SetShowPage(h, "7");
    RECT rc = ButtonRect(h, ID_CMD_CLEAR);
    ClickScreen((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    AltKey('C');
    AltKey('A');
    AltKey('N');
    CHECK(WaitFocus(h, IDC_SCAN_RANGE));
    CHECK_EQ(Text(h, IDC_SHOW_PAGE), std::string("7"));
    CHECK_EQ(DefaultId(h), IDC_ACTUAL_SIZE);
    CHECK_EQ(ProcessWindows(prog.Pid()).size(), (size_t)1);

    for (bool click : {false, true}) {
        ::SendMessageA(ToolBar(h), TB_ENABLEBUTTON, ID_CMD_CLEAR, MAKELPARAM(TRUE, 0));
        CHECK(ButtonEnabled(h, ID_CMD_CLEAR));
        AltKey('R');
        CHECK(WaitFocus(h, IDC_RESOLUTION));
        SetShowPage(h, "3");
        if (click)
            ClickScreen((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        else
            AltKey('C');
        CHECK(WaitText(h, IDC_SHOW_PAGE, "0"));
        CHECK(WaitFocus(h, IDC_MODE));
        CHECK_EQ(DefaultId(h), IDC_RESTORE_DEFAULTS);
        CHECK(!ButtonEnabled(h, ID_CMD_CLEAR));
        CHECK(!Enabled(h, IDC_SHOW_PAGE));
        CHECK_EQ(ProcessWindows(prog.Pid()).size(), (size_t)1);
    }
    CHECK(prog.CloseNormally());
}

void EscapeKey()
{
    ModelKey key;
    Program prog("escape");
    HWND h = StartModel(prog, key, "Pagewell QX720KTR");
    if (!h)
        return;
    CHECK(WaitFocus(h, IDC_MODE));
    int modeSel = CurSel(h, IDC_MODE);
    Chord(VK_MENU, VK_DOWN);
    CHECK(WaitFor([&] { return Dropped(h, IDC_MODE); }, 5000));
    Tap(VK_ESCAPE);
    CHECK(WaitFor([&] { return !Dropped(h, IDC_MODE); }, 5000));
    CHECK_EQ(CurSel(h, IDC_MODE), modeSel);

    AltKey('N');
    CHECK(WaitFocus(h, IDC_SCAN_RANGE));
    Tap(VK_F4);
    CHECK(WaitFor([&] { return Dropped(h, IDC_SCAN_RANGE); }, 5000));
    Tap(VK_ESCAPE);
    CHECK(WaitFor([&] { return !Dropped(h, IDC_SCAN_RANGE); }, 5000));
    CHECK_EQ(CurSel(h, IDC_SCAN_RANGE), 0);

    // With nothing dropped, Escape leaves the window as it is; the drop-down that
    // opens afterwards shows that the Escapes were handled first.
    Tap(VK_ESCAPE);
    Tap(VK_ESCAPE);
    Tap(VK_F4);
    CHECK(WaitFor([&] { return Dropped(h, IDC_SCAN_RANGE); }, 5000));
    CHECK(prog.Running());
    CHECK(::IsWindowVisible(h));
    Tap(VK_ESCAPE);
    CHECK(WaitFor([&] { return !Dropped(h, IDC_SCAN_RANGE); }, 5000));
    CHECK(prog.CloseNormally());
}

void RestoreDefaults()
{
    ModelKey key;
    Program prog("restore");
    Bytes in = Defaults(prog);
    for (auto v : {std::pair<int, int>{kOffMode, 2},
                   {kOffResolution, 0},
                   {kOffPageSize, 2},
                   {kOffScanRange, kRangeSpecify},
                   {kOffOrientation, 1},
                   {kOffAutoSave, 1}})
        PutInt(in, v.first, v.second);
    HWND h = StartModel(prog, key, "Pagewell QX720KTR", in);
    if (!h)
        return;
    const int lists[] = {IDC_MODE, IDC_RESOLUTION, IDC_PAGE_SIZE, IDC_SCAN_RANGE};
    const char* before[] = {"B/W (Error Diffusion)", "200 dpi", "B5", "Specify"};
    const char* after[] = {"Text (Error Diffusion)", "400 dpi ", USLocale() ? "Letter" : "A4", "Current Page"};
    for (int i = 0; i < 4; ++i)
        CHECK_EQ(Text(h, lists[i]), std::string(before[i]));
    EnterPages(h, "40", VK_TAB);
    CHECK(WaitText(h, IDC_PAGES_TO_SCAN, "040"));
    CHECK(WaitSpin(h, 40));

    AltKey('F');
    CHECK(WaitText(h, IDC_PAGES_TO_SCAN, "001"));
    CHECK(WaitSpin(h, 1));
    for (int i = 0; i < 4; ++i)
        CHECK_EQ(Text(h, lists[i]), std::string(after[i]));
    for (int id : {IDC_PAGES_LABEL, IDC_PAGES_TO_SCAN, IDC_PAGES_SPIN})
        CHECK(!Enabled(h, id));
    CHECK_EQ(::SendMessageA(::GetDlgItem(h, IDC_PORTRAIT), BM_GETCHECK, 0, 0), (LRESULT)BST_CHECKED);
    CHECK_EQ(::SendMessageA(::GetDlgItem(h, IDC_LANDSCAPE), BM_GETCHECK, 0, 0), (LRESULT)BST_UNCHECKED);
    CHECK(WaitFocus(h, IDC_RESTORE_DEFAULTS));
    CHECK(prog.CloseNormally());
    // The save options are not touched.
    for (auto v : {std::pair<int, int>{kOffMode, 0},
                   {kOffResolution, 1},
                   {kOffPageSize, USLocale() ? 3 : 1},
                   {kOffScanRange, kRangeCurrentPage},
                   {kOffOrientation, 0},
                   {kOffAutoSave, 1}})
        CHECK_EQ(SavedInt(prog, v.first), v.second);
}

// The text of the tooltip the program shows after the mouse rests on the
// rectangle: the expected one once it shows, else the last one seen.
std::string TipAt(Program& prog, const RECT& rc, const std::string& expected)
{
    std::string text;
    MoveMouse((rc.left + rc.right) / 2 - 1, (rc.top + rc.bottom) / 2 - 1);
    MoveMouse((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    WaitFor(
        [&] {
            for (HWND w : ProcessWindows(prog.Pid())) {
                char cls[64] = {};
                ::GetClassNameA(w, cls, sizeof cls);
                if (_stricmp(cls, TOOLTIPS_CLASSA) != 0)
                    continue;
                WCHAR wide[256] = {};
                ::SendMessageW(w, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(wide));
                char sz[512] = {};
                ::WideCharToMultiByte(CP_ACP, 0, wide, -1, sz, sizeof sz, nullptr, nullptr);
                if (*sz)
                    text = sz;
                if (*sz && text == expected)
                    return true;
            }
            return false;
        },
        5000);
    return text;
}

void ToolTips(bool autoSave)
{
    ModelKey key;
    Program prog(autoSave ? "tipsauto" : "tips");
    Bytes in = Defaults(prog);
    PutInt(in, kOffAutoSave, autoSave ? 1 : 0);
    HWND h = StartModel(prog, key, "Pagewell QX720KTR", in);
    if (!h)
        return;
    RECT rcDefaults, rcSize;
    ::GetWindowRect(::GetDlgItem(h, IDC_RESTORE_DEFAULTS), &rcDefaults);
    ::GetWindowRect(::GetDlgItem(h, IDC_PAGE_SIZE), &rcSize);
    const std::pair<RECT, std::string> tips[] = {
        {rcDefaults, "Resets all settings to their defaults."},
        {rcSize, "Selects the page size for scanning."},
        {ButtonRect(h, ID_CMD_SCAN),
         autoSave ? "Performs a final scan and saves the image data." : "Scans the pages in the feeder."},
        {ButtonRect(h, ID_CMD_HELP), "Opens the help."},
    };
    for (const auto& tip : tips)
        CHECK_EQ(TipAt(prog, tip.first, tip.second), tip.second);
    MoveMouse(0, 0);
    CHECK(prog.CloseNormally());
}

} // namespace

std::vector<Case> KeyCases()
{
    return {
        {"clear", ClearCommand},
        {"escape", EscapeKey},
        {"restore_defaults", RestoreDefaults},
        {"tooltips", [] { ToolTips(false); }},
        {"tooltips_autosave", [] { ToolTips(true); }},
    };
}

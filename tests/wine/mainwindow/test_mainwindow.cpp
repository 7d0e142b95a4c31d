// Drives the real main window under Wine: the scanner models, the no-pages state,
// keys and mouse on the options and on Pages to Scan, and the Scan Area dialog.
#include "../harness/Session.h"

#include <stdlib.h>
#include <string.h>

using namespace harness;

namespace {

// The defaults as the program writes them in this locale, saving to its folder.
Bytes Defaults(const Program& prog)
{
    Bytes b = SettingsRecord(kRangeCurrentPage, prog.Folder() + "\\MyDocuments");
    PutInt(b, kOffPageSize, USLocale() ? 3 : 1);
    return b;
}

// Starts the program on this model and settings file (none when empty), its window
// in front and taking keys: the program puts the focus on Mode last.
HWND StartModel(Program& prog, ModelKey& key, const Bytes& settings = {}, const char* product = "Pagewell QX720KTR")
{
    key.SetProduct(product);
    HWND h = StartWith(prog, settings);
    if (h)
        CHECK(MakeForeground(h) && WaitFocus(h, IDC_MODE));
    return h;
}

// A number from the settings file the program left; -1 when there is none.
int SavedInt(const Program& prog, int off)
{
    Bytes out;
    CHECK(ReadFileBytes(prog.SettingsPath(), out));
    return out.size() == (size_t)kSettingsSize ? GetInt(out, off) : -1;
}

bool Checked(HWND h, int id) { return ::SendMessageA(::GetDlgItem(h, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

const std::vector<std::string> kFullRange = {"Current Page", "Batch", "File", "From Current Page", "Specify"};

// A model key, the scan range stored in the settings file, and what comes of it.
const struct ModelRow {
    const char* name;
    const char* product; // the ProductId value; null: other values only
    int storedRange;
    bool orientation; // the orientation controls are shown
    bool fullRange;   // all five scan ranges, else "Current Page" only
} kModels[] = {
    {"model_710ktr", "Pagewell QX710KTR", 4, false, true},
    {"model_unknown", "Pagewell QX500 sheetfeed", 2, false, true},
    // Only a value named exactly "ProductId" counts.
    {"model_no_product_value", nullptr, 0, false, true},
    {"model_720ktr", "Pagewell QX720KTR rev.B", 3, true, true},
    {"model_720", "Pagewell QX720", 4, true, false},
    {"model_710", "Pagewell QX710", 4, false, false},
    // "QX720" is looked for first.
    {"model_both_names", "QX710KTR/QX720", 1, true, false},
};

void RunModel(const ModelRow& row)
{
    ModelKey key;
    if (row.product) {
        key.SetProduct(row.product);
    } else {
        key.DeleteValue("ProductId");
        key.SetValue("productid", "Pagewell QX720");
        key.SetValue("Model", "QX710");
        key.SetValue("Description", "QX720KTR");
    }
    Program prog(row.name);
    Bytes in = Defaults(prog);
    PutInt(in, kOffScanRange, row.storedRange);
    HWND h = StartWith(prog, in);
    if (!h)
        return;
    for (int id : {IDC_SCREEN_LABEL, IDC_PORTRAIT, IDC_LANDSCAPE, IDC_PORTRAIT_PICTURE, IDC_LANDSCAPE_PICTURE})
        CHECK_EQ(Visible(h, id), row.orientation);
    CHECK(ComboItems(h, IDC_SCAN_RANGE) == (row.fullRange ? kFullRange : std::vector<std::string>{kFullRange[0]}));
    const int range = row.fullRange ? row.storedRange : kRangeCurrentPage;
    CHECK_EQ(CurSel(h, IDC_SCAN_RANGE), range);
    for (int id : {IDC_PAGES_LABEL, IDC_PAGES_TO_SCAN, IDC_PAGES_SPIN})
        CHECK_EQ(Enabled(h, id), range == kRangeSpecify);
    CHECK(prog.CloseNormally());
    CHECK_EQ(SavedInt(prog, kOffScanRange), range);
}

// The texts of the program's tooltips on show, each in brackets.
std::string TipsShown(const Program& prog)
{
    std::string all;
    for (HWND w : ProcessWindows(prog.Pid())) {
        char cls[64] = {};
        ::GetClassNameA(w, cls, sizeof cls);
        if (_stricmp(cls, TOOLTIPS_CLASSA) == 0)
            all += "[" + ControlText(w) + "]";
    }
    return all;
}

// What a user sees at the start with no pages, and what the mouse shows.
void ExpectNoPagesState(const Program& prog, HWND h, bool specify, bool autoSave)
{
    for (int id : {IDC_SHOW_PAGE, IDC_PAGE_TOTAL, IDC_SHOW_PAGE_LABEL, IDC_ACTUAL_SIZE})
        CHECK(!Enabled(h, id));
    // Nothing else shows, and every option a user sees takes input, Pages to Scan only with Specify.
    int nVisible = 0, nEnabled = 0;
    for (HWND c = ::GetWindow(h, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        if (::GetWindowLongA(c, GWL_STYLE) & WS_VISIBLE) {
            ++nVisible;
            nEnabled += ::IsWindowEnabled(c) != 0;
        }
    CHECK_EQ(nVisible, 29);
    CHECK_EQ(nEnabled, specify ? 25 : 22);
    CHECK(Checked(h, IDC_ALL_PAGES));
    CHECK_EQ(DefaultId(h), IDC_RESTORE_DEFAULTS);

    // Six buttons, a separator after Save and after Show Driver.
    HWND tb = ToolBar(h);
    CHECK_EQ((int)::SendMessageA(tb, TB_BUTTONCOUNT, 0, 0), 8);
    const int index[] = {0, 1, 2, 4, 5, 7};
    const char* texts[] = {"&Clear",       autoSave ? "&Scan && Save" : "&Scan",
                           "S&ave...",     "&Preferences...",
                           "Show &Driver", "Help  F1"};
    for (int i = 0; i < 6; ++i) {
        CHECK_EQ((int)::SendMessageA(tb, TB_COMMANDTOINDEX, ID_CMD_CLEAR + i, 0), index[i]);
        CHECK_EQ(ButtonText(h, ID_CMD_CLEAR + i), std::string(texts[i]));
        CHECK_EQ(ButtonEnabled(h, ID_CMD_CLEAR + i), i != 0 && i != 2);
    }

    auto rectOf = [&](int id) {
        RECT rc = {};
        ::GetWindowRect(::GetDlgItem(h, id), &rc);
        return rc;
    };
    const std::pair<RECT, std::string> tips[] = {
        {rectOf(IDC_RESTORE_DEFAULTS), "Resets all settings to their defaults."},
        {rectOf(IDC_PAGE_SIZE), "Selects the page size for scanning."},
        {ButtonRect(h, ID_CMD_SCAN),
         autoSave ? "Performs a final scan and saves the image data." : "Scans the pages in the feeder."},
        {ButtonRect(h, ID_CMD_HELP), "Opens the help."},
    };
    for (const auto& [rc, text] : tips) {
        // A move onto the point, also when the pointer is there already.
        MoveMouse((rc.left + rc.right) / 2 - 1, (rc.top + rc.bottom) / 2 - 1);
        MoveMouse((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        const std::string want = "[" + text + "]";
        CHECK(WaitFor([&] { return TipsShown(prog).find(want) != std::string::npos; }, 5000,
                      [&] { return "tooltips " + TipsShown(prog) + ", not " + want; }));
    }
    ParkPointer();
}

// The defaults; Escape closes a drop-down and keeps its choice, and with nothing dropped leaves the window as it is.
void NoPages()
{
    ModelKey key;
    Program prog("nopages");
    HWND h = StartModel(prog, key, Defaults(prog));
    if (!h)
        return;
    ExpectNoPagesState(prog, h, false, false);
    CHECK(ComboItems(h, IDC_MODE) ==
          std::vector<std::string>({"Text (Error Diffusion)", "Black and White", "B/W (Error Diffusion)"}));
    CHECK(ComboItems(h, IDC_RESOLUTION) == std::vector<std::string>({"200 dpi", "300 dpi", "400 dpi "}));
    CHECK_EQ(Text(h, IDC_RESOLUTION), std::string("400 dpi "));
    CHECK(ComboItems(h, IDC_PAGE_SIZE) == std::vector<std::string>({"A4", "Letter", "B5", "Trimming", "Maximum"}));
    CHECK_EQ(Text(h, IDC_PAGES_TO_SCAN), std::string("001"));
    CHECK(WaitSpin(h, 1));
    CHECK(Checked(h, IDC_PORTRAIT) && !Checked(h, IDC_LANDSCAPE));

    for (int id : {IDC_MODE, IDC_SCAN_RANGE}) {
        AltKey(id == IDC_MODE ? 'M' : 'N');
        CHECK(WaitFocus(h, id));
        const int sel = CurSel(h, id);
        // The drop-down that opens after these shows that they were handled.
        Tap(VK_ESCAPE);
        Tap(VK_ESCAPE);
        Tap(VK_F4);
        CHECK(WaitFor([&] { return Dropped(h, id); }, 5000));
        Tap(VK_ESCAPE);
        CHECK(WaitFor([&] { return !Dropped(h, id); }, 5000));
        CHECK_EQ(CurSel(h, id), sel);
    }
    CHECK(prog.CloseNormally());
}

// Stored options with Specify and automatic saving: the no-pages state with them;
// Restore Defaults resets the scan options and leaves the save options.
void RestoreDefaults()
{
    ModelKey key;
    Program prog("restore");
    const Bytes defaults = Defaults(prog);
    const struct {
        int off, stored, id;
        const char* before; // shown with the stored value
        const char* after;  // shown once restored
    } options[] = {
        {kOffMode, 2, IDC_MODE, "B/W (Error Diffusion)", "Text (Error Diffusion)"},
        {kOffResolution, 0, IDC_RESOLUTION, "200 dpi", "400 dpi "},
        {kOffPageSize, 2, IDC_PAGE_SIZE, "B5", USLocale() ? "Letter" : "A4"},
        {kOffScanRange, kRangeSpecify, IDC_SCAN_RANGE, "Specify", "Current Page"},
    };
    Bytes in = defaults;
    for (const auto& o : options)
        PutInt(in, o.off, o.stored);
    PutInt(in, kOffOrientation, 1);
    PutInt(in, kOffAutoSave, 1);
    HWND h = StartModel(prog, key, in);
    if (!h)
        return;
    ExpectNoPagesState(prog, h, true, true);
    for (const auto& o : options)
        CHECK_EQ(Text(h, o.id), std::string(o.before));
    CHECK(Checked(h, IDC_LANDSCAPE) && !Checked(h, IDC_PORTRAIT));

    AltKey('F');
    CHECK(WaitFocus(h, IDC_RESTORE_DEFAULTS));
    for (const auto& o : options)
        CHECK_EQ(Text(h, o.id), std::string(o.after));
    for (int id : {IDC_PAGES_LABEL, IDC_PAGES_TO_SCAN, IDC_PAGES_SPIN})
        CHECK(!Enabled(h, id));
    CHECK(Checked(h, IDC_PORTRAIT) && !Checked(h, IDC_LANDSCAPE));
    CHECK(prog.CloseNormally());
    for (int off : {kOffMode, kOffResolution, kOffPageSize, kOffScanRange, kOffOrientation})
        CHECK_EQ(SavedInt(prog, off), GetInt(defaults, off));
    CHECK_EQ(SavedInt(prog, kOffAutoSave), 1);
}

// Without the orientation controls Tab goes from Pages to Scan to Restore Defaults.
HWND StartSpecify(Program& prog, ModelKey& key)
{
    Bytes in = Defaults(prog);
    PutInt(in, kOffScanRange, kRangeSpecify);
    HWND h = StartModel(prog, key, in, "Pagewell QX710KTR");
    CHECK(h && Enabled(h, IDC_PAGES_TO_SCAN));
    return h;
}

// The program's Beep calls so far in Wine's relay trace (relay.sh collects it),
// with how many were not of 37 Hz for no time.
std::string Beeps()
{
    const char* v = getenv("TOLVIX_RELAY_LOG");
    Bytes log;
    ReadFileBytes(WindowsPath(v ? v : ""), log);
    const std::string text(log.begin(), log.end());
    // A call through kernel32 shows once more as its kernelbase implementation.
    const char* entry = strstr(text.c_str(), "Call KERNEL32.Beep(") ? "Call KERNEL32.Beep(" : "Call KERNELBASE.Beep(";
    int all = 0, other = 0;
    for (size_t at = text.find(entry); at != std::string::npos; at = text.find(entry, at + 1)) {
        ++all;
        other += text.compare(at + strlen(entry), 18, "00000025,00000000)") != 0;
    }
    return std::to_string(all) + " beeps" + (other ? ", " + std::to_string(other) + " of another sound" : "");
}

// One user action on the field or its up-down, and what the field then shows. Actions: typed text ("\b": Backspace)
// left with Tab ('T'), Enter ('E') or not left ('N'); Shift+Tab back into it ('S'); a click on the up-down's upper or
// lower half ('+', '-'); the Up or Down key in the field ('u', 'd'). The arrows and the typing run in programs of
// their own: once its arrows were clicked, Wine's up-down has been seen to step down by itself later.
struct Step {
    char action;
    const char* text;
    const char* shows; // null: not checked
    int spin;          // the up-down's position after it; 0: not checked
    int beeps;         // beeps so far
};
const std::vector<Step> kUpDown = {
    {'-', "", "001", 1, 0},
    {'+', "", "002", 2, 0},
    // Each text is formatted by its base: 999 up shows 1000, 1000 down 0999.
    {'T', "999", "999", 0, 0},
    {'+', "", "1000", 1000, 0},
    {'-', "", "0999", 999, 0},
    {'N', "", nullptr, 0, 0},
    {'u', "", "1000", 1000, 0},
    // 9999 up shows five digits; 10000 down keeps five.
    {'T', "9999", "9999", 0, 0},
    {'+', "", "10000", 10000, 0},
    {'-', "", "09999", 9999, 0},
    // Up at 30000 leaves the text; the step down that follows shows it was handled.
    {'T', "30000", "30000", 0, 0},
    {'+', "", nullptr, 0, 0},
    {'+', "", nullptr, 0, 0},
    {'-', "", "29999", 29999, 0},
    // A count typed but not yet checked is the base of the step, also when the up-down stands at an end of its range.
    {'T', "30000", "30000", 0, 0},
    {'N', "500", nullptr, 0, 0},
    {'+', "", "501", 501, 0},
    {'T', "1", "001", 0, 0},
    {'N', "700", nullptr, 0, 0},
    {'-', "", "699", 699, 0},
    {'N', "500", "500", 0, 0},
    {'u', "", "501", 501, 0},
    {'N', "1", nullptr, 0, 0},
    {'d', "", "001", 1, 0},
};
const std::vector<Step> kTyping = {
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
    {'T', "\b", "999", 999, 3},
    {'T', "30000", "30000", 30000, 3},
};

void RunSteps(const char* tag, const std::vector<Step>& steps)
{
    CHECK(getenv("TOLVIX_RELAY_LOG") != nullptr);
    ModelKey key;
    Program prog(tag);
    HWND h = StartSpecify(prog, key);
    if (!h)
        return;
    HWND spin = ::GetDlgItem(h, IDC_PAGES_SPIN);
    RECT rc;
    ::GetClientRect(spin, &rc);
    for (const Step& st : steps) {
        printf("  step %c \"%s\"\n", st.action, st.text[0] == '\b' ? "Backspace" : st.text);
        switch (st.action) {
        case 'T':
        case 'E':
        case 'N':
            EnterPages(h, st.text, st.action == 'T' ? VK_TAB : st.action == 'E' ? VK_RETURN : 0);
            break;
        case '+':
        case '-':
            // Parked after the click: Wine's up-down steps down once more when the pressed
            // look of an arrow ends while the pointer rests on it.
            ClickAt(spin, rc.right / 2, st.action == '+' ? rc.bottom / 4 : rc.bottom * 3 / 4);
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
        const std::string beeps = std::to_string(st.beeps) + " beeps";
        CHECK(WaitFor([&] { return Beeps() == beeps; }, 5000, Beeps));
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

// The count a scan asks for is the one the field shows, however it got there;
// Clear, by key or click, brings the no-pages state back without asking.
void ScanCounts()
{
    ModelKey key;
    ScannerControls scanner({{"Sheets", 9}, {"PageDivisor", 4}});
    Program prog("pagesscan");
    HWND h = StartSpecify(prog, key);
    if (!h)
        return;
    // With no pages Clear and Save do nothing, nor Scan and Show Driver while
    // disabled: Clear would show page "0" and make Restore Defaults the default.
    HWND tb = ToolBar(h);
    const RECT rcClear = ButtonRect(h, ID_CMD_CLEAR);
    auto clickClear = [&] { ClickScreen((rcClear.left + rcClear.right) / 2, (rcClear.top + rcClear.bottom) / 2); };
    for (int cmd : {ID_CMD_SCAN, ID_CMD_SHOW_DRIVER})
        ::SendMessageA(tb, TB_ENABLEBUTTON, cmd, MAKELPARAM(FALSE, 0));
    ::SendMessageA(h, DM_SETDEFID, IDC_ACTUAL_SIZE, 0);
    ::SendMessageA(::GetDlgItem(h, IDC_SHOW_PAGE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("7"));
    clickClear();
    for (char letter : {'C', 'A', 'S', 'D', 'N'})
        AltKey(letter);
    // Alt+N has moved the focus once the keys before it were handled.
    CHECK(WaitFocus(h, IDC_SCAN_RANGE));
    CHECK_EQ(Text(h, IDC_SHOW_PAGE), std::string("7"));
    CHECK_EQ(DefaultId(h), IDC_ACTUAL_SIZE);
    CHECK_EQ(Text(h, IDC_PAGE_TOTAL), std::string("/ 0"));
    CHECK(::IsWindowEnabled(h));
    CHECK_EQ(ProcessWindows(prog.Pid()).size(), (size_t)1);
    for (int cmd : {ID_CMD_SCAN, ID_CMD_SHOW_DRIVER})
        ::SendMessageA(tb, TB_ENABLEBUTTON, cmd, MAKELPARAM(TRUE, 0));

    auto scanShows = [&](int n) {
        AltKey('S');
        const std::string total = "/ " + std::to_string(n);
        CHECK(WaitFor(
            [&] { return ::IsWindowEnabled(h) && Text(h, IDC_PAGE_TOTAL) == total && ButtonEnabled(h, ID_CMD_SCAN); },
            60000, [&] { return "total " + Text(h, IDC_PAGE_TOTAL) + ", not " + total; }));
        // With pages on show the options stay as they are until Clear.
        for (int id : {IDC_MODE, IDC_RESOLUTION, IDC_PAGE_SIZE, IDC_RESTORE_DEFAULTS})
            CHECK(!Enabled(h, id));
    };
    auto clear = [&](bool click) {
        ::SendMessageA(h, DM_SETDEFID, IDC_ACTUAL_SIZE, 0);
        if (click)
            clickClear();
        else
            AltKey('C');
        CHECK(WaitText(h, IDC_PAGE_TOTAL, "/ 0"));
        CHECK(WaitText(h, IDC_SHOW_PAGE, "0"));
        CHECK(WaitFocus(h, IDC_MODE));
        CHECK_EQ(DefaultId(h), IDC_RESTORE_DEFAULTS);
        CHECK(!ButtonEnabled(h, ID_CMD_CLEAR));
        CHECK(!Enabled(h, IDC_SHOW_PAGE));
        CHECK(Enabled(h, IDC_MODE));
        CHECK_EQ(ProcessWindows(prog.Pid()).size(), (size_t)1);
    };
    EnterPages(h, "5", VK_TAB);
    CHECK(WaitText(h, IDC_PAGES_TO_SCAN, "005"));
    HWND spin = ::GetDlgItem(h, IDC_PAGES_SPIN);
    RECT rc;
    ::GetClientRect(spin, &rc);
    ClickAt(spin, rc.right / 2, rc.bottom * 3 / 4);
    CHECK(WaitText(h, IDC_PAGES_TO_SCAN, "004"));
    scanShows(4);
    clear(false);

    // 40 pages, then Restore Defaults, then "Specify" again by keys: one page.
    EnterPages(h, "40", VK_TAB);
    CHECK(WaitText(h, IDC_PAGES_TO_SCAN, "040"));
    AltKey('F');
    CHECK(WaitText(h, IDC_PAGES_TO_SCAN, "001"));
    CHECK(WaitSpin(h, 1));
    AltKey('N');
    CHECK(WaitFocus(h, IDC_SCAN_RANGE));
    Tap(VK_END);
    CHECK(WaitFor([&] { return Enabled(h, IDC_PAGES_TO_SCAN); }, 5000));
    CHECK_EQ(Text(h, IDC_SCAN_RANGE), std::string("Specify"));
    CHECK(WaitSpin(h, 1));
    scanShows(1);
    clear(true);
    CHECK(prog.CloseNormally());
}

const char kCaption[] = "Scan Area";

HWND OpenScanArea(Program& prog, HWND hMain)
{
    ::PostMessageA(hMain, WM_COMMAND, MAKEWPARAM(IDC_SCAN_AREA, BN_CLICKED), 0);
    HWND hDlg = prog.WaitWindow([](HWND w) { return WindowText(w) == kCaption; }, 5000);
    CHECK(hDlg && MakeForeground(hDlg));
    return hDlg;
}

// Shift+Tab as a person types it, Shift held until the focus has moved. The fields ask GetAsyncKeyState at Tab, and
// Wine answers a thread that asked less than 50 ms before from its copy of then: each key goes once the copy the
// program took at the key before has expired.
void ShiftTab(HWND d, int idExpected)
{
    auto KeyStateCopyExpired = [] {
        const DWORD lastAsked = ::GetTickCount();
        WaitFor([&] { return ::GetTickCount() - lastAsked > 100; }, 1000);
    };
    Key(VK_SHIFT, true);
    KeyStateCopyExpired();
    Tap(VK_TAB);
    CHECK(WaitFocus(d, idExpected));
    Key(VK_SHIFT, false);
    ::GetAsyncKeyState(VK_SHIFT);
    KeyStateCopyExpired();
}

// Opened by its hidden command and modal: its digit-only fields under real keys,
// and the one value it hands back, the units.
void ScanArea()
{
    ModelKey key;
    Program prog("scanarea");
    HWND h = StartModel(prog, key);
    if (!h)
        return;
    HWND d = OpenScanArea(prog, h);
    if (!d)
        return;
    CHECK(!::IsWindowEnabled(h));
    CHECK_EQ(Text(d, IDC_AREA_LEFT), std::string("0"));
    CHECK_EQ(Text(d, IDC_AREA_TOP), std::string("0"));
    CHECK_EQ(Text(d, IDC_AREA_WIDTH), Text(h, IDC_WIDTH_VALUE));
    CHECK_EQ(Text(d, IDC_AREA_HEIGHT), Text(h, IDC_HEIGHT_VALUE));
    CHECK(ComboItems(d, IDC_AREA_UNITS) == std::vector<std::string>({"inch", "cm"}));
    CHECK_EQ(CurSel(d, IDC_AREA_UNITS), 0);
    for (int id : {IDC_DS_LIST, IDC_DS_CHANGE})
        CHECK(!Visible(d, id));
    std::vector<std::string> sources = ComboItems(d, IDC_DS_LIST);
    CHECK(sources.size() == 1 && !sources[0].empty());

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
    HGLOBAL hClip = ::GlobalAlloc(GMEM_MOVEABLE, 3);
    memcpy(::GlobalLock(hClip), "x9", 3);
    ::GlobalUnlock(hClip);
    CHECK(::OpenClipboard(nullptr) && ::EmptyClipboard() && ::SetClipboardData(CF_TEXT, hClip));
    ::CloseClipboard();
    Chord(VK_CONTROL, 'V');
    TypeText("5");
    CHECK(WaitText(d, IDC_AREA_LEFT, "1245"));
    Chord(VK_SHIFT, VK_INSERT);
    CHECK(WaitText(d, IDC_AREA_LEFT, "1245x9"));
    // Home and Delete keep their editing meaning.
    Tap(VK_HOME);
    Tap(VK_DELETE);
    CHECK(WaitText(d, IDC_AREA_LEFT, "245x9"));
    // Tab asks whether Shift went down since the last query, and Wine keeps that bit for the whole desktop: query it
    // here so the Shift of the keys above is not taken for a Shift+Tab.
    ::GetAsyncKeyState(VK_SHIFT);

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

    // Tab through the four fields to the Units list, pick "cm", Enter for OK.
    for (int i = 0; i < 4; ++i)
        Tap(VK_TAB);
    CHECK(WaitFocus(d, IDC_AREA_UNITS));
    Tap(VK_DOWN);
    CHECK(WaitFor([&] { return CurSel(d, IDC_AREA_UNITS) == 1; }, 5000));
    Tap(VK_RETURN);
    CHECK(WaitFor([&] { return ProcessWindows(prog.Pid(), kCaption).empty(); }, 5000));

    // The units come back; the numbers typed do not. A choice left with Cancel is forgotten.
    for (int button : {IDCANCEL, IDOK}) {
        if (!(d = OpenScanArea(prog, h)))
            return;
        CHECK_EQ(CurSel(d, IDC_AREA_UNITS), 1);
        CHECK_EQ(Text(d, IDC_AREA_LEFT), std::string("0"));
        if (button == IDCANCEL)
            ::SendMessageA(::GetDlgItem(d, IDC_AREA_UNITS), CB_SETCURSEL, 0, 0);
        ClickButton(d, button);
        CHECK(WaitFor([&] { return ProcessWindows(prog.Pid(), kCaption).empty(); }, 5000));
    }
    CHECK(WaitFor([&] { return ::IsWindowEnabled(h) != 0; }, 5000));
    // The main window's own unit lists stay unfilled and hidden.
    CHECK_EQ(CurSel(h, IDC_WIDTH_UNITS), -1);
    CHECK(!Visible(h, IDC_WIDTH_UNITS));
    CHECK(prog.CloseNormally());
    // The unit setting of the file is not the dialog's.
    CHECK_EQ(SavedInt(prog, kOffNumber + 20), 0);
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<Case> cases = {
        {"nopages", NoPages},
        {"restore_defaults", RestoreDefaults},
        {"pages_updown", [] { RunSteps("updown", kUpDown); }},
        {"pages_typing", [] { RunSteps("typing", kTyping); }},
        {"pages_scan", ScanCounts},
        {"scan_area", ScanArea},
    };
    for (const ModelRow& row : kModels)
        cases.push_back({row.name, [&row] { RunModel(row); }});
    return RunCases(argc, argv, cases);
}

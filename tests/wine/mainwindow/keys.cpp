// Keyboard and mouse on the main window: Alt mnemonics, Escape, Clear, Restore
// Defaults; and a picture of the window for a person to look at.
#include "Cases.h"
#include "../harness/Session.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <set>

using namespace harness;
using namespace harness;

namespace {

// Starts the program on model QX720KTR and brings its window to the front.
HWND StartForeground(Program& prog, const Bytes& settings = Bytes())
{
    HWND h = StartWith(prog, settings);
    if (h)
        CHECK(MakeForeground(h));
    return h;
}

void AltMnemonics()
{
    ModelKey key;
    key.SetProduct("Pagewell QX720KTR");
    Program prog("alt");
    HWND h = StartForeground(prog);
    if (!h)
        return;
    // Alt with a label's letter still moves to its list: the keys arrive.
    AltKey('R');
    CHECK(WaitFocus(h, 1002));

    // Clear is disabled: Alt+C does nothing. Show Page would be reset to "0" by Clear.
    ::SendMessageA(::GetDlgItem(h, 1005), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("7"));
    AltKey('C');
    AltKey('A');   // Save disabled
    AltKey('N');
    CHECK(WaitFocus(h, 1011));
    CHECK_EQ(Text(h, 1005), std::string("7"));
    CHECK_EQ(ProcessWindows(prog.Pid()).size(), (size_t)1);

    // Once its button is enabled, Alt+C runs Clear: no-pages state again, focus on Mode.
    ::SendMessageA(ToolBar(h), TB_ENABLEBUTTON, 2000, MAKELPARAM(TRUE, 0));
    CHECK(ButtonEnabled(h, 2000));
    AltKey('C');
    CHECK(WaitText(h, 1005, "0"));
    CHECK(WaitFor([&] { return !ButtonEnabled(h, 2000); }));
    CHECK(WaitFocus(h, 1047));
    CHECK(prog.Running());
    CHECK(prog.CloseNormally());
}

void EscapeKey()
{
    ModelKey key;
    key.SetProduct("Pagewell QX720KTR");
    Program prog("escape");
    HWND h = StartForeground(prog);
    if (!h)
        return;
    CHECK(WaitFocus(h, 1047));
    int modeSel = CurSel(h, 1047);

    Chord(VK_MENU, VK_DOWN);
    CHECK(WaitFor([&] { return Dropped(h, 1047); }));
    Tap(VK_ESCAPE);
    CHECK(WaitFor([&] { return !Dropped(h, 1047); }));
    CHECK_EQ(CurSel(h, 1047), modeSel);

    AltKey('N');
    CHECK(WaitFocus(h, 1011));
    Tap(VK_F4);
    CHECK(WaitFor([&] { return Dropped(h, 1011); }));
    Tap(VK_ESCAPE);
    CHECK(WaitFor([&] { return !Dropped(h, 1011); }));
    CHECK_EQ(CurSel(h, 1011), 0);

    // With nothing dropped, Escape leaves the window as it is; the drop-down that
    // opens afterwards shows that the Escapes were handled first.
    Tap(VK_ESCAPE);
    Tap(VK_ESCAPE);
    Tap(VK_F4);
    CHECK(WaitFor([&] { return Dropped(h, 1011); }));
    CHECK(prog.Running());
    CHECK(::IsWindowVisible(h));
    Tap(VK_ESCAPE);
    CHECK(WaitFor([&] { return !Dropped(h, 1011); }));
    CHECK(prog.CloseNormally());
}

void ClearCommand()
{
    ModelKey key;
    key.SetProduct("Pagewell QX720KTR");
    Program prog("clear");
    HWND h = StartForeground(prog);
    if (!h)
        return;
    AltKey('R');
    CHECK(WaitFocus(h, 1002));
    ::SendMessageA(h, DM_SETDEFID, 1023, 0);
    ::SendMessageA(::GetDlgItem(h, 1005), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("3"));

    // A click on the disabled button does nothing ...
    RECT rc = ButtonRect(h, 2000);
    ClickScreen((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    AltKey('N');
    CHECK(WaitFocus(h, 1011));
    CHECK_EQ(Text(h, 1005), std::string("3"));
    CHECK_EQ(DefaultId(h), 1023);

    // ... an enabled one clears without asking.
    ::SendMessageA(ToolBar(h), TB_ENABLEBUTTON, 2000, MAKELPARAM(TRUE, 0));
    ClickScreen((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    CHECK(WaitText(h, 1005, "0"));
    CHECK(WaitFocus(h, 1047));
    CHECK_EQ(DefaultId(h), 1057);
    CHECK(!ButtonEnabled(h, 2000));
    CHECK(!Enabled(h, 1005));
    CHECK_EQ(ProcessWindows(prog.Pid()).size(), (size_t)1);

    // The command route (WM_COMMAND 2000) does the same.
    AltKey('R');
    CHECK(WaitFocus(h, 1002));
    ::SendMessageA(::GetDlgItem(h, 1005), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("4"));
    ::PostMessageA(h, WM_COMMAND, 2000, 0);
    CHECK(WaitText(h, 1005, "0"));
    CHECK(WaitFocus(h, 1047));
    CHECK(prog.CloseNormally());
}

void RestoreDefaults()
{
    ModelKey key;
    key.SetProduct("Pagewell QX720KTR");
    Program prog("restore");
    Bytes in = Defaults(prog);
    PutInt(in, kOffMode, 2);
    PutInt(in, kOffResolution, 0);
    PutInt(in, kOffPageSize, 2);
    PutInt(in, kOffScanRange, 4);
    PutInt(in, kOffOrientation, 1);
    PutInt(in, kOffAutoSave, 1);
    HWND h = StartForeground(prog, in);
    if (!h)
        return;
    CHECK_EQ(SelectedText(h, 1047), std::string("B/W (Error Diffusion)"));
    CHECK_EQ(SelectedText(h, 1002), std::string("200 dpi"));
    CHECK_EQ(SelectedText(h, 1006), std::string("B5"));
    CHECK_EQ(SelectedText(h, 1011), std::string("Specify"));
    EnterPages(h, "40", VK_TAB);
    CHECK(WaitText(h, 1110, "040"));
    CHECK(WaitSpin(h, 40));

    AltKey('F');
    CHECK(WaitText(h, 1110, "001"));
    CHECK(WaitSpin(h, 1));
    CHECK_EQ(SelectedText(h, 1002), std::string("400 dpi "));
    CHECK_EQ(SelectedText(h, 1006), std::string(USLocale() ? "Letter" : "A4"));
    CHECK_EQ(SelectedText(h, 1047), std::string("Text (Error Diffusion)"));
    CHECK_EQ(SelectedText(h, 1011), std::string("Current Page"));
    for (int id : {1052, 1110, 1114})
        CHECK(!Enabled(h, id));
    CHECK_EQ((int)::SendMessageA(::GetDlgItem(h, 1108), BM_GETCHECK, 0, 0), BST_CHECKED);
    CHECK_EQ((int)::SendMessageA(::GetDlgItem(h, 1109), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    CHECK(WaitFocus(h, 1057));

    // Back to "Specify" by keys: one page, as the defaults say.
    AltKey('N');
    CHECK(WaitFocus(h, 1011));
    Tap(VK_END);
    CHECK(WaitFor([&] { return Enabled(h, 1110); }));
    CHECK_EQ(SelectedText(h, 1011), std::string("Specify"));
    CHECK_EQ(Text(h, 1110), std::string("001"));
    CHECK(WaitSpin(h, 1));

    CHECK(prog.CloseNormally());
    Bytes out;
    CHECK(ReadFileBytes(prog.SettingsPath(), out));
    if (out.size() != (size_t)kSettingsSize)
        return;
    CHECK_EQ(GetInt(out, kOffMode), 0);
    CHECK_EQ(GetInt(out, kOffResolution), 1);
    CHECK_EQ(GetInt(out, kOffPageSize), USLocale() ? 3 : 1);
    CHECK_EQ(GetInt(out, kOffScanRange), 4);
    CHECK_EQ(GetInt(out, kOffOrientation), 0);
    CHECK_EQ(GetInt(out, kOffAutoSave), 1);   // save options are not touched
}

// ---- a picture of the window --------------------------------------------------------

std::string ArtifactFolder()
{
    const char* v = getenv("TOLVIX_ARTIFACTS");
    return WindowsPath(v ? v : "");
}

// Copies the window's screen area into a BMP file; returns the number of colours.
size_t SaveWindowPicture(HWND h, const std::string& path)
{
    harness::Pixels p = harness::CaptureWindow(h);
    CHECK(harness::SaveBmp(p, path));
    return std::set<uint32_t>(p.px.begin(), p.px.end()).size();
}

// Without a window manager Wine leaves the caption undrawn unless it decorates
// the window itself; asked for Tolvix.exe alone, for the picture's run.
class OwnDecorations {
public:
    OwnDecorations()
    {
        HKEY hKey;
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) ==
            ERROR_SUCCESS) {
            ::RegSetValueExA(hKey, "Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
            ::RegCloseKey(hKey);
        }
    }
    ~OwnDecorations() { ::RegDeleteKeyA(HKEY_CURRENT_USER, kKey); }
    OwnDecorations(const OwnDecorations&) = delete;
    OwnDecorations& operator=(const OwnDecorations&) = delete;

private:
    static constexpr const char* kKey = "Software\\Wine\\AppDefaults\\Tolvix.exe\\X11 Driver";
};

void Screenshot()
{
    std::string folder = ArtifactFolder();
    CHECK(!folder.empty());
    if (folder.empty())
        return;
    ::CreateDirectoryA(folder.c_str(), nullptr);
    ModelKey key;
    key.SetProduct("Pagewell QX720KTR");
    OwnDecorations decorations;
    Program prog("picture");
    HWND h = StartForeground(prog);
    if (!h)
        return;
    CHECK(WaitFocus(h, 1047));
    // Wait until the window has painted: its Mode list shows the selected text.
    ::RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    CHECK(WaitFor([&] { return SelectedText(h, 1047) == "Text (Error Diffusion)"; }));
    size_t colours = 0;
    // A fresh window may still be drawing: take the picture once two agree.
    CHECK(WaitFor([&] {
        size_t n = SaveWindowPicture(h, folder + "\\main-window.bmp");
        bool same = n == colours;
        colours = n;
        return same && n > 8;
    }));
    printf("main window picture: %s\\main-window.bmp, %u colours\n", folder.c_str(), (unsigned)colours);
    CHECK(prog.CloseNormally());
}

// The text of the tooltip the program shows after the mouse rests at (x, y):
// the expected one once it shows, else the last one seen.
std::string TipAt(Program& prog, int x, int y, const std::string& expected)
{
    std::string text;
    MoveMouse(x - 1, y - 1);
    MoveMouse(x, y);
    WaitFor([&] {
        for (HWND w : ProcessWindows(prog.Pid())) {
            char cls[64] = {};
            ::GetClassNameA(w, cls, sizeof cls);
            if (_stricmp(cls, TOOLTIPS_CLASSA) != 0)
                continue;
            WCHAR wide[256] = {};
            ::SendMessageW(w, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(wide));
            char sz[512] = {};
            ::WideCharToMultiByte(CP_ACP, 0, wide, -1, sz, sizeof sz, nullptr, nullptr);
            if (*sz) {
                text = sz;
                if (text == expected)
                    return true;
            }
        }
        return false;
    });
    return text;
}

POINT CentreOf(HWND h)
{
    RECT rc;
    ::GetWindowRect(h, &rc);
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

void ToolTips(bool autoSave)
{
    ModelKey key;
    key.SetProduct("Pagewell QX720KTR");
    Program prog(autoSave ? "tipsauto" : "tips");
    Bytes in = Defaults(prog);
    PutInt(in, kOffAutoSave, autoSave ? 1 : 0);
    HWND h = StartForeground(prog, in);
    if (!h)
        return;
    POINT p = CentreOf(::GetDlgItem(h, 1057));
    std::string want = "Resets all settings to their defaults.";
    CHECK_EQ(TipAt(prog, p.x, p.y, want), want);
    p = CentreOf(::GetDlgItem(h, 1006));
    want = "Selects the page size for scanning.";
    CHECK_EQ(TipAt(prog, p.x, p.y, want), want);
    RECT rc = ButtonRect(h, 2001);
    want = autoSave ? "Performs a final scan and saves the image data." : "Scans the pages in the feeder.";
    CHECK_EQ(TipAt(prog, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2, want), want);
    rc = ButtonRect(h, 2005);
    want = "Opens the help.";
    CHECK_EQ(TipAt(prog, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2, want), want);
    MoveMouse(0, 0);
    CHECK(prog.CloseNormally());
}

} // namespace

std::vector<Case> KeyCases()
{
    return {
        {"alt_mnemonics", AltMnemonics},
        {"escape", EscapeKey},
        {"clear", ClearCommand},
        {"restore_defaults", RestoreDefaults},
        {"screenshot", Screenshot},
        {"tooltips", [] { ToolTips(false); }},
        {"tooltips_autosave", [] { ToolTips(true); }},
    };
}

// The confirmation before an unsaved batch is thrown away: on closing and when
// Windows asks to end the session. Cancel is the default answer.
#include "../scan/ScanHelpers.h"

#include <stdio.h>

#include <algorithm>

using namespace harness;
using namespace scantest;

namespace {

const char kQuestion[] = "Scanned images will be cleared. Continue?";

HWND WaitConfirm(Program& prog)
{
    HWND hBox = prog.WaitDialogWithText(kQuestion, 10000);
    CHECK(hBox != nullptr);
    return hBox;
}

// The screen over the warning icon's place: the corner of control 1098.
Pixels IconArea(HWND hBox)
{
    Pixels p;
    RECT rc;
    ::GetWindowRect(::GetDlgItem(hBox, 1098), &rc);
    int size = ::GetSystemMetrics(SM_CXICON);
    p.width = p.height = size;
    p.px.resize((size_t)size * size);
    HDC hScreen = ::GetDC(nullptr);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            COLORREF c = ::GetPixel(hScreen, rc.left + x, rc.top + y);
            p.px[(size_t)y * size + x] = GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
        }
    ::ReleaseDC(nullptr, hScreen);
    return p;
}

int DistinctColours(const Pixels& p);

// The icon's place once something is drawn there and two looks agree.
Pixels DrawnIconArea(HWND hBox)
{
    Pixels last, now;
    WaitFor([&] {
        last = now;
        now = IconArea(hBox);
        return DistinctColours(now) > 3 && last.px == now.px;
    }, 10000);
    return now;
}

int DistinctColours(const Pixels& p)
{
    std::vector<uint32_t> v = p.px;
    std::sort(v.begin(), v.end());
    return (int)(std::unique(v.begin(), v.end()) - v.begin());
}

bool ScanOnePage(Session& s)
{
    if (!s.Start())
        return false;
    s.PressScan();
    return s.WaitPagesShown(1);
}

void ConfirmOnClose()
{
    RemovePageFiles();
    ScannerControls controls({{"Sheets", 3}, {"PageDivisor", 4}});
    Session s("confirm", kRangeCurrentPage);
    CHECK(ScanOnePage(s));

    ::PostMessageA(s.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND hBox = WaitConfirm(s.Prog());
    if (!hBox)
        return;
    CHECK_EQ(WindowText(hBox), std::string("Pagewell Utility"));
    CHECK(WaitFor([&] { return FocusOf(hBox) == ::GetDlgItem(hBox, IDCANCEL); }, 5000));
    LRESULT def = ::SendMessageA(hBox, DM_GETDEFID, 0, 0);
    CHECK_EQ((int)HIWORD(def), DC_HASDEFID);
    CHECK_EQ((int)LOWORD(def), IDCANCEL);

    // The warning icon is painted at the placeholder's corner, and again after
    // the dialog was covered and uncovered.
    Pixels before = DrawnIconArea(hBox);
    CHECK(DistinctColours(before) > 3);
    RECT rc;
    ::GetWindowRect(hBox, &rc);
    HWND hCover = ::CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_WHITERECT, rc.left,
                                    rc.top, rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr);
    ::UpdateWindow(hCover);
    CHECK(WaitFor([&] { return DistinctColours(IconArea(hBox)) == 1; }, 5000));
    ::DestroyWindow(hCover);
    CHECK(WaitFor([&] { return IconArea(hBox).px == before.px; }, 10000));

    // Enter answers Cancel: the program and its batch stay.
    MakeForeground(hBox);
    Tap(VK_RETURN);
    CHECK(WaitFor([&] { return !::IsWindow(hBox); }));
    CHECK(s.Prog().Running());
    CHECK_EQ(s.Text(kPageTotal), std::string("/ 1"));
    CHECK(IsHeldWithoutSharing(PagePath(1)));

    // OK ends the program and the page files go with it.
    ::PostMessageA(s.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    hBox = WaitConfirm(s.Prog());
    if (hBox)
        ClickButton(hBox, IDOK);
    CHECK(s.Prog().WaitExit());
    CHECK(PageFilesPresent().empty());
}

struct Query {
    HWND hWnd;
    LRESULT result = -1;
    static DWORD WINAPI Run(void* p)
    {
        Query* q = static_cast<Query*>(p);
        DWORD_PTR r = 0;
        if (::SendMessageTimeoutA(q->hWnd, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 60000, &r))
            q->result = (LRESULT)r;
        return 0;
    }
};

LRESULT AskEndSession(Session& s, int answer)
{
    Query q{s.Main()};
    HANDLE hThread = ::CreateThread(nullptr, 0, &Query::Run, &q, 0, nullptr);
    if (answer) {
        HWND hBox = WaitConfirm(s.Prog());
        if (hBox)
            ClickButton(hBox, answer);
    }
    WaitFor([&] { return ::WaitForSingleObject(hThread, 0) == WAIT_OBJECT_0; }, 30000);
    ::CloseHandle(hThread);
    return q.result;
}

void QueryEndSession()
{
    RemovePageFiles();
    ScannerControls controls({{"Sheets", 3}, {"PageDivisor", 4}});
    Session s("endsession", kRangeCurrentPage);
    CHECK(ScanOnePage(s));
    CHECK_EQ(AskEndSession(s, IDCANCEL), (LRESULT)FALSE);
    CHECK(s.Prog().Running());
    CHECK_EQ(AskEndSession(s, IDOK), (LRESULT)TRUE);
    CHECK(s.Prog().Running());

    // Without a batch on screen the answer is yes, with no question.
    MakeForeground(s.Main());
    Chord(VK_MENU, 'C');
    CHECK(WaitFor([&] { return s.Text(kPageTotal) == "/ 0"; }));
    CHECK_EQ(AskEndSession(s, 0), (LRESULT)TRUE);
    CHECK(s.Prog().CloseNormally());
}

// Runs Wine's own end of the session and gives its exit code once it is done.
struct SessionEnd {
    HANDLE hProcess = nullptr;
    SessionEnd()
    {
        char cmd[] = "wineboot.exe --end-session";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (::CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            ::CloseHandle(pi.hThread);
            hProcess = pi.hProcess;
        }
        CHECK(hProcess != nullptr);
    }
    ~SessionEnd() { ::CloseHandle(hProcess); }
    DWORD ExitCode()
    {
        DWORD code = 99;
        if (!hProcess || ::WaitForSingleObject(hProcess, 60000) != WAIT_OBJECT_0 ||
            !::GetExitCodeProcess(hProcess, &code))
            fprintf(stderr, "wineboot did not end\n");
        return code;
    }
};

// Wine ends the session with a batch on screen: refused once, the batch stays
// held; accepted, the program shuts down as on closing: the settings file is
// written (a longer one becomes 392 bytes) and the page files go.
void WineSessionEnd()
{
    RemovePageFiles();
    ScannerControls controls({{"Sheets", 3}, {"PageDivisor", 4}});
    Session s("wineboot", kRangeCurrentPage);
    Bytes record;
    CHECK(ReadFileBytes(s.Prog().SettingsPath(), record));
    record.resize(500, 0);
    CHECK(WriteFileBytes(s.Prog().SettingsPath(), record));
    CHECK(ScanOnePage(s));

    for (int answer : {IDCANCEL, IDOK}) {
        SessionEnd end;
        HWND hBox = WaitConfirm(s.Prog());
        if (hBox)
            ClickButton(hBox, answer);
        DWORD code = end.ExitCode();
        if (answer == IDCANCEL) {
            CHECK(code != 0);
            CHECK(s.Prog().Running());
            CHECK_EQ(s.Text(kPageTotal), std::string("/ 1"));
            CHECK(IsHeldWithoutSharing(PagePath(1)));
        }
    }
    CHECK(s.Prog().WaitExit());
    CHECK(PageFilesPresent().empty());
    Bytes written;
    CHECK(ReadFileBytes(s.Prog().SettingsPath(), written));
    CHECK_EQ(written.size(), (size_t)392);
}

} // namespace

int main(int argc, char** argv)
{
    return RunCases(argc, argv, {
        {"confirm_on_close", ConfirmOnClose},
        {"query_end_session", QueryEndSession},
        {"wine_session_end", WineSessionEnd},
    });
}

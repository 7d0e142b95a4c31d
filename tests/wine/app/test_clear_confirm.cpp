// The confirmation before an unsaved batch is thrown away: on closing and when
// Windows asks to end the session. Cancel is the default answer.
#include "../harness/Session.h"

#include <algorithm>

using namespace harness;

namespace {

const char kQuestion[] = "Scanned images will be cleared. Continue?";

// A session with one scanned page on screen.
struct OnePage {
    bool bNoPageFiles = RemovePageFiles();
    ScannerControls controls{{"Sheets", 3}, {"PageDivisor", 4}};
    Session s;
    explicit OnePage(const char* tag) : s(tag, kRangeCurrentPage)
    {
        CHECK(s.Start());
        s.PressScan();
        CHECK(s.WaitPagesShown(1));
    }
    HWND Confirm() { return s.Prog().WaitDialogWithText(kQuestion, 10000); }
    // The batch stays on screen, its page file held.
    void CheckBatchKept()
    {
        CHECK(s.Prog().Running());
        CHECK_EQ(Text(s.Main(), IDC_PAGE_TOTAL), "/ 1");
        CHECK(IsHeldWithoutSharing(PagePath(1)));
    }
};

// The screen over the warning icon's place: the corner of its placeholder.
Pixels IconArea(HWND hBox)
{
    Pixels all = CaptureClient(hBox), p;
    RECT rc;
    ::GetWindowRect(::GetDlgItem(hBox, IDC_WARNING_ICON_MARK), &rc);
    ::MapWindowPoints(nullptr, hBox, reinterpret_cast<POINT*>(&rc), 2);
    p.width = p.height = ::GetSystemMetrics(SM_CXICON);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            p.px.push_back(all.At(rc.left + x, rc.top + y));
    return p;
}

int Colours(const Pixels& p)
{
    std::vector<uint32_t> v = p.px;
    std::sort(v.begin(), v.end());
    return (int)(std::unique(v.begin(), v.end()) - v.begin());
}

void ConfirmOnClose()
{
    OnePage one("confirm");
    ::PostMessageA(one.s.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND hBox = one.Confirm();
    CHECK(hBox != nullptr);
    if (!hBox)
        return;
    CHECK_EQ(WindowText(hBox), "Pagewell Utility");
    CHECK(WaitFor([&] { return FocusOf(hBox) == ::GetDlgItem(hBox, IDCANCEL); }, 5000));
    CHECK_EQ(DefaultId(hBox), IDCANCEL);

    // The warning icon is painted at the placeholder's corner, and again after
    // the dialog was covered and uncovered.
    Pixels before;
    CHECK(WaitFor([&] {
        Pixels now = IconArea(hBox);
        bool same = Colours(now) > 3 && now.px == before.px;
        before = now;
        return same;
    }, 5000));
    RECT rc;
    ::GetWindowRect(hBox, &rc);
    HWND hCover = ::CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_WHITERECT, rc.left,
                                    rc.top, rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, nullptr, nullptr);
    ::UpdateWindow(hCover);
    CHECK(WaitFor([&] { return Colours(IconArea(hBox)) == 1; }, 5000));
    ::DestroyWindow(hCover);
    CHECK(WaitFor([&] { return IconArea(hBox).px == before.px; }, 5000));

    // Enter answers Cancel: the program and its batch stay.
    CHECK(MakeForeground(hBox));
    Tap(VK_RETURN);
    CHECK(WaitFor([&] { return !::IsWindow(hBox); }, 5000));
    one.CheckBatchKept();

    // OK ends the program and the page files go with it.
    ::PostMessageA(one.s.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    hBox = one.Confirm();
    CHECK(hBox != nullptr);
    ClickButton(hBox, IDOK);
    CHECK(one.s.Prog().WaitExit());
    CHECK(PageFilesPresent().empty());
}

struct Query {
    HWND hWnd;
    LRESULT result = -1;
};

DWORD WINAPI SendQuery(void* p)
{
    Query* q = static_cast<Query*>(p);
    DWORD_PTR r = 0;
    if (::SendMessageTimeoutA(q->hWnd, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 30000, &r))
        q->result = (LRESULT)r;
    return 0;
}

// WM_QUERYENDSESSION's answer, the confirmation answered with `answer` (0: none expected).
LRESULT AskEndSession(OnePage& one, int answer)
{
    Query q{one.s.Main()};
    HANDLE hThread = ::CreateThread(nullptr, 0, &SendQuery, &q, 0, nullptr);
    if (answer) {
        HWND hBox = one.Confirm();
        CHECK(hBox != nullptr);
        ClickButton(hBox, answer);
    }
    CHECK_EQ(::WaitForSingleObject(hThread, 30000), (DWORD)WAIT_OBJECT_0);
    ::CloseHandle(hThread);
    return q.result;
}

void QueryEndSession()
{
    OnePage one("endsession");
    CHECK_EQ(AskEndSession(one, IDCANCEL), FALSE);
    one.CheckBatchKept();
    CHECK_EQ(AskEndSession(one, IDOK), TRUE);
    CHECK(one.s.Prog().Running());

    // Without a batch on screen the answer is yes, with no question.
    CHECK(MakeForeground(one.s.Main()));
    Chord(VK_MENU, 'C');
    CHECK(WaitText(one.s.Main(), IDC_PAGE_TOTAL, "/ 0"));
    CHECK_EQ(AskEndSession(one, 0), TRUE);
    CHECK(one.s.Prog().CloseNormally());
}

// Wine ends the session with a batch on screen: refused once, the batch stays
// held; accepted, the program shuts down as on closing: the settings file is
// written (a longer one becomes 392 bytes) and the page files go.
void WineSessionEnd()
{
    OnePage one("wineboot");
    Bytes record;
    CHECK(ReadFileBytes(one.s.Prog().SettingsPath(), record));
    record.resize(500, 0);
    CHECK(WriteFileBytes(one.s.Prog().SettingsPath(), record));
    for (int answer : {IDCANCEL, IDOK}) {
        char cmd[] = "wineboot.exe --end-session";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        CHECK(::CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        HWND hBox = one.Confirm();
        CHECK(hBox != nullptr);
        ClickButton(hBox, answer);
        DWORD code = 99;
        CHECK_EQ(::WaitForSingleObject(pi.hProcess, 30000), (DWORD)WAIT_OBJECT_0);
        ::GetExitCodeProcess(pi.hProcess, &code);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
        if (answer == IDCANCEL) {
            CHECK(code != 0);
            one.CheckBatchKept();
        }
    }
    CHECK(one.s.Prog().WaitExit());
    CHECK(PageFilesPresent().empty());
    CHECK(ReadFileBytes(one.s.Prog().SettingsPath(), record));
    CHECK_EQ(record.size(), (size_t)kSettingsSize);
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

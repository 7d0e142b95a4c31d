// The real Tolvix.exe from start to end: one copy at a time, the About box, the
// start-up failures that end it, help, what each settings file on disk becomes
// after a run (byte for byte), and the confirmation before an unsaved batch is
// thrown away on closing and at the end of the session.
#include "../harness/Session.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

using namespace harness;

namespace {

bool MutexExists()
{
    HANDLE h = ::OpenMutexA(SYNCHRONIZE, FALSE, "__KD_UTILITY_SYNC");
    if (h)
        ::CloseHandle(h);
    return h != nullptr;
}

void SingleInstance()
{
    Program first("first");
    HWND hFirst = StartWith(first);
    CHECK(MutexExists());
    // A window of the driver's own takes the foreground away from Tolvix.
    HWND hDecoy = ::CreateWindowExA(0, "STATIC", "decoy", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 700, 500, 200, 100,
                                    nullptr, nullptr, nullptr, nullptr);
    CHECK(MakeForeground(hDecoy));
    Program second("second");
    CHECK(second.Start());
    CHECK(second.WaitExit());
    CHECK(ProcessWindows(second.Pid()).empty());
    CHECK(first.Running());
    // The refused copy brings the running one to the front.
    CHECK(WaitFor([&] { return ::GetForegroundWindow() == hFirst; }, 5000));
    ::DestroyWindow(hDecoy);
    CHECK(first.CloseNormally());
    CHECK_EQ(first.ExitCode(), 0u);
    CHECK(!MutexExists());
    Program third("third");
    StartWith(third);
    CHECK(third.CloseNormally());
}

void AboutBox()
{
    Program prog("about");
    ::PostMessageA(StartWith(prog), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND hAbout = prog.WaitDialogWithText("Vexel Pagewell Utility", 5000);
    CHECK(hAbout != nullptr);
    CHECK_EQ(WindowText(hAbout), "About");
    CHECK_EQ(Text(hAbout, IDC_VERSION), "Version 1.0  ");
    ClickButton(hAbout, IDOK);
    CHECK(WaitFor([&] { return !::IsWindow(hAbout); }, 5000));
    CHECK(prog.CloseNormally());
}

// The icon of a message box as painted, once two looks agree.
std::vector<uint32_t> ShownIcon(HWND hBox)
{
    for (HWND h = hBox ? ::GetWindow(hBox, GW_CHILD) : nullptr; h; h = ::GetWindow(h, GW_HWNDNEXT))
        if (::SendMessageA(h, STM_GETICON, 0, 0)) {
            ::RedrawWindow(hBox, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            return SettledCapture(h).px;
        }
    return {};
}

UINT g_referenceType;

DWORD WINAPI ShowReference(void*)
{
    return ::MessageBoxA(nullptr, "reference", "reference", g_referenceType);
}

// The icon that a message box of this driver's own with the given type shows.
std::vector<uint32_t> ReferenceIcon(UINT type)
{
    g_referenceType = type;
    HANDLE hThread = ::CreateThread(nullptr, 0, &ShowReference, nullptr, 0, nullptr);
    HWND hBox = nullptr;
    CHECK(WaitFor([&] { return (hBox = ::FindWindowA(nullptr, "reference")) != nullptr; }, 5000));
    std::vector<uint32_t> icon = ShownIcon(hBox);
    ::PostMessageA(hBox, WM_COMMAND, IDOK, 0);
    CHECK_EQ(::WaitForSingleObject(hThread, 5000), (DWORD)WAIT_OBJECT_0);
    ::CloseHandle(hThread);
    return icon;
}

const char kOverrides[] = "Software\\Wine\\AppDefaults\\Tolvix.exe\\DllOverrides";

// A start-up that fails: the message names it with the stop icon, OK ends the
// program, and the settings file is written all the same.
const struct Fatal {
    const char* name;
    const char* text;
    void (*setup)();
} kFatal[] = {
    {"no_source_manager",
     "The necessary file could be missing or damaged, \nor the setting are incorrent.\n"
     "Reinstall the scanner driver.\nThe Scanner utility will be closed.",
     [] {
         // Wine's per-program DLL overrides: an empty value disables both source managers.
         HKEY hKey = nullptr;
         ::RegCreateKeyExA(HKEY_CURRENT_USER, kOverrides, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr);
         for (const char* name : {"twain_32", "twaindsm"})
             CHECK_EQ(::RegSetValueExA(hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1), 0);
         ::RegCloseKey(hKey);
     }},
    {"registry_unreadable", "Cannot read the registry. Check the registry path.",
     [] { CHECK_EQ(::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kModelKey), 0); }},
};

void FailedStart(const Fatal& row)
{
    ModelKey key;   // put back when done
    row.setup();
    Program prog(row.name);
    CHECK(prog.Start());
    HWND hBox = prog.WaitDialogWithText(row.text);
    CHECK(hBox != nullptr);
    CHECK_EQ(WindowText(hBox), "Pagewell Utility");
    std::vector<uint32_t> shown = ShownIcon(hBox);
    CHECK(!shown.empty());
    CHECK(shown == ReferenceIcon(MB_ICONSTOP));
    CHECK(shown != ReferenceIcon(MB_ICONEXCLAMATION));
    ClickButton(hBox, IDOK);
    CHECK(prog.WaitExit());
    CHECK(ProcessWindows(prog.Pid(), kMainCaption).empty());
    CHECK(!MutexExists());
    Bytes settings;
    CHECK(ReadFileBytes(prog.SettingsPath(), settings));
    CHECK_EQ(settings.size(), (size_t)kSettingsSize);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kOverrides);
}

// Without its help file the program opens the help viewer, which asks for the
// file; the program itself goes on and still ends normally.
void HelpWithoutFile()
{
    EndProcesses(ProcessesNamed("winhlp32.exe"));
    Program prog("nohelp");
    CHECK(::DeleteFileA((prog.Folder() + "\\KEVRAN.HLP").c_str()));
    HWND hWnd = StartWith(prog), hAsk = nullptr;
    ::PostMessageA(hWnd, WM_COMMAND, ID_CMD_HELP, 0);
    CHECK(WaitFor([&] {
        for (DWORD pid : ProcessesNamed("winhlp32.exe"))
            for (HWND h : ProcessWindows(pid))
                hAsk = DialogText(h).find("KEVRAN.HLP") != std::string::npos ? h : hAsk;
        return hAsk != nullptr;
    }, 10000));
    DWORD_PTR r = 0;
    CHECK(::SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &r) != 0);
    ClickButton(hAsk, IDNO);
    CHECK(prog.CloseNormally());
    CHECK_EQ(prog.ExitCode(), 0u);
    EndProcesses(ProcessesNamed("winhlp32.exe"));
}

// F1 and the toolbar's Help open the help file at the main window's topic without
// a question; ending the program closes the help window.
void Help()
{
    for (bool bKey : {true, false}) {
        printf("%s\n", bKey ? "F1" : "Help  F1 on the toolbar");
        EndProcesses(ProcessesNamed("winhlp32.exe"));
        Program prog("help");
        HWND hWnd = StartWith(prog);
        if (bKey) {
            CHECK(MakeForeground(hWnd));
            Tap(VK_F1);
        } else {
            ::PostMessageA(hWnd, WM_COMMAND, ID_CMD_HELP, 0);
        }
        CHECK(WaitHelpTopic("The Main Window"));
        CHECK(prog.CloseNormally());
        CHECK(WaitFor([] { return HelpViewer() == nullptr; }, 10000));
    }
    EndProcesses(ProcessesNamed("winhlp32.exe"));
}

// ---- the settings file ------------------------------------------------------

void PutText(Bytes& b, int off, const std::string& s)
{
    memset(&b[off], 0, off == kOffFolder ? 256 : 64);
    memcpy(&b[off], s.data(), s.size());
}

std::string FolderText(const Bytes& b)
{
    const char* p = reinterpret_cast<const char*>(b.data());
    return b.size() < 256 ? std::string() : std::string(p, strnlen(p, 256));
}

std::string DefaultFolder(const Program& prog)
{
    return prog.Folder() + "\\MyDocuments";
}

// Starts the program on the file (none when empty), closes it normally, returns what it left.
Bytes RunOnce(Program& prog, const Bytes& input, const std::function<void(HWND)>& whileRunning = {})
{
    HWND hWnd = StartWith(prog, input);
    if (hWnd && whileRunning)
        whileRunning(hWnd);
    CHECK(prog.CloseNormally());
    CHECK_EQ(prog.ExitCode(), 0u);
    Bytes out;
    ReadFileBytes(prog.SettingsPath(), out);
    return out;
}

HANDLE g_hLock = INVALID_HANDLE_VALUE;

enum Outcome {
    kDefaults,    // every field its default; only the stem's tail and the reserved word travel
    kKept,        // the first 392 bytes come back, with this run's locale word
    kUnchanged,   // the file is not rewritten
};

// A file on disk at start-up: a valid record with values that differ from every
// default (flag 1) as edited, cut to its size; and what it becomes.
const struct Row {
    const char* name;
    size_t size;                          // 0: no file
    void (*edit)(Bytes&);
    Outcome outcome;
    void (*fix)(Bytes&);                  // changes to the expected record
    void (*during)(const Program&, HWND);
} kRows[] = {
    {"no_file", 0, nullptr, kDefaults, nullptr, nullptr},
    {"short_file", 391, [](Bytes& b) { for (int i = 260; i < 324; ++i) b[i] = (unsigned char)(0xA0 + i % 16); },
     kDefaults, nullptr, nullptr},
    {"long_file", 500, [](Bytes& b) { std::fill(b.begin() + kSettingsSize, b.end(), 0x77); }, kKept, nullptr,
     nullptr},
    {"flag_five_and_foreign_bytes", kSettingsSize,
     [](Bytes& b) {
         PutInt(b, kOffFolderValid, 5);
         PutInt(b, 320, (int)0xEFBEADDE);
         memset(&b[261], 'x', 59);
     },
     kKept, nullptr, nullptr},
    {"unterminated_fields", kSettingsSize, [](Bytes& b) { memset(&b[0], 'A', 256); memset(&b[256], 'B', 64); },
     kKept, [](Bytes& b) { b[255] = b[319] = 0; }, nullptr},
    // Lists without a matching item: no selection, except Page Size on its first item.
    {"out_of_range_values", kSettingsSize,
     [](Bytes& b) {
         PutInt(b, kOffResolution, 7);
         PutInt(b, kOffPageSize, 99);
         PutInt(b, kOffScanRange, 8);
         PutInt(b, kOffMode, -3);
     },
     kKept, nullptr,
     [](const Program&, HWND hWnd) {
         CHECK_EQ(CurSel(hWnd, IDC_RESOLUTION), -1);
         CHECK_EQ(CurSel(hWnd, IDC_SCAN_RANGE), -1);
         CHECK_EQ(CurSel(hWnd, IDC_MODE), -1);
         CHECK_EQ(CurSel(hWnd, IDC_PAGE_SIZE), 0);
     }},
    // Held without sharing until the program has ended.
    {"locked_at_exit", kSettingsSize, nullptr, kUnchanged, nullptr,
     [](const Program& prog, HWND) {
         g_hLock = ::CreateFileA(prog.SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         CHECK(g_hLock != INVALID_HANDLE_VALUE);
     }},
};

void RunRow(const Row& row)
{
    Program prog(row.name);
    Bytes in(std::max(row.size, (size_t)kSettingsSize), 0);
    PutText(in, kOffFolder, "C:\\Scans");
    PutText(in, kOffStem, "Page");
    const int values[] = {12, 2, 3, 1, 4, 1, 1, 1, 4, 2, 0, 10, 20, 1000, 2000, 1};
    for (int i = 0; i < 16; ++i)
        PutInt(in, kOffNumber + 4 * i, values[i]);
    if (row.edit)
        row.edit(in);
    in.resize(row.size);
    Bytes out = RunOnce(prog, in, [&](HWND hWnd) {
        if (row.during)
            row.during(prog, hWnd);
    });
    if (g_hLock != INVALID_HANDLE_VALUE) {
        ::CloseHandle(g_hLock);
        g_hLock = INVALID_HANDLE_VALUE;
        ReadFileBytes(prog.SettingsPath(), out);
    }
    Bytes expected(in.begin(), in.begin() + std::min(in.size(), (size_t)kSettingsSize));
    if (row.outcome == kDefaults) {
        expected = SettingsRecord(kRangeCurrentPage, DefaultFolder(prog));
        PutInt(expected, kOffPageSize, USLocale() ? 3 : 1);
        if (!in.empty())
            std::copy(in.begin() + 260, in.begin() + 324, expected.begin() + 260);
    }
    if (row.outcome != kUnchanged)
        PutInt(expected, kOffUSLocale, USLocale() ? 1 : 0);
    if (row.fix)
        row.fix(expected);
    CHECK_EQ(out.size(), expected.size());
    auto diff = std::mismatch(out.begin(), out.end(), expected.begin(), expected.end());
    if (diff.first != out.end() && diff.second != expected.end())
        CHECK_EQ("byte " + std::to_string(diff.first - out.begin()) + " = " + std::to_string(*diff.first),
                 "byte " + std::to_string(diff.first - out.begin()) + " = " + std::to_string(*diff.second));
    CHECK(!FileExists(DefaultFolder(prog)));
}

void SecondRunCreatesDefaultFolder()
{
    Program prog("second");
    Bytes first = RunOnce(prog, Bytes());
    CHECK_EQ(first.size(), (size_t)kSettingsSize);
    if (first.size() != kSettingsSize)
        return;
    // A folder stored while the flag is 0 is ignored on the next start.
    PutText(first, kOffFolder, "C:\\Elsewhere");
    Bytes second = RunOnce(prog, first);
    CHECK(FileExists(DefaultFolder(prog)));
    CHECK_EQ(FolderText(second), DefaultFolder(prog));
    CHECK_EQ(GetInt(second, kOffFolderValid), 1);
    // From then on the stored folder is used.
    PutText(second, kOffFolder, "C:\\Chosen");
    Bytes third = RunOnce(prog, second);
    CHECK_EQ(FolderText(third), "C:\\Chosen");
    CHECK_EQ(GetInt(third, kOffFolderValid), 1);
}

// Run by locale.sh with LANG chosen; TOLVIX_EXPECT_PAGESIZE names the default.
void LocaleDefault()
{
    const char* expect = getenv("TOLVIX_EXPECT_PAGESIZE");
    CHECK(expect != nullptr);
    const bool us = expect && atoi(expect) == 3;
    Program prog("locale");
    Bytes out = RunOnce(prog, Bytes(), [&](HWND hWnd) { CHECK_EQ(Text(hWnd, IDC_PAGE_SIZE), us ? "Letter" : "A4"); });
    CHECK_EQ(out.size(), (size_t)kSettingsSize);
    if (out.size() == kSettingsSize) {
        CHECK_EQ(GetInt(out, kOffPageSize), us ? 3 : 1);
        CHECK_EQ(GetInt(out, kOffUSLocale), us ? 1 : 0);
    }
}

// ---- the clear confirmation -------------------------------------------------

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
    HWND Confirm()
    {
        HWND hBox = s.Prog().WaitDialogWithText(kQuestion, 10000);
        CHECK(hBox != nullptr);
        return hBox;
    }
    // The batch stays on screen, its page file held.
    void CheckBatchKept()
    {
        CHECK(s.Prog().Running());
        CHECK_EQ(Text(s.Main(), IDC_PAGE_TOTAL), "/ 1");
        CHECK(IsHeldWithoutSharing(PagePath(1)));
    }
};

// The screen over the warning icon's place, the corner of its placeholder, and its colour count.
Pixels IconArea(HWND hBox, int* pColours = nullptr)
{
    Pixels all = CaptureClient(hBox), p;
    RECT rc;
    ::GetWindowRect(::GetDlgItem(hBox, IDC_WARNING_ICON_MARK), &rc);
    ::MapWindowPoints(nullptr, hBox, reinterpret_cast<POINT*>(&rc), 2);
    p.width = p.height = ::GetSystemMetrics(SM_CXICON);
    for (int y = 0; y < p.height && rc.top + p.height <= all.height; ++y)
        for (int x = 0; x < p.width && rc.left + p.width <= all.width; ++x)
            p.px.push_back(all.At(rc.left + x, rc.top + y));
    std::vector<uint32_t> v = p.px;
    std::sort(v.begin(), v.end());
    if (pColours)
        *pColours = (int)(std::unique(v.begin(), v.end()) - v.begin());
    return p;
}

void ConfirmOnClose()
{
    OnePage one("confirm");
    ::PostMessageA(one.s.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND hBox = one.Confirm();
    CHECK_EQ(WindowText(hBox), "Pagewell Utility");
    CHECK(WaitFor([&] { return FocusOf(hBox) == ::GetDlgItem(hBox, IDCANCEL); }, 5000));
    CHECK_EQ(DefaultId(hBox), IDCANCEL);

    // The warning icon is painted at the placeholder's corner, and again after
    // the dialog was covered and uncovered.
    Pixels before;
    int n = 0;
    CHECK(WaitFor([&] {
        Pixels now = IconArea(hBox, &n);
        std::swap(now, before);
        return n > 3 && now.px == before.px;
    }, 5000));
    RECT rc;
    ::GetWindowRect(hBox, &rc);
    HWND hCover = ::CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_WHITERECT, rc.left,
                                    rc.top, rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, nullptr, nullptr);
    ::UpdateWindow(hCover);
    CHECK(WaitFor([&] { return IconArea(hBox, &n), n == 1; }, 5000));
    ::DestroyWindow(hCover);
    CHECK(WaitFor([&] { return IconArea(hBox).px == before.px; }, 5000));

    // Enter answers Cancel: the program and its batch stay.
    CHECK(MakeForeground(hBox));
    Tap(VK_RETURN);
    CHECK(WaitFor([&] { return !::IsWindow(hBox); }, 5000));
    one.CheckBatchKept();
    // OK ends the program and the page files go with it.
    ::PostMessageA(one.s.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ClickButton(one.Confirm(), IDOK);
    CHECK(one.s.Prog().WaitExit());
    CHECK(PageFilesPresent().empty());
}

DWORD WINAPI SendQuery(void* p)
{
    auto* q = static_cast<std::pair<HWND, LRESULT>*>(p);
    DWORD_PTR r = 0;
    if (::SendMessageTimeoutA(q->first, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 30000, &r))
        q->second = (LRESULT)r;
    return 0;
}

// WM_QUERYENDSESSION's answer, the confirmation answered with `answer` (0: none expected).
LRESULT AskEndSession(OnePage& one, int answer)
{
    std::pair<HWND, LRESULT> q{one.s.Main(), -1};
    HANDLE hThread = ::CreateThread(nullptr, 0, &SendQuery, &q, 0, nullptr);
    if (answer)
        ClickButton(one.Confirm(), answer);
    CHECK_EQ(::WaitForSingleObject(hThread, 30000), (DWORD)WAIT_OBJECT_0);
    ::CloseHandle(hThread);
    return q.second;
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
        ClickButton(one.Confirm(), answer);
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
    std::vector<Case> cases = {
        {"single_instance", SingleInstance},
        {"about_box", AboutBox},
        {"help_without_file", HelpWithoutFile},
        {"help", Help},
        {"second_run_creates_default_folder", SecondRunCreatesDefaultFolder},
        {"locale_default", LocaleDefault},
        {"confirm_on_close", ConfirmOnClose},
        {"query_end_session", QueryEndSession},
        {"wine_session_end", WineSessionEnd},
    };
    for (const Fatal& row : kFatal)
        cases.push_back({row.name, [&row] { FailedStart(row); }});
    for (const Row& row : kRows)
        cases.push_back({row.name, [&row] { RunRow(row); }});
    return RunCases(argc, argv, cases);
}

// The real Tolvix.exe from start to end: one copy at a time, the About box, the
// start-up failures that end it, help, what each settings file on disk becomes
// after a run (byte for byte), and the confirmation before an unsaved batch is
// thrown away on closing and at the end of the session.
#include "../harness/Session.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <numeric>

using namespace harness;

namespace {

void SingleInstance()
{
    Program first("first");
    HWND hFirst = StartWith(first);
    HANDLE hMutex = ::OpenMutexA(SYNCHRONIZE, FALSE, "__KD_UTILITY_SYNC");
    CHECK(hMutex != nullptr);
    ::CloseHandle(hMutex);
    // A window of the driver's own takes the foreground away from Tolvix.
    HWND hDecoy = ::CreateWindowExA(0, "STATIC", "decoy", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 700, 500, 200, 100, nullptr,
                                    nullptr, nullptr, nullptr);
    CHECK(MakeForeground(hDecoy));
    Program second("second");
    CHECK(second.Start());
    CHECK(second.WaitExit());
    CHECK(first.Running());
    // The refused copy brings the running one to the front.
    CHECK(WaitFor([&] { return ::GetForegroundWindow() == hFirst; }, 5000));
    ::DestroyWindow(hDecoy);
    CHECK(first.CloseNormally());
    CHECK_EQ(first.ExitCode(), 0u);
}

void AboutBox()
{
    Program prog("about");
    ::PostMessageA(StartWith(prog), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND hAbout = prog.WaitDialogWithText("Vexel Pagewell Utility", 5000);
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

DWORD WINAPI ShowReference(void* type)
{
    return ::MessageBoxA(nullptr, "reference", "reference", (UINT)(uintptr_t)type);
}

// The icon that a message box of this driver's own with the given type shows.
std::vector<uint32_t> ReferenceIcon(UINT type)
{
    HANDLE hThread = ::CreateThread(nullptr, 0, &ShowReference, (void*)(uintptr_t)type, 0, nullptr);
    HWND hBox = nullptr;
    CHECK(WaitFor([&] { return (hBox = ::FindWindowA(nullptr, "reference")) != nullptr; }, 5000));
    std::vector<uint32_t> icon = ShownIcon(hBox);
    ::PostMessageA(hBox, WM_COMMAND, IDOK, 0);
    CHECK_EQ(::WaitForSingleObject(hThread, 5000), (DWORD)WAIT_OBJECT_0);
    ::CloseHandle(hThread);
    return icon;
}

// A start-up that fails: the message names it with the stop icon, OK ends the
// program, and the settings file is written all the same.
void FailedStart(const char* tag, const char* text)
{
    Program prog(tag);
    CHECK(prog.Start());
    HWND hBox = prog.WaitDialogWithText(text);
    CHECK_EQ(WindowText(hBox), "Pagewell Utility");
    const std::vector<uint32_t> shown = ShownIcon(hBox);
    CHECK(shown == ReferenceIcon(MB_ICONSTOP));
    CHECK(shown != ReferenceIcon(MB_ICONEXCLAMATION)); // the capture tells icons apart
    ClickButton(hBox, IDOK);
    CHECK(prog.WaitExit());
    Bytes settings;
    CHECK(ReadFileBytes(prog.SettingsPath(), settings));
    CHECK_EQ(settings.size(), (size_t)kSettingsSize);
}

void NoSourceManager()
{
    // Wine's per-program DLL overrides: an empty value disables both source managers.
    const char kOverrides[] = "Software\\Wine\\AppDefaults\\Tolvix.exe\\DllOverrides";
    for (const char* name : {"twain_32", "twaindsm"})
        CHECK_EQ(::RegSetKeyValueA(HKEY_CURRENT_USER, kOverrides, name, REG_SZ, "", 1), 0);
    FailedStart("nodsm", "The necessary file could be missing or damaged, \nor the setting are incorrent.\n"
                         "Reinstall the scanner driver.\nThe Scanner utility will be closed.");
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kOverrides);
}

void RegistryUnreadable()
{
    ModelKey key; // put back when done
    CHECK_EQ(::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kModelKey), 0);
    FailedStart("noreg", "Cannot read the registry. Check the registry path.");
}

// F1 and the toolbar's Help open the help file at the main window's topic without
// a question, and ending the program closes the help window. Without the file the
// viewer asks for it; the program itself goes on and still ends normally.
void Help(bool bFile)
{
    Program prog("help");
    CHECK(bFile || ::DeleteFileA((prog.Folder() + "\\KEVRAN.HLP").c_str()));
    HWND hWnd = StartWith(prog);
    for (bool bKey : {true, false}) {
        printf("%s\n", bKey ? "F1" : "Help  F1 on the toolbar");
        EndProcesses(ProcessesNamed("winhlp32.exe"));
        if (bKey) {
            CHECK(MakeForeground(hWnd));
            Tap(VK_F1);
        } else {
            ::PostMessageA(hWnd, WM_COMMAND, ID_CMD_HELP, 0);
        }
        if (bFile) {
            CHECK(WaitHelpTopic("The Main Window"));
            continue;
        }
        HWND hAsk = nullptr;
        CHECK(WaitFor(
            [&] {
                for (DWORD pid : ProcessesNamed("winhlp32.exe"))
                    for (HWND h : ProcessWindows(pid))
                        hAsk = DialogText(h).find("KEVRAN.HLP") != std::string::npos ? h : hAsk;
                return hAsk != nullptr;
            },
            10000));
        DWORD_PTR r = 0;
        CHECK(::SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &r) != 0);
        ClickButton(hAsk, IDNO);
    }
    CHECK(prog.CloseNormally());
    CHECK_EQ(prog.ExitCode(), 0u);
    CHECK(!bFile || WaitFor([] { return HelpViewer() == nullptr; }, 10000));
    EndProcesses(ProcessesNamed("winhlp32.exe"));
}

// ---- the settings file ------------------------------------------------------

void PutText(Bytes& b, int off, const std::string& s)
{
    memset(&b[off], 0, off == kOffFolder ? 256 : 64);
    memcpy(&b[off], s.data(), s.size());
}

std::string DefaultFolder(const Program& prog) { return prog.Folder() + "\\MyDocuments"; }

// Defaults: every field its default, only the stem's tail and the reserved word
// travel; kept: the first 392 bytes come back with this run's locale word; made:
// kept, but with the default folder, made on disk, stored as valid; locked: the
// file is held without sharing until the program has ended, and stays as it was.
enum Outcome { kDefaults, kKept, kMade, kLocked };

// A file on disk at start-up: a valid record with values that differ from every
// default (flag 1) as edited, cut to its size; and what it becomes.
const struct Row {
    const char* name;
    size_t size; // 0: no file
    void (*edit)(Bytes&);
    Outcome outcome;
    void (*during)(HWND);
} kRows[] = {
    // clang-format off
    // The page size list shows the locale's default; locale.sh says which it chose.
    {"no_file", 0, nullptr, kDefaults,
     [](HWND hWnd) {
         CHECK_EQ(Text(hWnd, IDC_PAGE_SIZE), USLocale() ? "Letter" : "A4");
         if (const char* expect = getenv("TOLVIX_EXPECT_PAGESIZE"))
             CHECK_EQ(USLocale(), atoi(expect) == 3);
     }},
    {"short_file", 391, [](Bytes& b) { std::iota(&b[260], &b[324], (unsigned char)0xA0); }, kDefaults, nullptr},
    {"long_file", 500, [](Bytes& b) { std::fill(b.begin() + kSettingsSize, b.end(), 0x77); }, kKept, nullptr},
    {"flag_five_and_foreign_bytes", kSettingsSize,
     [](Bytes& b) { PutInt(b, kOffFolderValid, 5), PutInt(b, 320, (int)0xEFBEADDE), memset(&b[261], 'x', 58); },
     kKept, nullptr},
    // A field without its terminator is cut to one character less.
    {"unterminated_fields", kSettingsSize, [](Bytes& b) { memset(&b[0], 'A', 256), memset(&b[256], 'B', 64); },
     kKept, nullptr},
    // Lists without a matching item: no selection, except Page Size on its first item.
    {"out_of_range_values", kSettingsSize,
     [](Bytes& b) { PutInt(b, kOffResolution, 7), PutInt(b, kOffPageSize, 99), PutInt(b, kOffScanRange, 8),
                    PutInt(b, kOffMode, -3); },
     kKept,
     [](HWND hWnd) {
         for (int id : {IDC_RESOLUTION, IDC_SCAN_RANGE, IDC_MODE, IDC_PAGE_SIZE})
             CHECK_EQ(CurSel(hWnd, id), id == IDC_PAGE_SIZE ? 0 : -1);
     }},
    // A folder stored while the flag is 0 is ignored (the first run leaves such a file).
    {"second_run_creates_default_folder", kSettingsSize,
     [](Bytes& b) { PutInt(b, kOffFolderValid, 0), PutText(b, kOffFolder, "C:\\Elsewhere"); }, kMade, nullptr},
    {"locked_at_exit", kSettingsSize, nullptr, kLocked, nullptr},
    // clang-format on
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
    HWND hWnd = StartWith(prog, in);
    if (hWnd && row.during)
        row.during(hWnd);
    HANDLE hLock = INVALID_HANDLE_VALUE;
    if (row.outcome == kLocked)
        CHECK((hLock = ::CreateFileA(prog.SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) !=
              INVALID_HANDLE_VALUE);
    CHECK(prog.CloseNormally());
    CHECK_EQ(prog.ExitCode(), 0u);
    if (hLock != INVALID_HANDLE_VALUE)
        ::CloseHandle(hLock);
    Bytes out;
    ReadFileBytes(prog.SettingsPath(), out);
    Bytes expected(in.begin(), in.begin() + std::min(in.size(), (size_t)kSettingsSize));
    if (row.outcome == kDefaults) {
        expected = SettingsRecord(kRangeCurrentPage, DefaultFolder(prog));
        PutInt(expected, kOffPageSize, USLocale() ? 3 : 1);
        if (!in.empty())
            std::copy(in.begin() + 260, in.begin() + 324, expected.begin() + 260);
    }
    if (row.outcome != kLocked)
        PutInt(expected, kOffUSLocale, USLocale() ? 1 : 0);
    if (row.outcome == kKept)
        expected[255] = expected[319] = 0; // the terminators of a folder or stem that had none
    if (row.outcome == kMade)
        PutText(expected, kOffFolder, DefaultFolder(prog)), PutInt(expected, kOffFolderValid, 1);
    CHECK_EQ(out.size(), expected.size());
    auto diff = std::mismatch(out.begin(), out.end(), expected.begin(), expected.end());
    if (diff.first != out.end() && diff.second != expected.end())
        CHECK_EQ("byte " + std::to_string(diff.first - out.begin()) + " = " + std::to_string(*diff.first),
                 "byte " + std::to_string(diff.first - out.begin()) + " = " + std::to_string(*diff.second));
    CHECK_EQ(FileExists(DefaultFolder(prog)), row.outcome == kMade);
}

// ---- the clear confirmation -------------------------------------------------

const char kQuestion[] = "Scanned images will be cleared. Continue?";

// A session with one scanned page on screen.
struct OnePage {
    bool bNoPageFiles = RemovePageFiles();
    ScannerControls controls{{{"Sheets", 3}, {"PageDivisor", 4}}};
    Session s;
    explicit OnePage(const char* tag) : s(tag, kRangeCurrentPage)
    {
        CHECK(s.Start());
        s.PressScan();
        CHECK(s.WaitPagesShown(1));
    }
    HWND Confirm() { return s.Prog().WaitDialogWithText(kQuestion, 10000); }
};

// The screen over the clear question's icon placeholder, as large as an icon.
std::vector<uint32_t> IconArea(HWND hBox)
{
    RECT rc;
    ::GetWindowRect(::GetDlgItem(hBox, IDC_WARNING_ICON_MARK), &rc);
    ::MapWindowPoints(nullptr, hBox, reinterpret_cast<POINT*>(&rc), 2);
    const Pixels all = CaptureClient(hBox);
    const int n = ::GetSystemMetrics(SM_CXICON);
    std::vector<uint32_t> px;
    for (int y = 0; y < n && rc.top + n <= all.height; ++y)
        for (int x = 0; x < n && rc.left + n <= all.width; ++x)
            px.push_back(all.At(rc.left + x, rc.top + y));
    return px;
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
    const std::vector<uint32_t> warning = ReferenceIcon(MB_ICONEXCLAMATION);
    CHECK(WaitFor([&] { return IconArea(hBox) == warning; }, 5000));
    RECT rc;
    ::GetWindowRect(hBox, &rc);
    HWND hCover = ::CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_WHITERECT, rc.left, rc.top,
                                    rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, nullptr, nullptr);
    ::UpdateWindow(hCover);
    CHECK(WaitFor([&] { return IconArea(hBox) != warning; }, 5000));
    ::DestroyWindow(hCover);
    CHECK(WaitFor([&] { return IconArea(hBox) == warning; }, 5000));
    // Enter answers Cancel: the program stays.
    CHECK(MakeForeground(hBox));
    Tap(VK_RETURN);
    CHECK(WaitFor([&] { return !::IsWindow(hBox); }, 5000));
    CHECK(one.s.Prog().Running());
}

LRESULT g_answer;

void CALLBACK Answered(HWND, UINT, ULONG_PTR, LRESULT result) { g_answer = result; }

// WM_QUERYENDSESSION's answer, the confirmation answered with `answer` (0: none expected).
LRESULT AskEndSession(OnePage& one, int answer)
{
    g_answer = -1;
    CHECK(::SendMessageCallbackA(one.s.Main(), WM_QUERYENDSESSION, 0, 0, &Answered, 0));
    if (answer)
        ClickButton(one.Confirm(), answer);
    CHECK(WaitFor([] { return g_answer != -1; }, 10000));
    return g_answer;
}

void QueryEndSession()
{
    OnePage one("endsession");
    CHECK_EQ(AskEndSession(one, IDCANCEL), FALSE);
    // The batch stays on screen, its page file held.
    CHECK_EQ(Text(one.s.Main(), IDC_PAGE_TOTAL), "/ 1");
    CHECK(IsHeldWithoutSharing(PagePath(1)));
    CHECK_EQ(AskEndSession(one, IDOK), TRUE);
    CHECK(one.s.Prog().Running());
    // Without a batch on screen the answer is yes, with no question.
    CHECK(MakeForeground(one.s.Main()));
    Chord(VK_MENU, 'C');
    CHECK(WaitText(one.s.Main(), IDC_PAGE_TOTAL, "/ 0"));
    CHECK_EQ(AskEndSession(one, 0), TRUE);
    CHECK(one.s.Prog().CloseNormally());
}

// Wine ends the session with a batch on screen, accepted: the program shuts down
// as on closing: the settings file is written and the page files go.
void WineSessionEnd()
{
    OnePage one("wineboot");
    CHECK(::DeleteFileA(one.s.Prog().SettingsPath().c_str()));
    char cmd[] = "wineboot.exe --end-session";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    CHECK(::CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ClickButton(one.Confirm(), IDOK);
    CHECK_EQ(::WaitForSingleObject(pi.hProcess, 30000), (DWORD)WAIT_OBJECT_0);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    CHECK(one.s.Prog().WaitExit());
    CHECK(PageFilesPresent().empty());
    Bytes record;
    CHECK(ReadFileBytes(one.s.Prog().SettingsPath(), record));
    CHECK_EQ(record.size(), (size_t)kSettingsSize);
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<Case> cases = {
        {"single_instance", SingleInstance},        {"about_box", AboutBox},
        {"no_source_manager", NoSourceManager},     {"registry_unreadable", RegistryUnreadable},
        {"help_without_file", [] { Help(false); }}, {"help", [] { Help(true); }},
        {"confirm_on_close", ConfirmOnClose},       {"query_end_session", QueryEndSession},
        {"wine_session_end", WineSessionEnd},
    };
    for (const Row& row : kRows)
        cases.push_back({row.name, [&row] { RunRow(row); }});
    return RunCases(argc, argv, cases);
}

// Start-up and ending of the real Tolvix.exe: one copy at a time, the About box,
// and the start-up failures that end the program but still write its settings.
#include "../harness/Harness.h"


using namespace harness;

namespace {

const char kModelKey[] =
    "Software\\Vexel\\PagewellQX\\1.0\\Devices\\QX710/720\\Pagewell QX Devices\\VexelPagewellQX";

// A plain window of the driver's own, to take the foreground away from Tolvix.
HWND MakeDecoy()
{
    HWND h = ::CreateWindowExA(0, "STATIC", "decoy", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 700, 500, 200, 100, nullptr,
                               nullptr, ::GetModuleHandleA(nullptr), nullptr);
    MakeForeground(h);
    return h;
}

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
    CHECK(first.Start());
    HWND hFirst = first.WaitMainWindow();
    CHECK(hFirst != nullptr);
    CHECK(MutexExists());

    HWND hDecoy = MakeDecoy();
    CHECK(::GetForegroundWindow() == hDecoy);

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
    CHECK(third.Start());
    CHECK(third.WaitMainWindow() != nullptr);
    CHECK(third.CloseNormally());
}

void AboutBox()
{
    Program prog("about");
    CHECK(prog.Start());
    HWND hWnd = prog.WaitMainWindow();
    CHECK(hWnd != nullptr);
    ::PostMessageA(hWnd, WM_SYSCOMMAND, 16, 0);
    HWND hAbout = prog.WaitDialogWithText("Vexel Pagewell Utility");
    CHECK(hAbout != nullptr);
    if (hAbout) {
        CHECK_EQ(WindowText(hAbout), std::string("About"));
        char version[64] = {};
        ::GetDlgItemTextA(hAbout, 1137, version, sizeof version);
        CHECK_EQ(std::string(version), std::string("Version 1.0  "));
        ClickButton(hAbout, IDOK);
        CHECK(WaitFor([&] { return !::IsWindow(hAbout); }));
    }
    CHECK(prog.CloseNormally());
}

// What a window shows on the screen, as 32-bit pixels.
std::vector<unsigned char> ScreenPixels(HWND hWnd)
{
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    std::vector<unsigned char> px((size_t)w * h * 4);
    HDC hScreen = ::GetDC(nullptr);
    HDC hMem = ::CreateCompatibleDC(hScreen);
    HBITMAP hbm = ::CreateCompatibleBitmap(hScreen, w, h);
    HGDIOBJ hOld = ::SelectObject(hMem, hbm);
    ::BitBlt(hMem, 0, 0, w, h, hScreen, rc.left, rc.top, SRCCOPY);
    ::SelectObject(hMem, hOld);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    ::GetDIBits(hMem, hbm, 0, h, px.data(), &bi, DIB_RGB_COLORS);
    ::DeleteObject(hbm);
    ::DeleteDC(hMem);
    ::ReleaseDC(nullptr, hScreen);
    return px;
}

HWND IconControl(HWND hBox)
{
    for (HWND h = hBox ? ::GetWindow(hBox, GW_CHILD) : nullptr; h; h = ::GetWindow(h, GW_HWNDNEXT))
        if (::SendMessageA(h, STM_GETICON, 0, 0))
            return h;
    return nullptr;
}

// The icon of a message box as painted; waits until two looks agree.
std::vector<unsigned char> ShownIcon(HWND hBox)
{
    HWND hIcon = IconControl(hBox);
    std::vector<unsigned char> last, now;
    if (!hIcon)
        return now;
    ::RedrawWindow(hBox, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    WaitFor([&] {
        last = now;
        now = ScreenPixels(hIcon);
        return !last.empty() && last == now;
    }, 5000);
    return now;
}

// The icon that one of our own message boxes of the given type shows.
std::vector<unsigned char> OwnMessageBoxIcon(UINT type)
{
    struct Arg {
        UINT type;
        const char* text;
    } arg = {type, type == MB_ICONSTOP ? "reference stop" : "reference exclamation"};
    struct Thread {
        static DWORD WINAPI Proc(void* p)
        {
            Arg* a = static_cast<Arg*>(p);
            ::MessageBoxA(nullptr, a->text, "reference", a->type);
            return 0;
        }
    };
    HANDLE hThread = ::CreateThread(nullptr, 0, &Thread::Proc, &arg, 0, nullptr);
    HWND hBox = nullptr;
    WaitFor([&] {
        for (HWND h : ProcessWindows(::GetCurrentProcessId()))
            if (DialogText(h).find(arg.text) != std::string::npos)
                hBox = h;
        return hBox != nullptr;
    });
    std::vector<unsigned char> px = ShownIcon(hBox);
    if (hBox)
        ::PostMessageA(hBox, WM_COMMAND, IDOK, 0);
    ::WaitForSingleObject(hThread, 10000);
    ::CloseHandle(hThread);
    return px;
}

// Per-program DLL overrides of Wine; an empty value disables the DLL for Tolvix.exe.
class DisabledDlls {
public:
    explicit DisabledDlls(std::initializer_list<const char*> names)
    {
        ::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &m_hKey, nullptr);
        for (const char* n : names)
            ::RegSetValueExA(m_hKey, n, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    }
    ~DisabledDlls()
    {
        ::RegCloseKey(m_hKey);
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    }

private:
    static constexpr const char* kKey = "Software\\Wine\\AppDefaults\\Tolvix.exe\\DllOverrides";
    HKEY m_hKey = nullptr;
};

// The message box names the failure with the stop icon; OK ends the program.
void ExpectFatalMessage(Program& prog, const char* text)
{
    HWND hBox = prog.WaitDialogWithText(text);
    CHECK(hBox != nullptr);
    if (!hBox)
        return;
    CHECK_EQ(WindowText(hBox), std::string("Pagewell Utility"));
    std::vector<unsigned char> shown = ShownIcon(hBox);
    CHECK(!shown.empty());
    CHECK(shown == OwnMessageBoxIcon(MB_ICONSTOP));
    CHECK(shown != OwnMessageBoxIcon(MB_ICONEXCLAMATION));
    ClickButton(hBox, IDOK);
    CHECK(prog.WaitExit());
    CHECK(ProcessWindows(prog.Pid(), kMainCaption).empty());
    std::vector<unsigned char> settings;
    CHECK(ReadFileBytes(prog.SettingsPath(), settings));
    CHECK_EQ(settings.size(), (size_t)392);
}

void NoSourceManager()
{
    Program prog("nodsm");
    // Neither source manager can be loaded.
    DisabledDlls disabled({"twain_32", "twaindsm"});
    CHECK(prog.Start());
    ExpectFatalMessage(prog, "The necessary file could be missing or damaged, \nor the setting are incorrent.\n"
                             "Reinstall the scanner driver.\nThe Scanner utility will be closed.");
    CHECK(!MutexExists());
}

void RegistryUnreadable()
{
    HKEY hKey;
    char product[128] = {};
    DWORD cb = sizeof product;
    bool had = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kModelKey, 0, KEY_READ, &hKey) == ERROR_SUCCESS;
    if (had) {
        ::RegQueryValueExA(hKey, "ProductId", nullptr, nullptr, reinterpret_cast<BYTE*>(product), &cb);
        ::RegCloseKey(hKey);
    }
    CHECK(had);
    CHECK_EQ(::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kModelKey), (LONG)ERROR_SUCCESS);

    Program prog("noreg");
    CHECK(prog.Start());
    ExpectFatalMessage(prog, "Cannot read the registry. Check the registry path.");

    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kModelKey, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) ==
        ERROR_SUCCESS) {
        ::RegSetValueExA(hKey, "ProductId", 0, REG_SZ, reinterpret_cast<BYTE*>(product), (DWORD)strlen(product) + 1);
        ::RegCloseKey(hKey);
    }
}

// Without its help file the program opens the help viewer, which asks for the
// file; the program itself goes on and still ends normally.
void HelpWithoutFile()
{
    EndProcesses(ProcessesNamed("winhlp32.exe"));
    Program prog("nohelp");
    CHECK(::DeleteFileA((prog.Folder() + "\\KEVRAN.HLP").c_str()));
    CHECK(prog.Start());
    HWND hWnd = prog.WaitMainWindow();
    CHECK(hWnd != nullptr);
    ::PostMessageA(hWnd, WM_COMMAND, 2005, 0);
    // The viewer asks whether to look for the file; the user says No.
    HWND hAsk = nullptr;
    CHECK(WaitFor([&] {
        for (DWORD pid : ProcessesNamed("winhlp32.exe"))
            for (HWND h : ProcessWindows(pid))
                if (DialogText(h).find("KEVRAN.HLP") != std::string::npos)
                    hAsk = h;
        return hAsk != nullptr;
    }));
    DWORD_PTR r = 0;
    CHECK(::SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &r) != 0);
    if (hAsk)
        ClickButton(hAsk, IDNO);
    CHECK(prog.CloseNormally());
    CHECK_EQ(prog.ExitCode(), 0u);
    EndProcesses(ProcessesNamed("winhlp32.exe"));
}

// F1 and the toolbar's Help open the help file at the main window's topic without
// a question; ending the program closes the help window.
void Help()
{
    struct {
        const char* how;
        bool bKey;
    } ways[] = {{"F1", true}, {"Help  F1 on the toolbar", false}};
    for (const auto& way : ways) {
        printf("%s\n", way.how);
        EndProcesses(ProcessesNamed("winhlp32.exe"));
        Program prog("help");
        CHECK(prog.Start());
        HWND hWnd = prog.WaitMainWindow();
        CHECK(hWnd != nullptr);
        if (way.bKey) {
            CHECK(MakeForeground(hWnd));
            Tap(VK_F1);
        } else {
            ::PostMessageA(hWnd, WM_COMMAND, 2005, 0);
        }
        CHECK(WaitHelpTopic("The Main Window"));
        CHECK(prog.CloseNormally());
        CHECK(WaitFor([] { return HelpViewer() == nullptr; }, 10000));
    }
    EndProcesses(ProcessesNamed("winhlp32.exe"));
}

} // namespace

int main(int argc, char** argv)
{
    return RunCases(argc, argv, {
        {"single_instance", SingleInstance},
        {"about_box", AboutBox},
        {"no_source_manager", NoSourceManager},
        {"registry_unreadable", RegistryUnreadable},
        {"help_without_file", HelpWithoutFile},
        {"help", Help},
    });
}

// Start-up and ending of the real Tolvix.exe: one copy at a time, the About box,
// the start-up failures that end the program but still write its settings, help.
#include "../harness/Session.h"

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
                                    nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
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
    HWND hWnd = StartWith(prog);
    ::PostMessageA(hWnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND hAbout = prog.WaitDialogWithText("Vexel Pagewell Utility", 5000);
    CHECK(hAbout != nullptr);
    if (hAbout) {
        CHECK_EQ(WindowText(hAbout), "About");
        CHECK_EQ(Text(hAbout, IDC_VERSION), "Version 1.0  ");
        ClickButton(hAbout, IDOK);
        CHECK(WaitFor([&] { return !::IsWindow(hAbout); }, 5000));
    }
    CHECK(prog.CloseNormally());
}

// The icon of a message box as painted, once two looks agree.
Bytes ShownIcon(HWND hBox)
{
    for (HWND h = hBox ? ::GetWindow(hBox, GW_CHILD) : nullptr; h; h = ::GetWindow(h, GW_HWNDNEXT))
        if (::SendMessageA(h, STM_GETICON, 0, 0)) {
            ::RedrawWindow(hBox, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            Pixels p = SettledCapture(h);
            return Bytes(reinterpret_cast<const unsigned char*>(p.px.data()),
                         reinterpret_cast<const unsigned char*>(p.px.data() + p.px.size()));
        }
    return Bytes();
}

UINT g_referenceType;

DWORD WINAPI ShowReference(void*)
{
    ::MessageBoxA(nullptr, "reference", "reference", g_referenceType);
    return 0;
}

// The icon that a message box of this driver's own with the given type shows.
Bytes ReferenceIcon(UINT type)
{
    g_referenceType = type;
    HANDLE hThread = ::CreateThread(nullptr, 0, &ShowReference, nullptr, 0, nullptr);
    HWND hBox = nullptr;
    CHECK(WaitFor([&] { return (hBox = ::FindWindowA(nullptr, "reference")) != nullptr; }, 5000));
    Bytes icon = ShownIcon(hBox);
    ::PostMessageA(hBox, WM_COMMAND, IDOK, 0);
    CHECK_EQ(::WaitForSingleObject(hThread, 5000), (DWORD)WAIT_OBJECT_0);
    ::CloseHandle(hThread);
    return icon;
}

// The message box names the failure with the stop icon; OK ends the program,
// which has written its settings file all the same.
void ExpectFatalMessage(Program& prog, const char* text)
{
    HWND hBox = prog.WaitDialogWithText(text);
    CHECK(hBox != nullptr);
    if (!hBox)
        return;
    CHECK_EQ(WindowText(hBox), "Pagewell Utility");
    Bytes shown = ShownIcon(hBox);
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
}

void NoSourceManager()
{
    // Wine's per-program DLL overrides: an empty value disables a DLL, here both source managers.
    const char kKey[] = "Software\\Wine\\AppDefaults\\Tolvix.exe\\DllOverrides";
    HKEY hKey = nullptr;
    CHECK_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr),
             (LONG)ERROR_SUCCESS);
    for (const char* name : {"twain_32", "twaindsm"})
        ::RegSetValueExA(hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    ::RegCloseKey(hKey);
    Program prog("nodsm");
    CHECK(prog.Start());
    ExpectFatalMessage(prog, "The necessary file could be missing or damaged, \nor the setting are incorrent.\n"
                             "Reinstall the scanner driver.\nThe Scanner utility will be closed.");
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
}

void RegistryUnreadable()
{
    ModelKey key;   // puts the key back when done
    CHECK_EQ(::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kModelKey), (LONG)ERROR_SUCCESS);
    Program prog("noreg");
    CHECK(prog.Start());
    ExpectFatalMessage(prog, "Cannot read the registry. Check the registry path.");
}

// Without its help file the program opens the help viewer, which asks for the
// file; the program itself goes on and still ends normally.
void HelpWithoutFile()
{
    EndProcesses(ProcessesNamed("winhlp32.exe"));
    Program prog("nohelp");
    CHECK(::DeleteFileA((prog.Folder() + "\\KEVRAN.HLP").c_str()));
    HWND hWnd = StartWith(prog);
    ::PostMessageA(hWnd, WM_COMMAND, ID_CMD_HELP, 0);
    HWND hAsk = nullptr;
    CHECK(WaitFor([&] {
        for (DWORD pid : ProcessesNamed("winhlp32.exe"))
            for (HWND h : ProcessWindows(pid))
                if (DialogText(h).find("KEVRAN.HLP") != std::string::npos)
                    hAsk = h;
        return hAsk != nullptr;
    }, 10000));
    DWORD_PTR r = 0;
    CHECK(::SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &r) != 0);
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

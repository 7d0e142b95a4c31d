#include "Harness.h"

#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace harness {

namespace {
int g_nPassed = 0;
int g_nFailed = 0;
const char* g_pszCase = "";

BOOL CALLBACK AddWindow(HWND h, LPARAM lp)
{
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}

std::string ClassOf(HWND h)
{
    char cls[64] = {};
    ::GetClassNameA(h, cls, sizeof cls);
    return cls;
}

GUITHREADINFO GuiThreadInfo(HWND hWnd)
{
    GUITHREADINFO gti = {};
    gti.cbSize = sizeof gti;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(hWnd, nullptr), &gti);
    return gti;
}
} // namespace

std::string Where(const char* file, int line)
{
    const char* base = strrchr(file, '/');
    return std::string(base ? base + 1 : file) + ":" + std::to_string(line);
}

void Check(bool ok, const char* what, const std::string& detail)
{
    ++(ok ? g_nPassed : g_nFailed);
    if (!ok)
        printf("FAILED [%s] %s %s\n", g_pszCase, what, detail.c_str());
}

int RunCases(int argc, char** argv, const std::vector<Case>& cases)
{
    setvbuf(stdout, nullptr, _IONBF, 0); // a hung case still shows how far it got
    ParkPointer();
    int nCasesFailed = 0, nCasesPassed = 0;
    for (const Case& c : cases) {
        if (argc > 1 && std::none_of(argv + 1, argv + argc, [&](const char* a) { return strcmp(a, c.name) == 0; }))
            continue;
        g_pszCase = c.name;
        const int before = g_nFailed;
        printf("case %s\n", c.name);
        c.run();
        const bool ok = g_nFailed == before;
        ++(ok ? nCasesPassed : nCasesFailed);
        printf("%s %s\n", ok ? "ok" : "FAILED", c.name);
    }
    printf("checks: %d passed, %d failed\n", g_nPassed, g_nFailed);
    printf("%d passed, %d failed\n", nCasesPassed, nCasesFailed);
    return nCasesFailed == 0 && nCasesPassed > 0 ? 0 : 1;
}

double Now()
{
    LARGE_INTEGER f, c;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&c);
    return (double)c.QuadPart / (double)f.QuadPart;
}

bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs, const std::function<std::string()>& seen)
{
    for (const DWORD start = ::GetTickCount(); !cond();) {
        if (::GetTickCount() - start > timeoutMs) {
            if (seen)
                printf("  after %lu ms: %s\n", (unsigned long)timeoutMs, seen().c_str());
            return false;
        }
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

std::string WindowsPath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return path;
    std::string s = "Z:" + path;
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

std::string BinFolder()
{
    const char* v = getenv("TOLVIX_BIN");
    if (v && *v)
        return WindowsPath(v);
    fprintf(stderr, "TOLVIX_BIN is not set\n");
    exit(2);
}

std::string WorkFolder()
{
    char sz[MAX_PATH] = {};
    ::GetTempPathA(sizeof sz, sz);
    return sz;
}

std::string NewTempFolder(const char* tag)
{
    static int s_n = 0;
    const std::string stem = WorkFolder() + "tolvix-" + tag + "-" + std::to_string(::GetCurrentProcessId());
    std::string path;
    do
        path = stem + "-" + std::to_string(++s_n);
    while (!::CreateDirectoryA(path.c_str(), nullptr) && ::GetLastError() == ERROR_ALREADY_EXISTS);
    if (!FileExists(path)) {
        fprintf(stderr, "cannot create %s\n", path.c_str());
        exit(2);
    }
    return path;
}

bool ReadFileBytes(const std::string& path, Bytes& out)
{
    std::ifstream f(path, std::ios::binary);
    out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return f.is_open() && !f.bad();
}

bool WriteFileBytes(const std::string& path, const Bytes& data)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), (std::streamsize)data.size());
    f.close();
    return !f.fail();
}

bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool RemoveTree(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::remove_all(path, ec) > 0 && !ec;
}

std::vector<std::string> FileNames(const std::string& folder, const char* pattern)
{
    // FindFirstFile tolerates files that come and go meanwhile (the other lane's drivers, the program's pages).
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    const char* sep = !folder.empty() && folder.back() == '\\' ? "" : "\\";
    HANDLE h = ::FindFirstFileA((folder + sep + pattern).c_str(), &fd);
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(h, &fd))
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(fd.cFileName);
    if (h != INVALID_HANDLE_VALUE)
        ::FindClose(h);
    return names;
}

Program::Program(const char* tag) : m_folder(NewTempFolder(tag))
{
    const std::string bin = BinFolder();
    for (const char* pattern : {"*.exe", "*.dll", "*.HLP"})
        for (const std::string& name : FileNames(bin, pattern))
            // Only what the program ships with: not our drivers, nor the test source manager.
            if (name.rfind("test_", 0) != 0 && name != "TWAINDSM.dll" &&
                !::CopyFileA((bin + "\\" + name).c_str(), (m_folder + "\\" + name).c_str(), FALSE))
                printf("cannot copy %s to %s (error %lu)\n", name.c_str(), m_folder.c_str(), ::GetLastError());
}

void Program::Close()
{
    if (m_pi.hProcess) {
        ::CloseHandle(m_pi.hProcess);
        ::CloseHandle(m_pi.hThread);
    }
    m_pi = {};
}

Program::~Program()
{
    Kill();
    Close();
    RemoveTree(m_folder);
}

bool Program::Start()
{
    Close();
    std::string exe = m_folder + "\\Tolvix.exe", cmd = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (::CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, m_folder.c_str(), &si, &m_pi))
        return true;
    printf("cannot start %s (error %lu)\n", exe.c_str(), ::GetLastError());
    return false;
}

HWND Program::WaitWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs)
{
    HWND hFound = nullptr;
    WaitFor(
        [&] {
            for (HWND h : ProcessWindows(m_pi.dwProcessId))
                if (!hFound && match(h))
                    hFound = h;
            return hFound || !Running();
        },
        timeoutMs);
    return hFound;
}

HWND Program::WaitDialogWithText(const std::string& text, DWORD timeoutMs)
{
    return WaitWindow([&](HWND h) { return DialogText(h).find(text) != std::string::npos; }, timeoutMs);
}

bool Program::Running() const { return m_pi.hProcess && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT; }

bool Program::WaitExit(DWORD timeoutMs)
{
    return WaitFor([&] { return !Running(); }, timeoutMs);
}

DWORD Program::ExitCode() const
{
    DWORD code = 0;
    return m_pi.hProcess && ::GetExitCodeProcess(m_pi.hProcess, &code) ? code : STILL_ACTIVE;
}

void Program::Kill()
{
    if (Running() && ::TerminateProcess(m_pi.hProcess, 99))
        ::WaitForSingleObject(m_pi.hProcess, 10000);
}

bool Program::CloseNormally(DWORD timeoutMs)
{
    auto v = ProcessWindows(m_pi.dwProcessId, kMainCaption);
    return !v.empty() && ::PostMessageA(v[0], WM_SYSCOMMAND, SC_CLOSE, 0) && WaitExit(timeoutMs);
}

std::vector<HWND> ProcessWindows(DWORD pid, const char* caption)
{
    std::vector<HWND> all, found;
    ::EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&all));
    for (HWND h : all) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(h, &owner);
        if (owner == pid && ::IsWindowVisible(h) && (!caption || WindowText(h) == caption))
            found.push_back(h);
    }
    return found;
}

std::string WindowText(HWND hWnd)
{
    char buf[1024] = {};
    ::GetWindowTextA(hWnd, buf, sizeof buf);
    return buf;
}

std::string ControlText(HWND hCtrl)
{
    char buf[1024] = {};
    DWORD_PTR got = 0;
    ::SendMessageTimeoutA(hCtrl, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, &got);
    return buf;
}

std::string DialogText(HWND hDlg)
{
    std::string all;
    for (HWND h = ::GetWindow(hDlg, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
        if (_stricmp(ClassOf(h).c_str(), "Static") == 0)
            all += WindowText(h) + "\n";
    return all;
}

void ClickButton(HWND hDlg, int id) { ::PostMessageA(::GetDlgItem(hDlg, id), BM_CLICK, 0, 0); }

HWND FocusOf(HWND hWnd) { return GuiThreadInfo(hWnd).hwndFocus; }
HWND ActiveOf(HWND hWnd) { return GuiThreadInfo(hWnd).hwndActive; }

static INPUT KeyInput(WORD vk, bool down)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = (WORD)::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    return in;
}

static void Send(std::vector<INPUT> in) { ::SendInput((UINT)in.size(), in.data(), sizeof(INPUT)); }

void Key(WORD vk, bool down) { Send({KeyInput(vk, down)}); }

void Tap(WORD vk) { Taps({vk}); }

void Taps(std::initializer_list<WORD> vks)
{
    std::vector<INPUT> in;
    for (WORD vk : vks)
        in.insert(in.end(), {KeyInput(vk, true), KeyInput(vk, false)});
    Send(in);
}

void Chord(WORD modifier, WORD vk)
{
    // One batch: Wine may set its modifier state from the X server's at any moment it handles
    // an X event, and the modifier must not be found up between its press and the key.
    if (!modifier)
        return Tap(vk);
    Send({KeyInput(modifier, true), KeyInput(vk, true), KeyInput(vk, false), KeyInput(modifier, false)});
}

void TypeText(const char* text)
{
    for (const char* p = text; *p; ++p) {
        const SHORT v = ::VkKeyScanA(*p);
        Chord((v >> 8) & 1 ? VK_SHIFT : 0, (WORD)(v & 0xFF));
    }
}

bool MakeForeground(HWND hWnd)
{
    // Foreground is granted at once, but the window's own thread activates it and restores its
    // focus control later; keys sent before would land on the old focus. Wait for that thread.
    return WaitFor(
        [&] {
            if (::GetForegroundWindow() != hWnd)
                ::SetForegroundWindow(hWnd);
            HWND hFocus = FocusOf(hWnd);
            return ::GetForegroundWindow() == hWnd && ActiveOf(hWnd) == hWnd && hFocus &&
                   (hFocus == hWnd || ::IsChild(hWnd, hFocus));
        },
        5000);
}

static INPUT MouseAt(int x, int y)
{
    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT at = {};
    at.type = INPUT_MOUSE;
    at.mi.dx = (LONG)(((long long)x * 65535 + cx / 2) / (cx - 1));
    at.mi.dy = (LONG)(((long long)y * 65535 + cy / 2) / (cy - 1));
    at.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return at;
}

static INPUT ParkInput() { return MouseAt(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1); }

void ParkPointer() { Send({ParkInput()}); }

void ClickScreen(int x, int y, int count)
{
    // Every event carries the point: a button event without one goes wherever
    // the pointer is by then, and Wine may still move it for an earlier warp.
    std::vector<INPUT> in(1 + 2 * count, MouseAt(x, y));
    for (int i = 1; i < (int)in.size(); ++i)
        in[i].mi.dwFlags |= i % 2 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    if (count > 0)
        in.push_back(ParkInput());
    Send(in);
}

void ClickAt(HWND hWnd, int x, int y, int count)
{
    HWND hTop = ::GetAncestor(hWnd, GA_ROOT);
    if (::IsWindowEnabled(hTop))
        MakeForeground(hTop);
    POINT pt = {x, y};
    ::ClientToScreen(hWnd, &pt);
    ClickScreen(pt.x, pt.y, count);
}

std::vector<DWORD> ProcessesNamed(const char* exe)
{
    std::vector<DWORD> pids;
    HANDLE hSnap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 pe = {};
    pe.dwSize = sizeof pe;
    for (BOOL ok = ::Process32First(hSnap, &pe); ok; ok = ::Process32Next(hSnap, &pe))
        if (_stricmp(pe.szExeFile, exe) == 0)
            pids.push_back(pe.th32ProcessID);
    ::CloseHandle(hSnap);
    return pids;
}

void EndProcesses(const std::vector<DWORD>& pids)
{
    for (DWORD pid : pids)
        if (HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
            ::TerminateProcess(h, 0);
            ::WaitForSingleObject(h, 10000);
            ::CloseHandle(h);
        }
}

HWND HelpViewer() { return ::FindWindowA("MS_WINHELP", nullptr); }

bool WaitHelpTopic(const std::string& title, DWORD timeoutMs)
{
    std::string seen;
    return WaitFor(
        [&] {
            // The topic is the text of the viewer's rich edit pane; a box of the viewer's asks something.
            std::vector<HWND> panes;
            if (HWND hViewer = HelpViewer())
                ::EnumChildWindows(hViewer, AddWindow, reinterpret_cast<LPARAM>(&panes));
            std::string topic = panes.empty() ? "(no help window)" : "", asked;
            for (HWND h : panes)
                topic = _strnicmp(ClassOf(h).c_str(), "RichEdit", 8) == 0 ? ControlText(h) : topic;
            for (DWORD pid : ProcessesNamed("winhlp32.exe"))
                for (HWND h : ProcessWindows(pid))
                    asked += ClassOf(h) == "#32770" ? "; it asks " + WindowText(h) + ": " + DialogText(h) : "";
            seen = "help window shows \"" + topic.substr(0, 80) + "\"" + asked + ", expected \"" + title + "\"";
            return asked.empty() && topic.compare(0, title.size(), title) == 0;
        },
        timeoutMs, [&] { return seen; });
}

} // namespace harness

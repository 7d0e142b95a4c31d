#include "Harness.h"

#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>

namespace harness {

const char kMainCaption[] = "Pagewell Utility for QX710/720";

std::string WindowsPath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return path;
    std::string s = "Z:" + path;
    for (char& c : s)
        if (c == '/')
            c = '\\';
    return s;
}

namespace {
int g_nPassed = 0;
int g_nFailed = 0;
const char* g_pszCase = "";
} // namespace

std::string Where(const char* file, int line)
{
    const char* base = strrchr(file, '/');
    return std::string(base ? base + 1 : file) + ":" + std::to_string(line);
}

void Check(bool ok, const char* what, const std::string& detail)
{
    if (ok) {
        ++g_nPassed;
        return;
    }
    ++g_nFailed;
    printf("FAILED [%s] %s %s\n", g_pszCase, what, detail.c_str());
    fflush(stdout);
}

int RunCases(int argc, char** argv, const std::vector<Case>& cases)
{
    setvbuf(stdout, nullptr, _IONBF, 0); // a hung case still shows how far it got
    int nCasesFailed = 0, nCasesPassed = 0;
    for (const Case& c : cases) {
        bool wanted = argc < 2;
        for (int i = 1; i < argc; ++i)
            wanted = wanted || strcmp(argv[i], c.name) == 0;
        if (!wanted)
            continue;
        g_pszCase = c.name;
        int before = g_nFailed;
        printf("case %s\n", c.name);
        c.run();
        bool ok = g_nFailed == before;
        (ok ? nCasesPassed : nCasesFailed)++;
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
    DWORD start = ::GetTickCount();
    while (!cond()) {
        if (::GetTickCount() - start > timeoutMs) {
            if (cond())
                return true;
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

std::string BinFolder()
{
    const char* v = getenv("TOLVIX_BIN");
    if (!v || !*v) {
        fprintf(stderr, "TOLVIX_BIN is not set\n");
        exit(2);
    }
    return WindowsPath(v);
}

std::string NewTempFolder(const char* tag)
{
    char szTemp[MAX_PATH];
    ::GetTempPathA(sizeof szTemp, szTemp);
    static int s_n = 0;
    for (;;) {
        std::string path = std::string(szTemp) + "tolvix-" + tag + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
                           std::to_string(++s_n);
        if (::CreateDirectoryA(path.c_str(), nullptr))
            return path;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            fprintf(stderr, "cannot create %s\n", path.c_str());
            exit(2);
        }
    }
}

bool ReadFileBytes(const std::string& path, Bytes& out)
{
    out.clear();
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = ::GetFileSize(h, nullptr);
    out.resize(size);
    DWORD got = 0;
    bool ok = size == 0 || (::ReadFile(h, out.data(), size, &got, nullptr) && got == size);
    ::CloseHandle(h);
    return ok;
}

bool WriteFileBytes(const std::string& path, const Bytes& data)
{
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    bool ok = data.empty() || (::WriteFile(h, data.data(), (DWORD)data.size(), &put, nullptr) && put == data.size());
    ::CloseHandle(h);
    return ok;
}

bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = path + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else {
                ::SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(full.c_str());
            }
        } while (::FindNextFileA(h, &fd));
        ::FindClose(h);
    }
    return ::RemoveDirectoryA(path.c_str()) != 0;
}

// ---- Program ------------------------------------------------------------------

Program::Program(const char* tag) : m_folder(NewTempFolder(tag))
{
    std::string bin = BinFolder();
    for (const char* pattern : {"*.exe", "*.dll", "*.HLP"}) {
        WIN32_FIND_DATAA fd;
        HANDLE h = ::FindFirstFileA((bin + "\\" + pattern).c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE)
            continue;
        do {
            std::string name = fd.cFileName;
            // Only the program, the libraries and the help file it ships with; not our test drivers.
            if (name.rfind("test_", 0) == 0 || name == "TWAINDSM.dll")
                continue;
            ::CopyFileA((bin + "\\" + name).c_str(), (m_folder + "\\" + name).c_str(), FALSE);
        } while (::FindNextFileA(h, &fd));
        ::FindClose(h);
    }
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
    if (Running())
        Kill();
    Close();
    RemoveTree(m_folder);
}

bool Program::Start(const std::vector<std::string>& extraEnv)
{
    Close();
    std::string env;
    if (!extraEnv.empty()) {
        char* block = ::GetEnvironmentStringsA();
        for (const char* p = block; *p; p += strlen(p) + 1) {
            std::string entry(p);
            bool replaced = false;
            for (const std::string& e : extraEnv)
                replaced = replaced || _strnicmp(entry.c_str(), e.c_str(), e.find('=') + 1) == 0;
            if (!replaced)
                env += entry + '\0';
        }
        ::FreeEnvironmentStringsA(block);
        for (const std::string& e : extraEnv)
            env += e + '\0';
        env += '\0';
    }
    std::string exe = m_folder + "\\Tolvix.exe";
    std::string cmd = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    return ::CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, env.empty() ? nullptr : &env[0],
                            m_folder.c_str(), &si, &m_pi) != 0;
}

std::vector<HWND> ProcessWindows(DWORD pid, const char* caption)
{
    struct Ctx {
        DWORD pid;
        const char* caption;
        std::vector<HWND> found;
    } ctx = {pid, caption, {}};
    struct Enum {
        static BOOL CALLBACK Proc(HWND h, LPARAM lp)
        {
            Ctx* c = reinterpret_cast<Ctx*>(lp);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(h, &owner);
            if (owner == c->pid && ::IsWindowVisible(h) && (!c->caption || WindowText(h) == c->caption))
                c->found.push_back(h);
            return TRUE;
        }
    };
    ::EnumWindows(&Enum::Proc, reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
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
    for (HWND h = ::GetWindow(hDlg, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
        char cls[64] = {};
        ::GetClassNameA(h, cls, sizeof cls);
        if (_stricmp(cls, "Static") == 0)
            all += WindowText(h) + "\n";
    }
    return all;
}

HWND Program::WaitMainWindow(DWORD timeoutMs)
{
    HWND hWnd = nullptr;
    WaitFor(
        [&] {
            auto v = ProcessWindows(m_pi.dwProcessId, kMainCaption);
            hWnd = v.empty() ? nullptr : v[0];
            return hWnd != nullptr || !Running();
        },
        timeoutMs);
    return hWnd;
}

HWND Program::WaitDialogWithText(const std::string& text, DWORD timeoutMs)
{
    HWND hDlg = nullptr;
    WaitFor(
        [&] {
            for (HWND h : ProcessWindows(m_pi.dwProcessId)) {
                if (DialogText(h).find(text) != std::string::npos) {
                    hDlg = h;
                    return true;
                }
            }
            return !Running();
        },
        timeoutMs);
    return hDlg;
}

bool Program::Running() const { return m_pi.hProcess && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT; }

bool Program::WaitExit(DWORD timeoutMs)
{
    return WaitFor([&] { return !Running(); }, timeoutMs);
}

DWORD Program::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (m_pi.hProcess)
        ::GetExitCodeProcess(m_pi.hProcess, &code);
    return code;
}

void Program::Kill()
{
    if (m_pi.hProcess && ::TerminateProcess(m_pi.hProcess, 99))
        ::WaitForSingleObject(m_pi.hProcess, 10000);
}

bool Program::CloseNormally(DWORD timeoutMs)
{
    auto v = ProcessWindows(m_pi.dwProcessId, kMainCaption);
    return !v.empty() && ::PostMessageA(v[0], WM_SYSCOMMAND, SC_CLOSE, 0) && WaitExit(timeoutMs);
}

void ClickButton(HWND hDlg, int id) { ::PostMessageA(::GetDlgItem(hDlg, id), BM_CLICK, 0, 0); }

// ---- input --------------------------------------------------------------------

void Key(WORD vk, bool down)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = (WORD)::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    ::SendInput(1, &in, sizeof in);
}

void Tap(WORD vk)
{
    Key(vk, true);
    Key(vk, false);
}

void Chord(WORD modifier, WORD vk)
{
    Key(modifier, true);
    Tap(vk);
    Key(modifier, false);
}

void TypeText(const char* text)
{
    for (const char* p = text; *p; ++p) {
        SHORT v = ::VkKeyScanA(*p);
        if ((v >> 8) & 1)
            Chord(VK_SHIFT, (WORD)(v & 0xFF));
        else
            Tap((WORD)(v & 0xFF));
    }
}

void MouseClicks(int x, int y, int count)
{
    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    // Every event carries the point: a button event without one goes wherever
    // the pointer is by then, and Wine may still move it for an earlier warp.
    INPUT at = {};
    at.type = INPUT_MOUSE;
    at.mi.dx = (LONG)(((long long)x * 65535 + cx / 2) / (cx - 1));
    at.mi.dy = (LONG)(((long long)y * 65535 + cy / 2) / (cy - 1));
    at.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    std::vector<INPUT> in(1, at);
    for (int i = 0; i < count; ++i) {
        for (DWORD button : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
            INPUT b = at;
            b.mi.dwFlags |= button;
            in.push_back(b);
        }
    }
    ::SendInput((UINT)in.size(), in.data(), sizeof(INPUT));
}

void ClickAt(HWND hWnd, int x, int y, int count)
{
    HWND hTop = ::GetAncestor(hWnd, GA_ROOT);
    if (::IsWindowEnabled(hTop))
        MakeForeground(hTop);
    POINT pt = {x, y};
    ::ClientToScreen(hWnd, &pt);
    MouseClicks(pt.x, pt.y, count);
}

namespace {
GUITHREADINFO GuiThreadInfo(HWND hWnd)
{
    GUITHREADINFO gti = {};
    gti.cbSize = sizeof gti;
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(hWnd, nullptr), &gti))
        gti = GUITHREADINFO{};
    return gti;
}
} // namespace

HWND FocusOf(HWND hWnd) { return GuiThreadInfo(hWnd).hwndFocus; }

HWND ActiveOf(HWND hWnd) { return GuiThreadInfo(hWnd).hwndActive; }

bool MakeForeground(HWND hWnd)
{
    // Foreground is granted at once, but the window's own thread activates it later
    // and then restores its focus control; keys sent before that would land on the
    // old focus. Wait until that thread itself reports the window active and focused.
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

// ---- other programs -------------------------------------------------------------

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

namespace {
// The text of the viewer's topic pane, a rich edit control.
std::string HelpPaneText(HWND hViewer)
{
    struct Enum {
        static BOOL CALLBACK Proc(HWND h, LPARAM lp)
        {
            char cls[64] = {};
            ::GetClassNameA(h, cls, sizeof cls);
            if (_strnicmp(cls, "RichEdit", 8) != 0)
                return TRUE;
            *reinterpret_cast<std::string*>(lp) = ControlText(h);
            return FALSE;
        }
    };
    std::string text;
    ::EnumChildWindows(hViewer, Enum::Proc, reinterpret_cast<LPARAM>(&text));
    return text;
}
} // namespace

bool WaitHelpTopic(const std::string& title, DWORD timeoutMs)
{
    std::string seen, asked;
    bool ok = WaitFor(
        [&] {
            HWND h = HelpViewer();
            seen = h ? HelpPaneText(h) : "(no help window)";
            asked.clear();
            for (DWORD pid : ProcessesNamed("winhlp32.exe"))
                for (HWND w : ProcessWindows(pid)) {
                    char cls[64] = {};
                    ::GetClassNameA(w, cls, sizeof cls);
                    if (strcmp(cls, "#32770") == 0)
                        asked += WindowText(w) + ": " + DialogText(w);
                }
            return asked.empty() && seen.compare(0, title.size(), title) == 0;
        },
        timeoutMs);
    if (!ok)
        printf("  help window shows \"%.80s\"%s%s, expected \"%s\"\n", seen.c_str(), asked.empty() ? "" : "; it asks ",
               asked.c_str(), title.c_str());
    return ok;
}

} // namespace harness

// Test harness for driving the real Tolvix.exe under Wine: program folders of
// their own, processes, windows found by caption, waits with deadlines, checks.
// Controls.h reads another process's controls; Session.h scans.
#pragma once

#include <windows.h>

#include "../../../res/resource.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

namespace harness {

typedef std::vector<unsigned char> Bytes;

void Check(bool ok, const char* what, const std::string& detail = std::string()); // a failure prints its line
std::string Where(const char* file, int line);
#define CHECK(cond)    ::harness::Check((cond), #cond, ::harness::Where(__FILE__, __LINE__))
#define CHECK_EQ(a, b) ::harness::CheckEq((a), (b), #a " == " #b, ::harness::Where(__FILE__, __LINE__))
template <typename T>
std::string ToText(const T& v)
{
    if constexpr (std::is_same_v<T, bool>)
        return v ? "true" : "false";
    else if constexpr (std::is_enum_v<T> || std::is_integral_v<T>)
        return std::to_string((long long)v);
    else
        return "\"" + std::string(v) + "\"";
}
template <typename A, typename B>
void CheckEq(const A& a, const B& b, const char* what, const std::string& where)
{
    bool ok;
    if constexpr (std::is_integral_v<A> && std::is_integral_v<B>)
        ok = (long long)a == (long long)b;
    else
        ok = (a == b);
    Check(ok, what, ok ? where : where + " (got " + ToText(a) + ", expected " + ToText(b) + ")");
}

// Runs the named cases (all when argv names none) and prints the summary line.
struct Case {
    const char* name;
    std::function<void()> run;
};
int RunCases(int argc, char** argv, const std::vector<Case>& cases);

double Now(); // seconds, for the benchmarks
// Polls cond until it holds or the deadline passes, pumping this thread's messages;
// a failed wait prints what seen() says it found instead.
bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs = 20000,
             const std::function<std::string()>& seen = nullptr);

// A Unix path as Windows programs reach it, through drive Z:; other paths as they are.
std::string WindowsPath(const std::string& path);
std::string BinFolder(); // TOLVIX_BIN, the built program folder
// The program's work folder is its temp folder, which it shares with the driver.
std::string WorkFolder();
std::string NewTempFolder(const char* tag); // in the work folder
bool ReadFileBytes(const std::string& path, Bytes& out);
bool WriteFileBytes(const std::string& path, const Bytes& data);
bool FileExists(const std::string& path);
bool RemoveTree(const std::string& path);
// The names of the files (not folders) in folder that match pattern, as FindFirstFile finds them.
std::vector<std::string> FileNames(const std::string& folder, const char* pattern = "*");

const char kMainCaption[] = "Pagewell Utility for QX710/720";

// Tolvix.exe and its DLLs copied to a folder of its own, started from there.
class Program {
public:
    explicit Program(const char* tag);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    const std::string& Folder() const { return m_folder; }
    std::string SettingsPath() const { return m_folder + "\\__utilInf.bin"; }

    bool Start();
    // A visible top-level window of this process that match accepts; null if none before the deadline or the exit.
    HWND WaitWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs);
    HWND WaitDialogWithText(const std::string& text, DWORD timeoutMs = 20000);
    bool WaitExit(DWORD timeoutMs = 20000);
    bool Running() const;
    DWORD ExitCode() const;
    DWORD Pid() const { return m_pi.dwProcessId; }
    void Kill();
    bool CloseNormally(DWORD timeoutMs = 20000); // the window's close command, then the exit

private:
    void Close(); // lets go of the last copy's handles
    std::string m_folder;
    PROCESS_INFORMATION m_pi = {};
};

// Visible top-level windows of a process, optionally with exactly this caption.
std::vector<HWND> ProcessWindows(DWORD pid, const char* caption = nullptr);
std::string WindowText(HWND hWnd);
// Asked of the control itself with WM_GETTEXT: an edit's text is not its caption.
std::string ControlText(HWND hCtrl);
inline std::string Text(HWND hDlg, int id) { return ControlText(::GetDlgItem(hDlg, id)); }
std::string DialogText(HWND hDlg); // its static children's texts, a line each
void ClickButton(HWND hDlg, int id);

// Real keyboard and mouse input through SendInput, to the foreground window. Between clicks the pointer rests in the
// bottom-right corner, where no window of ours goes: whenever the pointer enters one of its windows, Wine sets its
// modifier keys to the X server's state, which drops a modifier pressed through SendInput.
void ParkPointer();
void Key(WORD vk, bool down);
void Tap(WORD vk);
void Chord(WORD modifier, WORD vk); // modifier 0: none
// The keys typed ahead in one batch, all queued before the program handles the first.
void Taps(std::initializer_list<WORD> vks);
void TypeText(const char* text);
bool MakeForeground(HWND hWnd);
// Clicks the left button count times at the screen point (x, y), then parks the pointer; 0 only moves there.
void ClickScreen(int x, int y, int count = 1);
inline void MoveMouse(int x, int y) { ClickScreen(x, y, 0); }
// In hWnd's client coordinates; its top-level window is brought to the front if enabled.
void ClickAt(HWND hWnd, int x, int y, int count = 1);

std::vector<DWORD> ProcessesNamed(const char* exe);
void EndProcesses(const std::vector<DWORD>& pids);

// The help viewer WinHelpA starts (null when none), and a wait until it shows a
// topic whose text begins with title and asks nothing.
HWND HelpViewer();
bool WaitHelpTopic(const std::string& title, DWORD timeoutMs = 20000);

// Focus and active window of hWnd's own thread: GetFocus answers only for the caller's.
HWND FocusOf(HWND hWnd);
HWND ActiveOf(HWND hWnd);

} // namespace harness

// Test harness for driving the real Tolvix.exe under Wine: program folders of
// their own, processes, windows found by caption, waits with deadlines, checks.
// Controls.h reads another process's controls; Session.h scans.
#pragma once

#include <windows.h>

#include "../../../res/resource.h"

#include <stdint.h>

#include <functional>
#include <string>
#include <type_traits>
#include <vector>

namespace harness {

typedef std::vector<unsigned char> Bytes;

// ---- checks -------------------------------------------------------------------
// A failed check prints its line.
void Check(bool ok, const char* what, const std::string& detail = std::string());
#define CHECK(cond)    ::harness::Check((cond), #cond, ::harness::Where(__FILE__, __LINE__))
#define CHECK_EQ(a, b) ::harness::CheckEq((a), (b), #a " == " #b, ::harness::Where(__FILE__, __LINE__))
std::string Where(const char* file, int line);
template <typename T>
std::string ToText(const T& v)
{
    if constexpr (std::is_same_v<T, bool>)
        return v ? "true" : "false";
    else if constexpr (std::is_floating_point_v<T>)
        return std::to_string(v);
    else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>)
        return std::to_string((long long)v);
    else if constexpr (std::is_pointer_v<T> && !std::is_convertible_v<T, const char*>)
        return std::to_string((unsigned long long)(uintptr_t)v);
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
    std::string detail = where;
    if (!ok)
        detail += " (got " + ToText(a) + ", expected " + ToText(b) + ")";
    Check(ok, what, detail);
}

// Runs the named cases (all when argv names none) and prints the summary line.
struct Case {
    const char* name;
    std::function<void()> run;
};
int RunCases(int argc, char** argv, const std::vector<Case>& cases);

// ---- waiting ------------------------------------------------------------------
// The performance counter in seconds, for the benchmarks' timings.
double Now();
// Polls cond until it holds or the deadline passes, pumping this thread's messages;
// a failed wait prints what seen() says it found instead.
bool WaitFor(const std::function<bool()>& cond, DWORD timeoutMs = 20000,
             const std::function<std::string()>& seen = nullptr);

// ---- files --------------------------------------------------------------------
// A Unix path as Windows programs reach it, through drive Z:; other paths as they are.
std::string WindowsPath(const std::string& path);
std::string BinFolder(); // the built program folder (TOLVIX_BIN), as a Windows path
std::string NewTempFolder(const char* tag);
bool ReadFileBytes(const std::string& path, Bytes& out);
bool WriteFileBytes(const std::string& path, const Bytes& data);
bool FileExists(const std::string& path);
bool RemoveTree(const std::string& path);

// ---- the program --------------------------------------------------------------
extern const char kMainCaption[];

class Program {
public:
    explicit Program(const char* tag); // Tolvix.exe and its DLLs copied to a folder of its own
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    const std::string& Folder() const { return m_folder; }
    std::string SettingsPath() const { return m_folder + "\\__utilInf.bin"; }

    // Starts a copy; extraEnv holds "NAME=value" entries added to the environment.
    bool Start(const std::vector<std::string>& extraEnv = {});
    // The process's top-level window with the main caption, waited for.
    HWND WaitMainWindow(DWORD timeoutMs = 30000);
    // A dialog of this process whose static text contains the given text.
    HWND WaitDialogWithText(const std::string& text, DWORD timeoutMs = 20000);
    bool WaitExit(DWORD timeoutMs = 20000);
    bool Running() const;
    DWORD ExitCode() const;
    DWORD Pid() const { return m_pi.dwProcessId; }
    void Kill();
    // Ends the program through its window's close command and waits for the exit.
    bool CloseNormally(DWORD timeoutMs = 20000);

private:
    void Close(); // lets go of the last copy's handles
    std::string m_folder;
    PROCESS_INFORMATION m_pi = {};
};

// Top-level, visible windows of a process, optionally filtered by exact caption.
std::vector<HWND> ProcessWindows(DWORD pid, const char* caption = nullptr);
std::string WindowText(HWND hWnd);
// A control's text asked of the control itself (works across processes; an
// edit's text is not its caption).
std::string ControlText(HWND hCtrl);
inline std::string Text(HWND hDlg, int id) { return ControlText(::GetDlgItem(hDlg, id)); }
// Text of all static children of a dialog, joined with newlines.
std::string DialogText(HWND hDlg);
// Presses a dialog's button as the user would: by BM_CLICK on the button id.
void ClickButton(HWND hDlg, int id);

// Real keyboard input through SendInput to the foreground window.
void Key(WORD vk, bool down);
void Tap(WORD vk);
void Chord(WORD modifier, WORD vk);
void TypeText(const char* text);
bool MakeForeground(HWND hWnd);

// Moves the pointer to the screen point (x, y) and clicks the left button there
// count times (0: only moves).
void MouseClicks(int x, int y, int count);
inline void ClickScreen(int x, int y) { MouseClicks(x, y, 1); }
inline void MoveMouse(int x, int y) { MouseClicks(x, y, 0); }
// Clicks count times at (x, y) of hWnd's client area, its top-level window
// brought to the front first when it takes input.
void ClickAt(HWND hWnd, int x, int y, int count = 1);

// Process ids of running programs with the given file name, and ending them.
std::vector<DWORD> ProcessesNamed(const char* exe);
void EndProcesses(const std::vector<DWORD>& pids);

// The help viewer started by WinHelpA: its window (null when none), and a wait
// until it shows a topic whose text begins with the title and asks nothing.
HWND HelpViewer();
bool WaitHelpTopic(const std::string& title, DWORD timeoutMs = 20000);

// What hWnd's own thread has as its focus and active window (null when none);
// GetFocus and GetActiveWindow answer only for the calling thread.
HWND FocusOf(HWND hWnd);
HWND ActiveOf(HWND hWnd);

} // namespace harness

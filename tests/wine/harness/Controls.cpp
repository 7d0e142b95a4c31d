#include "Controls.h"

#include <stdlib.h>
#include <string.h>

namespace harness {

namespace {
// Sends msg with lParam pointing at cb bytes in the window's own process, and copies them to pOut.
bool SendForBytes(HWND hWnd, UINT msg, WPARAM wParam, void* pOut, size_t cb)
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    HANDLE hProcess = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    void* p = hProcess ? ::VirtualAllocEx(hProcess, nullptr, cb, MEM_COMMIT, PAGE_READWRITE) : nullptr;
    SIZE_T got = 0;
    const bool ok = p && ::SendMessageA(hWnd, msg, wParam, reinterpret_cast<LPARAM>(p)) &&
                    ::ReadProcessMemory(hProcess, p, pOut, cb, &got) && got == cb;
    if (p)
        ::VirtualFreeEx(hProcess, p, 0, MEM_RELEASE);
    if (hProcess)
        ::CloseHandle(hProcess);
    return ok;
}

int SpinPos(HWND hMain) { return LOWORD(::SendMessageA(::GetDlgItem(hMain, IDC_PAGES_SPIN), UDM_GETPOS, 0, 0)); }
} // namespace

bool Visible(HWND hDlg, int id) { return (::GetWindowLongA(::GetDlgItem(hDlg, id), GWL_STYLE) & WS_VISIBLE) != 0; }

bool Enabled(HWND hDlg, int id) { return ::IsWindowEnabled(::GetDlgItem(hDlg, id)) != FALSE; }

int CurSel(HWND hDlg, int id) { return (int)::SendMessageA(::GetDlgItem(hDlg, id), CB_GETCURSEL, 0, 0); }

std::vector<std::string> ComboItems(HWND hDlg, int id)
{
    HWND hCb = ::GetDlgItem(hDlg, id);
    std::vector<std::string> items;
    const int n = (int)::SendMessageA(hCb, CB_GETCOUNT, 0, 0);
    // Wine copies the text of CB_GETLBTEXT back across processes, as wide characters.
    for (int i = 0; i < n; ++i) {
        WCHAR wide[512] = {};
        char buf[1024] = {};
        if (::SendMessageW(hCb, CB_GETLBTEXTLEN, i, 0) < 512)
            ::SendMessageW(hCb, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        ::WideCharToMultiByte(CP_ACP, 0, wide, -1, buf, sizeof buf, nullptr, nullptr);
        items.push_back(buf);
    }
    return items;
}

bool Dropped(HWND hDlg, int id) { return ::SendMessageA(::GetDlgItem(hDlg, id), CB_GETDROPPEDSTATE, 0, 0) != 0; }

int FocusId(HWND hWnd) { return FocusOf(hWnd) ? ::GetDlgCtrlID(FocusOf(hWnd)) : 0; }

int DefaultId(HWND hDlg)
{
    const LRESULT r = ::SendMessageA(hDlg, DM_GETDEFID, 0, 0);
    return HIWORD(r) == DC_HASDEFID ? LOWORD(r) : 0;
}

HWND ToolBar(HWND hMain) { return ::GetDlgItem(hMain, IDR_MAINFRAME); }

bool ButtonEnabled(HWND hMain, int cmd)
{
    const LRESULT s = ::SendMessageA(ToolBar(hMain), TB_GETSTATE, cmd, 0);
    return s != -1 && (s & TBSTATE_ENABLED) != 0;
}

std::string ButtonText(HWND hMain, int cmd)
{
    char text[257] = {};
    return SendForBytes(ToolBar(hMain), TB_GETBUTTONTEXTA, cmd, text, 256) ? text : "";
}

RECT ButtonRect(HWND hMain, int cmd)
{
    RECT rc = {};
    if (SendForBytes(ToolBar(hMain), TB_GETRECT, cmd, &rc, sizeof rc))
        ::MapWindowPoints(ToolBar(hMain), nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

bool WaitText(HWND hDlg, int id, const std::string& want, DWORD ms)
{
    return WaitFor([&] { return Text(hDlg, id) == want; }, ms,
                   [&] { return std::to_string(id) + " shows \"" + Text(hDlg, id) + "\", not \"" + want + "\""; });
}

bool WaitSpin(HWND hMain, int want, DWORD ms)
{
    return WaitFor([&] { return SpinPos(hMain) == want; }, ms,
                   [&] { return "the up-down at " + std::to_string(SpinPos(hMain)) + ", not " + std::to_string(want); });
}

bool WaitFocus(HWND hDlg, int id, DWORD ms)
{
    // Says where the keys went instead.
    return WaitFor([&] { return FocusId(hDlg) == id; }, ms,
                   [&] {
                       return "focus on " + std::to_string(FocusId(hDlg)) + ", not " + std::to_string(id) +
                              "; in front \"" + WindowText(::GetForegroundWindow()) +
                              (ActiveOf(hDlg) == hDlg ? "\", active" : "\", not active");
                   });
}

void AltKey(char letter) { Chord(VK_MENU, (WORD)letter); }

void EnterPages(HWND hMain, const char* text, WORD leaveKey)
{
    MakeForeground(hMain);
    AltKey('T');
    CHECK(WaitFocus(hMain, IDC_PAGES_TO_SCAN));
    Tap(VK_HOME);
    Chord(VK_SHIFT, VK_END);
    TypeText(text);
    // A Shift pressed since the last query would turn Tab into Shift+Tab.
    ::GetAsyncKeyState(VK_SHIFT);
    if (leaveKey)
        Tap(leaveKey);
}

ModelKey::ModelKey()
{
    char product[512] = {};
    DWORD cb = sizeof product;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, kModelKey, "ProductId", RRF_RT_REG_SZ, nullptr, product, &cb) == ERROR_SUCCESS)
        m_product = product;
}

ModelKey::~ModelKey()
{
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kModelKey);
    if (!m_product.empty())
        SetProduct(m_product.c_str());
}

void ModelKey::SetValue(const char* name, const char* data)
{
    CHECK(::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kModelKey, name, REG_SZ, data, (DWORD)strlen(data) + 1) == ERROR_SUCCESS);
}

void ModelKey::DeleteValue(const char* name) { ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kModelKey, name); }

int GetInt(const Bytes& b, int off)
{
    int v = 0;
    memcpy(&v, &b[off], sizeof v);
    return v;
}

void PutInt(Bytes& b, int off, int v) { memcpy(&b[off], &v, sizeof v); }

Bytes SettingsRecord(int scanRange, const std::string& saveFolder)
{
    Bytes b(kSettingsSize, 0);
    memcpy(&b[kOffFolder], saveFolder.data(), saveFolder.size());
    memcpy(&b[kOffStem], "Doc", 3);
    const int values[] = {1, 1, 1, 0, 1, 0, 0, 0, scanRange, 0, 1, 0, 0, 1640, 2260};
    for (int i = 0; i < 15; ++i)
        PutInt(b, kOffNumber + 4 * i, values[i]);
    return b;
}

bool USLocale()
{
    char sz[20] = {};
    ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, sz, sizeof sz);
    return atoi(sz) == 1;
}

HWND StartWith(Program& prog, const Bytes& settings)
{
    if (!settings.empty())
        CHECK(WriteFileBytes(prog.SettingsPath(), settings));
    CHECK(prog.Start());
    HWND hWnd = prog.WaitWindow([](HWND h) { return WindowText(h) == kMainCaption; }, 30000);
    CHECK(hWnd != nullptr);
    return hWnd;
}

} // namespace harness

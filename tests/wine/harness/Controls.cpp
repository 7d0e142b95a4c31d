#include "Controls.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace harness {

namespace {

// A block of memory inside the window's process, for messages that carry pointers.
class RemoteBuffer {
public:
    RemoteBuffer(HWND hWnd, size_t cb) : m_cb(cb)
    {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hWnd, &pid);
        m_hProcess = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_hProcess)
            m_p = ::VirtualAllocEx(m_hProcess, nullptr, cb, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteBuffer()
    {
        if (m_p)
            ::VirtualFreeEx(m_hProcess, m_p, 0, MEM_RELEASE);
        if (m_hProcess)
            ::CloseHandle(m_hProcess);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    LPARAM Ptr() const { return reinterpret_cast<LPARAM>(m_p); }
    bool Read(void* pOut, size_t cb) const
    {
        SIZE_T got = 0;
        return m_p && cb <= m_cb && ::ReadProcessMemory(m_hProcess, m_p, pOut, cb, &got) && got == cb;
    }

private:
    HANDLE m_hProcess = nullptr;
    void* m_p = nullptr;
    size_t m_cb;
};

int SpinPos(HWND hMain) { return LOWORD(::SendMessageA(::GetDlgItem(hMain, IDC_PAGES_SPIN), UDM_GETPOS, 0, 0)); }

} // namespace

bool Visible(HWND hDlg, int id)
{
    HWND h = ::GetDlgItem(hDlg, id);
    return h && (::GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool Enabled(HWND hDlg, int id)
{
    HWND h = ::GetDlgItem(hDlg, id);
    return h && ::IsWindowEnabled(h);
}

int CurSel(HWND hDlg, int id) { return (int)::SendMessageA(::GetDlgItem(hDlg, id), CB_GETCURSEL, 0, 0); }

std::vector<std::string> ComboItems(HWND hDlg, int id)
{
    HWND hCb = ::GetDlgItem(hDlg, id);
    std::vector<std::string> items;
    int n = (int)::SendMessageA(hCb, CB_GETCOUNT, 0, 0);
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

std::string SelectedText(HWND hDlg, int id)
{
    int i = CurSel(hDlg, id);
    std::vector<std::string> items = ComboItems(hDlg, id);
    return i >= 0 && i < (int)items.size() ? items[i] : std::string("<none>");
}

bool Dropped(HWND hDlg, int id) { return ::SendMessageA(::GetDlgItem(hDlg, id), CB_GETDROPPEDSTATE, 0, 0) != 0; }

int FocusId(HWND hWnd)
{
    HWND h = FocusOf(hWnd);
    return h ? ::GetDlgCtrlID(h) : 0;
}

int DefaultId(HWND hDlg)
{
    LRESULT r = ::SendMessageA(hDlg, DM_GETDEFID, 0, 0);
    return HIWORD(r) == DC_HASDEFID ? LOWORD(r) : 0;
}

HWND ToolBar(HWND hMain) { return ::GetDlgItem(hMain, IDR_MAINFRAME); }

bool ButtonEnabled(HWND hMain, int cmd)
{
    LRESULT s = ::SendMessageA(ToolBar(hMain), TB_GETSTATE, cmd, 0);
    return s != -1 && (s & TBSTATE_ENABLED) != 0;
}

std::string ButtonText(HWND hMain, int cmd)
{
    char text[257] = {};
    RemoteBuffer buf(ToolBar(hMain), 256);
    ::SendMessageA(ToolBar(hMain), TB_GETBUTTONTEXTA, cmd, buf.Ptr());
    return buf.Read(text, 256) ? text : "";
}

RECT ButtonRect(HWND hMain, int cmd)
{
    RECT rc = {};
    RemoteBuffer buf(ToolBar(hMain), sizeof(RECT));
    if (::SendMessageA(ToolBar(hMain), TB_GETRECT, cmd, buf.Ptr()) && buf.Read(&rc, sizeof rc))
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
                       char cls[64] = "";
                       HWND hFg = ::GetForegroundWindow();
                       ::GetClassNameA(hFg, cls, sizeof cls);
                       return "focus on " + std::to_string(FocusId(hDlg)) + ", not " + std::to_string(id) +
                              "; foreground " + cls + (hFg == hDlg ? " (the window)" : " (another)") +
                              (ActiveOf(hDlg) == hDlg ? ", active" : ", not active");
                   });
}

void AltKey(char letter) { Chord(VK_MENU, (WORD)letter); }

void EnterPages(HWND hMain, const char* text, WORD leaveKey)
{
    MakeForeground(hMain);
    AltKey('T');
    CHECK(WaitFocus(hMain, IDC_PAGES_TO_SCAN));
    Tap(VK_HOME);
    Key(VK_SHIFT, true);
    Tap(VK_END);
    Key(VK_SHIFT, false);
    TypeText(text);
    // A Shift pressed since the last query would turn Tab into Shift+Tab.
    ::GetAsyncKeyState(VK_SHIFT);
    if (leaveKey)
        Tap(leaveKey);
}

// ---- model key -------------------------------------------------------------------

const char kModelKey[] = "Software\\Vexel\\PagewellQX\\1.0\\Devices\\QX710/720\\Pagewell QX Devices\\VexelPagewellQX";

ModelKey::ModelKey()
{
    HKEY hKey;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kModelKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return;
    m_bHad = true;
    char product[512] = {};
    DWORD cb = sizeof product - 1;
    if (::RegQueryValueExA(hKey, "ProductId", nullptr, nullptr, reinterpret_cast<BYTE*>(product), &cb) == ERROR_SUCCESS) {
        m_bHadValue = true;
        m_product = product;
    }
    ::RegCloseKey(hKey);
}

ModelKey::~ModelKey()
{
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kModelKey);
    HKEY hKey;
    if (!m_bHad || ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kModelKey, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) !=
                       ERROR_SUCCESS)
        return;
    if (m_bHadValue)
        ::RegSetValueExA(hKey, "ProductId", 0, REG_SZ, reinterpret_cast<const BYTE*>(m_product.c_str()),
                         (DWORD)m_product.size() + 1);
    ::RegCloseKey(hKey);
}

void ModelKey::SetValue(const char* name, const char* data)
{
    HKEY hKey;
    CHECK(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kModelKey, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) ==
          ERROR_SUCCESS);
    CHECK(::RegSetValueExA(hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), (DWORD)strlen(data) + 1) ==
          ERROR_SUCCESS);
    ::RegCloseKey(hKey);
}

void ModelKey::DeleteValue(const char* name)
{
    HKEY hKey;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kModelKey, 0, KEY_WRITE, &hKey) != ERROR_SUCCESS)
        return;
    ::RegDeleteValueA(hKey, name);
    ::RegCloseKey(hKey);
}

// ---- settings -----------------------------------------------------------------------

int GetInt(const Bytes& b, int off)
{
    return (int)(b[off] | b[off + 1] << 8 | b[off + 2] << 16 | (unsigned)b[off + 3] << 24);
}

void PutInt(Bytes& b, int off, int v)
{
    for (int i = 0; i < 4; ++i)
        b[off + i] = (unsigned char)((unsigned)v >> (8 * i));
}

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
    HWND hWnd = prog.WaitMainWindow();
    CHECK(hWnd != nullptr);
    return hWnd;
}

} // namespace harness

#include "Window.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

using namespace harness;

namespace mw {

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
    bool Ok() const { return m_p != nullptr; }
    bool Read(void* pOut, size_t cb) const
    {
        SIZE_T got = 0;
        return m_p && cb <= m_cb && ::ReadProcessMemory(m_hProcess, m_p, pOut, cb, &got) && got == cb;
    }
    std::string ReadText() const
    {
        std::vector<char> buf(m_cb + 1, 0);
        SIZE_T got = 0;
        if (!m_p || !::ReadProcessMemory(m_hProcess, m_p, buf.data(), m_cb, &got))
            return std::string();
        return std::string(buf.data());
    }

private:
    HANDLE m_hProcess = nullptr;
    void* m_p = nullptr;
    size_t m_cb;
};

} // namespace

std::string Text(HWND hDlg, int id)
{
    char buf[512] = {};
    ::SendMessageA(::GetDlgItem(hDlg, id), WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    return buf;
}

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

int CurSel(HWND hDlg, int id)
{
    return (int)::SendMessageA(::GetDlgItem(hDlg, id), CB_GETCURSEL, 0, 0);
}

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

bool Dropped(HWND hDlg, int id)
{
    return ::SendMessageA(::GetDlgItem(hDlg, id), CB_GETDROPPEDSTATE, 0, 0) != 0;
}

int SpinPos(HWND hDlg)
{
    return LOWORD(::SendMessageA(::GetDlgItem(hDlg, 1114), UDM_GETPOS, 0, 0));
}

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

HWND ToolBar(HWND hMain)
{
    return ::GetDlgItem(hMain, 132);
}

bool ButtonEnabled(HWND hMain, int cmd)
{
    LRESULT s = ::SendMessageA(ToolBar(hMain), TB_GETSTATE, cmd, 0);
    return s != -1 && (s & TBSTATE_ENABLED) != 0;
}

std::string ButtonText(HWND hMain, int cmd)
{
    RemoteBuffer buf(ToolBar(hMain), 256);
    ::SendMessageA(ToolBar(hMain), TB_GETBUTTONTEXTA, cmd, buf.Ptr());
    return buf.ReadText();
}

RECT ButtonRect(HWND hMain, int cmd)
{
    RECT rc = {};
    RemoteBuffer buf(ToolBar(hMain), sizeof(RECT));
    if (::SendMessageA(ToolBar(hMain), TB_GETRECT, cmd, buf.Ptr()) && buf.Read(&rc, sizeof rc))
        ::MapWindowPoints(ToolBar(hMain), nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

bool WaitSpin(HWND hDlg, int want, DWORD ms)
{
    if (WaitFor([&] { return SpinPos(hDlg) == want; }, ms))
        return true;
    printf("  the up-down stays at %d, expected %d\n", SpinPos(hDlg), want);
    return false;
}

bool WaitText(HWND hDlg, int id, const std::string& want, DWORD ms)
{
    return WaitFor([&] { return Text(hDlg, id) == want; }, ms);
}

bool WaitFocus(HWND hDlg, int id, DWORD ms)
{
    if (WaitFor([&] { return FocusId(hDlg) == id; }, ms))
        return true;
    // Say where the keys went instead, so that a failure in CI can be read.
    char cls[64] = "";
    HWND hFg = ::GetForegroundWindow();
    if (hFg)
        ::GetClassNameA(hFg, cls, sizeof cls);
    fprintf(stderr, "focus on %d, not %d; foreground %p (%s, %s), active %p\n", FocusId(hDlg), id, (void*)hFg, cls,
            hFg == hDlg ? "the window" : "another", (void*)ActiveOf(hDlg));
    return false;
}

void ClickAt(HWND hWnd, double fx, double fy)
{
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    ClickScreen(rc.left + (int)((rc.right - rc.left) * fx), rc.top + (int)((rc.bottom - rc.top) * fy));
}

void AltKey(char letter)
{
    Chord(VK_MENU, (WORD)letter);
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
    if (::RegQueryValueExA(hKey, "ProductId", nullptr, nullptr, reinterpret_cast<BYTE*>(product), &cb) ==
        ERROR_SUCCESS) {
        m_bHadValue = true;
        m_product = product;
    }
    ::RegCloseKey(hKey);
}

ModelKey::~ModelKey()
{
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kModelKey);
    if (!m_bHad)
        return;
    HKEY hKey;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kModelKey, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) !=
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

void ModelKey::SetProduct(const char* product)
{
    SetValue("ProductId", product);
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

bool USLocale()
{
    char sz[20] = {};
    ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, sz, sizeof sz);
    return atoi(sz) == 1;
}

Bytes DefaultSettings(const std::string& folder)
{
    Bytes b(kSettingsSize, 0);
    std::string save = folder + "\\MyDocuments";
    memcpy(&b[0], save.data(), save.size());
    memcpy(&b[256], "Doc", 3);
    const int values[] = {1, 1, 1, 0, USLocale() ? 3 : 1, 0, 0, 0, 0, 0, 1, 0, 0, 1640, 2260};
    for (int i = 0; i < 15; ++i)
        PutInt(b, 324 + 4 * i, values[i]);
    return b;
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

void EnterPages(HWND h, const char* text, WORD leaveKey)
{
    AltKey('T');
    CHECK(WaitFocus(h, 1110));
    TypeText(text);
    // A Shift pressed since the last query would turn Tab into Shift+Tab.
    ::GetAsyncKeyState(VK_SHIFT);
    if (leaveKey)
        Tap(leaveKey);
}

} // namespace mw

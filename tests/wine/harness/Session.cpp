#include "Session.h"

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace harness {

namespace {
const char kScannerKey[] = "Software\\Tolvix\\VirtualScanner";
} // namespace

ScannerControls::ScannerControls(const Values& values)
{
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kScannerKey);
    HKEY hKey = nullptr;
    CHECK(::RegCreateKeyExA(HKEY_CURRENT_USER, kScannerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) ==
          ERROR_SUCCESS);
    for (const auto& v : values)
        ::RegSetValueExA(hKey, v.first, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v.second), sizeof(DWORD));
    ::RegCloseKey(hKey);
}

ScannerControls::~ScannerControls() { ::RegDeleteKeyA(HKEY_CURRENT_USER, kScannerKey); }

namespace {
std::string g_workFolder;
}

void SetWorkFolder(const std::string& folder)
{
    g_workFolder = folder;
    if (!g_workFolder.empty() && g_workFolder.back() != '\\')
        g_workFolder += '\\';
}

std::string WorkFolder()
{
    if (!g_workFolder.empty())
        return g_workFolder;
    char sz[MAX_PATH] = {};
    ::GetTempPathA(sizeof sz, sz);
    return sz;
}

std::string PagePath(int n) { return WorkFolder() + "Doc" + std::to_string(n) + ".bmp"; }

std::vector<int> PageFilesPresent()
{
    std::vector<int> found;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((WorkFolder() + "Doc*.bmp").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return found;
    do {
        int n = 0;
        char tail[8] = {};
        if (sscanf(fd.cFileName, "Doc%d%7s", &n, tail) == 2 && _stricmp(tail, ".bmp") == 0 && n > 0 &&
            std::string(fd.cFileName) == "Doc" + std::to_string(n) + ".bmp")
            found.push_back(n);
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
    std::sort(found.begin(), found.end());
    return found;
}

bool RemovePageFiles()
{
    bool ok = true;
    for (int n : PageFilesPresent()) {
        std::string p = PagePath(n);
        ::SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
        ok = ::DeleteFileA(p.c_str()) && ok;
    }
    return ok;
}

bool IsHeldWithoutSharing(const std::string& path)
{
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        return false;
    }
    return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

void A4PageSize(int divisor, int* width, int* height)
{
    // A4 is 8.268 by 11.693 inches.
    *width = (8268 * 400 + 500) / 1000 / divisor;
    *height = (11693 * 400 + 500) / 1000 / divisor;
}

void CheckPageFile(const std::string& path, int width, int height)
{
    Bytes b;
    CHECK(ReadFileBytes(path, b));
    const size_t stride = ((size_t)width + 31) / 32 * 4;
    const size_t bits = stride * height;
    CHECK_EQ(b.size(), 62 + bits);
    if (b.size() != 62 + bits)
        return;
    // The header of a bottom-up 1-bit DIB with a black and a white colour.
    const struct {
        int off;
        uint32_t mask, want;
    } fields[] = {{0, 0xFFFF, 0x4D42},
                  {2, ~0u, (uint32_t)b.size()},
                  {6, ~0u, 0},
                  {10, ~0u, 62},
                  {14, ~0u, 40},
                  {18, ~0u, (uint32_t)width},
                  {22, ~0u, (uint32_t)height},
                  {26, 0xFFFF, 1},
                  {28, 0xFFFF, 1},
                  {30, ~0u, 0},
                  {34, ~0u, (uint32_t)bits},
                  {54, ~0u, 0},
                  {58, ~0u, 0x00FFFFFF}};
    for (const auto& f : fields)
        CHECK_EQ("at " + std::to_string(f.off) + ": " + std::to_string((uint32_t)GetInt(b, f.off) & f.mask),
                 "at " + std::to_string(f.off) + ": " + std::to_string(f.want));
    // Paper with print on it: mostly white, some black.
    size_t zeros = 0;
    for (size_t i = 62; i < b.size(); ++i)
        zeros += 8 - __builtin_popcount(b[i]);
    CHECK(zeros > 0);
    CHECK(zeros < (size_t)width * height / 2);

    // The system's own BMP reader gives back the same rows.
    HBITMAP hbm = static_cast<HBITMAP>(
        ::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    CHECK(hbm != nullptr);
    if (!hbm)
        return;
    DIBSECTION ds = {};
    CHECK(::GetObjectA(hbm, sizeof ds, &ds) == sizeof ds);
    CHECK_EQ((int)ds.dsBm.bmWidth, width);
    CHECK_EQ((int)ds.dsBm.bmHeight, height);
    CHECK_EQ((int)ds.dsBm.bmBitsPixel, 1);
    if (ds.dsBm.bmBits && ds.dsBm.bmHeight == height) {
        // Compared pixel by pixel: the loader may clear the bits that pad a row.
        const unsigned char* p = static_cast<const unsigned char*>(ds.dsBm.bmBits);
        const unsigned char* q = b.data() + 62;
        size_t wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const size_t i = (size_t)y * stride + x / 8;
                const int bit = 0x80 >> (x % 8);
                wrong += (p[i] & bit) != (q[i] & bit);
            }
        CHECK_EQ(wrong, (size_t)0);
    }
    ::DeleteObject(hbm);
}

Pixels CaptureClient(HWND hWnd)
{
    RECT rc;
    ::GetClientRect(hWnd, &rc);
    Pixels p;
    p.width = rc.right;
    p.height = rc.bottom;
    if (p.width <= 0 || p.height <= 0)
        return p;
    POINT origin = {0, 0};
    ::ClientToScreen(hWnd, &origin);
    p.px.resize((size_t)p.width * p.height);
    HDC hScreen = ::GetDC(nullptr);
    HDC hMem = ::CreateCompatibleDC(hScreen);
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof bi.bmiHeader, p.width, -p.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* pBits = nullptr;
    HBITMAP hbm = ::CreateDIBSection(hScreen, &bi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    HGDIOBJ hOld = ::SelectObject(hMem, hbm);
    ::BitBlt(hMem, 0, 0, p.width, p.height, hScreen, origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    const uint32_t* src = static_cast<const uint32_t*>(pBits);
    for (size_t i = 0; i < p.px.size(); ++i)
        p.px[i] = src[i] & 0x00FFFFFF;
    ::SelectObject(hMem, hOld);
    ::DeleteObject(hbm);
    ::DeleteDC(hMem);
    ::ReleaseDC(nullptr, hScreen);
    return p;
}

Pixels SettledCapture(HWND hWnd)
{
    Pixels last, now;
    WaitFor(
        [&] {
            last = now;
            now = CaptureClient(hWnd);
            return !last.px.empty() && last.px == now.px;
        },
        5000);
    return now;
}

bool SaveBmp(const Pixels& p, const std::string& path)
{
    const size_t stride = ((size_t)p.width * 3 + 3) & ~(size_t)3;
    Bytes b(54 + stride * p.height, 0);
    b[0] = 'B';
    b[1] = 'M';
    PutInt(b, 2, (int)b.size());
    PutInt(b, 10, 54);
    PutInt(b, 14, 40);
    PutInt(b, 18, p.width);
    PutInt(b, 22, p.height);
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < p.height; ++y) {
        unsigned char* row = &b[54 + stride * (p.height - 1 - y)];
        for (int x = 0; x < p.width; ++x) {
            uint32_t c = p.At(x, y);
            row[3 * x] = (unsigned char)c;
            row[3 * x + 1] = (unsigned char)(c >> 8);
            row[3 * x + 2] = (unsigned char)(c >> 16);
        }
    }
    return WriteFileBytes(path, b);
}

// ---- Session ------------------------------------------------------------------

Session::Session(const char* tag, int scanRange) : m_prog(tag)
{
    WriteFileBytes(m_prog.SettingsPath(), SettingsRecord(scanRange));
}

bool Session::Start(const std::vector<std::string>& extraEnv)
{
    if (!m_prog.Start(extraEnv))
        return false;
    m_hMain = m_prog.WaitMainWindow();
    return m_hMain != nullptr;
}

HWND Session::Display() const { return ::FindWindowExA(m_hMain, nullptr, "TolvixPicView", nullptr); }

void Session::PressScan()
{
    CHECK(MakeForeground(m_hMain));
    Chord(VK_MENU, 'S');
}

void Session::PressShowDriver()
{
    CHECK(MakeForeground(m_hMain));
    Chord(VK_MENU, 'D');
}

bool Session::WaitPagesShown(int nPages, DWORD timeoutMs)
{
    const std::string total = "/ " + std::to_string(nPages);
    // Says what shows instead: the window's state and every other window of the program.
    return WaitFor(
        [&] {
            return ::IsWindowEnabled(m_hMain) && Text(m_hMain, IDC_PAGE_TOTAL) == total &&
                   ButtonEnabled(m_hMain, ID_CMD_SCAN);
        },
        timeoutMs, [&] { return "waited for " + total + ": " + State(); });
}

bool Session::WaitUnlocked(DWORD timeoutMs)
{
    return WaitFor([&] { return ::IsWindowEnabled(m_hMain) != FALSE || !m_prog.Running(); }, timeoutMs,
                   [&] { return State(); });
}

std::string Session::State()
{
    std::string s = std::string("the window is ") + (::IsWindowEnabled(m_hMain) ? "enabled" : "disabled") +
                    " and shows \"" + Text(m_hMain, IDC_PAGE_TOTAL) + "\"; page files " +
                    std::to_string(PageFilesPresent().size());
    for (HWND h : ProcessWindows(m_prog.Pid()))
        if (h != m_hMain)
            s += "\n  also on screen: \"" + WindowText(h) + "\" " + DialogText(h);
    return s;
}

bool Session::ScrollBarShown() const { return (::GetWindowLongA(Display(), GWL_STYLE) & WS_VSCROLL) != 0; }

void Session::KeyOnMain(WORD vk)
{
    MakeForeground(m_hMain);
    Tap(vk);
}

bool Session::CloseAndConfirm(DWORD exitTimeoutMs)
{
    ::PostMessageA(m_hMain, WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND hBox = nullptr;
    WaitFor(
        [&] {
            for (HWND h : ProcessWindows(m_prog.Pid()))
                if (h != m_hMain && WindowText(h) != kMainCaption)
                    hBox = h;
            return hBox != nullptr || !m_prog.Running();
        },
        10000);
    if (hBox)
        ClickButton(hBox, IDOK);
    return m_prog.WaitExit(exitTimeoutMs);
}

} // namespace harness

#include "Session.h"

#include <algorithm>
#include <stdlib.h>
#include <string.h>

namespace harness {

const char kScannerKey[] = "Software\\Tolvix\\VirtualScanner";

ScannerControls::ScannerControls(const Values& values)
{
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kScannerKey);
    for (const auto& v : values)
        CHECK(::RegSetKeyValueA(HKEY_CURRENT_USER, kScannerKey, v.first, REG_DWORD, &v.second, sizeof(DWORD)) ==
              ERROR_SUCCESS);
}

ScannerControls::~ScannerControls() { ::RegDeleteKeyA(HKEY_CURRENT_USER, kScannerKey); }

DWORD ScannerSessionsEnded()
{
    DWORD n = 0, cb = sizeof n;
    ::RegGetValueA(HKEY_CURRENT_USER, kScannerKey, "Sessions", RRF_RT_REG_DWORD, nullptr, &n, &cb);
    return n;
}

void SetWorkFolder(const std::string& folder)
{
    static const std::string s_first = WorkFolder();
    for (const char* name : {"TEMP", "TMP"})
        ::SetEnvironmentVariableA(name, (folder.empty() ? s_first : folder).c_str());
}

std::string PagePath(int n) { return WorkFolder() + "Doc" + std::to_string(n) + ".bmp"; }

std::vector<int> PageFilesPresent()
{
    std::vector<int> found;
    for (const std::string& name : FileNames(WorkFolder(), "Doc*.bmp")) {
        // Doc<n>.bmp exactly: no leading zeros, no other tail.
        const int n = atoi(name.c_str() + 3);
        if (n > 0 && name == "Doc" + std::to_string(n) + ".bmp")
            found.push_back(n);
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool RemovePageFiles()
{
    bool ok = true;
    for (int n : PageFilesPresent())
        ok = ::DeleteFileA(PagePath(n).c_str()) && ok;
    return ok;
}

bool IsHeldWithoutSharing(const std::string& path)
{
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE)
        ::CloseHandle(h);
    return h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION;
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
    // The header of a bottom-up DIB with a black and a white colour; the loader below
    // checks the type, width, height and bit depth.
    const struct {
        int off;
        uint32_t mask, want;
    } fields[] =
        {{2, ~0u, (uint32_t)b.size()}, {6, ~0u, 0},  {10, ~0u, 62},        {14, ~0u, 40}, {26, 0xFFFF, 1}, {30, ~0u, 0},
         {34, ~0u, (uint32_t)bits},    {54, ~0u, 0}, {58, ~0u, 0x00FFFFFF}};
    for (const auto& f : fields)
        CHECK_EQ("at " + std::to_string(f.off) + ": " + std::to_string((uint32_t)GetInt(b, f.off) & f.mask),
                 "at " + std::to_string(f.off) + ": " + std::to_string(f.want));
    // Paper with print on it: mostly white, some black.
    size_t zeros = 0;
    for (size_t i = 62; i < b.size(); ++i)
        zeros += 8 - __builtin_popcount(b[i]);
    CHECK(zeros > 0);
    CHECK(zeros < (size_t)width * height / 2);

    // The system's own BMP reader gives back the same pixels; it may clear the bits that pad a row.
    HBITMAP hbm = static_cast<HBITMAP>(
        ::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    DIBSECTION ds = {};
    const bool read = hbm && ::GetObjectA(hbm, sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBits &&
                      ds.dsBm.bmWidth == width && ds.dsBm.bmHeight == height && ds.dsBm.bmBitsPixel == 1;
    CHECK(read);
    size_t wrong = 0;
    for (int y = 0; read && y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t i = (size_t)y * stride + x / 8;
            const int bit = 0x80 >> (x % 8);
            wrong += (static_cast<const unsigned char*>(ds.dsBm.bmBits)[i] & bit) != (b[62 + i] & bit);
        }
    CHECK_EQ(wrong, (size_t)0);
    if (hbm)
        ::DeleteObject(hbm);
}

Pixels CaptureClient(HWND hWnd)
{
    RECT rc = {};
    ::GetClientRect(hWnd, &rc);
    Pixels p{rc.right, rc.bottom, {}};
    if (p.width <= 0 || p.height <= 0)
        return p;
    POINT origin = {0, 0};
    ::ClientToScreen(hWnd, &origin);
    p.px.resize((size_t)p.width * p.height);
    HDC hScreen = ::GetDC(nullptr);
    HDC hMem = ::CreateCompatibleDC(hScreen);
    HBITMAP hbm = ::CreateCompatibleBitmap(hScreen, p.width, p.height);
    HGDIOBJ hOld = ::SelectObject(hMem, hbm);
    ::BitBlt(hMem, 0, 0, p.width, p.height, hScreen, origin.x, origin.y, SRCCOPY);
    ::SelectObject(hMem, hOld);
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof bi.bmiHeader, p.width, -p.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    ::GetDIBits(hMem, hbm, 0, p.height, p.px.data(), &bi, DIB_RGB_COLORS);
    for (uint32_t& c : p.px)
        c &= 0x00FFFFFF;
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
    // Top-down rows of 32 bits: the capture's own layout.
    const DWORD cbBits = (DWORD)(p.px.size() * sizeof(uint32_t));
    const BITMAPFILEHEADER fh = {0x4D42, 54 + cbBits, 0, 0, 54};
    const BITMAPINFOHEADER bi = {sizeof bi, p.width, -p.height, 1, 32, BI_RGB, cbBits, 0, 0, 0, 0};
    Bytes b(54 + cbBits);
    memcpy(b.data(), &fh, sizeof fh);
    memcpy(b.data() + sizeof fh, &bi, sizeof bi);
    memcpy(b.data() + 54, p.px.data(), cbBits);
    return WriteFileBytes(path, b);
}

Session::Session(const char* tag, int scanRange) : m_prog(tag)
{
    WriteFileBytes(m_prog.SettingsPath(), SettingsRecord(scanRange));
}

bool Session::Start()
{
    m_hMain = StartWith(m_prog);
    return m_hMain != nullptr;
}

HWND Session::Display() const { return ::FindWindowExA(m_hMain, nullptr, "TolvixPicView", nullptr); }

bool Session::WaitPagesShown(int nPages, DWORD timeoutMs)
{
    const std::string total = "/ " + std::to_string(nPages);
    return WaitFor(
        [&] {
            return ::IsWindowEnabled(m_hMain) && Text(m_hMain, IDC_PAGE_TOTAL) == total &&
                   ButtonEnabled(m_hMain, ID_CMD_SCAN);
        },
        timeoutMs, [&] { return "waited for " + total + ": " + State(); });
}

std::string Session::State()
{
    std::string s = std::string("the window is ") + (::IsWindowEnabled(m_hMain) ? "enabled" : "disabled") +
                    " and shows \"" + Text(m_hMain, IDC_PAGE_TOTAL) + "\"; page files " +
                    std::to_string(PageFilesPresent().size()) + "; scanner sessions ended " +
                    std::to_string(ScannerSessionsEnded());
    for (HWND h : ProcessWindows(m_prog.Pid()))
        if (h != m_hMain)
            s += "\n  also on screen: \"" + WindowText(h) + "\" " + DialogText(h);
    return s;
}

bool Session::ScrollBarShown() const { return (::GetWindowLongA(Display(), GWL_STYLE) & WS_VSCROLL) != 0; }

void Session::KeyOnMain(WORD vk, WORD modifier)
{
    CHECK(MakeForeground(m_hMain));
    Chord(modifier, vk);
}

bool Session::CloseAndConfirm(DWORD exitTimeoutMs)
{
    ::PostMessageA(m_hMain, WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND hBox = m_prog.WaitWindow([&](HWND h) { return h != m_hMain && WindowText(h) != kMainCaption; }, 10000);
    if (hBox)
        ClickButton(hBox, IDOK);
    const bool ended = m_prog.WaitExit(exitTimeoutMs);
    if (!ended)
        printf("no exit after the close%s: %s\n", hBox ? " and its question" : ", no question", State().c_str());
    return ended;
}

} // namespace harness

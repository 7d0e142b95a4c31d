// The page store on its own, under Wine: page files written through
// CPageStore::WritePage against a plain sequential copy of the same bytes in the
// same folder, and ReadPageReduced against ReadPage of an A4 400-dpi page (time
// and bytes read). Not a test: prints figures.
#include "store/PageStore.h"
#include "tests/wine/harness/Harness.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

using harness::Now;

namespace {

// Bytes ReadFile has delivered to this program: the import of ReadFile is
// routed through a counter (the kernel's own read counters are not kept here).
#ifdef _WIN64
extern "C" void* g_impReadFile __asm__("__imp_ReadFile");
#else
extern "C" void* g_impReadFile __asm__("__imp__ReadFile@20");
#endif
typedef BOOL(WINAPI* ReadFileFn)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
ReadFileFn g_pfnReadFile = nullptr;
long long g_bytesRead = 0;

BOOL WINAPI CountingReadFile(HANDLE h, LPVOID p, DWORD cb, LPDWORD pcbRead, LPOVERLAPPED po)
{
    BOOL ok = g_pfnReadFile(h, p, cb, pcbRead, po);
    if (ok && pcbRead)
        g_bytesRead += *pcbRead;
    return ok;
}

void CountReads()
{
    DWORD old;
    ::VirtualProtect(&g_impReadFile, sizeof(void*), PAGE_READWRITE, &old);
    g_pfnReadFile = reinterpret_cast<ReadFileFn>(g_impReadFile);
    g_impReadFile = reinterpret_cast<void*>(&CountingReadFile);
    ::VirtualProtect(&g_impReadFile, sizeof(void*), old, &old);
}

long long BytesRead()
{
    return g_bytesRead;
}

// An A4 400-dpi scanned page: 1 bit, black and white, some print on it.
HGLOBAL MakePage(int w, int h)
{
    const DWORD stride = ((w + 31) / 32) * 4;
    const DWORD bits = stride * h;
    HGLOBAL hDib = ::GlobalAlloc(GMEM_MOVEABLE, 40 + 8 + bits);
    BYTE* p = static_cast<BYTE*>(::GlobalLock(hDib));
    BITMAPINFOHEADER* bi = reinterpret_cast<BITMAPINFOHEADER*>(p);
    memset(bi, 0, sizeof *bi);
    bi->biSize = 40;
    bi->biWidth = w;
    bi->biHeight = h;
    bi->biPlanes = 1;
    bi->biBitCount = 1;
    bi->biSizeImage = bits;
    RGBQUAD* pal = reinterpret_cast<RGBQUAD*>(p + 40);
    pal[0] = RGBQUAD{0, 0, 0, 0};
    pal[1] = RGBQUAD{255, 255, 255, 0};
    BYTE* px = p + 48;
    memset(px, 0xFF, bits);
    for (DWORD i = 0; i < bits; i += 97)
        px[i] = (BYTE)(i * 31);
    ::GlobalUnlock(hDib);
    return hDib;
}

std::string TempFolder()
{
    char sz[MAX_PATH];
    ::GetTempPathA(sizeof sz, sz);
    std::string f = std::string(sz) + "tolvix-bench-pages";
    ::CreateDirectoryA(f.c_str(), nullptr);
    return f + "\\";
}

// Seconds to write the pages and to copy the same bytes, in that order.
std::pair<double, double> WriteVersusCopy(const std::string& folder, HGLOBAL hPage, int nPages)
{
    CPageStore store;
    char name[256];
    const double t0 = Now();
    for (int n = 1; n <= nPages; ++n) {
        store.BuildPathName(name, folder.c_str(), "Doc", n);
        if (!store.WritePage(hPage, name, n - 1)) {
            printf("WritePage %d failed\n", n);
            return {0, 0};
        }
        store.GrowPageTable();
    }
    ::FlushFileBuffers(store.PageHandle(nPages - 1));
    const double tWrite = Now() - t0;
    WIN32_FILE_ATTRIBUTE_DATA fa;
    store.BuildPathName(name, folder.c_str(), "Doc", 1);
    ::GetFileAttributesExA(name, GetFileExInfoStandard, &fa);
    const double mb = (double)fa.nFileSizeLow * nPages / 1048576.0;

    // The same bytes as one plain file, copied sequentially in the same folder.
    std::string src = folder + "plain.bin", dst = folder + "plain-copy.bin";
    {
        std::vector<char> chunk(fa.nFileSizeLow, 'x');
        HANDLE h = ::CreateFileA(src.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD put;
        for (int n = 0; n < nPages; ++n)
            ::WriteFile(h, chunk.data(), (DWORD)chunk.size(), &put, nullptr);
        ::CloseHandle(h);
    }
    const double t1 = Now();
    ::CopyFileA(src.c_str(), dst.c_str(), FALSE);
    const double tCopy = Now() - t1;
    printf("WritePage: %d pages, %.1f MiB in %.3f s = %.0f MiB/s\n", nPages, mb, tWrite, mb / tWrite);
    printf("CopyFileA of the same bytes: %.3f s = %.0f MiB/s; page writing at %.0f%% of the copy speed\n", tCopy,
           mb / tCopy, 100.0 * tCopy / tWrite);
    store.DeleteAllPages(folder.c_str(), "Doc", nPages);
    ::DeleteFileA(src.c_str());
    ::DeleteFileA(dst.c_str());
    return {tWrite, tCopy};
}

void ReducedVersusFull(const std::string& folder, HGLOBAL hPage)
{
    CPageStore store;
    char name[256];
    store.BuildPathName(name, folder.c_str(), "Doc", 1);
    store.WritePage(hPage, name, 0);
    const int kRounds = 20;
    double tFull = 0, tReduced = 0;
    long long bytesFull = 0, bytesReduced = 0;
    for (int i = 0; i < kRounds; ++i) {
        long long r0 = BytesRead();
        double t0 = Now();
        HLOCAL hFull = store.ReadPage(name, 0);
        tFull += Now() - t0;
        bytesFull += BytesRead() - r0;
        r0 = BytesRead();
        t0 = Now();
        HLOCAL hSmall = store.ReadPageReduced(name, 0);
        tReduced += Now() - t0;
        bytesReduced += BytesRead() - r0;
        if (!hFull || !hSmall) {
            printf("read failed\n");
            return;
        }
        ::LocalFree(hFull);
        ::LocalFree(hSmall);
    }
    printf("ReadPage: %.2f ms, %lld bytes read per page\n", 1000 * tFull / kRounds, bytesFull / kRounds);
    printf("ReadPageReduced: %.2f ms, %lld bytes read per page\n", 1000 * tReduced / kRounds,
           bytesReduced / kRounds);
    store.DeleteAllPages(folder.c_str(), "Doc", 1);
}

} // namespace

int main()
{
    const int w = 3307, h = 4677;  // A4 at 400 dpi
    CountReads();
    HGLOBAL hPage = MakePage(w, h);
    std::string folder = TempFolder();
    printf("page %dx%d, 1 bit, in %s\n", w, h, folder.c_str());
    // Five rounds; the medians decide (single runs of a few tens of ms are noisy).
    std::vector<double> writes, copies;
    for (int i = 0; i < 5; ++i) {
        auto t = WriteVersusCopy(folder, hPage, 50);
        writes.push_back(t.first);
        copies.push_back(t.second);
    }
    std::sort(writes.begin(), writes.end());
    std::sort(copies.begin(), copies.end());
    printf("median: WritePage %.3f s, copy %.3f s: page files written at %.0f%% of the copy speed\n", writes[2],
           copies[2], 100.0 * copies[2] / writes[2]);
    ReducedVersusFull(folder, hPage);
    ::GlobalFree(hPage);
    ::RemoveDirectoryA(folder.c_str());
    return 0;
}

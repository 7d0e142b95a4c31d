// The page store under Wine, not a test: CPageStore::WritePage against a plain copy of the same bytes, and
// ReadPageReduced against ReadPage of an A4 400-dpi page (time and bytes read).
#include "codec/dib.h"
#include "codec/transform.h"
#include "store/PageStore.h"
#include "tests/wine/harness/Harness.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

using harness::Now;

namespace {

// Bytes ReadFile delivered: its import is routed through a counter, as Wine keeps no read counters.
#ifdef _WIN64
extern "C" void* g_impReadFile __asm__("__imp_ReadFile");
#else
extern "C" void* g_impReadFile __asm__("__imp__ReadFile@20");
#endif
BOOL(WINAPI* g_pfnReadFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) = nullptr;
long long g_bytesRead = 0;

BOOL WINAPI CountingReadFile(HANDLE h, LPVOID p, DWORD cb, LPDWORD pcbRead, LPOVERLAPPED po)
{
    BOOL ok = g_pfnReadFile(h, p, cb, pcbRead, po);
    g_bytesRead += ok && pcbRead ? *pcbRead : 0;
    return ok;
}

// Seconds to write the pages, and to copy the same bytes as one file in the same folder.
std::pair<double, double> WriteVersusCopy(const std::string& folder, HGLOBAL hPage, DWORD cbFile, int nPages)
{
    CPageStore store;
    char name[MAX_PATH];
    const double t0 = Now();
    for (int n = 1; n <= nPages; ++n, store.GrowPageTable()) {
        store.BuildPathName(name, folder.c_str(), "Doc", n);
        if (!store.WritePage(hPage, name, n - 1))
            return printf("WritePage %d failed\n", n), std::pair<double, double>{0, 0};
    }
    ::FlushFileBuffers(store.PageHandle(nPages - 1));
    const double tWrite = Now() - t0;
    const double mb = (double)cbFile * nPages / 1048576.0;

    const std::string src = folder + "plain.bin", dst = folder + "plain-copy.bin";
    std::vector<char> chunk(cbFile, 'x');
    HANDLE h = ::CreateFileA(src.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put;
    for (int n = 0; n < nPages; ++n)
        ::WriteFile(h, chunk.data(), cbFile, &put, nullptr);
    ::CloseHandle(h);
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
    char name[MAX_PATH];
    store.BuildPathName(name, folder.c_str(), "Doc", 1);
    store.WritePage(hPage, name, 0);
    const int kRounds = 20;
    double seconds[2] = {};
    long long bytes[2] = {};
    for (int i = 0; i < kRounds * 2; ++i) {
        const long long r0 = g_bytesRead;
        const double t0 = Now();
        HLOCAL h = i % 2 ? store.ReadPageReduced(name, 0) : store.ReadPage(name, 0);
        seconds[i % 2] += Now() - t0;
        bytes[i % 2] += g_bytesRead - r0;
        if (!h)
            return (void)printf("read failed\n");
        ::LocalFree(h);
    }
    printf("ReadPage: %.2f ms, %lld bytes read per page\n", 1000 * seconds[0] / kRounds, bytes[0] / kRounds);
    printf("ReadPageReduced: %.2f ms, %lld bytes read per page\n", 1000 * seconds[1] / kRounds, bytes[1] / kRounds);
    store.DeleteAllPages(folder.c_str(), "Doc", 1);
}

} // namespace

int main()
{
    DWORD old;
    ::VirtualProtect(&g_impReadFile, sizeof(void*), PAGE_READWRITE, &old);
    g_pfnReadFile = reinterpret_cast<decltype(g_pfnReadFile)>(g_impReadFile);
    g_impReadFile = reinterpret_cast<void*>(&CountingReadFile);
    ::VirtualProtect(&g_impReadFile, sizeof(void*), old, &old);

    // An A4 400-dpi page; what it shows does not change what is written or read.
    const codec::Image page = codec::MakeImage(3307, 4677, codec::PixelFormat::Bilevel);
    const std::vector<uint8_t> dib = codec::MakePackedDib(page.View());
    HGLOBAL hPage = ::GlobalAlloc(GMEM_MOVEABLE, dib.size());
    memcpy(::GlobalLock(hPage), dib.data(), dib.size());
    ::GlobalUnlock(hPage);
    char sz[MAX_PATH];
    ::GetTempPathA(sizeof sz, sz);
    const std::string folder = std::string(sz) + "tolvix-bench-pages\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    printf("page %ux%u, 1 bit, in %s\n", page.width, page.height, folder.c_str());
    // Five rounds; the medians decide (single runs of a few tens of ms are noisy).
    std::vector<double> writes, copies;
    for (int i = 0; i < 5; ++i) {
        const auto t = WriteVersusCopy(folder, hPage, (DWORD)(codec::kFileHeaderSize + dib.size()), 50);
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

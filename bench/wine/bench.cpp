// Performance figures under Wine on A4 400-dpi pages, not tests (bench/wine/run.sh runs them all):
//   test_bench [pages] [scan]: CPageStore::WritePage against a plain copy, ReadPageReduced against ReadPage
//       (time, bytes read); a 50-sheet batch through Tolvix.exe, Scan pressed to thumbnails shown (pages/s, memory);
//   test_bench write FOLDER COUNT: page files; test_bench export FOLDER COUNT TYPE COMPRESSION SAVE_FOLDER STEM:
//       those pages held as after a scan, through CPageStore::ExportPages with the DLLs beside it (time, memory).
#include "codec/dib.h"
#include "settings/ScanSettings.h"
#include "store/PageStore.h"
#include "tests/native/support.h"
#include "tests/wine/harness/Session.h"

#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

using namespace harness;

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

// A page as the scanner hands it over; what it shows does not change what is written or read.
HGLOBAL PageDib(uint32_t seed)
{
    const std::vector<uint8_t> dib =
        codec::MakePackedDib(testpages::Document(testpages::A4Width(400), testpages::A4Height(400), 400, seed).View());
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, dib.size());
    memcpy(::GlobalLock(h), dib.data(), dib.size());
    ::GlobalUnlock(h);
    return h;
}

PROCESS_MEMORY_COUNTERS Memory(HANDLE hProc)
{
    PROCESS_MEMORY_COUNTERS m = {};
    m.cb = sizeof m;
    ::GetProcessMemoryInfo(hProc, &m, sizeof m);
    return m;
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
    WriteFileBytes(src, Bytes((size_t)cbFile * nPages, 'x'));
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

void PageStore()
{
    DWORD old;
    ::VirtualProtect(&g_impReadFile, sizeof(void*), PAGE_READWRITE, &old);
    g_pfnReadFile = reinterpret_cast<decltype(g_pfnReadFile)>(g_impReadFile);
    g_impReadFile = reinterpret_cast<void*>(&CountingReadFile);
    ::VirtualProtect(&g_impReadFile, sizeof(void*), old, &old);

    HGLOBAL hPage = PageDib(1);
    char sz[MAX_PATH];
    ::GetTempPathA(sizeof sz, sz);
    const std::string folder = std::string(sz) + "tolvix-bench-pages\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    printf("page %ux%u, 1 bit, in %s\n", testpages::A4Width(400), testpages::A4Height(400), folder.c_str());
    // Five rounds; the medians decide (single runs of a few tens of ms are noisy).
    double writes[5], copies[5];
    for (int i = 0; i < 5; ++i)
        std::tie(writes[i], copies[i]) =
            WriteVersusCopy(folder, hPage, (DWORD)(codec::kFileHeaderSize + ::GlobalSize(hPage)), 50);
    std::sort(writes, writes + 5);
    std::sort(copies, copies + 5);
    printf("median: WritePage %.3f s, copy %.3f s: page files written at %.0f%% of the copy speed\n", writes[2],
           copies[2], 100.0 * copies[2] / writes[2]);
    ReducedVersusFull(folder, hPage);
    ::GlobalFree(hPage);
    ::RemoveDirectoryA(folder.c_str());
}

void Batch(int nSheets)
{
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", (DWORD)nSheets}});
    Session s("bench", kRangeBatch);
    CHECK(s.Start());
    HANDLE hProc = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, s.Prog().Pid());
    const PROCESS_MEMORY_COUNTERS before = Memory(hProc);
    const double t0 = Now();
    s.PressScan();
    CHECK(s.WaitPagesShown(nSheets, 600000));
    const double seconds = Now() - t0;
    const PROCESS_MEMORY_COUNTERS after = Memory(hProc);
    ::CloseHandle(hProc);
    int w, h;
    A4PageSize(1, &w, &h);
    const double mb = (double)nSheets * (62 + ((w + 31) / 32 * 4) * (double)h) / (1024.0 * 1024.0);
    printf("scan: %d pages of %dx%d in %.2f s: %.2f pages/s, %.1f MiB of page files (%.1f MiB/s)\n", nSheets, w, h,
           seconds, nSheets / seconds, mb, mb / seconds);
    printf("Tolvix.exe working set: %.1f MiB before the scan, %.1f MiB after, peak %.1f MiB\n",
           before.WorkingSetSize / 1048576.0, after.WorkingSetSize / 1048576.0, after.PeakWorkingSetSize / 1048576.0);
    const double t2 = Now();
    CHECK(s.CloseAndConfirm());
    printf("close with %d held pages (deleted): %.2f s\n", nSheets, Now() - t2);
    CHECK(PageFilesPresent().empty());
}

// write: COUNT page files through WritePage; export: those pages held as after a scan, then exported.
int Store(bool write, char** argv)
{
    CScanSettings settings;
    CPageStore store;
    snprintf(settings.m_szWorkFolder, sizeof settings.m_szWorkFolder, "%s\\", argv[2]);
    const int count = atoi(argv[3]), kDistinctPages = 8;
    std::vector<HGLOBAL> dibs;
    for (uint32_t seed = 1; write && seed <= kDistinctPages; ++seed)
        dibs.push_back(PageDib(seed));
    for (int n = 1; n <= count; ++n) {
        char szName[MAX_PATH];
        settings.BuildPageFileName(szName, n);
        store.GrowPageTable();
        if (write ? !store.WritePage(dibs[(n - 1) % kDistinctPages], szName, n - 1) : !store.HoldPage(szName, n - 1))
            return fprintf(stderr, "cannot %s %s\n", write ? "write" : "open", szName), 1;
    }
    if (write)
        return 0; // the pages go with the process
    settings.m_nFileType = atoi(argv[4]);
    settings.m_nCompression = atoi(argv[5]);
    snprintf(settings.m_szSaveFolder, sizeof settings.m_szSaveFolder, "%s", argv[6]);
    snprintf(settings.m_szFileName, sizeof settings.m_szFileName, "%s", argv[7]);
    settings.m_nNumberFrom = 1;

    const PROCESS_MEMORY_COUNTERS before = Memory(::GetCurrentProcess());
    const double start = Now();
    const int result = store.ExportPages(&settings, count);
    const double seconds = Now() - start;
    const PROCESS_MEMORY_COUNTERS after = Memory(::GetCurrentProcess());
    printf("result=%d pages=%d seconds=%.3f pages_per_second=%.1f private_before_kb=%llu peak_private_kb=%llu "
           "peak_working_set_kb=%llu\n",
           result, count, seconds, count / seconds, (unsigned long long)before.PagefileUsage / 1024,
           (unsigned long long)after.PeakPagefileUsage / 1024, (unsigned long long)after.PeakWorkingSetSize / 1024);
    return result > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const bool write = argc == 4 && strcmp(argv[1], "write") == 0;
    if (!write && !(argc == 8 && strcmp(argv[1], "export") == 0))
        return RunCases(argc, argv, {{"pages", PageStore}, {"scan", [] { Batch(50); }}});
    return Store(write, argv);
}

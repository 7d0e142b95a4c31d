// Export speed and memory in the program's own code path: `write` makes COUNT A4 400-dpi page files through
// CPageStore::WritePage; `export` holds them as after a scan, runs CPageStore::ExportPages (TIFF32.dll and
// PDFLIB.dll from this folder) and prints the time and this process's peak memory.
#include <windows.h>

#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "codec/dib.h"
#include "settings/ScanSettings.h"
#include "store/PageStore.h"
#include "tests/native/support.h"
#include "tests/wine/harness/Harness.h"

namespace {

int WritePages(CScanSettings& settings, CPageStore& store, int count)
{
    const int kDpi = 400, kDistinctPages = 8;
    std::vector<HGLOBAL> dibs;
    for (uint32_t seed = 1; seed <= kDistinctPages; ++seed) {
        std::vector<uint8_t> dib = codec::MakePackedDib(
            testpages::Document(testpages::A4Width(kDpi), testpages::A4Height(kDpi), kDpi, seed).View());
        dibs.push_back(::GlobalAlloc(GMEM_MOVEABLE, dib.size()));
        memcpy(::GlobalLock(dibs.back()), dib.data(), dib.size());
        ::GlobalUnlock(dibs.back());
    }
    for (int n = 1; n <= count; ++n) {
        char szName[MAX_PATH];
        settings.BuildPageFileName(szName, n);
        store.GrowPageTable();
        if (!store.WritePage(dibs[(n - 1) % kDistinctPages], szName, n - 1))
            return fprintf(stderr, "cannot write %s\n", szName), 1;
    }
    for (HGLOBAL h : dibs)
        ::GlobalFree(h);
    return 0;
}

int Export(CScanSettings& settings, CPageStore& store, int count, char** argv)
{
    // The state after a scan: every page file held open without sharing.
    for (int n = 1; n <= count; ++n) {
        char szName[MAX_PATH];
        settings.BuildPageFileName(szName, n);
        store.GrowPageTable();
        if (!store.HoldPage(szName, n - 1))
            return fprintf(stderr, "cannot open %s\n", szName), 1;
    }
    settings.m_nFileType = atoi(argv[4]);
    settings.m_nCompression = atoi(argv[5]);
    snprintf(settings.m_szSaveFolder, sizeof settings.m_szSaveFolder, "%s", argv[6]);
    snprintf(settings.m_szFileName, sizeof settings.m_szFileName, "%s", argv[7]);
    settings.m_nNumberFrom = 1;

    PROCESS_MEMORY_COUNTERS before = {}, after = {};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &before, sizeof before);
    const double start = harness::Now();
    const int result = store.ExportPages(&settings, count);
    const double seconds = harness::Now() - start;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &after, sizeof after);
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
        return fprintf(stderr, "usage: bench_export write FOLDER COUNT\n"
                               "       bench_export export FOLDER COUNT TYPE COMPRESSION SAVE_FOLDER STEM\n"),
               2;
    // Settings are kept in the program's folder; this measurement keeps none.
    char szSettings[MAX_PATH];
    ::GetModuleFileNameA(nullptr, szSettings, MAX_PATH);
    strcpy(strrchr(szSettings, '\\') + 1, "__utilInf.bin");
    const BOOL bHadSettings = ::GetFileAttributesA(szSettings) != INVALID_FILE_ATTRIBUTES;
    int rc;
    {
        CScanSettings settings;
        CPageStore store;
        snprintf(settings.m_szWorkFolder, sizeof settings.m_szWorkFolder, "%s\\", argv[2]);
        rc = write ? WritePages(settings, store, atoi(argv[3])) : Export(settings, store, atoi(argv[3]), argv);
    }
    if (!bHadSettings)
        ::DeleteFileA(szSettings);
    return rc;
}

// Not a test: a 50-sheet A4 400-dpi batch through the real Tolvix.exe, from the press of Scan to
// the window enabled with its thumbnails; prints pages per second and the working set.
#include "../../tests/wine/harness/Session.h"

#include <psapi.h>
#include <stdio.h>

using namespace harness;

namespace {

PROCESS_MEMORY_COUNTERS Memory(HANDLE hProc)
{
    PROCESS_MEMORY_COUNTERS m = {};
    m.cb = sizeof m;
    ::GetProcessMemoryInfo(hProc, &m, sizeof m);
    return m;
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
    fflush(stdout);
    const double t2 = Now();
    CHECK(s.CloseAndConfirm());
    printf("close with %d held pages (deleted): %.2f s\n", nSheets, Now() - t2);
    CHECK(PageFilesPresent().empty());
}

} // namespace

int main(int argc, char** argv)
{
    return RunCases(argc, argv, {{"batch_50", [] { Batch(50); }}});
}

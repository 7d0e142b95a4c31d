// Whole-program run: a 50-sheet batch of A4 400-dpi pages scanned through the real
// Tolvix.exe, from the press of Scan to the window enabled with its thumbnails.
// Prints pages per second and the program's peak working set. Not a test.
#include "../../tests/wine/scan/ScanHelpers.h"

#include <psapi.h>
#include <stdio.h>

using namespace harness;
using namespace scantest;

namespace {

void Batch(int nSheets)
{
    CHECK(RemovePageFiles());
    ScannerControls scanner({{"Sheets", (DWORD)nSheets}});
    Session s("bench", kRangeBatch);
    CHECK(s.Start());
    HANDLE hProc = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, s.Prog().Pid());
    PROCESS_MEMORY_COUNTERS before = {};
    before.cb = sizeof before;
    ::GetProcessMemoryInfo(hProc, &before, sizeof before);

    const double t0 = Now();
    s.PressScan();
    CHECK(s.WaitPagesShown(nSheets, 600000));
    const double t1 = Now();

    PROCESS_MEMORY_COUNTERS after = {};
    after.cb = sizeof after;
    ::GetProcessMemoryInfo(hProc, &after, sizeof after);
    int w, h;
    A4PageSize(1, &w, &h);
    const double mb = (double)nSheets * (62 + ((w + 31) / 32 * 4) * (double)h) / (1024.0 * 1024.0);
    printf("scan: %d pages of %dx%d in %.2f s: %.2f pages/s, %.1f MiB of page files (%.1f MiB/s)\n", nSheets, w, h,
           t1 - t0, nSheets / (t1 - t0), mb, mb / (t1 - t0));
    printf("Tolvix.exe working set: %.1f MiB before the scan, %.1f MiB after, peak %.1f MiB\n",
           before.WorkingSetSize / 1048576.0, after.WorkingSetSize / 1048576.0,
           after.PeakWorkingSetSize / 1048576.0);
    fflush(stdout);
    ::CloseHandle(hProc);

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

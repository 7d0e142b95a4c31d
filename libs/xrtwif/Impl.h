// Inside Xrtwif.dll: the state of tw_Interface and the parts of its talk with
// the source manager and one data source, split by concern over
// tw_Interface.cpp (manager and source choice), Negotiate.cpp (capabilities)
// and Transfer.cpp (events and pages).
#pragma once

#include "tw_Interface.h"

#include "tolvix_twain.h"

#include "codec/transform.h"

#include <vector>

enum class DsmKind { None, Twain2, Legacy };

// The end of a scan, reported only after everything else is done: the program
// may destroy the interface object from within its callback.
struct Final {
    unsigned long event = 0;
    int arg = 0;
};

// What a capability allows, as MSG_GET told it.
struct CapValues {
    bool ok = false;
    TW_UINT16 type = 0;
    bool range = false;
    std::vector<TW_UINT32> items; // enumeration, array or the one value
    TW_UINT32 min = 0, max = 0, step = 0;
    TW_UINT32 current = 0;

    bool Has(TW_UINT32 value) const;
    // The allowed value nearest to `wanted`; `current` when there is none.
    TW_UINT32 Nearest(double wanted) const;
};

double CapNumber(TW_UINT16 type, TW_UINT32 bits);
TW_UINT32 CapBits(TW_UINT16 type, double value);

// What negotiation settled, and what the library must still do to each page.
struct Plan {
    TW_UINT16 mech = TWSX_NATIVE;
    bool vanilla = false; // buffered rows: 0 = white
    codec::Halftone method = codec::Halftone::Threshold;
    bool turnLeft = false;
    int wanted = -1;       // pages asked for; -1 until the feeder is empty
    bool stopSelf = false; // the source scans on past `wanted`
    double dpiX = 0, dpiY = 0;
};

struct tw_Interface::Impl {
    HMODULE hDsm = nullptr;
    DSMENTRYPROC pDsmEntry = nullptr;
    DsmKind kind = DsmKind::None;
    bool bDsmOpen = false;
    HWND hParent = nullptr;
    TW_IDENTITY app = {};
    TW_ENTRYPOINT entry = {};
    char szSourceName[sizeof(TW_STR32)] = {};
    // Sources tried first: the user's choice and the last one that opened.
    TW_IDENTITY chosen = {};
    TW_IDENTITY lastOpened = {};

    // The open source and the scan in progress.
    TW_IDENTITY src = {};
    bool bSrcOpen = false;
    int state = 3; // the source's TWAIN state as we drove it
    HWND hScanWnd = nullptr;
    SCANCALLBACK pfnCallback = nullptr;
    TW_UINT16 pendingMsg = MSG_NULL;
    bool bTransferring = false;
    bool bBusy = false;
    int nPages = 0;
    HGLOBAL hImage = nullptr;
    UINT_PTR startTimer = 0; // runs from enabling a source without its dialog to its first page
    Plan plan;

    TW_UINT16 Dsm(TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
    {
        return pDsmEntry(&app, dest, dg, dat, msg, data);
    }
    TW_UINT16 Ds(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
    {
        return pDsmEntry(&app, &src, dg, dat, msg, data);
    }
    TW_UINT16 SourceCondition();
    TW_UINT16 ManagerCondition();
    TW_MEMREF ParentArg();

    TW_HANDLE MemAlloc(TW_UINT32 size)
    {
        return entry.DSM_MemAllocate ? entry.DSM_MemAllocate(size) : GlobalAlloc(GHND, size);
    }
    void MemFree(TW_HANDLE h) { entry.DSM_MemFree ? entry.DSM_MemFree(h) : (void)GlobalFree(h); }
    void* MemLock(TW_HANDLE h) { return entry.DSM_MemLock ? entry.DSM_MemLock(h) : GlobalLock(h); }
    void MemUnlock(TW_HANDLE h) { entry.DSM_MemUnlock ? entry.DSM_MemUnlock(h) : (void)GlobalUnlock(h); }

    // tw_Interface.cpp
    int Open(HWND hWnd);
    void Close();
    std::vector<TW_IDENTITY> Candidates();
    int OpenSource();
    void CloseSource();
    int StartScan(HWND hWnd, SCANCALLBACK pfn, const __ScanSetInterface& set);

    // Negotiate.cpp
    CapValues Get(TW_UINT16 cap);
    bool Set(TW_UINT16 cap, TW_UINT16 type, TW_UINT32 value);
    bool GetCurrent(TW_UINT16 cap, TW_UINT32* value);
    bool SetNearest(TW_UINT16 cap, double wanted, double* result);
    bool SetFrame(double left, double top, double right, double bottom);
    void NegotiatePixels(const __ScanSetInterface& set);
    void NegotiatePageSize(const __ScanSetInterface& set);
    void NegotiateOrientation(const __ScanSetInterface& set);
    void Negotiate(const __ScanSetInterface& set);

    // Transfer.cpp
    void OnSourceMessage(TW_UINT16 msg);
    void StopStartTimer();
    Final Pump(bool next);
    void PostNext();
    bool IsNext(const MSG& msg) const;
    Final TransferOne();
    bool TransferNative(const TW_IMAGEINFO& info, TW_UINT16* rc);
    bool TransferMemory(const TW_IMAGEINFO& info, TW_UINT16* rc);
    bool HandOn(const codec::ImageView& page, const TW_IMAGEINFO& info);
    Final Finish(bool normal);
    Final StartTimedOut();
    static TW_UINT16 WINAPI SourceCallback(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32, TW_UINT16 dat, TW_UINT16 msg,
                                           TW_MEMREF pData);
};

// Xrtwif.dll: the scanner interface library. The program reaches the scanner
// only through this class, as it would reach a vendor's library.
#pragma once

#include <windows.h>

#include <stddef.h>

#ifdef XRTWIF_BUILD
#define XRTWIF_API __declspec(dllexport)
#else
#define XRTWIF_API __declspec(dllimport)
#endif

// Results with the high bit set are failures.
enum : int {
    TWI_ERR_INTERNAL = (int)0x80000001,    // the source manager cannot be opened
    TWI_ERR_NO_SOURCE = (int)0x80000002,   // no data source, or it cannot be opened
    TWI_ERR_NO_DSM = (int)0x80000003,      // no source manager can be loaded
    TWI_ERR_SCAN_FAILED = (int)0x80000005, // the source refused the scan settings or to start
    TWI_ERR_PAPER_JAM = (int)0x80001002,
    TWI_ERR_NO_PAPER = (int)0x80001003,
};

// Callback events.
enum : unsigned long {
    TWI_EVENT_END = 1,    // arg nonzero: normal end; 0: abnormal end
    TWI_EVENT_IMAGE = 2,  // arg 1: one image waits for GetScanImage
    TWI_EVENT_CLOSED = 3, // the source was closed without a batch
};

// Scan parameters, filled per scan; lives only during StartScan. 72 bytes.
#pragma pack(push, 4)
struct __ScanSetInterface {
    short nReserved;    // 0
    float fResolutionX; // dpi
    float fResolutionY; // dpi
    int nFrame[4];      // 0, 0, 1640, 2260
    int bShowUI;        // 1: show the data source's own dialog
    int nReserved2;     // 0
    int nPages;         // 1, -1 (until the feeder is empty) or a count
    int nPageSize;      // TWAIN supported-size code
    int nMode;          // 0..2
    int bTrimming;      // page size code 0
    int bMaximum;       // page size code 54
    int nReserved3;     // 0
    int nScanRange;     // 0..4
    int nPagesToScan;   // Pages to Scan count
    int nOrientation;   // 0 portrait, 1 landscape
};
#pragma pack(pop)
static_assert(sizeof(__ScanSetInterface) == 72 && offsetof(__ScanSetInterface, fResolutionX) == 4 &&
                  offsetof(__ScanSetInterface, bShowUI) == 28 && offsetof(__ScanSetInterface, nPages) == 36 &&
                  offsetof(__ScanSetInterface, nOrientation) == 68,
              "scan record layout");

// Event and argument; the result for an image: >0 stored, 0 stop, -1 not stored.
typedef int (*SCANCALLBACK)(unsigned long nEvent, int nArg);

class XRTWIF_API tw_Interface {
public:
    tw_Interface();
    ~tw_Interface();

    // Loads the TWAIN source manager (TWAINDSM.dll, else twain_32.dll) and opens
    // it with hWnd as parent.
    int Open(HWND hWnd);
    int Close();
    // Product name of the default data source; the library owns the text.
    char* GetSelecedDS(HWND hWnd);
    int SelectDS(HWND hWnd);
    int StartScan(HWND hWnd, SCANCALLBACK pfnCallback, __ScanSetInterface* pSet);
    // Nonzero when the message belonged to the source; the value is the
    // pre-translation result.
    int HandleMessage(HWND hWnd, MSG* pMsg);
    // Only inside the callback for TWI_EVENT_IMAGE: the page as a packed DIB in
    // global memory, released with FreeScanImage.
    void* GetScanImage();
    void FreeScanImage(void* hImage);

private:
    tw_Interface(const tw_Interface&) = delete;
    tw_Interface& operator=(const tw_Interface&) = delete;
    struct Impl;
    Impl* m_pImpl;
};

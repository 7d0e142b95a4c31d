// Xrtwif.dll: tw_Interface drives one TWAIN data source through the source
// manager on the caller's (user-interface) thread.
//
// Result codes:
//   0x80000003  no source manager can be loaded (TWAINDSM.dll, then twain_32.dll)
//   0x80000001  the source manager refuses MSG_OPENDSM, or a call needs it open
//   0x80000002  no default source, or MSG_OPENDS fails for another reason than
//               the device being busy or offline
//   0x80000005  the source refuses a required setting (pixel type, resolution,
//               transfer count) or MSG_ENABLEDS, or a scan is already running
//   0x80001002  MSG_OPENDS or MSG_ENABLEDS fails with TWCC_MAXCONNECTIONS,
//               TWCC_CHECKDEVICEONLINE, TWCC_DENIED or TWCC_PAPERJAM
//   0x80001003  CAP_FEEDERLOADED is FALSE: without the source's dialog nothing is
//               started; with it the dialog stays up and the scan goes on
// Failures after StartScan has returned end the scan through the callback:
//   event 1 arg 0 for a failed transfer (a jam included) or a callback result of -1,
//   event 1 arg 1 after the last page, a cancel at the source or a callback result
//   of 0, event 3 when the source asks to close before any page came.
#include "tw_Interface.h"

#include "tolvix_twain.h"

#include <string.h>

namespace {

enum class DsmKind { None, Twain2, Legacy };

// Wine's twain_32.dll takes the parent window by value rather than through a
// pointer to it.
bool RunningOnWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void CopyStr32(TW_STR32 dst, const char* src)
{
    strncpy(dst, src, sizeof(TW_STR32) - 1);
    dst[sizeof(TW_STR32) - 1] = 0;
}

}  // namespace

struct tw_Interface::Impl {
    HMODULE hDsm = nullptr;
    DSMENTRYPROC pDsmEntry = nullptr;
    DsmKind kind = DsmKind::None;
    bool bDsmOpen = false;
    HWND hParent = nullptr;
    TW_IDENTITY app = {};
    TW_ENTRYPOINT entry = {};
    char szSourceName[sizeof(TW_STR32)] = {};

    TW_UINT16 Dsm(TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
    {
        return pDsmEntry(&app, dest, dg, dat, msg, data);
    }

    TW_MEMREF ParentArg() { return kind == DsmKind::Legacy && RunningOnWine() ? (TW_MEMREF)hParent : (TW_MEMREF)&hParent; }

    int Open(HWND hWnd);
    void Close();
};

int tw_Interface::Impl::Open(HWND hWnd)
{
    if (bDsmOpen)
        return 0;
    char path[MAX_PATH];
    UINT n = GetSystemDirectoryA(path, MAX_PATH - 16);
    if (n > 0 && n < MAX_PATH - 16) {
        strcat(path, "\\TWAINDSM.dll");
        hDsm = LoadLibraryA(path);
    }
    kind = DsmKind::Twain2;
    if (!hDsm) {
        hDsm = LoadLibraryA("twain_32.dll");
        kind = DsmKind::Legacy;
    }
    if (hDsm)
        pDsmEntry = (DSMENTRYPROC)(void*)GetProcAddress(hDsm, "DSM_Entry");
    if (!pDsmEntry) {
        if (hDsm)
            FreeLibrary(hDsm);
        hDsm = nullptr;
        kind = DsmKind::None;
        return TWI_ERR_NO_DSM;
    }

    app = TW_IDENTITY{};
    app.Version.MajorNum = 1;
    app.Version.MinorNum = 0;
    app.Version.Language = TWLG_USA;
    app.Version.Country = TWCY_USA;
    CopyStr32(app.Version.Info, "1.0");
    app.ProtocolMajor = TWON_PROTOCOLMAJOR;
    app.ProtocolMinor = TWON_PROTOCOLMINOR;
    app.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
    CopyStr32(app.Manufacturer, "Tolvix");
    CopyStr32(app.ProductFamily, "Tolvix");
    CopyStr32(app.ProductName, "Tolvix");

    hParent = hWnd;
    if (Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, ParentArg()) != TWRC_SUCCESS) {
        FreeLibrary(hDsm);
        hDsm = nullptr;
        pDsmEntry = nullptr;
        kind = DsmKind::None;
        return TWI_ERR_INTERNAL;
    }
    bDsmOpen = true;

    // A TWAIN 2 manager hands out the memory functions sources and we must share.
    entry = TW_ENTRYPOINT{};
    if (app.SupportedGroups & DF_DSM2) {
        entry.Size = sizeof(entry);
        if (Dsm(nullptr, DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &entry) != TWRC_SUCCESS)
            entry = TW_ENTRYPOINT{};
    }
    return 0;
}

void tw_Interface::Impl::Close()
{
    if (bDsmOpen)
        Dsm(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, ParentArg());
    bDsmOpen = false;
    if (hDsm)
        FreeLibrary(hDsm);
    hDsm = nullptr;
    pDsmEntry = nullptr;
    kind = DsmKind::None;
    entry = TW_ENTRYPOINT{};
}

tw_Interface::tw_Interface() : m_pImpl(new Impl) {}

tw_Interface::~tw_Interface()
{
    m_pImpl->Close();
    delete m_pImpl;
}

int tw_Interface::Open(HWND hWnd)
{
    return m_pImpl->Open(hWnd);
}

int tw_Interface::Close()
{
    m_pImpl->Close();
    return 0;
}

char* tw_Interface::GetSelecedDS(HWND)
{
    Impl& d = *m_pImpl;
    d.szSourceName[0] = 0;
    if (!d.bDsmOpen)
        return d.szSourceName;
    TW_IDENTITY src = {};
    if (d.Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &src) == TWRC_SUCCESS) {
        memcpy(d.szSourceName, src.ProductName, sizeof(TW_STR32));
        d.szSourceName[sizeof(TW_STR32) - 1] = 0;
    }
    return d.szSourceName;
}

int tw_Interface::SelectDS(HWND)
{
    Impl& d = *m_pImpl;
    if (!d.bDsmOpen)
        return TWI_ERR_INTERNAL;
    TW_IDENTITY src = {};
    TW_UINT16 rc = d.Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &src);
    return rc == TWRC_SUCCESS || rc == TWRC_CANCEL ? 0 : TWI_ERR_NO_SOURCE;
}

int tw_Interface::StartScan(HWND, SCANCALLBACK, __ScanSetInterface*)
{
    return m_pImpl->bDsmOpen ? TWI_ERR_NO_SOURCE : TWI_ERR_INTERNAL;
}

int tw_Interface::HandleMessage(HWND, MSG*)
{
    return 0;
}

void* tw_Interface::GetScanImage()
{
    return nullptr;
}

void tw_Interface::FreeScanImage(void* hImage)
{
    if (hImage)
        GlobalFree((HGLOBAL)hImage);
}

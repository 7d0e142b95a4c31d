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
//   event 1 arg 0 for a failed transfer (a jam before any page included) or a
//   callback result of -1,
//   event 1 arg 1 after the last page, a jam after some pages, a cancel at the
//   source or a callback result of 0, event 3 when the source asks to close before any page came.
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


// The end of a scan, reported only after everything else is done: the program
// may destroy this object from within its callback.
struct Final {
    unsigned long event = 0;
    int arg = 0;
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

    // The open source and the scan in progress.
    TW_IDENTITY src = {};
    bool bSrcOpen = false;
    int state = 3;  // the source's TWAIN state as we drove it
    HWND hScanWnd = nullptr;
    SCANCALLBACK pfnCallback = nullptr;
    TW_UINT16 pendingMsg = MSG_NULL;
    bool bTransferring = false;
    bool bBusy = false;
    int nPages = 0;
    HGLOBAL hImage = nullptr;

    TW_UINT16 Dsm(TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
    {
        return pDsmEntry(&app, dest, dg, dat, msg, data);
    }
    TW_UINT16 Ds(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
    {
        return pDsmEntry(&app, &src, dg, dat, msg, data);
    }
    TW_UINT16 SourceCondition()
    {
        TW_STATUS st = {};
        return Ds(DG_CONTROL, DAT_STATUS, MSG_GET, &st) == TWRC_SUCCESS ? st.ConditionCode : TWCC_BUMMER;
    }
    TW_UINT16 ManagerCondition()
    {
        TW_STATUS st = {};
        return Dsm(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &st) == TWRC_SUCCESS ? st.ConditionCode : TWCC_BUMMER;
    }

    TW_MEMREF ParentArg() { return kind == DsmKind::Legacy && RunningOnWine() ? (TW_MEMREF)hParent : (TW_MEMREF)&hParent; }

    TW_HANDLE MemAlloc(TW_UINT32 size) { return entry.DSM_MemAllocate ? entry.DSM_MemAllocate(size) : GlobalAlloc(GHND, size); }
    void MemFree(TW_HANDLE h) { entry.DSM_MemFree ? entry.DSM_MemFree(h) : (void)GlobalFree(h); }
    void* MemLock(TW_HANDLE h) { return entry.DSM_MemLock ? entry.DSM_MemLock(h) : GlobalLock(h); }
    void MemUnlock(TW_HANDLE h) { entry.DSM_MemUnlock ? entry.DSM_MemUnlock(h) : (void)GlobalUnlock(h); }

    TW_UINT16 SetCap(TW_UINT16 id, TW_UINT16 type, TW_UINT32 value);
    bool GetCapCurrent(TW_UINT16 id, TW_UINT32* value);

    int Open(HWND hWnd);
    void Close();
    int StartScan(HWND hWnd, SCANCALLBACK pfn, const __ScanSetInterface& set);
    void CloseSource();
    void OnSourceMessage(TW_UINT16 msg);
    Final Pump();
    Final TransferOne();
    Final Finish(bool normal);
    static TW_UINT16 WINAPI SourceCallback(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32, TW_UINT16 dat, TW_UINT16 msg,
                                           TW_MEMREF pData);
};

TW_UINT16 WINAPI tw_Interface::Impl::SourceCallback(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF pData)
{
    auto* d = (tw_Interface::Impl*)pData;
    if (d && dat == DAT_NULL)
        d->OnSourceMessage(msg);
    return TWRC_SUCCESS;
}

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

// Walks the source back down to closed from whatever state the scan left it in.
void tw_Interface::Impl::CloseSource()
{
    if (!bSrcOpen)
        return;
    TW_PENDINGXFERS px = {};
    if (state == 7 && Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px) == TWRC_SUCCESS)
        state = px.Count ? 6 : 5;
    if (state == 6 && Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &px) == TWRC_SUCCESS)
        state = 5;
    if (state == 5) {
        TW_USERINTERFACE ui = {};
        ui.hParent = (TW_HANDLE)hScanWnd;
        Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
        state = 4;
    }
    Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &src);
    bSrcOpen = false;
    state = 3;
    bTransferring = false;
    pendingMsg = MSG_NULL;
}

void tw_Interface::Impl::Close()
{
    CloseSource();
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

TW_UINT16 tw_Interface::Impl::SetCap(TW_UINT16 id, TW_UINT16 type, TW_UINT32 value)
{
    TW_CAPABILITY cap = {};
    cap.Cap = id;
    cap.ConType = TWON_ONEVALUE;
    cap.hContainer = MemAlloc(sizeof(TW_ONEVALUE));
    if (!cap.hContainer)
        return TWRC_FAILURE;
    auto* v = (TW_ONEVALUE*)MemLock(cap.hContainer);
    v->ItemType = type;
    v->Item = value;
    if (type == TWTY_INT16 || type == TWTY_UINT16 || type == TWTY_BOOL)
        v->Item = value & 0xffff;
    MemUnlock(cap.hContainer);
    TW_UINT16 rc = Ds(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap);
    MemFree(cap.hContainer);
    return rc;
}

bool tw_Interface::Impl::GetCapCurrent(TW_UINT16 id, TW_UINT32* value)
{
    TW_CAPABILITY cap = {};
    cap.Cap = id;
    cap.ConType = TWON_DONTCARE16;
    if (Ds(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &cap) != TWRC_SUCCESS || !cap.hContainer)
        return false;
    bool ok = false;
    if (cap.ConType == TWON_ONEVALUE) {
        auto* v = (TW_ONEVALUE*)MemLock(cap.hContainer);
        if (v) {
            *value = v->Item;
            if (v->ItemType == TWTY_BOOL || v->ItemType == TWTY_UINT16 || v->ItemType == TWTY_INT16)
                *value &= 0xffff;
            ok = true;
        }
        MemUnlock(cap.hContainer);
    }
    MemFree(cap.hContainer);
    return ok;
}

int tw_Interface::Impl::StartScan(HWND hWnd, SCANCALLBACK pfn, const __ScanSetInterface& set)
{
    if (!bDsmOpen)
        return TWI_ERR_INTERNAL;
    if (bSrcOpen)
        return TWI_ERR_SCAN_FAILED;

    src = TW_IDENTITY{};
    if (Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &src) != TWRC_SUCCESS)
        return TWI_ERR_NO_SOURCE;
    if (Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &src) != TWRC_SUCCESS) {
        TW_UINT16 cc = ManagerCondition();
        if (cc == TWCC_MAXCONNECTIONS || cc == TWCC_CHECKDEVICEONLINE || cc == TWCC_DENIED || cc == TWCC_PAPERJAM)
            return TWI_ERR_PAPER_JAM;
        return TWI_ERR_NO_SOURCE;
    }
    bSrcOpen = true;
    state = 4;
    hScanWnd = hWnd;
    pfnCallback = pfn;
    nPages = 0;
    pendingMsg = MSG_NULL;
    bTransferring = false;

    if (app.SupportedGroups & DF_DSM2) {
        TW_CALLBACK2 cb2 = {};
        cb2.CallBackProc = (TW_MEMREF)SourceCallback;
        cb2.RefCon = (TW_UINTPTR)this;
        if (Dsm(&src, DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &cb2) != TWRC_SUCCESS &&
            sizeof(void*) == sizeof(TW_UINT32)) {
            TW_CALLBACK cb = {};
            cb.CallBackProc = (TW_MEMREF)SourceCallback;
            cb.RefCon = (TW_UINT32)(TW_UINTPTR)this;
            Dsm(&src, DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &cb);
        }
    }

    int pages = set.nPages;
    if (pages == 0 || pages < -1)
        pages = 1;
    if (pages > 32767)
        pages = 32767;
    const TW_UINT16 orientation = set.nOrientation == 1 ? TWOR_LANDSCAPE : TWOR_PORTRAIT;
    bool ok = SetCap(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW) == TWRC_SUCCESS &&
              SetCap(ICAP_XRESOLUTION, TWTY_FIX32, TwFix32Bits(TwFix32(set.fResolutionX))) == TWRC_SUCCESS &&
              SetCap(ICAP_YRESOLUTION, TWTY_FIX32, TwFix32Bits(TwFix32(set.fResolutionY))) == TWRC_SUCCESS &&
              SetCap(ICAP_SUPPORTEDSIZES, TWTY_UINT16, (TW_UINT32)set.nPageSize) == TWRC_SUCCESS &&
              SetCap(CAP_XFERCOUNT, TWTY_INT16, (TW_UINT32)pages) == TWRC_SUCCESS;
    if (!ok) {
        CloseSource();
        return TWI_ERR_SCAN_FAILED;
    }
    // Wanted but not vital: a source without them still scans what it can.
    SetCap(ICAP_BITDEPTH, TWTY_UINT16, 1);
    SetCap(ICAP_ORIENTATION, TWTY_UINT16, orientation);
    SetCap(CAP_FEEDERENABLED, TWTY_BOOL, TRUE);
    SetCap(CAP_INDICATORS, TWTY_BOOL, set.bShowUI ? TRUE : FALSE);

    TW_UINT32 loaded = TRUE;
    bool noPaper = GetCapCurrent(CAP_FEEDERLOADED, &loaded) && !loaded;
    if (noPaper && !set.bShowUI) {
        CloseSource();
        return TWI_ERR_NO_PAPER;
    }

    TW_USERINTERFACE ui = {};
    ui.ShowUI = set.bShowUI ? TRUE : FALSE;
    ui.ModalUI = FALSE;
    ui.hParent = (TW_HANDLE)hWnd;
    TW_UINT16 rc = Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    if (rc != TWRC_SUCCESS && rc != TWRC_CHECKSTATUS) {
        TW_UINT16 cc = SourceCondition();
        CloseSource();
        if (cc == TWCC_PAPERJAM || cc == TWCC_CHECKDEVICEONLINE || cc == TWCC_DENIED ||
            cc == TWCC_MAXCONNECTIONS)
            return TWI_ERR_PAPER_JAM;
        return TWI_ERR_SCAN_FAILED;
    }
    state = 5;
    return noPaper ? TWI_ERR_NO_PAPER : 0;
}

// From the manager's callback: note the message and wake the event loop, which
// brings it to HandleMessage.
void tw_Interface::Impl::OnSourceMessage(TW_UINT16 msg)
{
    if (!bSrcOpen || msg == MSG_DEVICEEVENT)
        return;
    pendingMsg = msg;
    if (!bBusy)
        PostMessageA(hScanWnd, WM_NULL, 0, 0);
}

Final tw_Interface::Impl::Finish(bool normal)
{
    CloseSource();
    return Final{TWI_EVENT_END, normal ? 1 : 0};
}

Final tw_Interface::Impl::TransferOne()
{
    TW_HANDLE h = nullptr;
    TW_UINT16 rc = Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h);
    if (rc == TWRC_CANCEL) {
        state = 7;
        return Finish(true);
    }
    if (rc != TWRC_XFERDONE) {
        // A jam stops the feeder; the sheets that came through before it are a
        // batch, so the user keeps them. Any other failure ends abnormally.
        return Finish(SourceCondition() == TWCC_PAPERJAM && nPages > 0);
    }
    state = 7;
    ++nPages;
    TW_PENDINGXFERS px = {};
    if (Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px) == TWRC_SUCCESS)
        state = px.Count ? 6 : 5;
    hImage = (HGLOBAL)h;
    int r = pfnCallback ? pfnCallback(TWI_EVENT_IMAGE, 1) : 1;
    if (hImage)
        GlobalFree(hImage);  // the program did not take it
    hImage = nullptr;
    if (!bSrcOpen)
        return Final{};  // closed from within the callback
    if (r < 0)
        return Finish(false);
    if (r == 0 || state != 6)
        return Finish(true);
    // One page per pass through the event loop keeps the window responsive.
    PostMessageA(hScanWnd, WM_NULL, 0, 0);
    return Final{};
}

Final tw_Interface::Impl::Pump()
{
    TW_UINT16 msg = pendingMsg;
    pendingMsg = MSG_NULL;
    switch (msg) {
    case MSG_XFERREADY:
        if (state == 5) {
            state = 6;
            bTransferring = true;
        }
        break;
    case MSG_CLOSEDSREQ:
    case MSG_CLOSEDSOK:
        if (state >= 5 && !bTransferring) {
            int pages = nPages;
            CloseSource();
            return pages ? Final{TWI_EVENT_END, 1} : Final{TWI_EVENT_CLOSED, 0};
        }
        break;
    }
    if (bTransferring && state == 6)
        return TransferOne();
    return Final{};
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

int tw_Interface::StartScan(HWND hWnd, SCANCALLBACK pfnCallback, __ScanSetInterface* pSet)
{
    if (!pSet)
        return TWI_ERR_SCAN_FAILED;
    return m_pImpl->StartScan(hWnd, pfnCallback, *pSet);
}

int tw_Interface::HandleMessage(HWND, MSG* pMsg)
{
    Impl& d = *m_pImpl;
    if (!d.bSrcOpen || d.state < 5 || d.bBusy || !pMsg)
        return 0;
    d.bBusy = true;
    TW_EVENT ev = {};
    ev.pEvent = pMsg;
    ev.TWMessage = MSG_NULL;
    int result = d.Ds(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &ev) == TWRC_DSEVENT ? 1 : 0;
    if (ev.TWMessage != MSG_NULL)
        d.pendingMsg = ev.TWMessage;
    Final fin = d.Pump();
    d.bBusy = false;
    if (fin.event && d.pfnCallback) {
        SCANCALLBACK pfn = d.pfnCallback;
        pfn(fin.event, fin.arg);  // last: the program may destroy us here
    }
    return result;
}

void* tw_Interface::GetScanImage()
{
    return m_pImpl->hImage;
}

void tw_Interface::FreeScanImage(void* hImage)
{
    if (!hImage)
        return;
    if (hImage == m_pImpl->hImage)
        m_pImpl->hImage = nullptr;
    GlobalFree((HGLOBAL)hImage);
}

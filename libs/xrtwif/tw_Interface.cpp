// Xrtwif.dll: tw_Interface drives one TWAIN data source through the source
// manager on the caller's (user-interface) thread.
//
// Which source: the one the user chose with SelectDS in this run, else the one
// that last opened in this run, else the manager's default when it is a
// Pagewell QX source (ProductFamily or ProductName beginning "Pagewell QX"),
// else the other Pagewell QX sources in the manager's order. Without a Pagewell
// QX source: the manager's default, then every other source in the manager's
// order, until one opens.
//
// Result codes of StartScan:
//   0x80000001  the source manager is not open
//   0x80000005  a scan is already running, or memory runs out
//   0x80001002  no source at all, no source opens (device off, busy, absent),
//               or the source refuses to start (MSG_ENABLEDS)
//   0x80001003  no paper in the feeder: without the source's dialog nothing is
//               started; with it the dialog stays up and the scan goes on
// Ends reported through the callback after StartScan has returned:
//   event 1 arg 1  the batch ended with at least one page stored, whatever
//                  ended it (the last page, a cancel, a jam or any failed
//                  transfer, the source asking to close, a callback result of 0)
//   event 1 arg 0  the callback could not store a page (-1), or a transfer
//                  failed before any page
//   event 3        the source closed, was cancelled or never started
//                  (about 20 s without a page) before any page
#include "Impl.h"

#include <string.h>

namespace {

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

bool StartsWith(const TW_STR32 s, const char* prefix) { return strncmp(s, prefix, strlen(prefix)) == 0; }

bool IsPagewell(const TW_IDENTITY& id)
{
    return StartsWith(id.ProductFamily, "Pagewell QX") || StartsWith(id.ProductName, "Pagewell QX");
}

bool SameSource(const TW_IDENTITY& a, const TW_IDENTITY& b)
{
    return strncmp(a.ProductName, b.ProductName, sizeof(TW_STR32)) == 0 &&
           strncmp(a.Manufacturer, b.Manufacturer, sizeof(TW_STR32)) == 0 &&
           strncmp(a.ProductFamily, b.ProductFamily, sizeof(TW_STR32)) == 0;
}

void AddOnce(std::vector<TW_IDENTITY>* list, const TW_IDENTITY& id)
{
    if (!id.ProductName[0])
        return;
    for (const TW_IDENTITY& have : *list)
        if (SameSource(have, id))
            return;
    list->push_back(id);
}

} // namespace

TW_UINT16 tw_Interface::Impl::SourceCondition()
{
    TW_STATUS st = {};
    return Ds(DG_CONTROL, DAT_STATUS, MSG_GET, &st) == TWRC_SUCCESS ? st.ConditionCode : TWCC_BUMMER;
}

TW_UINT16 tw_Interface::Impl::ManagerCondition()
{
    TW_STATUS st = {};
    return Dsm(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &st) == TWRC_SUCCESS ? st.ConditionCode : TWCC_BUMMER;
}

TW_MEMREF tw_Interface::Impl::ParentArg()
{
    return kind == DsmKind::Legacy && RunningOnWine() ? (TW_MEMREF)hParent : (TW_MEMREF)&hParent;
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

// The sources in the order they are tried; the first is the one named as selected.
std::vector<TW_IDENTITY> tw_Interface::Impl::Candidates()
{
    std::vector<TW_IDENTITY> all;
    TW_IDENTITY id = {};
    for (TW_UINT16 msg = MSG_GETFIRST; all.size() < 256; msg = MSG_GETNEXT) {
        id = TW_IDENTITY{};
        if (Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, msg, &id) != TWRC_SUCCESS)
            break;
        all.push_back(id);
    }
    std::vector<TW_IDENTITY> order;
    for (const TW_IDENTITY* first : {&chosen, &lastOpened})
        for (const TW_IDENTITY& s : all)
            if (SameSource(s, *first))
                AddOnce(&order, s);
    bool pagewell = false;
    for (const TW_IDENTITY& s : all)
        pagewell = pagewell || IsPagewell(s);
    TW_IDENTITY def = {};
    if (Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &def) == TWRC_SUCCESS && (IsPagewell(def) || !pagewell))
        for (const TW_IDENTITY& s : all)
            if (SameSource(s, def))
                AddOnce(&order, s);
    for (const TW_IDENTITY& s : all)
        if (IsPagewell(s) || !pagewell)
            AddOnce(&order, s);
    return order;
}

int tw_Interface::Impl::OpenSource()
{
    for (const TW_IDENTITY& candidate : Candidates()) {
        src = candidate;
        if (Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &src) == TWRC_SUCCESS) {
            lastOpened = src;
            bSrcOpen = true;
            state = 4;
            return 0;
        }
    }
    // Whatever the condition (off, busy, absent): the user is to check the
    // scanner and its connection.
    src = TW_IDENTITY{};
    return TWI_ERR_PAPER_JAM;
}

// Walks the source back down to closed from whatever state the scan left it in.
void tw_Interface::Impl::CloseSource()
{
    StopStartTimer();
    if (!bSrcOpen)
        return;
    TW_PENDINGXFERS px = {};
    if (state == 7 && Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px) == TWRC_SUCCESS)
        state = px.Count ? 6 : 5;
    if (state == 6 && Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &px) == TWRC_SUCCESS)
        state = 5;
    if (state >= 5) {
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

int tw_Interface::Impl::StartScan(HWND hWnd, SCANCALLBACK pfn, const __ScanSetInterface& set)
{
    if (!bDsmOpen)
        return TWI_ERR_INTERNAL;
    if (bSrcOpen)
        return TWI_ERR_SCAN_FAILED;
    int rc = OpenSource();
    if (rc)
        return rc;
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
            // 32-bit managers of TWAIN 2.0/2.1 know only the older record.
            TW_CALLBACK cb = {};
            cb.CallBackProc = (TW_MEMREF)SourceCallback;
            cb.RefCon = (TW_UINT32)(TW_UINTPTR)this;
            Dsm(&src, DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &cb);
        }
    }

    Negotiate(set);

    TW_UINT32 loaded = TRUE;
    bool noPaper = GetCurrent(CAP_FEEDERLOADED, &loaded) && !loaded;
    if (noPaper && !set.bShowUI) {
        CloseSource();
        return TWI_ERR_NO_PAPER;
    }

    TW_USERINTERFACE ui = {};
    ui.ShowUI = set.bShowUI ? TRUE : FALSE;
    ui.ModalUI = FALSE;
    ui.hParent = (TW_HANDLE)hWnd;
    TW_UINT16 enable = Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    if (enable != TWRC_SUCCESS && enable != TWRC_CHECKSTATUS) {
        TW_UINT16 cc = SourceCondition();
        CloseSource();
        return cc == TWCC_NOMEDIA ? TWI_ERR_NO_PAPER : TWI_ERR_PAPER_JAM;
    }
    state = 5;
    // Without its dialog nobody can make a silent source start: give up on
    // it after a while.
    if (!set.bShowUI && pendingMsg == MSG_NULL)
        startTimer = SetTimer(nullptr, 0, 20000, nullptr);
    return noPaper ? TWI_ERR_NO_PAPER : 0;
}

tw_Interface::tw_Interface() : m_pImpl(new Impl) {}

tw_Interface::~tw_Interface()
{
    m_pImpl->Close();
    delete m_pImpl;
}

int tw_Interface::Open(HWND hWnd) { return m_pImpl->Open(hWnd); }

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
    // Nothing chosen or opened yet (as at start-up): a Pagewell QX default is
    // the first candidate, and asking only for it spares the manager loading
    // every source.
    TW_IDENTITY first = {};
    bool bDefaultFirst = !d.chosen.ProductName[0] && !d.lastOpened.ProductName[0] &&
                         d.Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &first) == TWRC_SUCCESS &&
                         IsPagewell(first);
    if (!bDefaultFirst) {
        std::vector<TW_IDENTITY> order = d.Candidates();
        first = order.empty() ? TW_IDENTITY{} : order[0];
    }
    memcpy(d.szSourceName, first.ProductName, sizeof(TW_STR32));
    d.szSourceName[sizeof(TW_STR32) - 1] = 0;
    return d.szSourceName;
}

int tw_Interface::SelectDS(HWND)
{
    Impl& d = *m_pImpl;
    if (!d.bDsmOpen)
        return TWI_ERR_INTERNAL;
    TW_IDENTITY src = {};
    TW_UINT16 rc = d.Dsm(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &src);
    if (rc == TWRC_SUCCESS)
        d.chosen = src;
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
    Final fin;
    int result = 0;
    if (pMsg->message == WM_TIMER && !pMsg->hwnd && d.startTimer && pMsg->wParam == d.startTimer) {
        fin = d.StartTimedOut();
        result = 1;
    } else {
        TW_EVENT ev = {};
        ev.pEvent = pMsg;
        ev.TWMessage = MSG_NULL;
        result = d.Ds(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &ev) == TWRC_DSEVENT ? 1 : 0;
        if (ev.TWMessage != MSG_NULL)
            d.OnSourceMessage(ev.TWMessage);
        fin = d.Pump(d.IsNext(*pMsg));
    }
    d.bBusy = false;
    if (fin.event && d.pfnCallback) {
        SCANCALLBACK pfn = d.pfnCallback;
        pfn(fin.event, fin.arg); // last: the program may destroy us here
    }
    return result;
}

void* tw_Interface::GetScanImage() { return m_pImpl->hImage; }

void tw_Interface::FreeScanImage(void* hImage)
{
    if (!hImage)
        return;
    if (hImage == m_pImpl->hImage)
        m_pImpl->hImage = nullptr;
    GlobalFree((HGLOBAL)hImage);
}

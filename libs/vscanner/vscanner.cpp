// Tolvix Virtual Scanner: a TWAIN data source for a sheet-fed black-and-white
// document scanner that has no hardware behind it. It keeps the TWAIN state
// machine strictly (a call in the wrong state fails with TWCC_SEQERROR) and
// delivers synthetic document pages as native transfers.
//
// Test controls, read when the source is opened, from the DWORD values under
// HKEY_CURRENT_USER\Software\Tolvix\VirtualScanner:
//   Sheets       sheets in the feeder (default 5)
//   JamAfter     the feeder jams after this many pages (0: never)
//   CancelAfter  the user cancels after this many pages (0: never)
//   FailAt       the transfer of this page fails (0: never)
//   PageDivisor  page sides are divided by this (default 1; tests use small pages)
//   Seed         the pages' content seed (0 or absent: a new one per opening),
//                so that a test can draw the same pages itself
#include <windows.h>

#include "tolvix_twain.h"
#include "page.h"
#include "resource.h"

#include <stdio.h>
#include <string.h>

#include <vector>

namespace {

const char kSettingsKey[] = "Software\\Tolvix\\VirtualScanner";
const UINT WM_VS_START = WM_APP + 1;    // the user (or the application) starts the batch
const UINT WM_VS_DELIVER = WM_APP + 2;  // a message waits for the application's event loop
const char kWindowClass[] = "TolvixVirtualScannerNotify";

HINSTANCE g_hInstance;

struct Settings {
    int sheets = 5;
    int jamAfter = 0;
    int cancelAfter = 0;
    int failAt = 0;
    int divisor = 1;
    DWORD seed = 0;
};

int ReadDword(HKEY key, const char* name, int fallback)
{
    DWORD value = 0, size = sizeof(value), type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, (BYTE*)&value, &size) == ERROR_SUCCESS && type == REG_DWORD)
        return (int)value;
    return fallback;
}

Settings ReadSettings()
{
    Settings s;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        s.sheets = ReadDword(key, "Sheets", s.sheets);
        s.jamAfter = ReadDword(key, "JamAfter", 0);
        s.cancelAfter = ReadDword(key, "CancelAfter", 0);
        s.failAt = ReadDword(key, "FailAt", 0);
        s.divisor = ReadDword(key, "PageDivisor", 1);
        s.seed = (DWORD)ReadDword(key, "Seed", 0);
        RegCloseKey(key);
    }
    if (s.sheets < 0)
        s.sheets = 0;
    if (s.divisor < 1)
        s.divisor = 1;
    return s;
}

// One capability: its item type, its allowed values (empty: any value of the
// type), the current and default values, and whether applications may set it.
struct Capability {
    TW_UINT16 id;
    TW_UINT16 type;
    std::vector<TW_UINT32> allowed;
    TW_UINT32 current;
    TW_UINT32 def;
    bool settable;
};

TW_UINT32 Fix(double v)
{
    return TwFix32Bits(TwFix32(v));
}

TW_UINT32 ItemSize(TW_UINT16 type)
{
    switch (type) {
    case TWTY_INT8:
    case TWTY_UINT8:
        return 1;
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL:
        return 2;
    default:
        return 4;
    }
}

void PutItem(TW_UINT8* dst, TW_UINT16 type, TW_UINT32 value)
{
    TW_UINT32 n = ItemSize(type);
    memcpy(dst, &value, n);  // little-endian: the low bytes are the item
}

TW_UINT32 GetItem(const TW_UINT8* src, TW_UINT16 type)
{
    TW_UINT32 v = 0;
    memcpy(&v, src, ItemSize(type));
    if (type == TWTY_INT16)
        v = (TW_UINT32)(TW_INT32)(TW_INT16)v;
    return v;
}

class Source {
public:
    TW_UINT16 Entry(TW_IDENTITY* pOrigin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF pData);
    LRESULT WindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR DialogMessage(HWND hDlg, UINT msg, WPARAM wParam);

private:
    TW_UINT16 Fail(TW_UINT16 cc)
    {
        m_condition = cc;
        return TWRC_FAILURE;
    }
    TW_UINT16 SeqError() { return Fail(TWCC_SEQERROR); }

    TW_UINT16 Identity(TW_IDENTITY* pOrigin, TW_UINT16 msg, TW_IDENTITY* pId);
    TW_UINT16 Open(TW_IDENTITY* pOrigin, TW_IDENTITY* pId);
    void Close();
    TW_UINT16 CapabilityOp(TW_UINT16 msg, TW_CAPABILITY* cap);
    TW_UINT16 UserInterface(TW_UINT16 msg, TW_USERINTERFACE* ui);
    TW_UINT16 PendingXfers(TW_UINT16 msg, TW_PENDINGXFERS* p);
    TW_UINT16 ProcessEvent(TW_EVENT* ev);
    TW_UINT16 NativeXfer(TW_HANDLE* pHandle);
    TW_UINT16 ImageInfo(TW_IMAGEINFO* info);
    TW_UINT16 ImageLayout(TW_UINT16 msg, TW_IMAGELAYOUT* layout);

    void InitCapabilities();
    Capability* FindCap(TW_UINT16 id);
    TW_UINT32 Value(TW_UINT16 id) { return FindCap(id)->current; }
    TW_HANDLE Alloc(TW_UINT32 size);
    void* Lock(TW_HANDLE h);
    void Unlock(TW_HANDLE h);
    TW_HANDLE OneValue(TW_UINT16 type, TW_UINT32 value);
    TW_HANDLE Enumeration(const Capability& c);
    TW_HANDLE SupportedCaps();

    void StartBatch();
    void Signal(TW_UINT16 msg);
    TW_UINT16 Remaining() const;
    int Dpi() { return (int)(TwFix32ToDouble(TwBitsFix32(Value(ICAP_XRESOLUTION))) + 0.5); }
    void CurrentPageSize(int* width, int* height);
    void UpdateDialog();

    int m_state = 3;
    TW_UINT16 m_condition = TWCC_SUCCESS;
    TW_IDENTITY m_self = {};
    TW_IDENTITY m_app = {};
    TW_ENTRYPOINT m_entry = {};
    bool m_bHaveEntry = false;
    std::vector<Capability> m_caps;
    Settings m_settings;
    HWND m_hNotify = nullptr;
    HWND m_hDialog = nullptr;
    bool m_bShowUI = false;
    TW_UINT16 m_pending = MSG_NULL;  // waits for the application's event loop
    int m_sheetsLeft = 0;
    int m_pagesDone = 0;       // pages transferred in this session
    int m_batchLeft = 0;       // transfers still wanted in this batch; -1: until empty
    bool m_bCancelled = false;
    uint32_t m_seed = 0;
};

Source g_source;

LRESULT CALLBACK NotifyProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return g_source.WindowMessage(hWnd, msg, wParam, lParam);
}

INT_PTR CALLBACK ScannerDialogProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM)
{
    return g_source.DialogMessage(hDlg, msg, wParam);
}

void Source::InitCapabilities()
{
    size_t nPapers = 0;
    const vscan::PaperSize* papers = vscan::Papers(&nPapers);
    std::vector<TW_UINT32> sizes;
    for (size_t i = 0; i < nPapers; ++i)
        sizes.push_back(papers[i].code);
    std::vector<TW_UINT32> dpis = {Fix(200), Fix(300), Fix(400)};
    m_caps = {
        {CAP_XFERCOUNT, TWTY_INT16, {}, 0xffffffff, 0xffffffff, true},
        {ICAP_PIXELTYPE, TWTY_UINT16, {TWPT_BW}, TWPT_BW, TWPT_BW, true},
        {ICAP_BITDEPTH, TWTY_UINT16, {1}, 1, 1, true},
        {ICAP_XRESOLUTION, TWTY_FIX32, dpis, Fix(200), Fix(200), true},
        {ICAP_YRESOLUTION, TWTY_FIX32, dpis, Fix(200), Fix(200), true},
        {ICAP_SUPPORTEDSIZES, TWTY_UINT16, sizes, TWSS_A4, TWSS_A4, true},
        {ICAP_ORIENTATION, TWTY_UINT16, {TWOR_PORTRAIT, TWOR_LANDSCAPE}, TWOR_PORTRAIT, TWOR_PORTRAIT, true},
        {ICAP_UNITS, TWTY_UINT16, {TWUN_INCHES}, TWUN_INCHES, TWUN_INCHES, true},
        {ICAP_XFERMECH, TWTY_UINT16, {TWSX_NATIVE}, TWSX_NATIVE, TWSX_NATIVE, true},
        {ICAP_COMPRESSION, TWTY_UINT16, {TWCP_NONE}, TWCP_NONE, TWCP_NONE, true},
        {ICAP_BITORDER, TWTY_UINT16, {TWBO_MSBFIRST}, TWBO_MSBFIRST, TWBO_MSBFIRST, true},
        {ICAP_PIXELFLAVOR, TWTY_UINT16, {TWPF_CHOCOLATE}, TWPF_CHOCOLATE, TWPF_CHOCOLATE, false},
        {ICAP_PLANARCHUNKY, TWTY_UINT16, {TWPC_CHUNKY}, TWPC_CHUNKY, TWPC_CHUNKY, false},
        {ICAP_PHYSICALWIDTH, TWTY_FIX32, {}, Fix(9.843), Fix(9.843), false},
        {ICAP_PHYSICALHEIGHT, TWTY_FIX32, {}, Fix(14.0), Fix(14.0), false},
        {CAP_FEEDERENABLED, TWTY_BOOL, {1}, 1, 1, true},
        {CAP_FEEDERLOADED, TWTY_BOOL, {}, 0, 0, false},
        {CAP_AUTOFEED, TWTY_BOOL, {1}, 1, 1, true},
        {CAP_PAPERDETECTABLE, TWTY_BOOL, {}, 1, 1, false},
        {CAP_UICONTROLLABLE, TWTY_BOOL, {}, 1, 1, false},
        {CAP_DEVICEONLINE, TWTY_BOOL, {}, 1, 1, false},
        {CAP_INDICATORS, TWTY_BOOL, {0, 1}, 1, 1, true},
        {CAP_SUPPORTEDCAPS, TWTY_UINT16, {}, 0, 0, false},
    };
}

Capability* Source::FindCap(TW_UINT16 id)
{
    for (Capability& c : m_caps)
        if (c.id == id)
            return &c;
    return nullptr;
}

TW_HANDLE Source::Alloc(TW_UINT32 size)
{
    return m_bHaveEntry && m_entry.DSM_MemAllocate ? m_entry.DSM_MemAllocate(size) : GlobalAlloc(GHND, size);
}

void* Source::Lock(TW_HANDLE h)
{
    return m_bHaveEntry && m_entry.DSM_MemLock ? m_entry.DSM_MemLock(h) : GlobalLock(h);
}

void Source::Unlock(TW_HANDLE h)
{
    if (m_bHaveEntry && m_entry.DSM_MemUnlock)
        m_entry.DSM_MemUnlock(h);
    else
        GlobalUnlock(h);
}

TW_HANDLE Source::OneValue(TW_UINT16 type, TW_UINT32 value)
{
    TW_HANDLE h = Alloc(sizeof(TW_ONEVALUE));
    if (!h)
        return nullptr;
    auto* v = (TW_ONEVALUE*)Lock(h);
    v->ItemType = type;
    v->Item = 0;
    PutItem((TW_UINT8*)&v->Item, type, value);
    Unlock(h);
    return h;
}

TW_HANDLE Source::Enumeration(const Capability& c)
{
    TW_UINT32 n = (TW_UINT32)c.allowed.size();
    TW_HANDLE h = Alloc((TW_UINT32)sizeof(TW_ENUMERATION) + n * ItemSize(c.type));
    if (!h)
        return nullptr;
    auto* e = (TW_ENUMERATION*)Lock(h);
    e->ItemType = c.type;
    e->NumItems = n;
    e->CurrentIndex = 0;
    e->DefaultIndex = 0;
    for (TW_UINT32 i = 0; i < n; ++i) {
        PutItem(e->ItemList + i * ItemSize(c.type), c.type, c.allowed[i]);
        if (c.allowed[i] == c.current)
            e->CurrentIndex = i;
        if (c.allowed[i] == c.def)
            e->DefaultIndex = i;
    }
    Unlock(h);
    return h;
}

TW_HANDLE Source::SupportedCaps()
{
    TW_UINT32 n = (TW_UINT32)m_caps.size();
    TW_HANDLE h = Alloc((TW_UINT32)sizeof(TW_ARRAY) + n * 2);
    if (!h)
        return nullptr;
    auto* a = (TW_ARRAY*)Lock(h);
    a->ItemType = TWTY_UINT16;
    a->NumItems = n;
    for (TW_UINT32 i = 0; i < n; ++i)
        PutItem(a->ItemList + i * 2, TWTY_UINT16, m_caps[i].id);
    Unlock(h);
    return h;
}

TW_UINT16 Source::CapabilityOp(TW_UINT16 msg, TW_CAPABILITY* cap)
{
    if (m_state < 4)
        return SeqError();
    if (!cap)
        return Fail(TWCC_BADVALUE);
    FindCap(CAP_FEEDERLOADED)->current = m_sheetsLeft > 0;
    Capability* c = FindCap(cap->Cap);
    if (!c)
        return Fail(TWCC_CAPUNSUPPORTED);
    bool isEnum = !c->allowed.empty();
    switch (msg) {
    case MSG_QUERYSUPPORT: {
        // TWQC_GET | GETDEFAULT | GETCURRENT, and SET | RESET where settable.
        TW_UINT32 flags = 0x0001 | 0x0004 | 0x0008 | (c->settable ? 0x0002 | 0x0010 : 0);
        cap->ConType = TWON_ONEVALUE;
        cap->hContainer = OneValue(TWTY_INT32, flags);
        return cap->hContainer ? TWRC_SUCCESS : Fail(TWCC_LOWMEMORY);
    }
    case MSG_GET:
        if (c->id == CAP_SUPPORTEDCAPS) {
            cap->ConType = TWON_ARRAY;
            cap->hContainer = SupportedCaps();
        } else if (isEnum) {
            cap->ConType = TWON_ENUMERATION;
            cap->hContainer = Enumeration(*c);
        } else {
            cap->ConType = TWON_ONEVALUE;
            cap->hContainer = OneValue(c->type, c->current);
        }
        return cap->hContainer ? TWRC_SUCCESS : Fail(TWCC_LOWMEMORY);
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
        if (c->id == CAP_SUPPORTEDCAPS)
            return Fail(TWCC_CAPBADOPERATION);
        cap->ConType = TWON_ONEVALUE;
        cap->hContainer = OneValue(c->type, msg == MSG_GETCURRENT ? c->current : c->def);
        return cap->hContainer ? TWRC_SUCCESS : Fail(TWCC_LOWMEMORY);
    case MSG_RESET:
    case MSG_SET: {
        if (!c->settable)
            return Fail(TWCC_CAPBADOPERATION);
        if (m_state != 4)
            return SeqError();
        if (msg == MSG_RESET) {
            c->current = c->def;
            cap->ConType = TWON_ONEVALUE;
            cap->hContainer = OneValue(c->type, c->current);
            return cap->hContainer ? TWRC_SUCCESS : Fail(TWCC_LOWMEMORY);
        }
        if (!cap->hContainer)
            return Fail(TWCC_BADVALUE);
        auto* p = (TW_UINT8*)Lock(cap->hContainer);
        if (!p)
            return Fail(TWCC_BADVALUE);
        TW_UINT32 value = 0;
        TW_UINT16 itemType = *(TW_UINT16*)p;
        bool ok = true;
        if (cap->ConType == TWON_ONEVALUE) {
            value = GetItem(p + offsetof(TW_ONEVALUE, Item), itemType);
        } else if (cap->ConType == TWON_ENUMERATION) {
            auto* e = (TW_ENUMERATION*)p;
            ok = e->CurrentIndex < e->NumItems;
            if (ok)
                value = GetItem(e->ItemList + e->CurrentIndex * ItemSize(itemType), itemType);
        } else {
            ok = false;
        }
        Unlock(cap->hContainer);
        if (!ok || itemType != c->type)
            return Fail(TWCC_BADVALUE);
        if (c->id == CAP_XFERCOUNT) {
            TW_INT32 count = (TW_INT32)value;
            if (count == 0 || count < -1)
                return Fail(TWCC_BADVALUE);
        } else if (isEnum) {
            bool found = false;
            for (TW_UINT32 a : c->allowed)
                found = found || a == value;
            if (!found)
                return Fail(TWCC_BADVALUE);
        }
        c->current = value;
        return TWRC_SUCCESS;
    }
    }
    return Fail(TWCC_CAPBADOPERATION);
}

TW_UINT16 Source::Open(TW_IDENTITY* pOrigin, TW_IDENTITY* pId)
{
    if (m_state != 3)
        return SeqError();
    if (!pOrigin || !pId)
        return Fail(TWCC_BADVALUE);
    m_app = *pOrigin;
    m_self = *pId;
    m_settings = ReadSettings();
    m_sheetsLeft = m_settings.sheets;
    m_pagesDone = 0;
    m_batchLeft = 0;
    m_bCancelled = false;
    m_pending = MSG_NULL;
    m_seed = m_settings.seed ? m_settings.seed : GetTickCount();
    InitCapabilities();

    WNDCLASSA wc = {};
    wc.lpfnWndProc = NotifyProc;
    wc.hInstance = g_hInstance;
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    m_hNotify = CreateWindowA(kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, g_hInstance, nullptr);
    if (!m_hNotify)
        return Fail(TWCC_LOWMEMORY);
    m_state = 4;
    return TWRC_SUCCESS;
}

void Source::Close()
{
    if (m_hDialog)
        DestroyWindow(m_hDialog);
    m_hDialog = nullptr;
    if (m_hNotify)
        DestroyWindow(m_hNotify);
    m_hNotify = nullptr;
    UnregisterClassA(kWindowClass, g_hInstance);
    m_bHaveEntry = false;
    m_entry = TW_ENTRYPOINT{};
    m_state = 3;
}

TW_UINT16 Source::Identity(TW_IDENTITY* pOrigin, TW_UINT16 msg, TW_IDENTITY* pId)
{
    switch (msg) {
    case MSG_GET:
        if (!pId)
            return Fail(TWCC_BADVALUE);
        if (m_state >= 4) {
            *pId = m_self;
            return TWRC_SUCCESS;
        }
        *pId = TW_IDENTITY{};
        pId->Version.MajorNum = 1;
        pId->Version.MinorNum = 0;
        pId->Version.Language = TWLG_USA;
        pId->Version.Country = TWCY_USA;
        strcpy(pId->Version.Info, "1.0");
        pId->ProtocolMajor = TWON_PROTOCOLMAJOR;
        pId->ProtocolMinor = TWON_PROTOCOLMINOR;
        pId->SupportedGroups = DG_CONTROL | DG_IMAGE | DF_DS2;
        strcpy(pId->Manufacturer, "Tolvix");
        strcpy(pId->ProductFamily, "Virtual Scanner");
        strcpy(pId->ProductName, "Tolvix Virtual Scanner");
        return TWRC_SUCCESS;
    case MSG_OPENDS:
        return Open(pOrigin, pId);
    case MSG_CLOSEDS:
        if (m_state != 4)
            return SeqError();
        Close();
        return TWRC_SUCCESS;
    }
    return Fail(TWCC_BADPROTOCOL);
}

TW_UINT16 Source::UserInterface(TW_UINT16 msg, TW_USERINTERFACE* ui)
{
    switch (msg) {
    case MSG_ENABLEDS:
        if (m_state != 4)
            return SeqError();
        if (!ui)
            return Fail(TWCC_BADVALUE);
        m_bShowUI = ui->ShowUI != 0;
        m_batchLeft = (TW_INT16)Value(CAP_XFERCOUNT);
        m_bCancelled = false;
        m_state = 5;
        if (m_bShowUI) {
            m_hDialog = CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(IDD_SCANNER), (HWND)ui->hParent,
                                           ScannerDialogProc, 0);
            if (!m_hDialog) {
                m_state = 4;
                return Fail(TWCC_LOWMEMORY);
            }
            UpdateDialog();
            ShowWindow(m_hDialog, SW_SHOW);
        } else {
            PostMessageA(m_hNotify, WM_VS_START, 0, 0);
        }
        return TWRC_SUCCESS;
    case MSG_DISABLEDS:
        if (m_state != 5)
            return SeqError();
        if (m_hDialog)
            DestroyWindow(m_hDialog);
        m_hDialog = nullptr;
        m_pending = MSG_NULL;
        m_state = 4;
        return TWRC_SUCCESS;
    }
    return Fail(TWCC_BADPROTOCOL);
}

TW_UINT16 Source::Remaining() const
{
    if (m_bCancelled || m_sheetsLeft <= 0 || m_batchLeft == 0)
        return 0;
    if (m_batchLeft < 0)
        return 0xffff;  // until the feeder is empty: the count is not known
    return (TW_UINT16)(m_batchLeft < m_sheetsLeft ? m_batchLeft : m_sheetsLeft);
}

void Source::StartBatch()
{
    if (m_state != 5)
        return;
    if (m_sheetsLeft <= 0 && !m_bShowUI) {
        Signal(MSG_CLOSEDSREQ);  // nothing to scan and no dialog to load paper from
        return;
    }
    if (m_sheetsLeft <= 0) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    m_state = 6;
    UpdateDialog();
    Signal(MSG_XFERREADY);
}

// TWAIN 2 managers relay the message to the application's callback; otherwise it
// waits for the application's event loop to pass an event to us.
void Source::Signal(TW_UINT16 msg)
{
    if (m_bHaveEntry && m_entry.DSM_Entry && (m_app.SupportedGroups & DF_APP2)) {
        if (m_entry.DSM_Entry(&m_self, &m_app, DG_CONTROL, DAT_NULL, msg, nullptr) == TWRC_SUCCESS)
            return;
    }
    m_pending = msg;
    PostMessageA(m_hNotify, WM_VS_DELIVER, 0, 0);
}

TW_UINT16 Source::ProcessEvent(TW_EVENT* ev)
{
    if (m_state < 5)
        return SeqError();
    if (!ev)
        return Fail(TWCC_BADVALUE);
    auto* msg = (MSG*)ev->pEvent;
    TW_UINT16 rc = TWRC_NOTDSEVENT;
    if (msg && msg->hwnd == m_hNotify && m_hNotify) {
        if (msg->message == WM_VS_START)
            StartBatch();
        rc = TWRC_DSEVENT;
    } else if (msg && m_hDialog && IsDialogMessageA(m_hDialog, msg)) {
        rc = TWRC_DSEVENT;
    }
    ev->TWMessage = m_pending;
    m_pending = MSG_NULL;
    return rc;
}

LRESULT Source::WindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_VS_START) {
        StartBatch();
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

void Source::UpdateDialog()
{
    if (!m_hDialog)
        return;
    char text[64];
    snprintf(text, sizeof(text), "Sheets in the feeder: %d", m_sheetsLeft);
    SetDlgItemTextA(m_hDialog, IDC_SHEETS, text);
    EnableWindow(GetDlgItem(m_hDialog, IDOK), m_state == 5);
}

INT_PTR Source::DialogMessage(HWND, UINT msg, WPARAM wParam)
{
    if (msg == WM_INITDIALOG)
        return TRUE;
    if (msg == WM_COMMAND && LOWORD(wParam) == IDOK) {
        StartBatch();
        return TRUE;
    }
    if ((msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || msg == WM_CLOSE) {
        if (m_state == 5)
            Signal(MSG_CLOSEDSREQ);
        return TRUE;
    }
    return FALSE;
}

void Source::CurrentPageSize(int* width, int* height)
{
    const vscan::PaperSize* paper = vscan::FindPaper((TW_UINT16)Value(ICAP_SUPPORTEDSIZES));
    if (!paper)
        paper = vscan::FindPaper(TWSS_A4);
    bool landscape = Value(ICAP_ORIENTATION) == TWOR_LANDSCAPE;
    vscan::PageSize(*paper, Dpi(), landscape, m_settings.divisor, width, height);
}

TW_UINT16 Source::ImageInfo(TW_IMAGEINFO* info)
{
    if (m_state != 6)
        return SeqError();
    if (!info)
        return Fail(TWCC_BADVALUE);
    int w, h;
    CurrentPageSize(&w, &h);
    *info = TW_IMAGEINFO{};
    info->XResolution = TwBitsFix32(Value(ICAP_XRESOLUTION));
    info->YResolution = TwBitsFix32(Value(ICAP_YRESOLUTION));
    info->ImageWidth = w;
    info->ImageLength = h;
    info->SamplesPerPixel = 1;
    info->BitsPerSample[0] = 1;
    info->BitsPerPixel = 1;
    info->Planar = FALSE;
    info->PixelType = TWPT_BW;
    info->Compression = TWCP_NONE;
    return TWRC_SUCCESS;
}

TW_UINT16 Source::ImageLayout(TW_UINT16 msg, TW_IMAGELAYOUT* layout)
{
    if (!layout)
        return Fail(TWCC_BADVALUE);
    switch (msg) {
    case MSG_GET:
    case MSG_GETDEFAULT: {
        if (m_state < 4)
            return SeqError();
        const vscan::PaperSize* paper = vscan::FindPaper((TW_UINT16)Value(ICAP_SUPPORTEDSIZES));
        bool landscape = Value(ICAP_ORIENTATION) == TWOR_LANDSCAPE;
        double w = paper ? paper->widthMils / 1000.0 : 8.268, h = paper ? paper->heightMils / 1000.0 : 11.693;
        *layout = TW_IMAGELAYOUT{};
        layout->Frame.Left = TwFix32(0);
        layout->Frame.Top = TwFix32(0);
        layout->Frame.Right = TwFix32(landscape ? h : w);
        layout->Frame.Bottom = TwFix32(landscape ? w : h);
        layout->DocumentNumber = 1;
        layout->PageNumber = (TW_UINT32)m_pagesDone + 1;
        layout->FrameNumber = 1;
        return TWRC_SUCCESS;
    }
    case MSG_SET:
    case MSG_RESET:
        // The page size follows ICAP_SUPPORTEDSIZES; frames are not offered.
        return m_state == 4 ? Fail(TWCC_BADVALUE) : SeqError();
    }
    return Fail(TWCC_BADPROTOCOL);
}

TW_UINT16 Source::NativeXfer(TW_HANDLE* pHandle)
{
    if (m_state != 6)
        return SeqError();
    if (!pHandle)
        return Fail(TWCC_BADVALUE);
    int page = m_pagesDone + 1;
    if (m_settings.cancelAfter > 0 && m_pagesDone >= m_settings.cancelAfter) {
        m_bCancelled = true;
        m_state = 7;
        return TWRC_CANCEL;
    }
    if (m_settings.jamAfter > 0 && m_pagesDone >= m_settings.jamAfter)
        return Fail(TWCC_PAPERJAM);
    if (m_settings.failAt > 0 && page == m_settings.failAt)
        return Fail(TWCC_OPERATIONERROR);

    int w, h;
    CurrentPageSize(&w, &h);
    size_t stride = (size_t)vscan::RowBytes(w);
    size_t bitsSize = stride * (size_t)h;
    size_t total = sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD) + bitsSize;
    HGLOBAL hDib = GlobalAlloc(GMEM_MOVEABLE, total);
    if (!hDib)
        return Fail(TWCC_LOWMEMORY);
    auto* bih = (BITMAPINFOHEADER*)GlobalLock(hDib);
    memset(bih, 0, sizeof(*bih));
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biWidth = w;
    bih->biHeight = h;
    bih->biPlanes = 1;
    bih->biBitCount = 1;
    bih->biCompression = BI_RGB;
    bih->biSizeImage = (DWORD)bitsSize;
    int dpi = Dpi();
    bih->biXPelsPerMeter = (LONG)(dpi * 10000 / 254);
    bih->biYPelsPerMeter = bih->biXPelsPerMeter;
    bih->biClrUsed = 2;
    bih->biClrImportant = 2;
    auto* palette = (RGBQUAD*)(bih + 1);
    palette[0] = RGBQUAD{0, 0, 0, 0};
    palette[1] = RGBQUAD{255, 255, 255, 0};
    vscan::RenderPage((uint8_t*)(palette + 2), w, h, dpi, page, m_seed);
    GlobalUnlock(hDib);

    *pHandle = hDib;
    ++m_pagesDone;
    --m_sheetsLeft;
    if (m_batchLeft > 0)
        --m_batchLeft;
    m_state = 7;
    return TWRC_XFERDONE;
}

TW_UINT16 Source::PendingXfers(TW_UINT16 msg, TW_PENDINGXFERS* p)
{
    if (!p)
        return Fail(TWCC_BADVALUE);
    switch (msg) {
    case MSG_GET:
        if (m_state < 4)
            return SeqError();
        p->Count = m_state >= 6 ? Remaining() : 0;
        p->EOJ = 0;
        return TWRC_SUCCESS;
    case MSG_ENDXFER:
        if (m_state != 7)
            return SeqError();
        p->Count = Remaining();
        p->EOJ = 0;
        m_state = p->Count ? 6 : 5;
        break;
    case MSG_RESET:
        if (m_state != 6)
            return SeqError();
        m_batchLeft = 0;
        p->Count = 0;
        p->EOJ = 0;
        m_state = 5;
        break;
    case MSG_STOPFEEDER:
        if (m_state != 6)
            return SeqError();
        m_batchLeft = 0;
        p->Count = 0;
        p->EOJ = 0;
        m_state = 5;
        break;
    default:
        return Fail(TWCC_BADPROTOCOL);
    }
    if (m_state == 5)
        UpdateDialog();
    return TWRC_SUCCESS;
}

TW_UINT16 Source::Entry(TW_IDENTITY* pOrigin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF pData)
{
    dg &= 0xffff;
    if (dg == DG_CONTROL) {
        switch (dat) {
        case DAT_STATUS:
            if (msg != MSG_GET || !pData)
                return Fail(TWCC_BADPROTOCOL);
            ((TW_STATUS*)pData)->ConditionCode = m_condition;
            ((TW_STATUS*)pData)->Data = 0;
            m_condition = TWCC_SUCCESS;
            return TWRC_SUCCESS;
        case DAT_IDENTITY:
            return Identity(pOrigin, msg, (TW_IDENTITY*)pData);
        case DAT_ENTRYPOINT:
            if (msg != MSG_SET || !pData)
                return Fail(TWCC_BADPROTOCOL);
            if (m_state != 3)
                return SeqError();
            m_entry = *(TW_ENTRYPOINT*)pData;
            m_bHaveEntry = true;
            return TWRC_SUCCESS;
        case DAT_CAPABILITY:
            return CapabilityOp(msg, (TW_CAPABILITY*)pData);
        case DAT_USERINTERFACE:
            return UserInterface(msg, (TW_USERINTERFACE*)pData);
        case DAT_EVENT:
            if (msg != MSG_PROCESSEVENT)
                return Fail(TWCC_BADPROTOCOL);
            return ProcessEvent((TW_EVENT*)pData);
        case DAT_PENDINGXFERS:
            return PendingXfers(msg, (TW_PENDINGXFERS*)pData);
        case DAT_XFERGROUP:
            if (msg != MSG_GET || !pData)
                return Fail(TWCC_BADPROTOCOL);
            if (m_state < 4)
                return SeqError();
            *(TW_UINT32*)pData = DG_IMAGE;
            return TWRC_SUCCESS;
        }
    } else if (dg == DG_IMAGE) {
        switch (dat) {
        case DAT_IMAGEINFO:
            if (msg != MSG_GET)
                return Fail(TWCC_BADPROTOCOL);
            return ImageInfo((TW_IMAGEINFO*)pData);
        case DAT_IMAGELAYOUT:
            return ImageLayout(msg, (TW_IMAGELAYOUT*)pData);
        case DAT_IMAGENATIVEXFER:
            if (msg != MSG_GET)
                return Fail(TWCC_BADPROTOCOL);
            return NativeXfer((TW_HANDLE*)pData);
        }
    }
    return Fail(TWCC_BADPROTOCOL);
}

}  // namespace

extern "C" TW_UINT16 WINAPI DS_Entry(TW_IDENTITY* pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 msg,
                                     TW_MEMREF pData)
{
    return g_source.Entry(pOrigin, DG, DAT, msg, pData);
}

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_hInstance = hInstance;
        DisableThreadLibraryCalls(hInstance);
    }
    return TRUE;
}

// Tolvix Virtual Scanner: a TWAIN data source for a sheet-fed document scanner
// that has no hardware behind it. It keeps the TWAIN state machine strictly (a
// call in the wrong state fails with TWCC_SEQERROR), delivers synthetic pages by
// native or buffered memory transfer, and can be made to behave like the other
// sources a user may own (README.md, "The virtual scanner").
//
// Behaviours are read when the source is opened, from the DWORD values under
// HKEY_CURRENT_USER\Software\Tolvix\VirtualScanner; absent values keep the default.
#include <windows.h>

#include "tolvix_twain.h"
#include "page.h"
#include "resource.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char kSettingsKey[] = "Software\\Tolvix\\VirtualScanner";
const char kProductName[] = "Tolvix Virtual Scanner";
const char kModuleName[] = "TolvixVScan";
const UINT WM_VS_START = WM_APP + 1;   // the user (or the application) starts the batch
const UINT WM_VS_DELIVER = WM_APP + 2; // a message waits for the application's event loop
const UINT WM_VS_CLOSE = WM_APP + 3;   // the user pressed Cancel in the progress window
const char kWindowClass[] = "TolvixVirtualScannerNotify";

// Extended image information this source reports, and the answer for the rest.
constexpr TW_UINT16 TWEI_DOCUMENTNUMBER = 0x123a;
constexpr TW_UINT16 TWEI_PAGENUMBER = 0x123b;
constexpr TW_UINT16 TWEI_FRAMENUMBER = 0x123d;
constexpr TW_UINT16 TWEI_PIXELFLAVOR = 0x123f;
constexpr TW_UINT16 TWRC_INFONOTSUPPORTED = 8;

HINSTANCE g_hInstance;

struct Settings {
    int sheets = 5;
    int divisor = 1;
    DWORD seed = 0;
    int failAt = 0;         // the transfer of page n fails: TWCC_OPERATIONERROR
    int jamAt = 0;          // TWCC_PAPERJAM
    int cancelAt = 0;       // TWRC_CANCEL
    int doubleFeedAt = 0;   // TWCC_PAPERDOUBLEFEED
    int closeRequestAt = 0; // MSG_CLOSEDSREQ after page n
    int openFails = 0;      // MSG_OPENDS fails with this condition code
    bool stall = false;
    bool noFeederSense = false;
    bool rounding = false;
    bool fewSizes = false;
    bool noRotate = false;
    int depth = 1;
    int dibForm = 0;
    bool memoryOnly = false;
};

// DibForm flags: how the native DIB is laid out.
constexpr int kDibNoSizeImage = 1;
constexpr int kDibTopDown = 2;
constexpr int kDibV5Header = 4;
constexpr int kDibShortTable = 8;
constexpr int kDibInverted = 16;

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
        s.divisor = ReadDword(key, "PageDivisor", 1);
        s.seed = (DWORD)ReadDword(key, "Seed", 0);
        s.failAt = ReadDword(key, "FailAt", 0);
        s.jamAt = ReadDword(key, "JamAt", 0);
        s.cancelAt = ReadDword(key, "CancelAt", 0);
        s.doubleFeedAt = ReadDword(key, "DoubleFeedAt", 0);
        s.closeRequestAt = ReadDword(key, "CloseRequestAt", 0);
        s.openFails = ReadDword(key, "OpenFails", 0);
        s.stall = ReadDword(key, "Stall", 0) != 0;
        s.noFeederSense = ReadDword(key, "NoFeederSense", 0) != 0;
        s.rounding = ReadDword(key, "Rounding", 0) != 0;
        s.fewSizes = ReadDword(key, "FewSizes", 0) != 0;
        s.noRotate = ReadDword(key, "NoRotate", 0) != 0;
        s.depth = ReadDword(key, "Depth", 1);
        s.dibForm = ReadDword(key, "DibForm", 0);
        s.memoryOnly = ReadDword(key, "Transfer", 0) == 1;
        RegCloseKey(key);
    }
    if (s.sheets < 0)
        s.sheets = 0;
    if (s.divisor < 1)
        s.divisor = 1;
    if (s.depth != 8 && s.depth != 24)
        s.depth = 1;
    return s;
}

// A copy of this source installed under another file name stands in for
// another vendor's scanner when the REG_SZ value "ProductName" names it, so that
// tests can install two sources side by side. Empty: this is the Pagewell source.
std::string OtherProductName()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(g_hInstance, path, MAX_PATH);
    const char* file = strrchr(path, '\\') ? strrchr(path, '\\') + 1 : path;
    if (_strnicmp(file, kModuleName, strlen(kModuleName)) == 0 && file[strlen(kModuleName)] == '.')
        return "";
    char name[sizeof(TW_STR32)] = {};
    DWORD size = sizeof(name) - 1, type = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        if (RegQueryValueExA(key, "ProductName", nullptr, &type, (BYTE*)name, &size) != ERROR_SUCCESS || type != REG_SZ)
            name[0] = 0;
        RegCloseKey(key);
    }
    return name;
}

// One capability: its item type, how its values are offered (an enumeration of
// `allowed`, a range, or one value), the current and default values, and
// whether applications may set it.
enum class Offer { Enumeration, Range, OneValue };

struct Capability {
    TW_UINT16 id;
    TW_UINT16 type;
    Offer offer;
    std::vector<TW_UINT32> allowed; // Enumeration; Range: min, max, step
    TW_UINT32 current;
    TW_UINT32 def;
    bool settable;
};

TW_UINT32 Fix(double v) { return TwFix32Bits(TwFix32(v)); }

double Unfix(TW_UINT32 bits) { return TwFix32ToDouble(TwBitsFix32(bits)); }

// Types the shared table does not size travel in a 32-bit item.
TW_UINT32 ItemSize(TW_UINT16 type)
{
    TW_UINT32 n = TwItemSize(type);
    return n ? n : 4;
}

void PutItem(TW_UINT8* dst, TW_UINT16 type, TW_UINT32 value)
{
    memcpy(dst, &value, ItemSize(type) < 4 ? ItemSize(type) : 4); // little-endian: the low bytes are the item
}

TW_UINT32 GetItem(const TW_UINT8* src, TW_UINT16 type)
{
    TW_UINT32 v = 0;
    memcpy(&v, src, ItemSize(type) < 4 ? ItemSize(type) : 4);
    if (type == TWTY_INT16)
        v = (TW_UINT32)(TW_INT32)(TW_INT16)v;
    return v;
}

// A frame in inches on the scan area.
struct Frame {
    double left, top, right, bottom;
};

Frame PaperFrame(TW_UINT32 code)
{
    const vscan::PaperSize* paper = vscan::FindPaper((TW_UINT16)code);
    return {0, 0, paper->widthMils / 1000.0, paper->heightMils / 1000.0};
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
    TW_UINT16 GetCapability(TW_UINT16 msg, Capability& c, TW_CAPABILITY* cap);
    TW_UINT16 SetCapability(Capability& c, TW_CAPABILITY* cap);
    TW_UINT16 Accept(Capability& c, TW_UINT32 value);
    TW_UINT16 UserInterface(TW_UINT16 msg, TW_USERINTERFACE* ui);
    TW_UINT16 PendingXfers(TW_UINT16 msg, TW_PENDINGXFERS* p);
    TW_UINT16 ProcessEvent(TW_EVENT* ev);
    TW_UINT16 StartTransfer(TW_UINT16 mech);
    TW_UINT16 NativeXfer(TW_HANDLE* pHandle);
    TW_UINT16 SetupMemXfer(TW_SETUPMEMXFER* setup);
    TW_UINT16 MemXfer(TW_IMAGEMEMXFER* mem);
    void TransferDone();
    TW_UINT16 ImageInfo(TW_IMAGEINFO* info);
    TW_UINT16 ExtImageInfo(TW_EXTIMAGEINFO* ext);
    TW_UINT16 ImageLayout(TW_UINT16 msg, TW_IMAGELAYOUT* layout);
    TW_UINT16 SetFrame(Frame f);
    TW_FRAME ToTwain(const Frame& f);
    Frame FromTwain(const TW_FRAME& f);

    void InitCapabilities();
    void ResetLayout();
    Capability* FindCap(TW_UINT16 id);
    TW_UINT32 Value(TW_UINT16 id)
    {
        Capability* c = FindCap(id);
        return c ? c->current : 0;
    }
    TW_HANDLE Alloc(TW_UINT32 size);
    void* Lock(TW_HANDLE h);
    void Unlock(TW_HANDLE h);
    TW_HANDLE OneValue(TW_UINT16 type, TW_UINT32 value);
    TW_HANDLE OneFrame(const Frame& f);
    TW_HANDLE Enumeration(const Capability& c);
    TW_HANDLE Range(const Capability& c);
    TW_HANDLE SupportedCaps();

    void StartBatch();
    void Signal(TW_UINT16 msg);
    TW_UINT16 Remaining() const;
    int Dpi() { return (int)(Unfix(Value(ICAP_XRESOLUTION)) + 0.5); }
    double UnitsPerInch();
    Frame PhysicalArea() const;
    vscan::ScanParams Params();
    const codec::Image& PendingPage();
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
    TW_UINT16 m_pending = MSG_NULL; // waits for the application's event loop
    int m_sheetsLeft = 0;
    int m_pagesDone = 0; // pages transferred in this session
    int m_batchLeft = 0; // transfers still wanted in this batch; -1: until empty
    int m_batches = 0;   // batches started in this session: the document number
    bool m_bCancelled = false;
    bool m_bFedInBatch = false;
    uint32_t m_seed = 0;
    Frame m_frame = {};
    vscan::PaperSize m_sheet = {}; // the paper in the feeder
    codec::Image m_page;           // the page of the transfer at hand
    int m_pageNumber = 0;          // which page m_page is; 0: none
    bool m_bMemXfer = false;       // a memory transfer is under way
    uint32_t m_nextRow = 0;
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
    const Settings& s = m_settings;
    std::vector<TW_UINT32> sizes;
    if (s.fewSizes) {
        sizes = {TWSS_USLETTER, TWSS_USLEGAL};
    } else {
        size_t nPapers = 0;
        const vscan::PaperSize* papers = vscan::Papers(&nPapers);
        for (size_t i = 0; i < nPapers; ++i)
            sizes.push_back(papers[i].code);
    }
    TW_UINT32 defaultSize = s.fewSizes ? TWSS_USLETTER : TWSS_A4;
    TW_UINT16 pixelType = s.depth == 8 ? TWPT_GRAY : s.depth == 24 ? TWPT_RGB : TWPT_BW;
    TW_UINT16 mech = s.memoryOnly ? TWSX_MEMORY : TWSX_NATIVE;
    std::vector<TW_UINT32> mechs =
        s.memoryOnly ? std::vector<TW_UINT32>{TWSX_MEMORY} : std::vector<TW_UINT32>{TWSX_NATIVE, TWSX_MEMORY};
    Capability xres = {ICAP_XRESOLUTION, TWTY_FIX32, Offer::Enumeration, {Fix(200), Fix(300), Fix(400)}, Fix(200),
                       Fix(200),         true};
    if (s.rounding)
        xres = {ICAP_XRESOLUTION, TWTY_FIX32, Offer::Range, {Fix(50), Fix(600), Fix(1)}, Fix(200), Fix(200), true};
    Capability yres = xres;
    yres.id = ICAP_YRESOLUTION;
    const Offer E = Offer::Enumeration, O = Offer::OneValue;
    m_caps = {
        {CAP_XFERCOUNT, TWTY_INT16, O, {}, 0xffffffff, 0xffffffff, true},
        {ICAP_PIXELTYPE, TWTY_UINT16, E, {pixelType}, pixelType, pixelType, true},
        {ICAP_BITDEPTH, TWTY_UINT16, E, {(TW_UINT32)s.depth}, (TW_UINT32)s.depth, (TW_UINT32)s.depth, true},
        xres,
        yres,
        {ICAP_SUPPORTEDSIZES, TWTY_UINT16, E, sizes, defaultSize, defaultSize, true},
        {ICAP_UNITS, TWTY_UINT16, E, {TWUN_INCHES, TWUN_CENTIMETERS, TWUN_PIXELS}, TWUN_INCHES, TWUN_INCHES, true},
        {ICAP_XFERMECH, TWTY_UINT16, E, mechs, mech, mech, true},
        {ICAP_IMAGEFILEFORMAT, TWTY_UINT16, E, {TWFF_BMP}, TWFF_BMP, TWFF_BMP, true},
        {ICAP_COMPRESSION, TWTY_UINT16, E, {TWCP_NONE}, TWCP_NONE, TWCP_NONE, true},
        {ICAP_BITORDER, TWTY_UINT16, E, {TWBO_MSBFIRST}, TWBO_MSBFIRST, TWBO_MSBFIRST, true},
        {ICAP_PIXELFLAVOR, TWTY_UINT16, E, {TWPF_CHOCOLATE, TWPF_VANILLA}, TWPF_CHOCOLATE, TWPF_CHOCOLATE, true},
        {ICAP_PLANARCHUNKY, TWTY_UINT16, E, {TWPC_CHUNKY}, TWPC_CHUNKY, TWPC_CHUNKY, false},
        {ICAP_PHYSICALWIDTH, TWTY_FIX32, O, {}, 0, 0, false},
        {ICAP_PHYSICALHEIGHT, TWTY_FIX32, O, {}, 0, 0, false},
        {ICAP_FRAMES, TWTY_FRAME, O, {}, 0, 0, true},
        {CAP_FEEDERENABLED, TWTY_BOOL, E, {1}, 1, 1, true},
        {CAP_AUTOFEED, TWTY_BOOL, E, {1}, 1, 1, true},
        {CAP_UICONTROLLABLE, TWTY_BOOL, O, {}, 1, 1, false},
        {CAP_DEVICEONLINE, TWTY_BOOL, O, {}, 1, 1, false},
        {CAP_INDICATORS, TWTY_BOOL, E, {0, 1}, 1, 1, true},
        {CAP_SUPPORTEDCAPS, TWTY_UINT16, O, {}, 0, 0, false},
    };
    if (s.depth == 1) {
        m_caps.push_back(
            {ICAP_BITDEPTHREDUCTION, TWTY_UINT16, E, {TWBR_THRESHOLD, TWBR_DIFFUSION}, TWBR_THRESHOLD, TWBR_THRESHOLD, true});
        m_caps.push_back({ICAP_THRESHOLD, TWTY_FIX32, Offer::Range, {Fix(0), Fix(255), Fix(1)}, Fix(128), Fix(128), true});
        m_caps.push_back({ICAP_IMAGEFILTER, TWTY_UINT16, E, {TWIF_NONE, TWIF_TEXT}, TWIF_NONE, TWIF_NONE, true});
    }
    if (!s.noRotate) {
        m_caps.push_back(
            {ICAP_ORIENTATION, TWTY_UINT16, E, {TWOR_PORTRAIT, TWOR_LANDSCAPE}, TWOR_PORTRAIT, TWOR_PORTRAIT, true});
        m_caps.push_back({ICAP_ROTATION, TWTY_FIX32, E, {Fix(0), Fix(270)}, Fix(0), Fix(0), true});
    }
    if (!s.fewSizes) {
        m_caps.push_back({ICAP_AUTOMATICBORDERDETECTION, TWTY_BOOL, E, {0, 1}, 0, 0, true});
        m_caps.push_back({ICAP_UNDEFINEDIMAGESIZE, TWTY_BOOL, E, {0, 1}, 0, 0, true});
    }
    if (!s.noFeederSense) {
        m_caps.push_back({CAP_FEEDERLOADED, TWTY_BOOL, O, {}, 0, 0, false});
        m_caps.push_back({CAP_PAPERDETECTABLE, TWTY_BOOL, O, {}, 1, 1, false});
    }
    ResetLayout();
}

// The default frame: the default paper at the top left of the scan area.
void Source::ResetLayout()
{
    Capability* sizes = FindCap(ICAP_SUPPORTEDSIZES);
    sizes->current = sizes->def;
    m_sheet = *vscan::FindPaper((TW_UINT16)sizes->def);
    m_frame = PaperFrame(sizes->def);
}

// Frames travel in the current unit.
TW_FRAME Source::ToTwain(const Frame& f)
{
    double k = UnitsPerInch();
    return {TwFix32(f.left * k), TwFix32(f.top * k), TwFix32(f.right * k), TwFix32(f.bottom * k)};
}

Frame Source::FromTwain(const TW_FRAME& f)
{
    double k = UnitsPerInch();
    return {TwFix32ToDouble(f.Left) / k, TwFix32ToDouble(f.Top) / k, TwFix32ToDouble(f.Right) / k,
            TwFix32ToDouble(f.Bottom) / k};
}

Frame Source::PhysicalArea() const { return m_settings.fewSizes ? Frame{0, 0, 8.5, 14.0} : Frame{0, 0, 9.843, 14.0}; }

double Source::UnitsPerInch()
{
    switch (Value(ICAP_UNITS)) {
    case TWUN_CENTIMETERS:
        return 2.54;
    case TWUN_PIXELS:
        return Dpi();
    }
    return 1.0;
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

void* Source::Lock(TW_HANDLE h) { return m_bHaveEntry && m_entry.DSM_MemLock ? m_entry.DSM_MemLock(h) : GlobalLock(h); }

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

TW_HANDLE Source::OneFrame(const Frame& f)
{
    TW_HANDLE h = Alloc((TW_UINT32)(sizeof(TW_UINT16) + sizeof(TW_FRAME)));
    if (!h)
        return nullptr;
    auto* p = (TW_UINT8*)Lock(h);
    TW_FRAME fr = ToTwain(f);
    TW_UINT16 type = TWTY_FRAME;
    memcpy(p, &type, sizeof(type));
    memcpy(p + sizeof(type), &fr, sizeof(fr));
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

TW_HANDLE Source::Range(const Capability& c)
{
    TW_HANDLE h = Alloc(sizeof(TW_RANGE));
    if (!h)
        return nullptr;
    auto* r = (TW_RANGE*)Lock(h);
    r->ItemType = c.type;
    r->MinValue = c.allowed[0];
    r->MaxValue = c.allowed[1];
    r->StepSize = c.allowed[2];
    r->DefaultValue = c.def;
    r->CurrentValue = c.current;
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
    if (msg == MSG_RESETALL) {
        if (m_state != 4)
            return SeqError();
        for (Capability& c : m_caps)
            if (c.settable)
                c.current = c.def;
        ResetLayout();
        return TWRC_SUCCESS;
    }
    if (FindCap(CAP_FEEDERLOADED))
        FindCap(CAP_FEEDERLOADED)->current = m_sheetsLeft > 0;
    Capability* c = FindCap(cap->Cap);
    if (!c)
        return Fail(TWCC_CAPUNSUPPORTED);
    switch (msg) {
    case MSG_QUERYSUPPORT: {
        TW_INT32 flags = c->id == CAP_SUPPORTEDCAPS ? TWQC_GET : TWQC_GET | TWQC_GETDEFAULT | TWQC_GETCURRENT;
        if (c->settable)
            flags |= TWQC_SET | TWQC_RESET;
        cap->ConType = TWON_ONEVALUE;
        cap->hContainer = OneValue(TWTY_INT32, (TW_UINT32)flags);
        return cap->hContainer ? TWRC_SUCCESS : Fail(TWCC_LOWMEMORY);
    }
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
        return GetCapability(msg, *c, cap);
    case MSG_RESET:
    case MSG_SET: {
        if (!c->settable)
            return Fail(TWCC_CAPBADOPERATION);
        if (m_state != 4)
            return SeqError();
        if (msg == MSG_SET)
            return SetCapability(*c, cap);
        if (c->id == ICAP_FRAMES || c->id == ICAP_SUPPORTEDSIZES)
            ResetLayout();
        else
            c->current = c->def;
        return GetCapability(MSG_GETCURRENT, *c, cap);
    }
    }
    return Fail(TWCC_CAPBADOPERATION);
}

TW_UINT16 Source::GetCapability(TW_UINT16 msg, Capability& c, TW_CAPABILITY* cap)
{
    cap->ConType = TWON_ONEVALUE;
    if (c.id == CAP_SUPPORTEDCAPS) {
        if (msg != MSG_GET)
            return Fail(TWCC_CAPBADOPERATION);
        cap->ConType = TWON_ARRAY;
        cap->hContainer = SupportedCaps();
    } else if (c.id == ICAP_FRAMES) {
        Frame def = PaperFrame(FindCap(ICAP_SUPPORTEDSIZES)->def);
        cap->hContainer = OneFrame(msg == MSG_GETDEFAULT ? def : m_frame);
    } else if (c.id == ICAP_PHYSICALWIDTH || c.id == ICAP_PHYSICALHEIGHT) {
        Frame area = PhysicalArea();
        double inches = c.id == ICAP_PHYSICALWIDTH ? area.right : area.bottom;
        cap->hContainer = OneValue(TWTY_FIX32, Fix(inches * UnitsPerInch()));
    } else if (msg == MSG_GET && c.offer == Offer::Enumeration) {
        cap->ConType = TWON_ENUMERATION;
        cap->hContainer = Enumeration(c);
    } else if (msg == MSG_GET && c.offer == Offer::Range) {
        cap->ConType = TWON_RANGE;
        cap->hContainer = Range(c);
    } else {
        cap->hContainer = OneValue(c.type, msg == MSG_GETDEFAULT ? c.def : c.current);
    }
    return cap->hContainer ? TWRC_SUCCESS : Fail(TWCC_LOWMEMORY);
}

TW_UINT16 Source::SetCapability(Capability& c, TW_CAPABILITY* cap)
{
    if (!cap->hContainer)
        return Fail(TWCC_BADVALUE);
    auto* p = (TW_UINT8*)Lock(cap->hContainer);
    if (!p)
        return Fail(TWCC_BADVALUE);
    TW_UINT16 itemType = 0;
    memcpy(&itemType, p, sizeof(itemType));
    const TW_UINT8* item = nullptr;
    if (cap->ConType == TWON_ONEVALUE) {
        item = p + sizeof(TW_UINT16);
    } else if (cap->ConType == TWON_ENUMERATION) {
        auto* e = (TW_ENUMERATION*)p;
        if (e->CurrentIndex < e->NumItems)
            item = e->ItemList + e->CurrentIndex * ItemSize(itemType);
    }
    TW_UINT32 value = 0;
    TW_FRAME frame = {};
    if (item && itemType == TWTY_FRAME)
        memcpy(&frame, item, sizeof(frame));
    else if (item)
        value = GetItem(item, itemType);
    Unlock(cap->hContainer);
    if (!item || itemType != c.type)
        return Fail(TWCC_BADVALUE);
    if (c.id == ICAP_FRAMES)
        return SetFrame(FromTwain(frame));
    return Accept(c, value);
}

// Takes a value the application asked for, as the source can do it: refused,
// taken, or (with Rounding) adjusted and answered TWRC_CHECKSTATUS.
TW_UINT16 Source::Accept(Capability& c, TW_UINT32 value)
{
    bool adjusted = false;
    if (c.id == CAP_XFERCOUNT) {
        TW_INT32 count = (TW_INT32)value;
        if (count == 0 || count < -1)
            return Fail(TWCC_BADVALUE);
        if (m_settings.rounding && count != -1) {
            value = 0xffffffff;
            adjusted = true;
        }
    } else if (m_settings.rounding && (c.id == ICAP_XRESOLUTION || c.id == ICAP_YRESOLUTION)) {
        double dpi = Unfix(value);
        if (dpi < 50 || dpi > 600)
            return Fail(TWCC_BADVALUE);
        double rounded = floor(dpi / 150 + 0.5) * 150;
        rounded = rounded < 150 ? 150 : rounded;
        adjusted = rounded != dpi;
        value = Fix(rounded);
    } else if (m_settings.rounding && c.id == ICAP_SUPPORTEDSIZES && value == TWSS_MAXSIZE) {
        value = TWSS_USLEGAL;
        adjusted = true;
    } else if (c.offer == Offer::Range) {
        double v = Unfix(value);
        if (v < Unfix(c.allowed[0]) || v > Unfix(c.allowed[1]))
            return Fail(TWCC_BADVALUE);
    } else if (c.offer == Offer::Enumeration) {
        bool found = false;
        for (TW_UINT32 a : c.allowed)
            found = found || a == value;
        if (!found)
            return Fail(TWCC_BADVALUE);
    }
    c.current = value;
    // TWSS_NONE keeps the frame; a paper size is both the frame and the sheet fed.
    if (c.id == ICAP_SUPPORTEDSIZES && value == TWSS_MAXSIZE) {
        m_frame = PhysicalArea();
    } else if (c.id == ICAP_SUPPORTEDSIZES && value != TWSS_NONE) {
        m_frame = PaperFrame(value);
        m_sheet = *vscan::FindPaper((TW_UINT16)value);
    }
    return adjusted ? TWRC_CHECKSTATUS : TWRC_SUCCESS;
}

// A frame inside the scan area is taken as it is; one reaching beyond it is
// clipped to it (TWRC_CHECKSTATUS); one with nothing inside is refused.
TW_UINT16 Source::SetFrame(Frame f)
{
    Frame area = PhysicalArea();
    Frame c = {f.left < 0 ? 0 : f.left, f.top < 0 ? 0 : f.top, f.right > area.right ? area.right : f.right,
               f.bottom > area.bottom ? area.bottom : f.bottom};
    if (c.right - c.left < 0.01 || c.bottom - c.top < 0.01)
        return Fail(TWCC_BADVALUE);
    m_frame = c;
    FindCap(ICAP_SUPPORTEDSIZES)->current = TWSS_NONE;
    const double eps = 1.0 / 1000;
    bool clipped = fabs(c.left - f.left) > eps || fabs(c.top - f.top) > eps || fabs(c.right - f.right) > eps ||
                   fabs(c.bottom - f.bottom) > eps;
    return clipped ? TWRC_CHECKSTATUS : TWRC_SUCCESS;
}

TW_UINT16 Source::Open(TW_IDENTITY* pOrigin, TW_IDENTITY* pId)
{
    if (m_state != 3)
        return SeqError();
    if (!pOrigin || !pId)
        return Fail(TWCC_BADVALUE);
    m_settings = ReadSettings();
    if (m_settings.openFails)
        return Fail((TW_UINT16)m_settings.openFails); // switched off, unplugged, busy
    m_app = *pOrigin;
    m_self = *pId;
    m_sheetsLeft = m_settings.sheets;
    m_pagesDone = 0;
    m_batchLeft = 0;
    m_batches = 0;
    m_bCancelled = false;
    m_pending = MSG_NULL;
    m_pageNumber = 0;
    m_bMemXfer = false;
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
    m_page = codec::Image{};
    m_pageNumber = 0;
    m_state = 3;
    // Sessions ended, counted beside the controls: one that ended quietly, without a
    // page, can then be told from one that never began.
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        DWORD sessions = (DWORD)ReadDword(key, "Sessions", 0) + 1;
        RegSetValueExA(key, "Sessions", 0, REG_DWORD, (const BYTE*)&sessions, sizeof sessions);
        RegCloseKey(key);
    }
}

TW_UINT16 Source::Identity(TW_IDENTITY* pOrigin, TW_UINT16 msg, TW_IDENTITY* pId)
{
    switch (msg) {
    case MSG_GET: {
        if (!pId)
            return Fail(TWCC_BADVALUE);
        if (m_state >= 4) {
            *pId = m_self;
            return TWRC_SUCCESS;
        }
        *pId = TW_IDENTITY{};
        pId->Version.MajorNum = 1;
        pId->Version.MinorNum = 1;
        pId->Version.Language = TWLG_USA;
        pId->Version.Country = TWCY_USA;
        strcpy(pId->Version.Info, "1.1");
        pId->ProtocolMajor = TWON_PROTOCOLMAJOR;
        pId->ProtocolMinor = TWON_PROTOCOLMINOR;
        pId->SupportedGroups = DG_CONTROL | DG_IMAGE | DF_DS2;
        strcpy(pId->Manufacturer, "Tolvix");
        std::string other = OtherProductName();
        if (other.empty()) {
            strcpy(pId->ProductFamily, "Pagewell QX");
            strcpy(pId->ProductName, kProductName);
        } else {
            strcpy(pId->ProductFamily, "Tolvix Test Source");
            strncpy(pId->ProductName, other.c_str(), sizeof(TW_STR32) - 1);
        }
        return TWRC_SUCCESS;
    }
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
        m_bFedInBatch = false;
        m_state = 5;
        if (m_bShowUI) {
            m_hDialog =
                CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(IDD_SCANNER), (HWND)ui->hParent, ScannerDialogProc, 0);
            if (!m_hDialog) {
                m_state = 4;
                return Fail(TWCC_LOWMEMORY);
            }
            UpdateDialog();
            ShowWindow(m_hDialog, SW_SHOW);
        } else if (!m_settings.stall) {
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
    if (m_bCancelled || m_batchLeft == 0)
        return 0;
    if (m_sheetsLeft <= 0) // a feeder that cannot sense paper does not know it is empty
        return m_settings.noFeederSense && !m_bFedInBatch ? 0xffff : 0;
    if (m_batchLeft < 0)
        return 0xffff; // until the feeder is empty: the count is not known
    return (TW_UINT16)(m_batchLeft < m_sheetsLeft ? m_batchLeft : m_sheetsLeft);
}

void Source::StartBatch()
{
    if (m_state != 5)
        return;
    if (m_sheetsLeft <= 0 && !m_settings.noFeederSense) {
        if (m_bShowUI)
            MessageBeep(MB_ICONEXCLAMATION);
        else
            Signal(MSG_CLOSEDSREQ); // nothing to scan and no dialog to load paper from
        return;
    }
    ++m_batches;
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
        else if (msg->message == WM_VS_CLOSE && m_state >= 5)
            Signal(MSG_CLOSEDSREQ);
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
    if (msg == WM_VS_CLOSE) {
        if (m_state >= 5)
            Signal(MSG_CLOSEDSREQ);
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
    const Settings& s = m_settings;
    std::string how = s.depth == 8 ? "Grey" : s.depth == 24 ? "Colour" : "Black and white";
    how += ", sheet feeder.";
    const std::pair<bool, const char*> traits[] = {
        {s.rounding, " Rounding."},
        {s.fewSizes, " Few sizes."},
        {s.noRotate, " No rotation."},
        {s.memoryOnly, " Memory transfer only."},
        {s.noFeederSense, " No paper sensor."},
        {s.dibForm != 0, " DIB variant."},
    };
    for (const auto& t : traits)
        if (t.first)
            how += t.second;
    SetDlgItemTextA(m_hDialog, IDC_BEHAVIOUR, how.c_str());
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

vscan::ScanParams Source::Params()
{
    vscan::ScanParams p;
    p.dpi = Dpi();
    p.divisor = m_settings.divisor;
    p.seed = m_seed;
    p.sheetWidthMils = m_sheet.widthMils;
    p.sheetHeightMils = m_sheet.heightMils;
    p.frameMils[0] = (int)lround(m_frame.left * 1000);
    p.frameMils[1] = (int)lround(m_frame.top * 1000);
    p.frameMils[2] = (int)lround(m_frame.right * 1000);
    p.frameMils[3] = (int)lround(m_frame.bottom * 1000);
    p.depth = m_settings.depth == 1 ? 1 : 8;
    p.diffusion = Value(ICAP_BITDEPTHREDUCTION) == TWBR_DIFFUSION;
    p.threshold = (int)(Unfix(Value(ICAP_THRESHOLD)) + 0.5);
    p.textEmphasis = Value(ICAP_IMAGEFILTER) == TWIF_TEXT;
    p.trim = Value(ICAP_AUTOMATICBORDERDETECTION) || Value(ICAP_UNDEFINEDIMAGESIZE);
    p.landscape = Value(ICAP_ORIENTATION) == TWOR_LANDSCAPE || Unfix(Value(ICAP_ROTATION)) == 270;
    return p;
}

// The page of the transfer at hand (state 7) or the next one (state 6).
const codec::Image& Source::PendingPage()
{
    int page = m_state == 7 && !m_bMemXfer ? m_pagesDone : m_pagesDone + 1;
    if (m_pageNumber != page) {
        m_page = vscan::ScanPage(Params(), page);
        m_pageNumber = page;
    }
    return m_page;
}

TW_UINT16 Source::ImageInfo(TW_IMAGEINFO* info)
{
    if (m_state != 6 && m_state != 7)
        return SeqError();
    if (!info)
        return Fail(TWCC_BADVALUE);
    const codec::Image& img = PendingPage();
    if (!img.width)
        return Fail(TWCC_LOWMEMORY);
    int depth = m_settings.depth;
    *info = TW_IMAGEINFO{};
    info->XResolution = TwBitsFix32(Value(ICAP_XRESOLUTION));
    info->YResolution = TwBitsFix32(Value(ICAP_YRESOLUTION));
    info->ImageWidth = (TW_INT32)img.width;
    info->ImageLength = (TW_INT32)img.height;
    info->SamplesPerPixel = depth == 24 ? 3 : 1;
    for (int i = 0; i < info->SamplesPerPixel; ++i)
        info->BitsPerSample[i] = depth == 1 ? 1 : 8;
    info->BitsPerPixel = (TW_INT16)depth;
    info->Planar = FALSE;
    info->PixelType = (TW_INT16)Value(ICAP_PIXELTYPE);
    info->Compression = TWCP_NONE;
    return TWRC_SUCCESS;
}

TW_UINT16 Source::ExtImageInfo(TW_EXTIMAGEINFO* ext)
{
    if (m_state != 7)
        return SeqError();
    if (!ext)
        return Fail(TWCC_BADVALUE);
    for (TW_UINT32 i = 0; i < ext->NumInfos; ++i) {
        TW_INFO& info = ext->Info[i];
        info.NumItems = 1;
        info.ReturnCode = TWRC_SUCCESS;
        switch (info.InfoID) {
        case TWEI_DOCUMENTNUMBER:
            info.ItemType = TWTY_UINT32;
            info.Item = (TW_UINTPTR)m_batches;
            break;
        case TWEI_PAGENUMBER:
            info.ItemType = TWTY_UINT32;
            info.Item = (TW_UINTPTR)m_pageNumber;
            break;
        case TWEI_FRAMENUMBER:
            info.ItemType = TWTY_UINT32;
            info.Item = 1;
            break;
        case TWEI_PIXELFLAVOR:
            info.ItemType = TWTY_UINT16;
            info.Item = (TW_UINTPTR)Value(ICAP_PIXELFLAVOR);
            break;
        default:
            info.NumItems = 0;
            info.Item = 0;
            info.ReturnCode = TWRC_INFONOTSUPPORTED;
        }
    }
    return TWRC_SUCCESS;
}

TW_UINT16 Source::ImageLayout(TW_UINT16 msg, TW_IMAGELAYOUT* layout)
{
    if (!layout)
        return Fail(TWCC_BADVALUE);
    switch (msg) {
    case MSG_GET:
    case MSG_GETDEFAULT: {
        if (m_state < 4 || m_state > 6)
            return SeqError();
        Frame f = msg == MSG_GETDEFAULT ? PaperFrame(FindCap(ICAP_SUPPORTEDSIZES)->def) : m_frame;
        *layout = TW_IMAGELAYOUT{};
        layout->Frame = ToTwain(f);
        layout->DocumentNumber = (TW_UINT32)(m_batches ? m_batches : 1);
        layout->PageNumber = (TW_UINT32)m_pagesDone + 1;
        layout->FrameNumber = 1;
        return TWRC_SUCCESS;
    }
    case MSG_SET: {
        if (m_state != 4)
            return SeqError();
        return SetFrame(FromTwain(layout->Frame));
    }
    case MSG_RESET:
        if (m_state != 4)
            return SeqError();
        ResetLayout();
        return ImageLayout(MSG_GET, layout);
    }
    return Fail(TWCC_BADPROTOCOL);
}

// The checks every transfer makes before its first byte: the state, the
// mechanism negotiated, and the feeder's troubles at this page.
TW_UINT16 Source::StartTransfer(TW_UINT16 mech)
{
    if (m_state != 6 || Value(ICAP_XFERMECH) != mech)
        return SeqError();
    int page = m_pagesDone + 1;
    const Settings& s = m_settings;
    if (s.cancelAt > 0 && page >= s.cancelAt) {
        m_bCancelled = true;
        m_state = 7;
        return TWRC_CANCEL;
    }
    if (m_sheetsLeft <= 0)
        return Fail(TWCC_NOMEDIA);
    if (s.jamAt > 0 && page == s.jamAt)
        return Fail(TWCC_PAPERJAM);
    if (s.doubleFeedAt > 0 && page == s.doubleFeedAt)
        return Fail(TWCC_PAPERDOUBLEFEED);
    if (s.failAt > 0 && page == s.failAt)
        return Fail(TWCC_OPERATIONERROR);
    if (!PendingPage().width)
        return Fail(TWCC_LOWMEMORY);
    return TWRC_SUCCESS;
}

void Source::TransferDone()
{
    ++m_pagesDone;
    --m_sheetsLeft;
    m_bFedInBatch = true;
    if (m_batchLeft > 0)
        --m_batchLeft;
    m_bMemXfer = false;
}

TW_UINT16 Source::NativeXfer(TW_HANDLE* pHandle)
{
    if (m_settings.memoryOnly)
        return Fail(TWCC_BADPROTOCOL); // this source has no native transfer
    if (!pHandle)
        return Fail(TWCC_BADVALUE);
    TW_UINT16 rc = StartTransfer(TWSX_NATIVE);
    if (rc != TWRC_SUCCESS)
        return rc;
    const codec::Image& img = m_page;
    const int form = m_settings.dibForm, depth = m_settings.depth;
    const bool inverted = depth == 1 && (form & kDibInverted);
    const DWORD colours = depth == 1 ? 2 : depth == 8 ? ((form & kDibShortTable) ? 16 : 256) : 0;
    const DWORD header = (form & kDibV5Header) ? sizeof(BITMAPV5HEADER) : sizeof(BITMAPINFOHEADER);
    const size_t stride = ((size_t)img.width * depth + 31) / 32 * 4;
    const size_t bitsSize = stride * img.height;
    HGLOBAL hDib = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, header + colours * sizeof(RGBQUAD) + bitsSize);
    if (!hDib)
        return Fail(TWCC_LOWMEMORY);
    auto* bih = (BITMAPINFOHEADER*)GlobalLock(hDib);
    bih->biSize = header;
    bih->biWidth = (LONG)img.width;
    bih->biHeight = (form & kDibTopDown) ? -(LONG)img.height : (LONG)img.height;
    bih->biPlanes = 1;
    bih->biBitCount = (WORD)depth;
    bih->biCompression = BI_RGB;
    bih->biSizeImage = (form & kDibNoSizeImage) ? 0 : (DWORD)bitsSize;
    bih->biXPelsPerMeter = (LONG)(Dpi() * 10000 / 254);
    bih->biYPelsPerMeter = bih->biXPelsPerMeter;
    bih->biClrUsed = colours;
    bih->biClrImportant = colours;
    if (form & kDibV5Header) {
        auto* v5 = (BITMAPV5HEADER*)bih;
        v5->bV5CSType = 0x73524742; // LCS_sRGB
        v5->bV5Intent = LCS_GM_IMAGES;
    }
    auto* palette = (RGBQUAD*)((BYTE*)bih + header);
    for (DWORD i = 0; i < colours; ++i) {
        BYTE level = (BYTE)(colours == 2 ? ((i == 1) != inverted ? 255 : 0) : i * 255 / (colours - 1));
        palette[i] = RGBQUAD{level, level, level, 0};
    }
    BYTE* bits = (BYTE*)(palette + colours);
    for (uint32_t y = 0; y < img.height; ++y) {
        const uint8_t* src = img.bits.data() + (size_t)y * img.stride;
        BYTE* dst = bits + stride * ((form & kDibTopDown) ? y : img.height - 1 - y);
        if (depth == 1) {
            for (size_t i = 0; i < (img.width + 7) / 8; ++i)
                dst[i] = inverted ? (BYTE)~src[i] : src[i];
        } else if (depth == 8) {
            for (uint32_t x = 0; x < img.width; ++x)
                dst[x] = colours == 16 ? (BYTE)((src[x] + 8) / 17) : src[x];
        } else {
            for (uint32_t x = 0; x < img.width; ++x)
                dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = src[x];
        }
    }
    GlobalUnlock(hDib);

    *pHandle = hDib;
    m_state = 7;
    TransferDone();
    return TWRC_XFERDONE;
}

TW_UINT16 Source::SetupMemXfer(TW_SETUPMEMXFER* setup)
{
    if (m_state < 4 || m_state > 6)
        return SeqError();
    if (!setup)
        return Fail(TWCC_BADVALUE);
    // One row of the widest page this source can make, and strips of about 64 KB.
    Frame area = PhysicalArea(); // its long side is the widest row of a landscape page
    TW_UINT32 width = (TW_UINT32)((area.bottom > area.right ? area.bottom : area.right) * Dpi() + 1);
    TW_UINT32 row = (width * (TW_UINT32)m_settings.depth + 31) / 32 * 4;
    setup->MinBufSize = row;
    setup->Preferred = row > 65536 ? row : 65536 / row * row;
    setup->MaxBufSize = setup->Preferred * 16;
    return TWRC_SUCCESS;
}

// Whole rows, top-down, into the application's buffer; the last strip ends the
// transfer. 1-bit rows follow ICAP_PIXELFLAVOR; colour comes as RGB.
TW_UINT16 Source::MemXfer(TW_IMAGEMEMXFER* mem)
{
    if (!mem)
        return Fail(TWCC_BADVALUE);
    if (m_state == 7 && !m_bMemXfer)
        return SeqError();
    if (m_state == 6) {
        TW_UINT16 rc = StartTransfer(TWSX_MEMORY);
        if (rc != TWRC_SUCCESS)
            return rc;
        m_bMemXfer = true;
        m_nextRow = 0;
        m_state = 7;
    } else if (m_state != 7) {
        return SeqError();
    }
    const codec::Image& img = m_page;
    const int depth = m_settings.depth;
    const TW_UINT32 rowBytes = (img.width * (TW_UINT32)depth + 31) / 32 * 4;
    const TW_UINT32 rows = mem->Memory.Length / rowBytes;
    if (!mem->Memory.TheMem || rows == 0)
        return Fail(TWCC_BADVALUE);
    bool isHandle = (mem->Memory.Flags & TWMF_HANDLE) != 0;
    auto* out = (BYTE*)(isHandle ? Lock((TW_HANDLE)mem->Memory.TheMem) : mem->Memory.TheMem);
    if (!out)
        return Fail(TWCC_BADVALUE);
    TW_UINT32 n = img.height - m_nextRow < rows ? img.height - m_nextRow : rows;
    const bool vanilla = depth != 24 && Value(ICAP_PIXELFLAVOR) == TWPF_VANILLA;
    for (TW_UINT32 r = 0; r < n; ++r) {
        const uint8_t* src = img.bits.data() + (size_t)(m_nextRow + r) * img.stride;
        BYTE* dst = out + (size_t)r * rowBytes;
        memset(dst, 0, rowBytes);
        for (TW_UINT32 x = 0; x < (depth == 1 ? (img.width + 7) / 8 : img.width); ++x) {
            BYTE v = vanilla ? (BYTE)~src[x] : src[x];
            if (depth == 24)
                dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = v;
            else
                dst[x] = v;
        }
    }
    if (isHandle)
        Unlock((TW_HANDLE)mem->Memory.TheMem);
    mem->Compression = TWCP_NONE;
    mem->BytesPerRow = rowBytes;
    mem->Columns = img.width;
    mem->Rows = n;
    mem->XOffset = 0;
    mem->YOffset = m_nextRow;
    mem->BytesWritten = n * rowBytes;
    m_nextRow += n;
    if (m_nextRow < img.height)
        return TWRC_SUCCESS;
    TransferDone();
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
    case MSG_ENDXFER: {
        if (m_state != 7)
            return SeqError();
        if (m_bMemXfer) {
            // Abandoned halfway: the sheet has gone through all the same.
            TransferDone();
        }
        m_page = codec::Image{};
        m_pageNumber = 0;
        p->Count = Remaining();
        p->EOJ = 0;
        m_state = p->Count ? 6 : 5;
        // The user pressed Cancel in the progress window while this page went
        // through; the request comes through the event loop, as a click would.
        if (p->Count && m_settings.closeRequestAt > 0 && m_pagesDone == m_settings.closeRequestAt)
            PostMessageA(m_hNotify, WM_VS_CLOSE, 0, 0);
        break;
    }
    case MSG_RESET:
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
        case DAT_SETUPMEMXFER:
            if (msg != MSG_GET)
                return Fail(TWCC_BADPROTOCOL);
            return SetupMemXfer((TW_SETUPMEMXFER*)pData);
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
        case DAT_EXTIMAGEINFO:
            if (msg != MSG_GET)
                return Fail(TWCC_BADPROTOCOL);
            return ExtImageInfo((TW_EXTIMAGEINFO*)pData);
        case DAT_IMAGELAYOUT:
            return ImageLayout(msg, (TW_IMAGELAYOUT*)pData);
        case DAT_IMAGENATIVEXFER:
            if (msg != MSG_GET)
                return Fail(TWCC_BADPROTOCOL);
            return NativeXfer((TW_HANDLE*)pData);
        case DAT_IMAGEMEMXFER:
            if (msg != MSG_GET)
                return Fail(TWCC_BADPROTOCOL);
            return MemXfer((TW_IMAGEMEMXFER*)pData);
        }
    }
    return Fail(TWCC_BADPROTOCOL);
}

} // namespace

extern "C" TW_UINT16 WINAPI DS_Entry(TW_IDENTITY* pOrigin, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 msg, TW_MEMREF pData)
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

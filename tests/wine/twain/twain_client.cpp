// A TWAIN application written out call by call against our TWAINDSM.dll and the virtual scanner: states 1 to
// 7 and back, two sources at once, calls refused in the wrong state, capability answers, pages by native
// transfer, the frame, the extended image information, a source that adjusts values.
#include "../harness/Session.h"
#include "TwainTest.h"
#include "tolvix_twain.h"

#include <algorithm>
#include <map>

namespace {

const char kScanner[] = "Tolvix Virtual Scanner", kSecond[] = "Tolvix Second Scanner";
const TW_UINT32 kGetOnly = 0xfffffffe, kAny = 0xfffffffd, kRefused = 0xdeadbeef;
const TW_UINT16 S = TWRC_SUCCESS, F = TWRC_FAILURE, C = TWRC_CHECKSTATUS, kSeq = TWCC_SEQERROR;

DSMENTRYPROC g_dsm;
TW_IDENTITY g_app, g_src;
TW_ENTRYPOINT g_mem;
HWND g_hWnd;
std::vector<TW_UINT16> g_callbackMsgs;

TW_UINT16 Ds(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data, TW_IDENTITY* dest = &g_src)
{
    return g_dsm(&g_app, dest, dg, dat, msg, data);
}

TW_UINT16 Condition(TW_IDENTITY* dest)
{
    TW_STATUS st = {};
    return Ds(DG_CONTROL, DAT_STATUS, MSG_GET, &st, dest) == S ? st.ConditionCode : 0xffff;
}

TW_UINT32 Dpi(double dpi) { return TwFix32Bits(TwFix32(dpi)); }

TW_UINT16 SetOne(TW_UINT16 cap, TW_UINT16 type, TW_UINT32 value)
{
    TW_CAPABILITY c = {cap, TWON_ONEVALUE, g_mem.DSM_MemAllocate(sizeof(TW_ONEVALUE))};
    *(TW_ONEVALUE*)g_mem.DSM_MemLock(c.hContainer) = {type, value};
    g_mem.DSM_MemUnlock(c.hContainer);
    TW_UINT16 rc = Ds(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &c);
    g_mem.DSM_MemFree(c.hContainer);
    return rc;
}

// A call with the data its triplet takes, to the manager (DAT_IDENTITY, DAT_PARENT) or else to the source, and
// its answer: the return code and, when it fails and cc is not 0, the condition code.
struct Step {
    const char* what;
    TW_UINT32 dg;
    TW_UINT16 dat, msg, rc, cc;
};
const Step kNative = {"native transfer", DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, F, kSeq};
const Step kInfo = {"image info", DG_IMAGE, DAT_IMAGEINFO, MSG_GET, F, kSeq};
const Step kEndXfer = {"end transfer", DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, F, kSeq};
const Step kReset = {"reset transfers", DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, F, kSeq};
const Step kEnable = {"enable", DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, F, kSeq};
const Step kDisable = {"disable", DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, F, kSeq};
const Step kEvent = {"process event", DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, F, kSeq};
const Step kSetCap = {"set a capability", DG_CONTROL, DAT_CAPABILITY, MSG_SET, F, kSeq};
const Step kEnabled = {"enable", DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, S, 0};
const Step kDisabled = {"disable", DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, S, 0};
const Step kOpenDsm = {"open the manager", DG_CONTROL, DAT_PARENT, MSG_OPENDSM, S, 0};
const Step kCloseDsm = {"close the manager", DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, S, 0};
const Step kOpenDs = {"open the source", DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, S, 0};
const Step kCloseDs = {"close the source", DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, S, 0};

Step Fails(const Step& s, TW_UINT16 cc) { return {s.what, s.dg, s.dat, s.msg, F, cc}; }

void Expect(const char* state, std::initializer_list<Step> steps)
{
    for (const Step& s : steps) {
        union {
            TW_UINT8 zero[1024];
            TW_IDENTITY id;
            TW_USERINTERFACE ui;
            HWND wnd;
        } d = {};
        TW_IDENTITY* dest = s.dat == DAT_IDENTITY || s.dat == DAT_PARENT ? nullptr : &g_src;
        if (s.dat == DAT_IDENTITY)
            d.id = g_src;
        if (s.dat == DAT_PARENT)
            d.wnd = g_hWnd;
        if (s.dat == DAT_USERINTERFACE)
            d.ui.hParent = g_hWnd;
        TW_UINT16 rc = s.dat == DAT_CAPABILITY ? SetOne(CAP_XFERCOUNT, TWTY_INT16, 1) : Ds(s.dg, s.dat, s.msg, &d, dest);
        std::string what = std::string(state) + ": " + s.what;
        harness::CheckEq(rc, s.rc, what.c_str(), "");
        if (s.cc && rc == F)
            harness::CheckEq(Condition(dest), s.cc, what.c_str(), "condition code");
    }
}

// MSG_GET (its enumeration's items, sorted) or MSG_GETCURRENT (its one value); nothing when refused.
std::vector<TW_UINT32> Get(TW_UINT16 cap, TW_UINT16 msg)
{
    TW_CAPABILITY c = {cap, TWON_DONTCARE16, nullptr};
    if (Ds(DG_CONTROL, DAT_CAPABILITY, msg, &c) != S)
        return {};
    CHECK_EQ(c.ConType, msg == MSG_GET ? TWON_ENUMERATION : TWON_ONEVALUE);
    auto* e = (TW_ENUMERATION*)g_mem.DSM_MemLock(c.hContainer); // ItemType first in both containers
    bool list = c.ConType == TWON_ENUMERATION;
    const TW_UINT8* item = list ? e->ItemList : (const TW_UINT8*)&((TW_ONEVALUE*)e)->Item;
    std::vector<TW_UINT32> items(list ? e->NumItems : 1);
    for (size_t i = 0; i < items.size(); ++i)
        memcpy(&items[i], item + i * TwItemSize(e->ItemType), TwItemSize(e->ItemType));
    CHECK(!list || e->CurrentIndex < e->NumItems);
    g_mem.DSM_MemUnlock(c.hContainer);
    g_mem.DSM_MemFree(c.hContainer);
    std::sort(items.begin(), items.end());
    return items;
}

// A capability set (unless kGetOnly) with its answer, its current value then (unless kAny), and the condition
// code (unless 0).
struct CapRow {
    TW_UINT16 cap, type;
    TW_UINT32 set;
    TW_UINT16 rc, cc;
    TW_UINT32 current;
};

void ExpectCaps(const char* state, std::initializer_list<CapRow> rows)
{
    for (const CapRow& r : rows) {
        std::string what = std::string(state) + ": capability " + std::to_string(r.cap) + " " + std::to_string(r.set);
        if (r.set != kGetOnly)
            harness::CheckEq(SetOne(r.cap, r.type, r.set), r.rc, what.c_str(), "set");
        std::vector<TW_UINT32> current = r.current == kAny ? std::vector<TW_UINT32>{kAny} : Get(r.cap, MSG_GETCURRENT);
        harness::CheckEq(current.empty() ? kRefused : current[0], r.current, what.c_str(), "current");
        if (r.cc)
            harness::CheckEq(Condition(&g_src), r.cc, what.c_str(), "condition code");
    }
}

TW_UINT16 WINAPI Callback(TW_IDENTITY* pOrigin, TW_IDENTITY*, TW_UINT32, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF)
{
    CHECK(pOrigin && pOrigin->Id == g_src.Id);
    CHECK_EQ(dat, DAT_NULL);
    g_callbackMsgs.push_back(msg);
    return S;
}
TW_CALLBACK2 g_callback = {(TW_MEMREF)Callback, 0, 0};

bool ToSource(MSG& msg)
{
    TW_EVENT ev = {&msg, MSG_NULL};
    return Ds(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &ev) == TWRC_DSEVENT;
}

// The source's one word through the manager's callback, within a few seconds.
void WaitWord(TW_UINT16 msg)
{
    bool came = PumpUntil(
        ToSource, [] { return !g_callbackMsgs.empty(); }, 10000);
    harness::Check(came && g_callbackMsgs == std::vector<TW_UINT16>{msg}, "the source's word",
                   std::to_string(msg) + " expected, " + std::to_string(g_callbackMsgs.size()) + " callback(s)");
    g_callbackMsgs.clear();
}

// Opens the source named (state 4) with the callback registered.
bool Open(const char* name)
{
    g_src = TW_IDENTITY{};
    strcpy(g_src.ProductName, name);
    g_callbackMsgs.clear();
    return Ds(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &g_src, nullptr) == S &&
           Ds(DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &g_callback) == S;
}

UINT_PTR g_timer;
int g_button;
DWORD g_pressedAt;
void CALLBACK PressInSelectDialog(HWND, UINT, UINT_PTR, DWORD)
{
    const std::vector<HWND> up = harness::ProcessWindows(GetCurrentProcessId());
    if (up.empty() || (g_pressedAt && GetTickCount() - g_pressedAt < 10000))
        return;
    if (!g_pressedAt) {
        g_pressedAt = GetTickCount();
        return harness::ClickButton(up[0], g_button);
    }
    // Its button did not end it: say so, and close it so that the case goes on.
    KillTimer(nullptr, g_timer);
    harness::Check(false, "the selection dialog ends at its button", harness::WindowText(up[0]) + " still up");
    PostMessageA(up[0], WM_CLOSE, 0, 0);
}

// The manager's selection dialog, whatever its title, answered once it is up: the only window this process shows.
TW_UINT16 UserSelect(int button, TW_IDENTITY* id)
{
    g_button = button;
    g_pressedAt = 0;
    g_timer = SetTimer(nullptr, 0, 50, PressInSelectDialog);
    TW_UINT16 rc = Ds(DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, id, nullptr);
    KillTimer(nullptr, g_timer);
    return rc;
}

// One page by native transfer, in states 6 and 7: its image information and its DIB.
void NativePage(int width, int height, double dpi)
{
    TW_IMAGEINFO info = {};
    TW_HANDLE h = nullptr;
    CHECK_EQ(Ds(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), S);
    CHECK_EQ(info.ImageWidth, width);
    CHECK_EQ(info.ImageLength, height);
    CHECK_EQ(info.BitsPerPixel, 1);
    CHECK_EQ(TwFix32Bits(info.XResolution), Dpi(dpi));
    CHECK_EQ(Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h), TWRC_XFERDONE);
    unsigned hash;
    CHECK(CheckDib(h, width, height, dpi, 0, &hash));
    GlobalFree(h);
}

void Manager()
{
    // A second vendor's copy of the scanner, installed before the manager opens; the controls stay for the cases
    // after this one.
    char dir[MAX_PATH];
    std::string twain = std::string(dir, GetWindowsDirectoryA(dir, MAX_PATH)) + "\\twain_64\\";
    CreateDirectoryA((twain + "Second").c_str(), nullptr);
    CHECK(CopyFileA((twain + "Tolvix\\TolvixVScan.ds").c_str(), (twain + "Second\\SecondScan.ds").c_str(), FALSE));
    static harness::ScannerControls scanner({{"Sheets", 3}, {"PageDivisor", 8}, {"Seed", 77}});
    CHECK(!RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Tolvix\\VirtualScanner", "ProductName", REG_SZ, kSecond,
                           sizeof(kSecond)));

    g_app = {0, {}, TWON_PROTOCOLMAJOR, TWON_PROTOCOLMINOR, DG_CONTROL | DG_IMAGE | DF_APP2, "", "", "twain_client"};
    Expect("state 2", {{"first source", DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, F, kSeq}, kOpenDsm});
    CHECK(g_app.Id != 0 && (g_app.SupportedGroups & DF_DSM2));
    Expect("state 3", {Fails(kOpenDsm, kSeq)});
    g_mem.Size = sizeof(g_mem);
    CHECK_EQ(Ds(DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, &g_mem, nullptr), S);
    CHECK(g_mem.DSM_Entry && g_mem.DSM_MemAllocate && g_mem.DSM_MemFree && g_mem.DSM_MemLock && g_mem.DSM_MemUnlock);

    // Each source listed once with an Id of its own; the default is one of them, and the dialog's choice becomes it.
    std::map<TW_UINT32, std::string> listed;
    size_t count = 0;
    TW_IDENTITY id = {}, chosen = {};
    TW_UINT16 rc = Ds(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &id, nullptr);
    for (; rc == S; rc = Ds(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &id, nullptr), ++count)
        listed[id.Id] = id.ProductName;
    CHECK_EQ(rc, TWRC_ENDOFLIST);
    CHECK(listed.size() == count && !listed.count(0));
    auto named = [&](const char* name) {
        return std::count_if(listed.begin(), listed.end(), [&](const auto& l) { return l.second == name; });
    };
    CHECK(named(kScanner) == 1 && named(kSecond) == 1);
    CHECK_EQ(Ds(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &id, nullptr), S);
    CHECK_EQ(listed[id.Id], id.ProductName);
    CHECK_EQ(UserSelect(IDCANCEL, &chosen), TWRC_CANCEL);
    CHECK_EQ(UserSelect(IDOK, &chosen), S);
    CHECK_EQ(Ds(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &id, nullptr), S);
    CHECK(strcmp(id.ProductName, chosen.ProductName) == 0 && id.Id == chosen.Id);

    // Both sources open side by side, each with its own Id and identity.
    CHECK(Open(kScanner));
    TW_IDENTITY first = g_src;
    CHECK(Open(kSecond));
    CHECK(g_src.Id != first.Id && strcmp(g_src.ProductFamily, "Pagewell QX") != 0);
    CHECK(strcmp(first.ProductFamily, "Pagewell QX") == 0);
    Expect("second open", {kCloseDs});
    g_src = first;
    Expect("first open", {kCloseDs});

    // The choice outlives the session: asked first in the next one, the default is the source chosen, with the
    // Id the listing then gives it.
    Expect("state 3", {kCloseDsm, kOpenDsm});
    TW_IDENTITY def = {};
    CHECK_EQ(Ds(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &def, nullptr), S);
    CHECK_EQ(std::string(def.ProductName), std::string(chosen.ProductName));
    listed.clear();
    for (rc = Ds(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &id, nullptr); rc == S;
         rc = Ds(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &id, nullptr))
        listed[id.Id] = id.ProductName;
    CHECK(named(def.ProductName) == 1 && listed[def.Id] == def.ProductName);
}

void States()
{
    CHECK(!Open("No Such Scanner"));
    CHECK_EQ(Condition(nullptr), TWCC_NODS);
    CHECK(Open(kScanner));
    CHECK(g_src.Id != 0 && g_src.Id != g_app.Id && (g_src.SupportedGroups & DF_DS2));
    TW_IDENTITY nobody = g_src;
    nobody.Id = 0x7777;
    CHECK_EQ(Ds(DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &g_callback, &nobody), F);
    CHECK_EQ(Condition(nullptr), TWCC_BADDEST);
    Expect("state 4", {Fails(kOpenDs, 0), Fails(kCloseDsm, kSeq), kNative, kInfo, kEndXfer, kReset, kDisable, kEvent});

    CHECK(Get(ICAP_XRESOLUTION, MSG_GET) == std::vector<TW_UINT32>({Dpi(200), Dpi(300), Dpi(400)}));
    CHECK(Get(ICAP_SUPPORTEDSIZES, MSG_GET) == std::vector<TW_UINT32>({0, 1, 2, 3, 4, 5, 6, 7, 10, 54}));
    CHECK(Get(ICAP_PIXELTYPE, MSG_GET) == std::vector<TW_UINT32>({TWPT_BW}));
    ExpectCaps("state 4", {
                              {ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW, S, 0, kAny},
                              {ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY, F, TWCC_BADVALUE, kAny},
                              {ICAP_BITDEPTH, TWTY_UINT16, 1, S, 0, kAny},
                              {ICAP_XRESOLUTION, TWTY_FIX32, Dpi(250), F, TWCC_BADVALUE, kAny},
                              {ICAP_XRESOLUTION, TWTY_FIX32, Dpi(300), S, 0, Dpi(300)},
                              {ICAP_YRESOLUTION, TWTY_FIX32, Dpi(300), S, 0, kAny},
                              {ICAP_SUPPORTEDSIZES, TWTY_UINT16, 11, F, 0, kAny},
                              {ICAP_SUPPORTEDSIZES, TWTY_UINT16, TWSS_USLETTER, S, 0, kAny},
                              {ICAP_ORIENTATION, TWTY_UINT16, TWOR_LANDSCAPE, S, 0, kAny},
                              {CAP_XFERCOUNT, TWTY_INT16, 0, F, 0, kAny},
                              {CAP_XFERCOUNT, TWTY_INT16, 2, S, 0, 2},
                              {CAP_FEEDERLOADED, TWTY_BOOL, kGetOnly, S, 0, 1},
                              {CAP_UICONTROLLABLE, TWTY_BOOL, kGetOnly, S, 0, 1},
                              {CAP_FEEDERLOADED, TWTY_BOOL, 0, F, 0, kAny},
                              {CAP_FEEDERENABLED, TWTY_BOOL, 1, S, 0, kAny},
                              {CAP_INDICATORS, TWTY_BOOL, 0, S, 0, kAny},
                              {0x7123, TWTY_UINT16, kGetOnly, F, TWCC_CAPUNSUPPORTED, kRefused},
                          });

    // State 5, then 6 on the source's word through the manager's callback, then two pages of US Letter,
    // landscape, at 300 dpi, sides / 8; the feeder still holds one sheet, but the batch is done.
    Expect("state 4", {kEnabled});
    Expect("state 5", {kEnable, kSetCap, kNative, Fails(kCloseDs, 0)});
    WaitWord(MSG_XFERREADY);
    TW_PENDINGXFERS px = {};
    CHECK_EQ(Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &px), S);
    CHECK_EQ(px.Count, 2);
    Expect("state 6", {kEndXfer});
    for (int page = 1; page <= 2; ++page) {
        NativePage(3300 / 8, 2550 / 8, 300);
        Expect("state 7", {kNative, kReset});
        CHECK_EQ(Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px), S);
        CHECK_EQ(px.Count, 2 - page);
    }
    Expect("state 5 after the batch", {kNative, kDisabled, kCloseDs});
}

TW_FRAME Inches(double l, double t, double r, double b) { return {TwFix32(l), TwFix32(t), TwFix32(r), TwFix32(b)}; }

// The frame: set inside the scan area, clipped to it, in the units set, reset to the default paper; the page
// delivered is the frame, with its extended image information.
void FrameAndExtendedInfo()
{
    const TW_FRAME a4 = Inches(0, 0, 8.268, 11.693), set = Inches(1, 2, 5, 6.5);
    struct {
        TW_UINT16 units, msg, rc;
        TW_FRAME frame, got; // sent; then read back unless the call failed
        TW_UINT32 size;      // ICAP_SUPPORTEDSIZES then
    } frames[] = {
        {TWUN_INCHES, MSG_GETDEFAULT, S, {}, a4, kAny},
        {TWUN_INCHES, MSG_SET, S, set, set, TWSS_NONE},
        {TWUN_CENTIMETERS, MSG_GET, S, {}, Inches(2.54, 5.08, 12.7, 16.51), kAny},
        {TWUN_INCHES, MSG_SET, C, Inches(1, 1, 30, 30), Inches(1, 1, 9.843, 14), kAny},
        {TWUN_INCHES, MSG_SET, F, Inches(20, 20, 30, 30), {}, kAny},
        {TWUN_INCHES, MSG_RESET, S, {}, a4, TWSS_A4},
    };
    CHECK(Open(kScanner));
    for (const auto& f : frames) {
        std::string what = "frame " + std::to_string(f.msg) + " " + std::to_string(f.frame.Right.Whole);
        TW_IMAGELAYOUT got = {f.frame, 0, 0, 0};
        CHECK_EQ(SetOne(ICAP_UNITS, TWTY_UINT16, f.units), S);
        harness::CheckEq(Ds(DG_IMAGE, DAT_IMAGELAYOUT, f.msg, &got), f.rc, what.c_str(), "");
        if (f.rc == F)
            continue;
        if (f.msg == MSG_SET || f.msg == MSG_RESET)
            CHECK_EQ(Ds(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &got), S);
        double off = 0;
        for (int i = 0; i < 4; ++i)
            off += fabs(TwFix32ToDouble((&got.Frame.Left)[i]) - TwFix32ToDouble((&f.got.Left)[i]));
        harness::Check(off < 0.02, what.c_str(), "frame off by " + std::to_string(off));
        if (f.size != kAny)
            harness::Check(Get(ICAP_SUPPORTEDSIZES, MSG_GETCURRENT) == std::vector<TW_UINT32>{f.size}, what.c_str());
    }

    TW_IMAGELAYOUT frame = {set, 0, 0, 0};
    CHECK_EQ(Ds(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &frame), S);
    ExpectCaps("native", {{ICAP_XRESOLUTION, TWTY_FIX32, Dpi(200), S, 0, kAny}});
    Expect("state 4", {kEnabled});
    WaitWord(MSG_XFERREADY);
    Expect("state 6", {{"set the frame", DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, F, kSeq}});
    NativePage(800 / 8, 900 / 8, 200);
    // Document, page and frame number, and a bar code the source does not read (8: not supported).
    const TW_UINT16 ids[4] = {0x123a, 0x123b, 0x123d, 0x1200}, rcs[4] = {S, S, S, 8};
    TW_UINT8 buf[sizeof(TW_EXTIMAGEINFO) + 3 * sizeof(TW_INFO)] = {};
    auto* ext = (TW_EXTIMAGEINFO*)buf;
    ext->NumInfos = 4;
    for (int i = 0; i < 4; ++i)
        ext->Info[i].InfoID = ids[i];
    CHECK_EQ(Ds(DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, ext), S);
    for (int i = 0; i < 4; ++i) {
        harness::CheckEq(ext->Info[i].ReturnCode, rcs[i], "extended info", std::to_string(ids[i]));
        if (rcs[i] == S)
            harness::CheckEq(ext->Info[i].Item, (TW_UINTPTR)1, "extended info", std::to_string(ids[i]));
    }
    // After page 1 of several the next waits; MSG_RESET drops it and the rest.
    TW_PENDINGXFERS px = {};
    CHECK_EQ(Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px), S);
    CHECK(px.Count != 0);
    CHECK_EQ(Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &px), S);
    CHECK_EQ(px.Count, 0);
    Expect("closing", {kDisabled, kCloseDs});
}

// A source that adjusts what it cannot do, and says so; then back to state 2.
void AdjustingSource()
{
    harness::ScannerControls rounding({{"Rounding", 1}});
    CHECK(Open(kScanner));
    ExpectCaps("rounding", {
                               {ICAP_XRESOLUTION, TWTY_FIX32, Dpi(200), C, 0, Dpi(150)},
                               {ICAP_XRESOLUTION, TWTY_FIX32, Dpi(400), C, 0, Dpi(450)},
                               {CAP_XFERCOUNT, TWTY_INT16, 2, C, 0, 0xffff},
                               {ICAP_SUPPORTEDSIZES, TWTY_UINT16, TWSS_MAXSIZE, C, 0, TWSS_USLEGAL},
                               {ICAP_XRESOLUTION, TWTY_FIX32, Dpi(300), S, 0, kAny},
                           });
    Expect("rounding", {kCloseDs});
    Expect("state 3", {kCloseDsm, {"default source", DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, F, 0}});
}

} // namespace

int main(int argc, char** argv)
{
    char path[MAX_PATH];
    GetSystemDirectoryA(path, MAX_PATH - 16);
    HMODULE hDsm = LoadLibraryA(strcat(path, "\\TWAINDSM.dll"));
    g_dsm = hDsm ? (DSMENTRYPROC)(void*)GetProcAddress(hDsm, "DSM_Entry") : nullptr;
    g_hWnd = CreateWindowA("STATIC", "twain_client", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    if (!g_dsm) {
        printf("no DSM_Entry in %s\n", path);
        return 1;
    }
    // In this order: each case starts where the one before left the manager.
    return harness::RunCases(argc, argv,
                             {{"manager", Manager},
                              {"states", States},
                              {"frame and extended info", FrameAndExtendedInfo},
                              {"adjusting source", AdjustingSource}});
}

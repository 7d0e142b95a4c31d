// A scripted TWAIN application: walks states 1 to 7 and back through our
// TWAINDSM.dll and the virtual scanner, tries calls in the wrong states,
// negotiates capabilities, checks the pages delivered by native and by memory
// transfer, the frame, the extended image information, a source that adjusts
// values, and a second source installed beside the first.
#include "check.h"
#include "tolvix_twain.h"

#include <string.h>

#include <string>
#include <vector>

namespace {

DSMENTRYPROC g_dsm;
TW_IDENTITY g_app;
TW_IDENTITY g_src;
TW_ENTRYPOINT g_entry;
std::vector<TW_UINT16> g_callbackMsgs;

TW_UINT16 Dsm(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    return g_dsm(&g_app, nullptr, DG_CONTROL, dat, msg, data);
}

TW_UINT16 Ds(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    return g_dsm(&g_app, &g_src, dg, dat, msg, data);
}

TW_UINT16 DsmCondition()
{
    TW_STATUS st = {};
    return Dsm(DAT_STATUS, MSG_GET, &st) == TWRC_SUCCESS ? st.ConditionCode : 0xffff;
}

TW_UINT16 DsCondition()
{
    TW_STATUS st = {};
    return Ds(DG_CONTROL, DAT_STATUS, MSG_GET, &st) == TWRC_SUCCESS ? st.ConditionCode : 0xffff;
}

// A call that the source must refuse in its present state.
#define CHECK_SEQERROR(call)                      \
    do {                                          \
        CHECK_EQ((call), TWRC_FAILURE);           \
        CHECK_EQ(DsCondition(), TWCC_SEQERROR);   \
    } while (0)

TW_UINT16 WINAPI Callback(TW_IDENTITY* pOrigin, TW_IDENTITY*, TW_UINT32, TW_UINT16 dat, TW_UINT16 msg,
                          TW_MEMREF pData)
{
    CHECK(pOrigin && pOrigin->Id == g_src.Id);
    CHECK_EQ(dat, DAT_NULL);
    CHECK(pData == (TW_MEMREF)&g_callbackMsgs);
    g_callbackMsgs.push_back(msg);
    return TWRC_SUCCESS;
}

TW_UINT16 SetOne(TW_UINT16 cap, TW_UINT16 type, TW_UINT32 value)
{
    TW_CAPABILITY c = {cap, TWON_ONEVALUE, g_entry.DSM_MemAllocate(sizeof(TW_ONEVALUE))};
    auto* v = (TW_ONEVALUE*)g_entry.DSM_MemLock(c.hContainer);
    v->ItemType = type;
    v->Item = value;
    g_entry.DSM_MemUnlock(c.hContainer);
    TW_UINT16 rc = Ds(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &c);
    g_entry.DSM_MemFree(c.hContainer);
    return rc;
}

// MSG_GETCURRENT as one value; 0xdeadbeef when the source refuses.
TW_UINT32 GetCurrent(TW_UINT16 cap)
{
    TW_CAPABILITY c = {cap, TWON_DONTCARE16, nullptr};
    if (Ds(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &c) != TWRC_SUCCESS)
        return 0xdeadbeef;
    CHECK_EQ(c.ConType, TWON_ONEVALUE);
    auto* v = (TW_ONEVALUE*)g_entry.DSM_MemLock(c.hContainer);
    TW_UINT32 item = v->Item;
    if (v->ItemType == TWTY_BOOL || v->ItemType == TWTY_UINT16 || v->ItemType == TWTY_INT16)
        item &= 0xffff;
    g_entry.DSM_MemUnlock(c.hContainer);
    g_entry.DSM_MemFree(c.hContainer);
    return item;
}

// MSG_GET as the list of allowed values of an enumeration.
std::vector<TW_UINT32> GetEnumeration(TW_UINT16 cap, TW_UINT16 itemType)
{
    std::vector<TW_UINT32> items;
    TW_CAPABILITY c = {cap, TWON_DONTCARE16, nullptr};
    if (Ds(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &c) != TWRC_SUCCESS)
        return items;
    CHECK_EQ(c.ConType, TWON_ENUMERATION);
    auto* e = (TW_ENUMERATION*)g_entry.DSM_MemLock(c.hContainer);
    CHECK_EQ(e->ItemType, itemType);
    TW_UINT32 size = itemType == TWTY_FIX32 ? 4 : 2;
    for (TW_UINT32 i = 0; i < e->NumItems; ++i) {
        TW_UINT32 v = 0;
        memcpy(&v, e->ItemList + i * size, size);
        items.push_back(v);
    }
    CHECK(e->CurrentIndex < e->NumItems);
    g_entry.DSM_MemUnlock(c.hContainer);
    g_entry.DSM_MemFree(c.hContainer);
    return items;
}

// Sets the virtual scanner's behaviour values; read at its next MSG_OPENDS.
void SetScanner(std::vector<std::pair<const char*, DWORD>> values)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Tolvix\\VirtualScanner", 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        CHECK(!"scanner settings");
        return;
    }
    for (const auto& v : values)
        RegSetValueExA(key, v.first, 0, REG_DWORD, (const BYTE*)&v.second, sizeof(v.second));
    RegCloseKey(key);
}

// Runs the event loop, passing each message to the source, until `done`.
template <typename Done>
bool PumpUntil(Done done, TW_UINT16* eventMsg = nullptr)
{
    DWORD deadline = GetTickCount() + 10000;
    while (!done()) {
        if ((int)(deadline - GetTickCount()) <= 0)
            return false;
        MSG msg;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            continue;
        }
        TW_EVENT ev = {&msg, MSG_NULL};
        TW_UINT16 rc = Ds(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &ev);
        if (ev.TWMessage != MSG_NULL && eventMsg)
            *eventMsg = ev.TWMessage;
        if (rc == TWRC_DSEVENT)
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

void CheckDib(TW_HANDLE h, const TW_IMAGEINFO& info)
{
    auto* bih = (const BITMAPINFOHEADER*)GlobalLock(h);
    CHECK(bih != nullptr);
    if (!bih)
        return;
    CHECK_EQ(bih->biSize, 40);
    CHECK_EQ(bih->biWidth, info.ImageWidth);
    CHECK_EQ(bih->biHeight, info.ImageLength);
    CHECK_EQ(bih->biBitCount, 1);
    CHECK_EQ(bih->biXPelsPerMeter, 300 * 10000 / 254);
    DWORD stride = ((DWORD)bih->biWidth + 31) / 32 * 4;
    CHECK_EQ(bih->biSizeImage, stride * (DWORD)bih->biHeight);
    CHECK(GlobalSize(h) >= 48 + bih->biSizeImage);
    GlobalUnlock(h);
    GlobalFree(h);
}

// The manager's selection dialog, whatever its title: the dialog box this
// thread shows during MSG_USERSELECT.
BOOL CALLBACK FindDialog(HWND hWnd, LPARAM found)
{
    char cls[16] = {};
    GetClassNameA(hWnd, cls, sizeof(cls));
    if (strcmp(cls, "#32770") == 0 && IsWindowVisible(hWnd))
        *(HWND*)found = hWnd;
    return TRUE;
}

int g_button;
VOID CALLBACK PressButton(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND dlg = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, (LPARAM)&dlg);
    if (dlg) {
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(g_button, BN_CLICKED), 0);
        KillTimer(nullptr, id);
    }
}

TW_UINT16 UserSelect(int button, TW_IDENTITY* id)
{
    g_button = button;
    SetTimer(nullptr, 0, 50, PressButton);
    return Dsm(DAT_IDENTITY, MSG_USERSELECT, id);
}

// Opens the source named `name` (state 4) with a callback.
bool OpenWithCallback(const char* name)
{
    g_src = TW_IDENTITY{};
    strcpy(g_src.ProductName, name);
    if (Dsm(DAT_IDENTITY, MSG_OPENDS, &g_src) != TWRC_SUCCESS)
        return false;
    TW_CALLBACK2 cb = {(TW_MEMREF)Callback, (TW_UINTPTR)&g_callbackMsgs, 0};
    CHECK_EQ(Ds(DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &cb), TWRC_SUCCESS);
    g_callbackMsgs.clear();
    return true;
}

// Enabled without its dialog, up to MSG_XFERREADY (state 6).
bool Enable(HWND hWnd)
{
    TW_USERINTERFACE ui = {FALSE, FALSE, (TW_HANDLE)hWnd};
    CHECK_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    bool ready = PumpUntil([] { return !g_callbackMsgs.empty(); });
    CHECK(ready && g_callbackMsgs[0] == MSG_XFERREADY);
    return ready;
}

// From state 7 or 6 back to 4, and closed.
void EndAndClose(HWND hWnd)
{
    TW_PENDINGXFERS px = {};
    if (Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px) != TWRC_SUCCESS || px.Count != 0)
        CHECK_EQ(Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &px), TWRC_SUCCESS);
    TW_USERINTERFACE ui = {FALSE, FALSE, (TW_HANDLE)hWnd};
    CHECK_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_CLOSEDS, &g_src), TWRC_SUCCESS);
}

TW_UINT16 SetLayout(double l, double t, double r, double b)
{
    TW_IMAGELAYOUT lay = {};
    lay.Frame = {TwFix32(l), TwFix32(t), TwFix32(r), TwFix32(b)};
    return Ds(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &lay);
}

std::vector<double> Layout(TW_UINT16 msg)
{
    TW_IMAGELAYOUT lay = {};
    CHECK_EQ(Ds(DG_IMAGE, DAT_IMAGELAYOUT, msg, &lay), TWRC_SUCCESS);
    const TW_FRAME& f = lay.Frame;
    return {TwFix32ToDouble(f.Left), TwFix32ToDouble(f.Top), TwFix32ToDouble(f.Right), TwFix32ToDouble(f.Bottom)};
}

bool Near(const std::vector<double>& a, const std::vector<double>& b)
{
    bool same = a.size() == b.size();
    for (size_t i = 0; same && i < a.size(); ++i)
        same = a[i] > b[i] - 0.01 && a[i] < b[i] + 0.01;
    if (!same && a.size() == 4)
        printf("  frame %.3f %.3f %.3f %.3f\n", a[0], a[1], a[2], a[3]);
    return same;
}

// Page 1 by native transfer as top-down rows of `stride` bytes.
std::vector<BYTE> NativeRows(size_t* stride)
{
    TW_HANDLE h = nullptr;
    std::vector<BYTE> rows;
    CHECK_EQ(Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h), TWRC_XFERDONE);
    auto* bih = h ? (const BITMAPINFOHEADER*)GlobalLock(h) : nullptr;
    if (!bih)
        return rows;
    *stride = ((size_t)bih->biWidth + 31) / 32 * 4;
    const BYTE* bits = (const BYTE*)(bih + 1) + 8;
    for (LONG y = bih->biHeight - 1; y >= 0; --y)
        rows.insert(rows.end(), bits + y * *stride, bits + (y + 1) * *stride);
    GlobalUnlock(h);
    GlobalFree(h);
    return rows;
}

// Page 1 by memory transfer into small strips of whole rows.
std::vector<BYTE> MemoryRows(size_t* stride, int* strips)
{
    TW_SETUPMEMXFER setup = {};
    CHECK_EQ(Ds(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
    CHECK(setup.MinBufSize > 0 && setup.MinBufSize <= setup.Preferred && setup.Preferred <= setup.MaxBufSize);
    std::vector<BYTE> rows, buffer(setup.MinBufSize);
    TW_UINT16 rc = TWRC_SUCCESS;
    *strips = 0;
    for (TW_UINT32 next = 0; rc == TWRC_SUCCESS && *strips < 10000; ++*strips) {
        TW_IMAGEMEMXFER mem = {};
        mem.Memory = {TWMF_APPOWNS | TWMF_POINTER, (TW_UINT32)buffer.size(), buffer.data()};
        rc = Ds(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &mem);
        if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE)
            break;
        CHECK_EQ(mem.YOffset, next);
        CHECK_EQ(mem.BytesWritten, mem.Rows * mem.BytesPerRow);
        next += mem.Rows;
        *stride = mem.BytesPerRow;
        rows.insert(rows.end(), buffer.begin(), buffer.begin() + mem.BytesWritten);
    }
    CHECK_EQ(rc, TWRC_XFERDONE);
    return rows;
}

}  // namespace

int main()
{
    char path[MAX_PATH];
    GetSystemDirectoryA(path, MAX_PATH - 16);
    strcat(path, "\\TWAINDSM.dll");
    HMODULE hDsm = LoadLibraryA(path);
    CHECK(hDsm != nullptr);
    if (!hDsm)
        return 1;
    g_dsm = (DSMENTRYPROC)(void*)GetProcAddress(hDsm, "DSM_Entry");
    CHECK(g_dsm != nullptr);
    HWND hWnd = CreateWindowA("STATIC", "twain_client", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    SetScanner({{"Sheets", 3}, {"PageDivisor", 8}, {"Seed", 77}});

    // State 2: nothing but MSG_OPENDSM.
    g_app = TW_IDENTITY{};
    g_app.ProtocolMajor = TWON_PROTOCOLMAJOR;
    g_app.ProtocolMinor = TWON_PROTOCOLMINOR;
    g_app.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
    strcpy(g_app.ProductName, "twain_client");
    TW_IDENTITY id = {};
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_GETFIRST, &id), TWRC_FAILURE);
    CHECK_EQ(DsmCondition(), TWCC_SEQERROR);

    // State 3.
    CHECK_EQ(Dsm(DAT_PARENT, MSG_OPENDSM, &hWnd), TWRC_SUCCESS);
    CHECK(g_app.Id != 0);
    CHECK(g_app.SupportedGroups & DF_DSM2);
    CHECK_EQ(Dsm(DAT_PARENT, MSG_OPENDSM, &hWnd), TWRC_FAILURE);
    CHECK_EQ(DsmCondition(), TWCC_SEQERROR);
    g_entry = TW_ENTRYPOINT{};
    g_entry.Size = sizeof(g_entry);
    CHECK_EQ(Dsm(DAT_ENTRYPOINT, MSG_GET, &g_entry), TWRC_SUCCESS);
    CHECK(g_entry.DSM_Entry && g_entry.DSM_MemAllocate && g_entry.DSM_MemFree && g_entry.DSM_MemLock &&
          g_entry.DSM_MemUnlock);

    // A second vendor's folder beside ours, holding a copy of the scanner under
    // another name: the manager finds sources only when first asked for them.
    char twain[MAX_PATH], second[MAX_PATH];
    GetWindowsDirectoryA(twain, MAX_PATH - 64);
    snprintf(second, sizeof(second), "%s\\twain_64\\Second", twain);
    CreateDirectoryA(second, nullptr);
    strcat(twain, "\\twain_64\\Tolvix\\TolvixVScan.ds");
    strcat(second, "\\SecondScan.ds");
    CHECK(CopyFileA(twain, second, FALSE));
    HKEY key;
    CHECK(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Tolvix\\VirtualScanner", 0, nullptr, 0, KEY_WRITE, nullptr,
                          &key, nullptr) == ERROR_SUCCESS);
    RegSetValueExA(key, "ProductName", 0, REG_SZ, (const BYTE*)"Tolvix Second Scanner", 22);
    RegCloseKey(key);

    std::vector<std::string> names;
    std::vector<TW_UINT32> ids;
    TW_UINT16 rc = Dsm(DAT_IDENTITY, MSG_GETFIRST, &id);
    while (rc == TWRC_SUCCESS) {
        names.push_back(id.ProductName);
        ids.push_back(id.Id);
        rc = Dsm(DAT_IDENTITY, MSG_GETNEXT, &id);
    }
    CHECK_EQ(rc, TWRC_ENDOFLIST);
    bool found = false, secondFound = false;
    for (const std::string& n : names) {
        printf("source: %s\n", n.c_str());
        found = found || n == "Tolvix Virtual Scanner";
        secondFound = secondFound || n == "Tolvix Second Scanner";
    }
    CHECK(secondFound);
    CHECK(found);
    CHECK_EQ(names.size(), ids.size());
    for (size_t i = 0; i < ids.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            CHECK(ids[i] != 0 && ids[i] != ids[j]);
    // The default is one of the list, with its Id; the dialog's choice becomes it.
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_GETDEFAULT, &id), TWRC_SUCCESS);
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == id.ProductName)
            CHECK_EQ(ids[i], id.Id);
    TW_IDENTITY chosen = {};
    CHECK_EQ(UserSelect(IDCANCEL, &chosen), TWRC_CANCEL);
    CHECK_EQ(UserSelect(IDOK, &chosen), TWRC_SUCCESS);
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_GETDEFAULT, &id), TWRC_SUCCESS);
    CHECK(strcmp(id.ProductName, chosen.ProductName) == 0 && id.Id == chosen.Id);

    // State 4.
    g_src = TW_IDENTITY{};
    strcpy(g_src.ProductName, "No Such Scanner");
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_OPENDS, &g_src), TWRC_FAILURE);
    CHECK_EQ(DsmCondition(), TWCC_NODS);
    g_src = TW_IDENTITY{};
    strcpy(g_src.ProductName, "Tolvix Virtual Scanner");
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_OPENDS, &g_src), TWRC_SUCCESS);
    CHECK(g_src.Id != 0 && g_src.Id != g_app.Id);
    CHECK(g_src.SupportedGroups & DF_DS2);
    TW_IDENTITY again = g_src;
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_OPENDS, &again), TWRC_FAILURE);
    CHECK_EQ(DsmCondition(), TWCC_MAXCONNECTIONS);
    CHECK_EQ(Dsm(DAT_PARENT, MSG_CLOSEDSM, &hWnd), TWRC_FAILURE);
    CHECK_EQ(DsmCondition(), TWCC_SEQERROR);

    TW_CALLBACK2 cb = {(TW_MEMREF)Callback, (TW_UINTPTR)&g_callbackMsgs, 0};
    TW_IDENTITY nobody = g_src;
    nobody.Id = 0x7777;
    CHECK_EQ(g_dsm(&g_app, &nobody, DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &cb), TWRC_FAILURE);
    CHECK_EQ(DsmCondition(), TWCC_BADDEST);
    CHECK_EQ(Ds(DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &cb), TWRC_SUCCESS);

    TW_HANDLE hImage = nullptr;
    TW_PENDINGXFERS px = {};
    TW_IMAGEINFO info = {};
    TW_USERINTERFACE ui = {FALSE, FALSE, (TW_HANDLE)hWnd};
    TW_EVENT ev = {nullptr, MSG_NULL};
    CHECK_SEQERROR(Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hImage));
    CHECK_SEQERROR(Ds(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
    CHECK_SEQERROR(Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px));
    CHECK_SEQERROR(Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &px));
    CHECK_SEQERROR(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui));
    CHECK_SEQERROR(Ds(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &ev));

    // Capabilities.
    std::vector<TW_UINT32> dpis = GetEnumeration(ICAP_XRESOLUTION, TWTY_FIX32);
    CHECK_EQ(dpis.size(), 3);
    if (dpis.size() == 3) {
        CHECK_EQ(TwFix32ToDouble(TwBitsFix32(dpis[0])), 200);
        CHECK_EQ(TwFix32ToDouble(TwBitsFix32(dpis[2])), 400);
    }
    std::vector<TW_UINT32> sizes = GetEnumeration(ICAP_SUPPORTEDSIZES, TWTY_UINT16);
    CHECK_EQ(sizes.size(), 10);
    for (TW_UINT32 want : {0, 1, 2, 3, 4, 5, 6, 7, 10, 54}) {
        bool has = false;
        for (TW_UINT32 v : sizes)
            has = has || v == want;
        CHECK(has);
    }
    CHECK_EQ(GetEnumeration(ICAP_PIXELTYPE, TWTY_UINT16).size(), 1);
    CHECK_EQ(SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW), TWRC_SUCCESS);
    CHECK_EQ(SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_FAILURE);
    CHECK_EQ(DsCondition(), TWCC_BADVALUE);
    CHECK_EQ(SetOne(ICAP_BITDEPTH, TWTY_UINT16, 1), TWRC_SUCCESS);
    CHECK_EQ(SetOne(ICAP_XRESOLUTION, TWTY_FIX32, TwFix32Bits(TwFix32(250))), TWRC_FAILURE);
    CHECK_EQ(DsCondition(), TWCC_BADVALUE);
    CHECK_EQ(SetOne(ICAP_XRESOLUTION, TWTY_FIX32, TwFix32Bits(TwFix32(300))), TWRC_SUCCESS);
    CHECK_EQ(SetOne(ICAP_YRESOLUTION, TWTY_FIX32, TwFix32Bits(TwFix32(300))), TWRC_SUCCESS);
    CHECK_EQ(TwFix32ToDouble(TwBitsFix32(GetCurrent(ICAP_XRESOLUTION))), 300);
    CHECK_EQ(SetOne(ICAP_SUPPORTEDSIZES, TWTY_UINT16, 11), TWRC_FAILURE);
    CHECK_EQ(SetOne(ICAP_SUPPORTEDSIZES, TWTY_UINT16, TWSS_USLETTER), TWRC_SUCCESS);
    CHECK_EQ(SetOne(ICAP_ORIENTATION, TWTY_UINT16, TWOR_LANDSCAPE), TWRC_SUCCESS);
    CHECK_EQ(SetOne(CAP_XFERCOUNT, TWTY_INT16, 0), TWRC_FAILURE);
    CHECK_EQ(SetOne(CAP_XFERCOUNT, TWTY_INT16, 2), TWRC_SUCCESS);
    CHECK_EQ(GetCurrent(CAP_XFERCOUNT), 2);
    CHECK_EQ(GetCurrent(CAP_FEEDERLOADED), 1);
    CHECK_EQ(GetCurrent(CAP_UICONTROLLABLE), 1);
    CHECK_EQ(SetOne(CAP_FEEDERLOADED, TWTY_BOOL, 0), TWRC_FAILURE);
    CHECK_EQ(SetOne(CAP_FEEDERENABLED, TWTY_BOOL, 1), TWRC_SUCCESS);
    CHECK_EQ(SetOne(CAP_INDICATORS, TWTY_BOOL, 0), TWRC_SUCCESS);
    CHECK_EQ(GetCurrent(0x7123), 0xdeadbeef);
    CHECK_EQ(DsCondition(), TWCC_CAPUNSUPPORTED);

    // State 5, then 6 on the source's word through the manager's callback.
    CHECK_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    CHECK_SEQERROR(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
    CHECK_SEQERROR(SetOne(CAP_XFERCOUNT, TWTY_INT16, 1));
    CHECK_SEQERROR(Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hImage));
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_CLOSEDS, &g_src), TWRC_FAILURE);
    CHECK_EQ(DsmCondition(), TWCC_SEQERROR);
    CHECK(PumpUntil([] { return !g_callbackMsgs.empty(); }));
    CHECK(g_callbackMsgs.size() == 1 && g_callbackMsgs[0] == MSG_XFERREADY);

    // States 6 and 7: two pages of US Letter, landscape, at 300 dpi, sides / 8.
    CHECK_EQ(Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &px), TWRC_SUCCESS);
    CHECK_EQ(px.Count, 2);
    CHECK_EQ(Ds(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    CHECK_EQ(info.ImageWidth, 3300 / 8);
    CHECK_EQ(info.ImageLength, 2550 / 8);
    CHECK_EQ(info.BitsPerPixel, 1);
    CHECK_EQ(TwFix32ToDouble(info.XResolution), 300);
    CHECK_SEQERROR(Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px));
    for (int page = 1; page <= 2; ++page) {
        hImage = nullptr;
        CHECK_EQ(Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hImage), TWRC_XFERDONE);
        CHECK_SEQERROR(Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hImage));
        CHECK_SEQERROR(Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &px));
        CheckDib(hImage, info);
        CHECK_EQ(Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px), TWRC_SUCCESS);
        CHECK_EQ(px.Count, 2 - page);
    }
    // Back in state 5: the feeder still holds one sheet, but the batch is done.
    CHECK_SEQERROR(Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hImage));
    CHECK_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_CLOSEDS, &g_src), TWRC_SUCCESS);

    // Without a callback the source's word comes back through MSG_PROCESSEVENT;
    // MSG_RESET abandons the batch.
    g_src = TW_IDENTITY{};
    strcpy(g_src.ProductName, "Tolvix Virtual Scanner");
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_OPENDS, &g_src), TWRC_SUCCESS);
    CHECK_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    TW_UINT16 eventMsg = MSG_NULL;
    CHECK(PumpUntil([&] { return eventMsg != MSG_NULL; }, &eventMsg));
    CHECK_EQ(eventMsg, MSG_XFERREADY);
    CHECK_EQ(Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &px), TWRC_SUCCESS);
    CHECK_EQ(px.Count, 0);
    CHECK_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);

    // The source's dialog: Cancel asks the application to close the source.
    g_callbackMsgs.clear();
    CHECK_EQ(Ds(DG_CONTROL, DAT_CALLBACK2, MSG_REGISTER_CALLBACK, &cb), TWRC_SUCCESS);
    ui.ShowUI = TRUE;
    CHECK_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    HWND dlg = FindWindowA("#32770", "Tolvix Virtual Scanner");
    CHECK(dlg != nullptr && IsWindowVisible(dlg));
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    CHECK(PumpUntil([] { return !g_callbackMsgs.empty(); }));
    CHECK(g_callbackMsgs.size() == 1 && g_callbackMsgs[0] == MSG_CLOSEDSREQ);
    CHECK_EQ(Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    CHECK(FindWindowA("#32770", "Tolvix Virtual Scanner") == nullptr);
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_CLOSEDS, &g_src), TWRC_SUCCESS);

    // Both sources open side by side, each with its own Id and identity.
    TW_IDENTITY first = {};
    strcpy(first.ProductName, "Tolvix Virtual Scanner");
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_OPENDS, &first), TWRC_SUCCESS);
    CHECK(OpenWithCallback("Tolvix Second Scanner"));
    CHECK(g_src.Id != first.Id);
    CHECK(strcmp(first.ProductFamily, "Pagewell QX") == 0);
    CHECK(strcmp(g_src.ProductFamily, "Pagewell QX") != 0);
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_CLOSEDS, &g_src), TWRC_SUCCESS);
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_CLOSEDS, &first), TWRC_SUCCESS);

    // The frame: set inside the scan area, clipped beyond it, in the units set,
    // reset to the default paper; the page delivered is the frame.
    CHECK(OpenWithCallback("Tolvix Virtual Scanner"));
    std::vector<double> a4 = Layout(MSG_GETDEFAULT);
    CHECK(Near(a4, {0, 0, 8.268, 11.693}));
    CHECK_EQ(SetLayout(1, 2, 5, 6.5), TWRC_SUCCESS);
    CHECK(Near(Layout(MSG_GET), {1, 2, 5, 6.5}));
    CHECK_EQ(GetCurrent(ICAP_SUPPORTEDSIZES), TWSS_NONE);
    CHECK_EQ(SetOne(ICAP_UNITS, TWTY_UINT16, TWUN_CENTIMETERS), TWRC_SUCCESS);
    CHECK(Near(Layout(MSG_GET), {2.54, 5.08, 12.7, 16.51}));
    CHECK_EQ(SetOne(ICAP_UNITS, TWTY_UINT16, TWUN_INCHES), TWRC_SUCCESS);
    CHECK_EQ(SetLayout(1, 1, 30, 30), TWRC_CHECKSTATUS);
    std::vector<double> clipped = Layout(MSG_GET);
    CHECK(clipped.size() == 4 && clipped[2] < 30 && clipped[3] < 30);
    CHECK_EQ(SetLayout(20, 20, 30, 30), TWRC_FAILURE);
    TW_IMAGELAYOUT lay = {};
    CHECK_EQ(Ds(DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, &lay), TWRC_SUCCESS);
    CHECK(Near(Layout(MSG_GET), a4));
    CHECK_EQ(GetCurrent(ICAP_SUPPORTEDSIZES), TWSS_A4);
    CHECK_EQ(SetLayout(1, 2, 5, 6.5), TWRC_SUCCESS);
    CHECK_EQ(SetOne(ICAP_XRESOLUTION, TWTY_FIX32, TwFix32Bits(TwFix32(200))), TWRC_SUCCESS);
    CHECK(Enable(hWnd));
    CHECK_SEQERROR(SetLayout(0, 0, 4, 4));
    CHECK_EQ(Ds(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    CHECK_EQ(info.ImageWidth, 800 / 8);
    CHECK_EQ(info.ImageLength, 900 / 8);
    size_t nativeStride = 0;
    std::vector<BYTE> native = NativeRows(&nativeStride);

    // Extended image information of the page just transferred.
    TW_UINT8 extBuf[sizeof(TW_EXTIMAGEINFO) + 3 * sizeof(TW_INFO)] = {};
    auto* ext = (TW_EXTIMAGEINFO*)extBuf;
    ext->NumInfos = 4;
    const TW_UINT16 infoIds[4] = {0x123a, 0x123b, 0x123d, 0x1200};  // document, page, frame number; a bar code
    for (int i = 0; i < 4; ++i)
        ext->Info[i].InfoID = infoIds[i];
    CHECK_EQ(Ds(DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, ext), TWRC_SUCCESS);
    const TW_UINT16 wantRc[4] = {TWRC_SUCCESS, TWRC_SUCCESS, TWRC_SUCCESS, 8};  // 8: information not supported
    const TW_UINTPTR wantItem[3] = {1, 1, 1};
    for (int i = 0; i < 4; ++i) {
        CHECK_EQ(ext->Info[i].ReturnCode, wantRc[i]);
        if (i < 3)
            CHECK_EQ(ext->Info[i].Item, wantItem[i]);
    }
    EndAndClose(hWnd);

    // The same page by memory transfer, in strips: the same rows, top-down.
    CHECK(OpenWithCallback("Tolvix Virtual Scanner"));
    CHECK_EQ(SetLayout(1, 2, 5, 6.5), TWRC_SUCCESS);
    CHECK_EQ(SetOne(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY), TWRC_SUCCESS);
    CHECK(Enable(hWnd));
    CHECK_SEQERROR(Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &hImage));
    size_t memStride = 0;
    int strips = 0;
    std::vector<BYTE> memory = MemoryRows(&memStride, &strips);
    CHECK(strips > 1);
    CHECK_EQ(memStride, nativeStride);
    CHECK(!native.empty() && memory == native);
    EndAndClose(hWnd);

    // A source that adjusts what it cannot do, and says so.
    SetScanner({{"Rounding", 1}});
    CHECK(OpenWithCallback("Tolvix Virtual Scanner"));
    struct Adjusted {
        TW_UINT16 cap, type;
        TW_UINT32 asked, got;
    } adjusted[] = {
        {ICAP_XRESOLUTION, TWTY_FIX32, TwFix32Bits(TwFix32(200)), TwFix32Bits(TwFix32(150))},
        {ICAP_XRESOLUTION, TWTY_FIX32, TwFix32Bits(TwFix32(400)), TwFix32Bits(TwFix32(450))},
        {CAP_XFERCOUNT, TWTY_INT16, 2, 0xffff},
        {ICAP_SUPPORTEDSIZES, TWTY_UINT16, TWSS_MAXSIZE, TWSS_USLEGAL},
    };
    for (const Adjusted& row : adjusted) {
        CHECK_EQ(SetOne(row.cap, row.type, row.asked), TWRC_CHECKSTATUS);
        CHECK_EQ(GetCurrent(row.cap), row.got);
    }
    CHECK_EQ(SetOne(ICAP_XRESOLUTION, TWTY_FIX32, TwFix32Bits(TwFix32(300))), TWRC_SUCCESS);
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_CLOSEDS, &g_src), TWRC_SUCCESS);
    SetScanner({{"Rounding", 0}});

    // Back to state 2.
    CHECK_EQ(Dsm(DAT_PARENT, MSG_CLOSEDSM, &hWnd), TWRC_SUCCESS);
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_GETDEFAULT, &id), TWRC_FAILURE);
    FreeLibrary(hDsm);
    DestroyWindow(hWnd);
    printf("%d failure(s)\n", g_nFailures);
    return g_nFailures;
}

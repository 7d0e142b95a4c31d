// A scripted TWAIN application: walks states 1 to 7 and back through our
// TWAINDSM.dll and the virtual scanner, tries calls in the wrong states,
// negotiates capabilities and checks the pages delivered by native transfer.
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

void SetScanner(int sheets, int divisor)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Tolvix\\VirtualScanner", 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        CHECK(!"scanner settings");
        return;
    }
    DWORD v = (DWORD)sheets;
    RegSetValueExA(key, "Sheets", 0, REG_DWORD, (const BYTE*)&v, sizeof(v));
    v = (DWORD)divisor;
    RegSetValueExA(key, "PageDivisor", 0, REG_DWORD, (const BYTE*)&v, sizeof(v));
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

VOID CALLBACK PressSelect(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND dlg = FindWindowA("#32770", "Select Source");
    if (dlg) {
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        KillTimer(nullptr, id);
    }
}

VOID CALLBACK PressCancel(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND dlg = FindWindowA("#32770", "Select Source");
    if (dlg) {
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        KillTimer(nullptr, id);
    }
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
    SetScanner(3, 8);

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

    std::vector<std::string> names;
    TW_UINT16 rc = Dsm(DAT_IDENTITY, MSG_GETFIRST, &id);
    while (rc == TWRC_SUCCESS) {
        names.push_back(id.ProductName);
        rc = Dsm(DAT_IDENTITY, MSG_GETNEXT, &id);
    }
    CHECK_EQ(rc, TWRC_ENDOFLIST);
    bool found = false;
    for (const std::string& n : names) {
        printf("source: %s\n", n.c_str());
        found = found || n == "Tolvix Virtual Scanner";
    }
    CHECK(found);
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_GETDEFAULT, &id), TWRC_SUCCESS);
    CHECK(strcmp(id.ProductName, "Tolvix Virtual Scanner") == 0);

    // The selection dialog: Cancel keeps the default, Select returns the choice.
    SetTimer(nullptr, 0, 50, PressCancel);
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_USERSELECT, &id), TWRC_CANCEL);
    SetTimer(nullptr, 0, 50, PressSelect);
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_USERSELECT, &id), TWRC_SUCCESS);
    CHECK(strcmp(id.ProductName, "Tolvix Virtual Scanner") == 0);

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
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_OPENDS, &g_src), TWRC_SUCCESS);
    CHECK(strcmp(g_src.ProductName, "Tolvix Virtual Scanner") == 0);
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

    // Back to state 2.
    CHECK_EQ(Dsm(DAT_PARENT, MSG_CLOSEDSM, &hWnd), TWRC_SUCCESS);
    CHECK_EQ(Dsm(DAT_IDENTITY, MSG_GETDEFAULT, &id), TWRC_FAILURE);
    FreeLibrary(hDsm);
    DestroyWindow(hWnd);
    printf("%d failure(s)\n", g_nFailures);
    return g_nFailures;
}

// TWAINDSM.dll: a small TWAIN 2 source manager. It finds the data sources under
// the Windows folder's TWAIN folder, loads the one an application opens and
// passes the application's calls to it, and relays what a source has to say
// (DAT_NULL) to the application's registered callback.
#include <windows.h>

#include "tolvix_twain.h"
#include "resource.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#ifndef TOLVIX_TWAIN_FOLDER
#error "TOLVIX_TWAIN_FOLDER names the folder of data sources under the Windows folder"
#endif
#define TOLVIX_STR2(x) #x
#define TOLVIX_STR(x)  TOLVIX_STR2(x)

extern "C" TW_UINT16 WINAPI DSM_Entry(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG, TW_UINT16 DAT,
                                      TW_UINT16 msg, TW_MEMREF pData);

namespace {

const char kDefaultKey[] = "Software\\Tolvix\\TWAINDSM";
const char kDefaultValue[] = "Default Source";
const char kDefaultFileValue[] = "Default Source File";

HINSTANCE g_hInstance;

struct SourceInfo {
    std::string path;
    TW_IDENTITY identity;
};

struct OpenSource {
    TW_UINT32 appId;
    HMODULE hModule;
    DSENTRYPROC pEntry;
    TW_IDENTITY identity;
    TWAINCALLBACKPROC pCallback;
    TW_UINTPTR refCon;
};

struct Application {
    TW_IDENTITY* pIdentity; // the application's own record: relayed calls name it
    TW_UINT32 id;
    HWND hParent;
    TW_UINT16 condition;
    bool bListed;                    // sources are found when first asked for
    std::vector<SourceInfo> sources; // in the order found; Ids 1..N
    size_t nextSource;
    // The saved default, loaded alone to answer MSG_GETDEFAULT before any listing;
    // it keeps its Id (1) in the listing that may follow.
    bool bProbed;
    bool bProbeFound;
    SourceInfo probe;
};

// All state lives on the threads of the applications that call us; TWAIN
// applications make their calls from one thread.
std::vector<Application> g_apps;
std::vector<OpenSource> g_open;
// Applications are numbered apart from the sources (1..N) so that a call is
// never mistaken for one in the other direction.
const TW_UINT32 kFirstAppId = 0x1000;
TW_UINT32 g_nextAppId = kFirstAppId;
TW_UINT16 g_orphanCondition = TWCC_SUCCESS;

TW_HANDLE WINAPI MemAllocate(TW_UINT32 size) { return GlobalAlloc(GHND, size); }

void WINAPI MemFree(TW_HANDLE h) { GlobalFree(h); }

TW_MEMREF WINAPI MemLock(TW_HANDLE h) { return GlobalLock(h); }

void WINAPI MemUnlock(TW_HANDLE h) { GlobalUnlock(h); }

TW_ENTRYPOINT EntryPoints()
{
    TW_ENTRYPOINT e = {};
    e.Size = sizeof(e);
    e.DSM_Entry = DSM_Entry;
    e.DSM_MemAllocate = MemAllocate;
    e.DSM_MemFree = MemFree;
    e.DSM_MemLock = MemLock;
    e.DSM_MemUnlock = MemUnlock;
    return e;
}

Application* FindApp(const TW_IDENTITY* id)
{
    if (!id)
        return nullptr;
    for (Application& a : g_apps)
        if (a.id == id->Id && a.id != 0)
            return &a;
    return nullptr;
}

OpenSource* FindOpen(TW_UINT32 appId, const TW_IDENTITY* id)
{
    if (!id)
        return nullptr;
    for (OpenSource& s : g_open)
        if (s.identity.Id == id->Id && (appId == 0 || s.appId == appId))
            return &s;
    return nullptr;
}

bool SameName(const TW_STR32 a, const TW_STR32 b) { return strncmp(a, b, sizeof(TW_STR32)) == 0; }

bool NameLess(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) < 0; }

// In each folder its sources first, then its subfolders, both by name.
void FindSourceFiles(const std::string& folder, std::vector<std::string>& out, int depth)
{
    if (depth > 4)
        return;
    std::vector<std::string> dirs, files;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            dirs.push_back(name);
        else if (name.size() > 3 && _stricmp(name.c_str() + name.size() - 3, ".ds") == 0)
            files.push_back(name);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    std::sort(dirs.begin(), dirs.end(), NameLess);
    std::sort(files.begin(), files.end(), NameLess);
    for (const std::string& f : files)
        out.push_back(folder + "\\" + f);
    for (const std::string& d : dirs)
        FindSourceFiles(folder + "\\" + d, out, depth + 1);
}

// The identity a source file reports, loaded only for the question.
bool ReadIdentity(const std::string& path, TW_IDENTITY* id)
{
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE h = LoadLibraryA(path.c_str());
    SetErrorMode(oldMode);
    if (!h)
        return false;
    auto entry = (DSENTRYPROC)(void*)GetProcAddress(h, "DS_Entry");
    *id = TW_IDENTITY{};
    bool ok = entry && entry(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GET, id) == TWRC_SUCCESS && id->ProductName[0];
    id->ProductName[sizeof(TW_STR32) - 1] = 0;
    FreeLibrary(h);
    return ok;
}

// The folder sources are found in; empty when the Windows folder is unknown.
std::string SourceFolder()
{
    char windir[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return "";
    return std::string(windir) + "\\" TOLVIX_STR(TOLVIX_TWAIN_FOLDER);
}

std::vector<SourceInfo> FindSources()
{
    std::vector<SourceInfo> sources;
    std::string folder = SourceFolder();
    if (folder.empty())
        return sources;
    std::vector<std::string> files;
    FindSourceFiles(folder, files, 0);
    for (const std::string& path : files) {
        TW_IDENTITY id;
        if (ReadIdentity(path, &id))
            sources.push_back({path, id});
    }
    return sources;
}

std::string SavedValue(const char* value, DWORD cbMax)
{
    std::string text(cbMax, '\0');
    DWORD size = cbMax - 1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kDefaultKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    DWORD type = 0;
    if (RegQueryValueExA(key, value, nullptr, &type, (BYTE*)&text[0], &size) != ERROR_SUCCESS || type != REG_SZ)
        text[0] = 0;
    RegCloseKey(key);
    return text.c_str();
}

std::string SavedDefault() { return SavedValue(kDefaultValue, sizeof(TW_STR32)); }

// The default's name, and the file it was found in.
void SaveDefault(const SourceInfo& s)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kDefaultKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        const char* name = s.identity.ProductName;
        RegSetValueExA(key, kDefaultValue, 0, REG_SZ, (const BYTE*)name, (DWORD)strlen(name) + 1);
        RegSetValueExA(key, kDefaultFileValue, 0, REG_SZ, (const BYTE*)s.path.c_str(), (DWORD)s.path.size() + 1);
        RegCloseKey(key);
    }
}

// Loading every source takes a while: only when an application asks. Sources
// are numbered in the order found, the default loaded before keeping its Id.
void ListSources(Application& app)
{
    if (app.bListed)
        return;
    app.bListed = true;
    app.sources = FindSources();
    TW_UINT32 next = app.bProbeFound ? 2 : 1;
    for (SourceInfo& s : app.sources)
        s.identity.Id = app.bProbeFound && _stricmp(s.path.c_str(), app.probe.path.c_str()) == 0 ? 1 : next++;
}

// The saved choice when it is still installed, else the first source found.
// Before any listing, the saved choice's own file alone answers, as long as it
// still reports that name.
const SourceInfo* DefaultSource(Application& app, bool bProbe)
{
    const std::string saved = SavedDefault(), savedFile = SavedValue(kDefaultFileValue, MAX_PATH);
    if (bProbe && !app.bListed && !saved.empty()) {
        if (!app.bProbed) {
            app.bProbed = true;
            // Only a file the listing would find, under the sources' folder.
            app.probe.path = savedFile;
            std::string folder = SourceFolder() + "\\";
            app.bProbeFound = folder.size() > 1 && app.probe.path.size() > folder.size() &&
                              _strnicmp(app.probe.path.c_str(), folder.c_str(), folder.size()) == 0 &&
                              app.probe.path.find("\\..") == std::string::npos &&
                              ReadIdentity(app.probe.path, &app.probe.identity) &&
                              saved == app.probe.identity.ProductName;
            app.probe.identity.Id = 1;
        }
        if (app.bProbeFound)
            return &app.probe;
    }
    ListSources(app);
    if (app.sources.empty())
        return nullptr;
    const SourceInfo* named = nullptr;
    for (const SourceInfo& s : app.sources) {
        if (saved != s.identity.ProductName)
            continue;
        if (_stricmp(s.path.c_str(), savedFile.c_str()) == 0)
            return &s;
        if (!named)
            named = &s;
    }
    if (named) // found elsewhere: remembered there for the next time
        SaveDefault(*named);
    return named ? named : &app.sources.front();
}

TW_UINT16 Fail(Application* app, TW_UINT16 condition)
{
    if (app)
        app->condition = condition;
    else
        g_orphanCondition = condition;
    return TWRC_FAILURE;
}

struct SelectState {
    Application* app;
    int chosen;
};

INT_PTR CALLBACK SelectProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: {
        SetWindowLongPtrA(hDlg, GWLP_USERDATA, lParam);
        auto* st = (SelectState*)lParam;
        HWND list = GetDlgItem(hDlg, IDC_SOURCES);
        const SourceInfo* def = DefaultSource(*st->app, false);
        for (const SourceInfo& s : st->app->sources) {
            LRESULT i = SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)s.identity.ProductName);
            if (&s == def)
                SendMessageA(list, LB_SETCURSEL, (WPARAM)i, 0);
        }
        EnableWindow(GetDlgItem(hDlg, IDOK), !st->app->sources.empty());
        return TRUE;
    }
    case WM_COMMAND: {
        auto* st = (SelectState*)GetWindowLongPtrA(hDlg, GWLP_USERDATA);
        int id = LOWORD(wParam);
        if (id == IDC_SOURCES && HIWORD(wParam) == LBN_DBLCLK)
            id = IDOK;
        if (id == IDOK) {
            // The list is sorted: find the choice again by name.
            HWND list = GetDlgItem(hDlg, IDC_SOURCES);
            LRESULT sel = SendMessageA(list, LB_GETCURSEL, 0, 0);
            char name[sizeof(TW_STR32)] = {};
            if (sel == LB_ERR || SendMessageA(list, LB_GETTEXTLEN, (WPARAM)sel, 0) >= (LRESULT)sizeof(name))
                return TRUE;
            SendMessageA(list, LB_GETTEXT, (WPARAM)sel, (LPARAM)name);
            for (size_t i = 0; i < st->app->sources.size(); ++i)
                if (strcmp(st->app->sources[i].identity.ProductName, name) == 0)
                    st->chosen = (int)i;
            EndDialog(hDlg, IDOK);
            return TRUE;
        }
        if (id == IDCANCEL) {
            EndDialog(hDlg, IDCANCEL);
            return TRUE;
        }
        break;
    }
    }
    return FALSE;
}

TW_UINT16 OpenDsm(TW_IDENTITY* pOrigin, TW_MEMREF pData)
{
    if (!pOrigin)
        return Fail(nullptr, TWCC_BADPROTOCOL);
    if (FindApp(pOrigin))
        return Fail(FindApp(pOrigin), TWCC_SEQERROR);
    Application app = {};
    app.pIdentity = pOrigin;
    app.id = g_nextAppId++;
    app.hParent = pData ? *(HWND*)pData : nullptr;
    pOrigin->Id = app.id;
    pOrigin->SupportedGroups |= DF_DSM2;
    g_apps.push_back(app);
    return TWRC_SUCCESS;
}

TW_UINT16 CloseDsm(Application* app)
{
    for (const OpenSource& s : g_open)
        if (s.appId == app->id)
            return Fail(app, TWCC_SEQERROR);
    app->pIdentity->Id = 0;
    g_apps.erase(g_apps.begin() + (app - g_apps.data()));
    return TWRC_SUCCESS;
}

TW_UINT16 OpenDs(Application* app, TW_IDENTITY* pId)
{
    if (!pId)
        return Fail(app, TWCC_BADVALUE);
    // By its Id from the list, else by its name, else the default.
    ListSources(*app);
    const SourceInfo* info = nullptr;
    for (const SourceInfo& s : app->sources)
        if (pId->Id != 0 && s.identity.Id == pId->Id &&
            (pId->ProductName[0] == 0 || SameName(s.identity.ProductName, pId->ProductName)))
            info = &s;
    for (const SourceInfo& s : app->sources)
        if (!info && pId->ProductName[0] && SameName(s.identity.ProductName, pId->ProductName))
            info = &s;
    if (!info && pId->ProductName[0] == 0)
        info = DefaultSource(*app, false);
    if (!info)
        return Fail(app, TWCC_NODS);
    for (const OpenSource& s : g_open) // one copy of a source's module serves one session
        if (SameName(s.identity.ProductName, info->identity.ProductName))
            return Fail(app, TWCC_MAXCONNECTIONS);

    HMODULE h = LoadLibraryA(info->path.c_str());
    auto entry = h ? (DSENTRYPROC)(void*)GetProcAddress(h, "DS_Entry") : nullptr;
    if (!entry) {
        if (h)
            FreeLibrary(h);
        return Fail(app, TWCC_NODS);
    }
    *pId = info->identity;
    if (pId->SupportedGroups & DF_DS2) {
        TW_ENTRYPOINT e = EntryPoints();
        entry(app->pIdentity, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &e);
    }
    TW_UINT16 rc = entry(app->pIdentity, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, pId);
    if (rc != TWRC_SUCCESS) {
        TW_STATUS st = {};
        entry(app->pIdentity, DG_CONTROL, DAT_STATUS, MSG_GET, &st);
        FreeLibrary(h);
        return Fail(app, st.ConditionCode ? st.ConditionCode : TWCC_BUMMER);
    }
    g_open.push_back({app->id, h, entry, *pId, nullptr, 0});
    return TWRC_SUCCESS;
}

TW_UINT16 CloseDs(Application* app, TW_IDENTITY* pId)
{
    OpenSource* s = FindOpen(app->id, pId);
    if (!s)
        return Fail(app, TWCC_NODS);
    TW_UINT16 rc = s->pEntry(app->pIdentity, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, pId);
    if (rc != TWRC_SUCCESS) {
        TW_STATUS st = {};
        s->pEntry(app->pIdentity, DG_CONTROL, DAT_STATUS, MSG_GET, &st);
        return Fail(app, st.ConditionCode ? st.ConditionCode : TWCC_SEQERROR);
    }
    HMODULE h = s->hModule;
    g_open.erase(g_open.begin() + (s - g_open.data()));
    FreeLibrary(h);
    return TWRC_SUCCESS;
}

TW_UINT16 Identity(Application* app, TW_UINT16 msg, TW_IDENTITY* pId)
{
    switch (msg) {
    case MSG_GETFIRST:
        app->nextSource = 0;
        [[fallthrough]];
    case MSG_GETNEXT:
        ListSources(*app);
        if (!pId)
            return Fail(app, TWCC_BADVALUE);
        if (app->nextSource >= app->sources.size())
            return TWRC_ENDOFLIST;
        *pId = app->sources[app->nextSource++].identity;
        return TWRC_SUCCESS;
    case MSG_GETDEFAULT: {
        const SourceInfo* def = DefaultSource(*app, true);
        if (!pId)
            return Fail(app, TWCC_BADVALUE);
        if (!def)
            return Fail(app, TWCC_NODS);
        *pId = def->identity;
        return TWRC_SUCCESS;
    }
    case MSG_USERSELECT: {
        if (!pId)
            return Fail(app, TWCC_BADVALUE);
        ListSources(*app);
        SelectState st = {app, -1};
        INT_PTR r =
            DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_SELECTSOURCE), app->hParent, SelectProc, (LPARAM)&st);
        if (r == -1)
            return Fail(app, TWCC_LOWMEMORY);
        if (r != IDOK || st.chosen < 0)
            return TWRC_CANCEL;
        *pId = app->sources[(size_t)st.chosen].identity;
        SaveDefault(app->sources[(size_t)st.chosen]);
        return TWRC_SUCCESS;
    }
    case MSG_OPENDS:
        return OpenDs(app, pId);
    case MSG_CLOSEDS:
        return CloseDs(app, pId);
    }
    return Fail(app, TWCC_BADPROTOCOL);
}

TW_UINT16 RegisterCallback(Application* app, TW_IDENTITY* pDest, TW_UINT16 DAT, TW_MEMREF pData)
{
    OpenSource* s = FindOpen(app->id, pDest);
    if (!s)
        return Fail(app, TWCC_BADDEST);
    if (!pData)
        return Fail(app, TWCC_BADVALUE);
    if (DAT == DAT_CALLBACK) {
        auto* cb = (TW_CALLBACK*)pData;
        s->pCallback = (TWAINCALLBACKPROC)cb->CallBackProc;
        s->refCon = cb->RefCon;
    } else {
        auto* cb = (TW_CALLBACK2*)pData;
        s->pCallback = (TWAINCALLBACKPROC)cb->CallBackProc;
        s->refCon = cb->RefCon;
    }
    return TWRC_SUCCESS;
}

// A source speaks: pass the message to its application's callback. Without one
// the source is told so and keeps the message for the application's event loop.
TW_UINT16 FromSource(OpenSource* s, TW_UINT16 DAT, TW_UINT16 msg)
{
    if (DAT != DAT_NULL)
        return TWRC_FAILURE;
    switch (msg) {
    case MSG_XFERREADY:
    case MSG_CLOSEDSREQ:
    case MSG_CLOSEDSOK:
    case MSG_DEVICEEVENT:
        break;
    default:
        return TWRC_FAILURE;
    }
    Application* app = nullptr;
    for (Application& a : g_apps)
        if (a.id == s->appId)
            app = &a;
    if (!app || !s->pCallback)
        return TWRC_FAILURE;
    TW_IDENTITY origin = s->identity;
    s->pCallback(&origin, app->pIdentity, DG_CONTROL, DAT_NULL, msg, (TW_MEMREF)s->refCon);
    return TWRC_SUCCESS;
}

} // namespace

extern "C" TW_UINT16 WINAPI DSM_Entry(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG, TW_UINT16 DAT,
                                      TW_UINT16 msg, TW_MEMREF pData)
{
    if (pOrigin) {
        OpenSource* fromSource = pDest ? FindOpen(pDest->Id, pOrigin) : nullptr;
        if (fromSource && !FindApp(pOrigin))
            return FromSource(fromSource, DAT, msg);
    }
    TW_UINT32 dg = DG & 0xffff;
    if (dg == DG_CONTROL && DAT == DAT_PARENT && msg == MSG_OPENDSM)
        return OpenDsm(pOrigin, pData);

    Application* app = FindApp(pOrigin);
    if (dg == DG_CONTROL && DAT == DAT_STATUS && !pDest) {
        if (!pData)
            return Fail(app, TWCC_BADVALUE);
        auto* st = (TW_STATUS*)pData;
        st->ConditionCode = app ? app->condition : g_orphanCondition;
        st->Data = 0;
        if (app)
            app->condition = TWCC_SUCCESS;
        else
            g_orphanCondition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    if (!app)
        return Fail(nullptr, TWCC_SEQERROR);
    app->condition = TWCC_SUCCESS;

    if (dg == DG_CONTROL && (DAT == DAT_CALLBACK || DAT == DAT_CALLBACK2)) {
        if (msg != MSG_REGISTER_CALLBACK)
            return Fail(app, TWCC_BADPROTOCOL);
        return RegisterCallback(app, pDest, DAT, pData);
    }
    if (!pDest) {
        if (dg != DG_CONTROL)
            return Fail(app, TWCC_BADPROTOCOL);
        switch (DAT) {
        case DAT_PARENT:
            if (msg == MSG_CLOSEDSM)
                return CloseDsm(app);
            return Fail(app, msg == MSG_OPENDSM ? TWCC_SEQERROR : TWCC_BADPROTOCOL);
        case DAT_IDENTITY:
            return Identity(app, msg, (TW_IDENTITY*)pData);
        case DAT_ENTRYPOINT:
            if (msg != MSG_GET || !pData)
                return Fail(app, TWCC_BADPROTOCOL);
            *(TW_ENTRYPOINT*)pData = EntryPoints();
            return TWRC_SUCCESS;
        }
        return Fail(app, TWCC_BADPROTOCOL);
    }
    OpenSource* s = FindOpen(app->id, pDest);
    if (!s)
        return Fail(app, TWCC_BADDEST);
    if (dg == DG_CONTROL && DAT == DAT_IDENTITY && msg == MSG_CLOSEDS)
        return CloseDs(app, pDest);
    return s->pEntry(pOrigin, DG, DAT, msg, pData);
}

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_hInstance = hInstance;
        DisableThreadLibraryCalls(hInstance);
    }
    return TRUE;
}

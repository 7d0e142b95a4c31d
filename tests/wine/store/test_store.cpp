// Drives the page store's naming checks, the overwrite check and the export
// engine in this process, with the real TIFF32.dll and PDFLIB.dll from the
// program folder. Pages are real page files written through WritePage. The
// overwrite dialog and message 4011 are answered from a second thread that
// finds them on screen and clicks their buttons, as a user would.
//
// The files the exports write are listed in expect.txt and checked afterwards
// by check_outputs.sh with libtiff's tools, qpdf, poppler and ImageMagick.
//
// Usage: test_store [case ...]        TOLVIX_STORE_WORK = the work folder (Unix path)
//        test_store --hold[-shared] FILE READY RELEASE   (helper: holds FILE open, without
//                                  sharing or sharing reading and writing)
//        test_store --try-open FILE             (helper: exit 0 when FILE opens)
#include <windows.h>

#include <io.h>
#include <stdio.h>
#include <string.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "codec/dib.h"
#include "harness/Harness.h"
#include "res/resource.h"
#include "settings/ScanSettings.h"
#include "store/OverwriteDlg.h"
#include "store/PageStore.h"
#include "tests/native/pages.h"

using namespace harness;

namespace {

std::string g_work;  // Windows path of the work folder; expect.txt names files relative to it
FILE* g_expect = nullptr;

// ---- helpers in other processes -------------------------------------------------

std::string SelfPath()
{
    char sz[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, sz, sizeof sz);
    return sz;
}

HANDLE Spawn(const std::string& args)
{
    std::string cmd = "\"" + SelfPath() + "\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    // Under Wine CreateProcess has once failed here for no reason the test
    // could see: ask again until the deadline, and say why when it keeps failing.
    DWORD err = 0;
    if (!WaitFor([&] {
            if (::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
                return true;
            err = ::GetLastError();
            return false;
        }, 10000)) {
        fprintf(stderr, "CreateProcess failed (%lu): %s\n", err, cmd.c_str());
        return nullptr;
    }
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Exit code of another process that tries to open the file for reading with
// every sharing mode: 0 opened, 1 refused, 2 no such file.
DWORD OtherProcessOpens(const std::string& path)
{
    HANDLE h = Spawn("--try-open \"" + path + "\"");
    if (!h)
        return 99;
    DWORD code = 98;
    if (::WaitForSingleObject(h, 30000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(h, &code);
    ::CloseHandle(h);
    return code;
}

// Another process holding a file open without sharing until released.
class Holder {
public:
    // bShared: the holder lets others read and write, but not delete.
    explicit Holder(const std::string& path, bool bShared = false)
    {
        static int s_n = 0;
        std::string tag = std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++s_n);
        std::string ready = "TolvixHoldReady-" + tag, release = "TolvixHoldRelease-" + tag;
        m_hReady = ::CreateEventA(nullptr, TRUE, FALSE, ready.c_str());
        m_hRelease = ::CreateEventA(nullptr, TRUE, FALSE, release.c_str());
        m_hProcess = Spawn(std::string(bShared ? "--hold-shared" : "--hold") + " \"" + path + "\" " + ready + " " +
                           release);
        HANDLE both[2] = {m_hReady, m_hProcess};
        m_bHeld = m_hProcess && ::WaitForMultipleObjects(2, both, FALSE, 30000) == WAIT_OBJECT_0;
    }
    ~Holder()
    {
        Release();
        ::CloseHandle(m_hReady);
        ::CloseHandle(m_hRelease);
    }
    bool Held() const { return m_bHeld; }
    void Release()
    {
        if (!m_hProcess)
            return;
        ::SetEvent(m_hRelease);
        ::WaitForSingleObject(m_hProcess, 30000);
        ::CloseHandle(m_hProcess);
        m_hProcess = nullptr;
    }

private:
    HANDLE m_hReady, m_hRelease, m_hProcess = nullptr;
    bool m_bHeld = false;
};

int HoldMain(const char* path, const char* ready, const char* release, bool bShared)
{
    HANDLE h = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, bShared ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    HANDLE hReady = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, ready);
    HANDLE hRelease = ::OpenEventA(SYNCHRONIZE, FALSE, release);
    if (!hReady || !hRelease)
        return 2;
    ::SetEvent(hReady);
    ::WaitForSingleObject(hRelease, 120000);
    ::CloseHandle(h);
    return 0;
}

int TryOpenMain(const char* path)
{
    HANDLE h = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        return 0;
    }
    DWORD err = ::GetLastError();
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? 2 : 1;
}

// ---- files ---------------------------------------------------------------------

std::string Folder(const std::string& name)
{
    std::string path = g_work + "\\" + name;
    RemoveTree(path);
    ::CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

std::vector<unsigned char> Bytes(const std::string& path)
{
    std::vector<unsigned char> b;
    ReadFileBytes(path, b);
    return b;
}

void Expect(const std::string& line)
{
    fprintf(g_expect, "%s\n", line.c_str());
    fflush(g_expect);
}

// A path below the work folder as the check script names it.
std::string Rel(const std::string& path)
{
    std::string rel = path.substr(g_work.size() + 1);
    for (char& c : rel)
        if (c == '\\')
            c = '/';
    return rel;
}

int CountFiles(const std::string& folder)
{
    int n = 0;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ++n;
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
    return n;
}

// ---- a batch of pages ----------------------------------------------------------

// Pages shaped like scanned documents: A4 at 100 dpi, a different text on each.
std::vector<unsigned char> PageDib(int n)
{
    testpages::Page page = n % 4 == 3 ? testpages::Noise(611, 388, 100, 0.3, n)
                                      : testpages::Document(testpages::A4Width(100), testpages::A4Height(100), 100, n);
    std::vector<uint8_t> dib = codec::MakePackedDib(page.View());
    return std::vector<unsigned char>(dib.begin(), dib.end());
}

// Page n as a BMP file, kept beside the batches for the check script: the page
// files themselves are held without sharing and deleted with their batch.
std::string RefPage(int n)
{
    std::string path = g_work + "\\refs\\page" + std::to_string(n) + ".bmp";
    if (!FileExists(path)) {
        std::vector<unsigned char> dib = PageDib(n);
        DWORD size = (DWORD)(14 + dib.size()), offBits = 14 + 40 + 8;
        std::vector<unsigned char> bmp = {'B', 'M'};
        for (DWORD v : {size, 0ul, offBits})
            for (int i = 0; i < 4; ++i)
                bmp.push_back((unsigned char)(v >> (8 * i)));
        bmp.insert(bmp.end(), dib.begin(), dib.end());
        ::CreateDirectoryA((g_work + "\\refs").c_str(), nullptr);
        WriteFileBytes(path, bmp);
    }
    return path;
}

// The settings and page store as the program has them after a scan of count pages.
struct Batch {
    CScanSettings settings;
    CPageStore store;
    int count = 0;

    Batch(const std::string& workFolder, int nPages)
    {
        snprintf(settings.m_szWorkFolder, sizeof settings.m_szWorkFolder, "%s\\", workFolder.c_str());
        for (int n = 1; n <= nPages; ++n)
            AddPage(PageDib(n));
    }
    ~Batch() { store.DeleteAllPages(settings.m_szWorkFolder, "Doc", count); }

    void AddPage(const std::vector<unsigned char>& dib)
    {
        HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, dib.size());
        memcpy(::GlobalLock(h), dib.data(), dib.size());
        ::GlobalUnlock(h);
        char szName[256];
        settings.BuildPageFileName(szName, count + 1);
        store.GrowPageTable();
        CHECK(store.WritePage(h, szName, count));
        ::GlobalFree(h);
        ++count;
    }

    std::string PageFile(int n)
    {
        char sz[256];
        settings.BuildPageFileName(sz, n);
        return sz;
    }

    void Target(const std::string& folder, const char* stem, int type, int compression, int from)
    {
        strcpy(settings.m_szSaveFolder, folder.c_str());
        strcpy(settings.m_szFileName, stem);
        settings.m_nFileType = type;
        settings.m_nCompression = compression;
        settings.m_nNumberFrom = from;
    }

    int Export() { return store.ExportPages(&settings, count); }

    // After an export every page is held again: readable through the store,
    // closed to other programs.
    void CheckPagesHeld()
    {
        for (int n = 1; n <= count; ++n) {
            std::string name = PageFile(n);
            HLOCAL h = store.ReadPage(name.c_str(), n - 1);
            CHECK(h != nullptr);
            if (h) {
                std::vector<unsigned char> dib = PageDib(n);
                CHECK(::LocalSize(h) >= dib.size() && memcmp(::LocalLock(h), dib.data(), dib.size()) == 0);
                ::LocalUnlock(h);
                ::LocalFree(h);
            }
        }
        CHECK_EQ(OtherProcessOpens(PageFile(1)), 1ul);
        CHECK_EQ(OtherProcessOpens(PageFile(count)), 1ul);
    }

    // The check script compares output page i of file with page n.
    void ExpectTiff(const std::string& file, int index, int n, const char* compression)
    {
        Expect("tiff " + Rel(file) + " " + std::to_string(index) + " " + Rel(RefPage(n)) + " " + compression);
    }
    void ExpectPdf(const std::string& file, int index, int n, const char* encoding)
    {
        Expect("pdf " + Rel(file) + " " + std::to_string(index) + " " + Rel(RefPage(n)) + " " + encoding);
    }
};

// ---- answering the dialogs -----------------------------------------------------

enum class Kind { Overwrite, InUse };

struct Seen {
    Kind kind;
    std::string text;     // static texts
    std::string file;     // control 1089 of the overwrite dialog
    std::string buttons;  // button texts
    int defId = 0;
    int iconPixels = 0;   // non-background pixels where the icon is to be drawn
};

struct Answer {
    Kind kind;
    int button;
    std::function<void()> before;
};

// Finds our dialogs on screen from a thread of its own and answers them by the
// plan; anything beyond the plan is recorded and cancelled.
class Responder {
public:
    explicit Responder(std::vector<Answer> plan) : m_plan(std::move(plan))
    {
        m_hThread = ::CreateThread(nullptr, 0, &Responder::Thread, this, 0, nullptr);
    }
    ~Responder() { Stop(); }
    const std::vector<Seen>& Stop()
    {
        if (m_hThread) {
            m_bStop = true;
            ::WaitForSingleObject(m_hThread, INFINITE);
            ::CloseHandle(m_hThread);
            m_hThread = nullptr;
        }
        return m_seen;
    }
    size_t Unplanned() const { return m_seen.size() > m_plan.size() ? m_seen.size() - m_plan.size() : 0; }

private:
    static DWORD WINAPI Thread(void* p)
    {
        static_cast<Responder*>(p)->Run();
        return 0;
    }

    static int IconPixels(HWND hDlg)
    {
        RECT rc;
        ::GetWindowRect(::GetDlgItem(hDlg, IDC_WARNING_ICON_MARK), &rc);
        POINT pt = {rc.left, rc.top};
        ::ScreenToClient(hDlg, &pt);
        HDC dc = ::GetDC(hDlg);
        COLORREF back = ::GetPixel(dc, 1, 1);
        int n = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                n += ::GetPixel(dc, pt.x + x, pt.y + y) != back;
        ::ReleaseDC(hDlg, dc);
        return n;
    }

    void Run()
    {
        while (!m_bStop) {
            HWND hDlg = nullptr;
            for (HWND h : ProcessWindows(::GetCurrentProcessId(), "Pagewell Utility"))
                hDlg = h;
            if (!hDlg) {
                ::Sleep(10);
                continue;
            }
            Seen seen;
            seen.kind = ::GetDlgItem(hDlg, IDC_OVERWRITE_FILE) ? Kind::Overwrite : Kind::InUse;
            seen.defId = LOWORD(::SendMessageA(hDlg, DM_GETDEFID, 0, 0));
            for (HWND h = ::GetWindow(hDlg, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
                char cls[32] = {};
                ::GetClassNameA(h, cls, sizeof cls);
                if (_stricmp(cls, "Button") == 0)
                    seen.buttons += WindowText(h) + "|";
            }
            if (seen.kind == Kind::Overwrite) {
                // The name is set when the dialog paints, the icon drawn then too.
                WaitFor([&] { return !WindowText(::GetDlgItem(hDlg, IDC_OVERWRITE_FILE)).empty(); }, 10000);
                WaitFor([&] { return (seen.iconPixels = IconPixels(hDlg)) > 100; }, 10000);
                seen.file = WindowText(::GetDlgItem(hDlg, IDC_OVERWRITE_FILE));
            }
            seen.text = DialogText(hDlg);
            size_t i = m_seen.size();
            m_seen.push_back(seen);
            int button = seen.kind == Kind::Overwrite ? IDCANCEL : IDNO;
            if (i < m_plan.size()) {
                if (m_plan[i].before)
                    m_plan[i].before();
                button = m_plan[i].button;
            }
            if (button == -1)
                ::PostMessageA(hDlg, WM_CLOSE, 0, 0);
            else if (button == -2)
                ::PostMessageA(hDlg, WM_KEYDOWN, VK_RETURN, 0);
            else
                ClickButton(hDlg, button);
            DWORD start = ::GetTickCount();
            while (::IsWindow(hDlg) && ::GetTickCount() - start < 20000)
                ::Sleep(10);
        }
    }

    std::vector<Answer> m_plan;
    std::vector<Seen> m_seen;
    std::atomic<bool> m_bStop{false};
    HANDLE m_hThread = nullptr;
};

// ConfirmOverwrite with the dialogs it shows answered by plan.
int Confirm(const std::string& folder, const char* stem, int number, int type, std::vector<Answer> plan,
            std::vector<Seen>* pSeen, std::string* pFolderAfter = nullptr)
{
    char szFolder[300] = {};
    strncpy(szFolder, folder.c_str(), sizeof szFolder - 1);
    COverwriteDlg dlg;
    Responder responder(std::move(plan));
    int r = dlg.ConfirmOverwrite(szFolder, stem, number, type);
    *pSeen = responder.Stop();
    if (pFolderAfter)
        *pFolderAfter = szFolder;
    return r;
}

// ---- naming --------------------------------------------------------------------

void BuildOutputFileNameCases()
{
    CScanSettings s;
    char sz[256];
    strcpy(s.m_szFileName, "Doc");

    strcpy(s.m_szSaveFolder, "C:\\Scan\\");
    s.m_nFileType = 2;
    CHECK(s.BuildOutputFileName(sz, 7));
    CHECK_EQ(std::string(sz), "C:\\Scan\\Doc007.tif");
    CHECK_EQ(std::string(s.m_szSaveFolder), "C:\\Scan");
    s.m_nFileType = 3;
    CHECK(s.BuildOutputFileName(sz, 1234));
    CHECK_EQ(std::string(sz), "C:\\Scan\\Doc1234.pdf");

    struct {
        int type, n;
        const char* name;
    } table[] = {
        {0, 1, "C:\\Scan\\Doc001.bmp"},   {0, 999, "C:\\Scan\\Doc999.bmp"},  {0, 1000, "C:\\Scan\\Doc1000.bmp"},
        {0, 9999, "C:\\Scan\\Doc9999.bmp"}, {1, 12, "C:\\Scan\\Doc012.tif"},  {2, 998, "C:\\Scan\\Doc998.tif"},
        {3, 0, "C:\\Scan\\Doc000.pdf"},   {7, 5, "C:\\Scan\\Doc005.tif"},    {-1, 1001, "C:\\Scan\\Doc1001.tif"},
    };
    for (auto& t : table) {
        s.m_nFileType = t.type;
        memset(sz, 0, sizeof sz);
        CHECK(s.BuildOutputFileName(sz, t.n));
        CHECK_EQ(std::string(sz), t.name);
    }

    // Only one trailing backslash goes, and only from the end.
    strcpy(s.m_szSaveFolder, "C:\\");
    s.m_nFileType = 0;
    CHECK(s.BuildOutputFileName(sz, 1));
    CHECK_EQ(std::string(sz), "C:\\Doc001.bmp");
    CHECK_EQ(std::string(s.m_szSaveFolder), "C:");

    strcpy(s.m_szSaveFolder, "C:\\Scan");
    s.m_szFileName[0] = '\0';
    s.m_nFileType = 2;
    CHECK(s.BuildOutputFileName(sz, 1));
    CHECK_EQ(std::string(sz), "C:\\Scan\\001.tif");

    // Refusals write nothing.
    strcpy(sz, "unchanged");
    CHECK(!s.BuildOutputFileName(sz, -1));
    CHECK_EQ(std::string(sz), "unchanged");
    CHECK(!s.BuildOutputFileName(nullptr, 1));
    memset(s.m_szSaveFolder, 'x', 250);
    s.m_szSaveFolder[250] = '\0';
    strcpy(s.m_szFileName, "Doc");
    CHECK(!s.BuildOutputFileName(sz, 1));
    CHECK_EQ(std::string(sz), "unchanged");
}

void TestFolderWritableCases()
{
    CPageStore store;
    std::string dir = Folder("naming");
    CHECK(store.TestFolderWritable(dir.c_str()));
    CHECK(store.TestFolderWritable((dir + "\\").c_str()));
    CHECK_EQ(CountFiles(dir), 0);

    // 100 characters pass, 101 fail; both folders exist and are writable.
    std::string c100 = "C:\\" + std::string(97, 'a');
    std::string c101 = "C:\\" + std::string(98, 'b');
    ::CreateDirectoryA(c100.c_str(), nullptr);
    ::CreateDirectoryA(c101.c_str(), nullptr);
    CHECK(store.TestFolderWritable(c100.c_str()));
    CHECK(!store.TestFolderWritable(c101.c_str()));
    std::string c99 = "C:\\" + std::string(96, 'c');
    ::CreateDirectoryA(c99.c_str(), nullptr);
    CHECK(store.TestFolderWritable((c99 + "\\").c_str()));
    CHECK(!store.TestFolderWritable((c100 + "\\").c_str()));
    RemoveTree(c99);
    RemoveTree(c100);
    RemoveTree(c101);

    CHECK(!store.TestFolderWritable(""));
    CHECK(!store.TestFolderWritable(nullptr));
    CHECK(!store.TestFolderWritable((dir + "\\missing").c_str()));

    // A pair of backslashes is refused inside the path but allowed at its start.
    ::CreateDirectoryA((dir + "\\Out").c_str(), nullptr);
    CHECK(!store.TestFolderWritable((dir + "\\\\Out").c_str()));
    CHECK(store.TestFolderWritable(("\\\\?\\" + dir + "\\Out").c_str()));
    CHECK(!store.TestFolderWritable(("\\\\?\\" + dir + "\\\\Out").c_str()));

    // A probe file already there fails the test and is left alone.
    WriteFileBytes(dir + "\\__a.tst", {'k', 'e', 'e', 'p'});
    CHECK(!store.TestFolderWritable(dir.c_str()));
    CHECK_EQ(Bytes(dir + "\\__a.tst").size(), (size_t)4);
}

void TestFileNameCases()
{
    CPageStore store;
    std::string dir = Folder("stems");
    CHECK(store.TestFileName(dir.c_str(), "Doc"));
    CHECK(store.TestFileName((dir + "\\").c_str(), "Doc"));
    CHECK(store.TestFileName(dir.c_str(), ""));
    CHECK_EQ(CountFiles(dir), 0);

    for (const char* bad : {".Doc", "/Doc", "a\\b", "a*b", "a?b", "a<b", "a|b"})
        CHECK_EQ(store.TestFileName(dir.c_str(), bad) ? std::string(bad) + " passed" : std::string("refused"),
                 "refused");
    CHECK(!store.TestFileName(nullptr, "Doc"));
    CHECK(!store.TestFileName(dir.c_str(), nullptr));
    CHECK(!store.TestFileName((dir + "\\missing").c_str(), "Doc"));
    // A name that would have to be cut is refused.
    CHECK(!store.TestFileName(dir.c_str(), std::string(250, 'n').c_str()));
    // A probe already there fails the test and is left alone.
    WriteFileBytes(dir + "\\Doc__._t_", {'k'});
    CHECK(!store.TestFileName(dir.c_str(), "Doc"));
    CHECK(FileExists(dir + "\\Doc__._t_"));
    CHECK_EQ(CountFiles(dir), 1);
}

void IsValidFileStemCases()
{
    CPageStore store;
    for (const char* good : {"", "Doc", "Scan 2024-01", "a_b(c)", "x,y;z"})
        CHECK_EQ(store.IsValidFileStem(good) ? std::string("valid") : std::string(good) + " refused", "valid");
    for (const char* bad : {".a", "/a", ":a", "a\\b", "a/b", "a:b", "a.b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b"})
        CHECK_EQ(store.IsValidFileStem(bad) ? std::string(bad) + " passed" : std::string("refused"), "refused");
    CHECK(!store.IsValidFileStem(nullptr));
}

// ---- the overwrite check -------------------------------------------------------

const char kInUseText[] = " is opened in another application.Before overwriting, it is necessary to close the "
                          "file.\n\nDo you want to overwrite the file?";

void ConfirmOverwriteCases()
{
    std::string dir = Folder("overwrite");
    std::vector<Seen> seen;
    std::string after;

    // No first file: no dialog.
    CHECK_EQ(Confirm(dir + "\\", "Doc", 1, 0, {}, &seen, &after), 1);
    CHECK(seen.empty());
    CHECK_EQ(after, dir);

    // An existing first file: the dialog names it; Proceed, Enter, Abort, close.
    WriteFileBytes(dir + "\\Doc001.bmp", {'o', 'l', 'd'});
    CHECK_EQ(Confirm(dir, "Doc", 1, 0, {{Kind::Overwrite, IDOK, nullptr}}, &seen), 1);
    CHECK_EQ(seen.size(), (size_t)1);
    if (!seen.empty()) {
        CHECK_EQ(seen[0].file, dir + "\\Doc001.bmp");
        CHECK(seen[0].text.find("This file already exists. Overwrite the existing file?") != std::string::npos);
        CHECK_EQ(seen[0].buttons, "Proceed|Abort|");
        CHECK_EQ(seen[0].defId, IDOK);
        CHECK(seen[0].iconPixels > 100);
    }
    CHECK_EQ(Confirm(dir, "Doc", 1, 0, {{Kind::Overwrite, -2, nullptr}}, &seen), 1);
    CHECK_EQ(seen.size(), (size_t)1);
    CHECK_EQ(Confirm(dir, "Doc", 1, 0, {{Kind::Overwrite, IDCANCEL, nullptr}}, &seen), 2);
    CHECK_EQ(Confirm(dir, "Doc", 1, 0, {{Kind::Overwrite, -1, nullptr}}, &seen), 2);
    CHECK_EQ(Bytes(dir + "\\Doc001.bmp").size(), (size_t)3);

    // TIFF names, three and four digits.
    WriteFileBytes(dir + "\\Doc1234.tif", {'t'});
    CHECK_EQ(Confirm(dir, "Doc", 1234, 2, {{Kind::Overwrite, IDCANCEL, nullptr}}, &seen), 2);
    CHECK_EQ(seen.empty() ? std::string() : seen[0].file, dir + "\\Doc1234.tif");
    CHECK_EQ(Confirm(dir, "Doc", 1234, 1, {{Kind::Overwrite, IDOK, nullptr}}, &seen), 1);
    CHECK_EQ(Confirm(dir, "Doc", 123, 1, {}, &seen), 1);
    CHECK(seen.empty());

    // A damaged next number is asked about as the file the export writes first.
    WriteFileBytes(dir + "\\Doc006.tif", {'t'});
    CHECK_EQ(Confirm(dir, "Doc", 10005, 2, {{Kind::Overwrite, IDCANCEL, nullptr}}, &seen), 2);
    CHECK_EQ(seen.empty() ? std::string() : seen[0].file, dir + "\\Doc006.tif");
    CHECK_EQ(Confirm(dir, "Doc", -5, 2, {}, &seen), 1);
    CHECK(seen.empty());

    // Too long a folder ends the check before anything is looked at.
    std::string f193 = "C:\\" + std::string(190, 'f');
    std::string f192 = "C:\\" + std::string(189, 'f');
    CHECK_EQ(Confirm(f193, "Doc", 1, 0, {}, &seen, &after), 2);
    CHECK(seen.empty());
    CHECK_EQ(after, f193);
    CHECK_EQ(Confirm(f192, "Doc", 1, 2, {}, &seen), 1);
    CHECK(seen.empty());

    // PDF: a missing file is tried and removed again; an existing free one asks.
    CHECK_EQ(Confirm(dir, "Doc", 5, 3, {}, &seen), 1);
    CHECK(seen.empty());
    CHECK(!FileExists(dir + "\\Doc005.pdf"));
    WriteFileBytes(dir + "\\Doc005.pdf", {'%', 'P', 'D', 'F'});
    CHECK_EQ(Confirm(dir, "Doc", 5, 3, {{Kind::Overwrite, IDOK, nullptr}}, &seen), 1);
    CHECK_EQ(seen.empty() ? std::string() : seen[0].file, dir + "\\Doc005.PDF");

    // PDF held by another program: message 4011 with Yes and No.
    {
        Holder holder(dir + "\\Doc005.pdf");
        CHECK(holder.Held());
        CHECK_EQ(Confirm(dir, "Doc", 5, 3, {{Kind::InUse, IDNO, nullptr}}, &seen), 0);
        CHECK_EQ(seen.size(), (size_t)1);
        if (!seen.empty()) {
            CHECK(seen[0].kind == Kind::InUse);
            CHECK(seen[0].text.find("A file of the same name " + dir + "\\Doc005.PDF " + kInUseText) !=
                  std::string::npos);
            CHECK(seen[0].buttons.find("Yes") != std::string::npos);
            CHECK(seen[0].buttons.find("No") != std::string::npos);
        }
        // Yes while still held asks again; Yes once released goes on without
        // the overwrite dialog.
        CHECK_EQ(Confirm(dir, "Doc", 5, 3,
                         {{Kind::InUse, IDYES, nullptr}, {Kind::InUse, IDYES, [&] { holder.Release(); }}}, &seen),
                 1);
        CHECK_EQ(seen.size(), (size_t)2);
    }
    CHECK_EQ(Bytes(dir + "\\Doc005.pdf").size(), (size_t)4);

    // Held by a program that lets others write: reported as in use, and the
    // check does not empty the file.
    {
        Holder holder(dir + "\\Doc005.pdf", true);
        CHECK(holder.Held());
        CHECK_EQ(Confirm(dir, "Doc", 5, 3, {{Kind::InUse, IDNO, nullptr}}, &seen), 0);
        CHECK_EQ(seen.size(), (size_t)1);
        CHECK_EQ(Bytes(dir + "\\Doc005.pdf").size(), (size_t)4);
    }
}

// ---- the export engine ---------------------------------------------------------

std::string Out(const std::string& folder, const char* name)
{
    return folder + "\\" + name;
}

void ExportTiffCases()
{
    std::string save = Folder("tiff");
    Batch b(Folder("tiff-pages"), 5);

    // Numbers go past 9999 to 001; an unrelated earlier file stays.
    WriteFileBytes(Out(save, "Doc002.tif"), {'e', 'a', 'r', 'l', 'y'});
    Batch three(Folder("tiff-pages3"), 3);
    three.Target(save, "Doc", 2, 2, 9998);
    CHECK_EQ(three.Export(), 2);
    CHECK_EQ(three.settings.m_nPageCount, 3);
    for (auto [name, n] : {std::pair<const char*, int>{"Doc9998.tif", 1}, {"Doc9999.tif", 2}, {"Doc001.tif", 3}}) {
        CHECK(FileExists(Out(save, name)));
        three.ExpectTiff(Out(save, name), 0, n, "CCITT_Group_4");
        Expect("pages " + Rel(Out(save, name)) + " 1");
    }
    CHECK_EQ(Bytes(Out(save, "Doc002.tif")).size(), (size_t)5);
    CHECK(!FileExists(Out(save, "dummy.tif")));
    CHECK(!FileExists(Out(save, "Doc10000.tif")) && !FileExists(Out(save, "Doc000.tif")));
    three.CheckPagesHeld();

    // Three digits below 1000, four from there; an existing file is replaced.
    WriteFileBytes(Out(save, "Doc1000.tif"), {'o', 'l', 'd'});
    b.Target(save + "\\", "Doc", 2, 1, 998);
    CHECK_EQ(b.Export(), 1003);
    CHECK_EQ(std::string(b.settings.m_szSaveFolder), save);
    const char* names[] = {"Doc998.tif", "Doc999.tif", "Doc1000.tif", "Doc1001.tif", "Doc1002.tif"};
    for (int i = 0; i < 5; ++i) {
        CHECK(FileExists(Out(save, names[i])));
        b.ExpectTiff(Out(save, names[i]), 0, i + 1, "CCITT_Group_3");
    }
    b.CheckPagesHeld();

    // Compression index 3 is left from the PDF list: stored uncompressed.
    b.Target(save, "None", 2, 3, 1);
    CHECK_EQ(b.Export(), 6);
    b.ExpectTiff(Out(save, "None005.tif"), 0, 5, "None");
    b.Target(save, "Odd", 2, -1, 1);
    CHECK_EQ(b.Export(), 6);
    b.ExpectTiff(Out(save, "Odd001.tif"), 0, 1, "None");

    // An output file held open elsewhere or read-only keeps its contents; the
    // others are written, no page lands in the wrong file, and the export
    // says a page could not take its name.
    WriteFileBytes(Out(save, "Held002.tif"), {'h', 'e', 'l', 'd'});
    WriteFileBytes(Out(save, "Held004.tif"), {'r', 'o'});
    ::SetFileAttributesA(Out(save, "Held004.tif").c_str(), FILE_ATTRIBUTE_READONLY);
    {
        Holder holder(Out(save, "Held002.tif"));
        CHECK(holder.Held());
        b.Target(save, "Held", 2, 2, 1);
        CHECK_EQ(b.Export(), EXPORT_NAME_REFUSED);
        CHECK_EQ(ExportResultMessage(EXPORT_NAME_REFUSED), (UINT)IDS_ERR_BAD_NAME);
    }
    CHECK_EQ(Bytes(Out(save, "Held002.tif")).size(), (size_t)4);
    CHECK_EQ(Bytes(Out(save, "Held004.tif")).size(), (size_t)2);
    ::SetFileAttributesA(Out(save, "Held004.tif").c_str(), FILE_ATTRIBUTE_NORMAL);
    for (int n : {1, 3, 5}) {
        std::string name = Out(save, ("Held00" + std::to_string(n) + ".tif").c_str());
        b.ExpectTiff(name, 0, n, "CCITT_Group_4");
        Expect("pages " + Rel(name) + " 1");
    }
    CHECK(!FileExists(Out(save, "dummy.tif")));
}

void ExportMultiPageTiffCases()
{
    std::string save = Folder("mtiff");
    Batch b(Folder("mtiff-pages"), 5);

    b.Target(save, "Doc", 1, 2, 12);
    CHECK_EQ(b.Export(), 13);
    CHECK_EQ(CountFiles(save), 1);
    Expect("pages " + Rel(Out(save, "Doc012.tif")) + " 5");
    for (int n = 1; n <= 5; ++n)
        b.ExpectTiff(Out(save, "Doc012.tif"), n - 1, n, "CCITT_Group_4");
    b.CheckPagesHeld();

    // 9999 is followed by 1; an existing file is replaced, not added to.
    WriteFileBytes(Out(save, "Doc9999.tif"), {'o', 'l', 'd'});
    b.Target(save, "Doc", 1, 0, 9999);
    CHECK_EQ(b.Export(), 1);
    Expect("pages " + Rel(Out(save, "Doc9999.tif")) + " 5");
    b.ExpectTiff(Out(save, "Doc9999.tif"), 4, 5, "None");

    // A temporary file left behind by an interrupted export is not taken over.
    std::vector<unsigned char> stale = Bytes(Out(save, "Doc012.tif"));
    WriteFileBytes(Out(save, "dummy.tif"), stale);
    b.Target(save, "Stale", 1, 1, 1);
    CHECK_EQ(b.Export(), 2);
    Expect("pages " + Rel(Out(save, "Stale001.tif")) + " 5");
    b.ExpectTiff(Out(save, "Stale001.tif"), 0, 1, "CCITT_Group_3");
    CHECK(!FileExists(Out(save, "dummy.tif")));

    // The output held open elsewhere: the pages have nowhere to go.
    {
        Holder holder(Out(save, "Stale001.tif"));
        CHECK(holder.Held());
        CHECK_EQ(b.Export(), EXPORT_NAME_REFUSED);
    }
    Expect("pages " + Rel(Out(save, "Stale001.tif")) + " 5");
    CHECK(!FileExists(Out(save, "dummy.tif")));
    b.CheckPagesHeld();
}

void ExportPdfCases()
{
    std::string save = Folder("pdf");
    Batch b(Folder("pdf-pages"), 5);

    b.Target(save, "Doc", 3, 3, 9999);
    CHECK_EQ(b.Export(), 1);
    CHECK_EQ(CountFiles(save), 1);
    Expect("pdfpages " + Rel(Out(save, "Doc9999.pdf")) + " 5");
    for (int n = 1; n <= 5; ++n)
        b.ExpectPdf(Out(save, "Doc9999.pdf"), n - 1, n, "ccitt");
    b.CheckPagesHeld();

    struct {
        int compression;
        const char* stem;
        const char* encoding;
    } kinds[] = {{0, "None", "image"}, {1, "Pack", "image"}, {2, "G3", "ccitt"}, {9, "Odd", "image"}};
    for (auto& k : kinds) {
        b.Target(save, k.stem, 3, k.compression, 41);
        CHECK_EQ(b.Export(), 42);
        std::string name = Out(save, (std::string(k.stem) + "041.pdf").c_str());
        Expect("pdfpages " + Rel(name) + " 5");
        b.ExpectPdf(name, 1, 2, k.encoding);
    }
    Expect("pdffilter " + Rel(Out(save, "Pack041.pdf")) + " RunLengthDecode");
    Expect("pdffilter " + Rel(Out(save, "None041.pdf")) + " none");

    // An existing PDF is replaced.
    b.Target(save, "Doc", 3, 3, 9999);
    CHECK_EQ(b.Export(), 1);

    // A PDF held open elsewhere: the library cannot write it (-80, 4005) and
    // the file is not lost.
    std::vector<unsigned char> before = Bytes(Out(save, "Doc9999.pdf"));
    {
        Holder holder(Out(save, "Doc9999.pdf"));
        CHECK(holder.Held());
        CHECK_EQ(b.Export(), EXPORT_PDF_IN_USE);
        CHECK_EQ(ExportResultMessage(EXPORT_PDF_IN_USE), (UINT)IDS_ERR_PDF);
    }
    CHECK(Bytes(Out(save, "Doc9999.pdf")) == before);
    b.CheckPagesHeld();
}

void ExportBmpCases()
{
    std::string save = Folder("bmp");
    Batch b(Folder("bmp-pages"), 5);

    b.Target(save, "Doc", 0, 2, 10);
    CHECK_EQ(b.Export(), 15);
    for (int n = 1; n <= 5; ++n) {
        std::string name = Out(save, ("Doc01" + std::to_string(n - 1) + ".bmp").c_str());
        CHECK(Bytes(name) == Bytes(RefPage(n)));
        Expect("same " + Rel(name) + " " + Rel(RefPage(n)));
    }
    b.CheckPagesHeld();

    b.Target(save, "Wrap", 0, 0, 9998);
    CHECK_EQ(b.Export(), 4);
    for (const char* name : {"Wrap9998.bmp", "Wrap9999.bmp", "Wrap001.bmp", "Wrap002.bmp", "Wrap003.bmp"})
        CHECK(FileExists(Out(save, name)));

    // The third copy fails in an existing folder: this export's files go,
    // files of other numbers stay.
    for (const char* name : {"Fail009.bmp", "Fail010.bmp", "Fail012.bmp", "Fail013.bmp"})
        WriteFileBytes(Out(save, name), {'o', 'l', 'd'});
    {
        Holder holder(Out(save, "Fail012.bmp"));
        CHECK(holder.Held());
        b.Target(save, "Fail", 0, 0, 10);
        CHECK_EQ(b.Export(), EXPORT_COPY_FAILED);
    }
    CHECK(!FileExists(Out(save, "Fail010.bmp")));
    CHECK(!FileExists(Out(save, "Fail011.bmp")));
    CHECK(!FileExists(Out(save, "Fail014.bmp")));
    for (const char* name : {"Fail009.bmp", "Fail012.bmp", "Fail013.bmp"})
        CHECK_EQ(Bytes(Out(save, name)).size(), (size_t)3);
    CHECK_EQ(ExportResultMessage(EXPORT_COPY_FAILED), (UINT)IDS_ERR_DISK_FULL);
    b.CheckPagesHeld();
}

// The save folder removed after the checks passed.
void RemovedFolderCases()
{
    Batch b(Folder("gone-pages"), 3);
    struct {
        int type;
        const char* what;
    } types[] = {{2, "tiff"}, {1, "multi-page tiff"}, {3, "pdf"}, {0, "bmp"}};
    for (auto& t : types) {
        std::string save = Folder("gone");
        b.Target(save, "Doc", t.type, 2, 7);
        ::RemoveDirectoryA(save.c_str());
        CHECK_EQ(std::string(t.what) + " " + std::to_string(b.Export()),
                 std::string(t.what) + " " + std::to_string(EXPORT_NO_FOLDER));
        CHECK(!FileExists(save));
        b.CheckPagesHeld();
    }
    CHECK_EQ(ExportResultMessage(EXPORT_NO_FOLDER), (UINT)IDS_ERR_NO_PATH);
}

// A page file gone from the work folder.
void MissingPageCases()
{
    for (int type : {2, 1, 3}) {
        std::string save = Folder("missing");
        WriteFileBytes(Out(save, "Doc004.tif"), {'4'});
        WriteFileBytes(Out(save, "Doc004.pdf"), {'4'});
        Batch b(Folder("missing-pages"), 3);
        ::CloseHandle(b.store.m_hPageFiles[1]);
        b.store.m_hPageFiles[1] = nullptr;
        CHECK(::DeleteFileA(b.PageFile(2).c_str()));
        b.Target(save, "Doc", type, 2, 1);
        CHECK_EQ(std::to_string(type) + ": " + std::to_string(b.Export()),
                 std::to_string(type) + ": " + std::to_string(EXPORT_PAGE_MISSING));
        // What this export wrote is gone; the file of another number is not.
        CHECK_EQ(CountFiles(save), 2);
        CHECK(FileExists(Out(save, "Doc004.tif")));
        // Page 1 is held again; the re-opening stopped at the missing page.
        HLOCAL hPage = b.store.ReadPage(b.PageFile(1).c_str(), 0);
        CHECK(hPage != nullptr);
        ::LocalFree(hPage);
        CHECK(b.store.m_hPageFiles[1] == nullptr);
        CHECK(b.store.m_hPageFiles[2] == nullptr);
        CHECK_EQ(OtherProcessOpens(b.PageFile(3)), 0ul);
    }
    CHECK_EQ(ExportResultMessage(EXPORT_PAGE_MISSING), (UINT)IDS_ERR_PAGE_MISSING);
}

void EarlyReturnCases()
{
    std::string save = Folder("early");
    Batch b(Folder("early-pages"), 2);
    b.Target(save, "Doc", 2, 2, 1);

    // No settings: the pages are let go and stay so.
    CHECK_EQ(b.store.ExportPages(nullptr, b.count), EXPORT_NO_SETTINGS);
    CHECK(b.store.ReadPage(b.PageFile(1).c_str(), 0) == nullptr);
    CHECK_EQ(OtherProcessOpens(b.PageFile(1)), 0ul);
    CHECK_EQ(ExportResultMessage(EXPORT_NO_SETTINGS), (UINT)IDS_ERR_DISK_FULL);
    CHECK_EQ(ExportResultMessage(EXPORT_NO_MEMORY), (UINT)IDS_ERR_DISK_FULL);
    CHECK_EQ(ExportResultMessage(EXPORT_WRITE_FAILED), (UINT)IDS_ERR_DISK_FULL);
    CHECK_EQ(ExportResultMessage(EXPORT_PDF_FAILED), (UINT)IDS_ERR_DISK_FULL);

    // No pages: nothing written, the number unchanged.
    b.settings.m_nNumberFrom = 77;
    CHECK_EQ(b.store.ExportPages(&b.settings, 0), 77);
    CHECK_EQ(CountFiles(save), 0);
    CHECK_EQ(b.Export(), 79);
    CHECK_EQ(CountFiles(save), 2);
    b.CheckPagesHeld();

    // A location whose names would not fit is refused before anything is written.
    b.Target(std::string(250, 'x'), "Doc", 2, 2, 1);
    CHECK_EQ(b.Export(), EXPORT_NO_FOLDER);
    b.CheckPagesHeld();
}

// A damaged next number from the settings file: only this export's own files
// are written, earlier ones stay, and the number returned follows the last
// file written.
void DamagedNumberCases()
{
    Batch b(Folder("damaged-pages"), 2);
    struct {
        int type, from, result;
        std::vector<const char*> written;
    } table[] = {
        {2, -5, EXPORT_NAME_REFUSED, {}},
        {2, 0, EXPORT_NAME_REFUSED, {}},
        {2, 10005, 8, {"Doc006.tif", "Doc007.tif"}},
        {2, 2147483647, 8418, {"Doc8416.tif", "Doc8417.tif"}},
        {1, 10005, 7, {"Doc006.tif"}},
        {0, -5, EXPORT_NAME_REFUSED, {}},
        {0, 2147483647, 8418, {"Doc8416.bmp", "Doc8417.bmp"}},
        {3, 0, EXPORT_NAME_REFUSED, {}},
        {3, 10005, 7, {"Doc006.pdf"}},
    };
    const char* ext[] = {"bmp", "tif", "tif", "pdf"};
    for (auto& t : table) {
        std::string save = Folder("damaged");
        const std::string earlier[] = {Out(save, (std::string("Doc9999.") + ext[t.type]).c_str()),
                                       Out(save, (std::string("Doc001.") + ext[t.type]).c_str())};
        for (auto& name : earlier)
            WriteFileBytes(name, {'k', 'e', 'e', 'p'});
        b.Target(save, "Doc", t.type, 0, t.from);
        std::string what = std::to_string(t.type) + " from " + std::to_string(t.from) + ": ";
        CHECK_EQ(what + std::to_string(b.Export()), what + std::to_string(t.result));
        for (auto& name : earlier)
            CHECK_EQ(what + std::to_string(Bytes(name).size()), what + "4");
        for (const char* name : t.written)
            CHECK_EQ(what + name + " " + std::to_string(FileExists(Out(save, name))), what + name + " 1");
        CHECK_EQ(what + std::to_string(CountFiles(save)), what + std::to_string(2 + t.written.size()));
    }
    b.CheckPagesHeld();

    // A failure at the second page cleans up from the number this export began with.
    std::string save = Folder("damaged");
    for (const char* name : {"Doc001.tif", "Doc002.tif"})
        WriteFileBytes(Out(save, name), {'k', 'e', 'e', 'p'});
    Batch gap(Folder("damaged-gap"), 2);
    ::CloseHandle(gap.store.m_hPageFiles[1]);
    gap.store.m_hPageFiles[1] = nullptr;
    CHECK(::DeleteFileA(gap.PageFile(2).c_str()));
    gap.Target(save, "Doc", 2, 0, 10005);
    CHECK_EQ(gap.Export(), EXPORT_PAGE_MISSING);
    CHECK_EQ(CountFiles(save), 2);
    for (const char* name : {"Doc001.tif", "Doc002.tif"})
        CHECK_EQ(Bytes(Out(save, name)).size(), (size_t)4);
}

// Headers that claim more than their block or file holds: the store refuses
// them rather than read or write past the end.
void DamagedHeaderCases()
{
    // Scanner blocks shorter than 40 + colour table + biSizeImage.
    std::vector<unsigned char> dib = PageDib(1);
    struct {
        size_t keep;  // bytes of the block
        DWORD sizeImage;
    } blocks[] = {{dib.size() - 1, 0}, {60, 0}, {dib.size(), 0xFFFFFFF0u}, {20, 0}};
    Batch b(Folder("damaged-header-pages"), 0);
    for (auto& t : blocks) {
        std::vector<unsigned char> d = dib;
        if (t.sizeImage)
            memcpy(&d[20], &t.sizeImage, 4);
        d.resize(t.keep);
        HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, d.size());
        memcpy(::GlobalLock(h), d.data(), d.size());
        ::GlobalUnlock(h);
        std::string what = std::to_string(t.keep) + " bytes: ";
        HLOCAL hCopy = b.store.CopyDib(h);
        CHECK_EQ(what + std::to_string(hCopy != nullptr), what + "0");
        ::LocalFree(hCopy);
        b.store.GrowPageTable();
        CHECK_EQ(what + std::to_string(b.store.WritePage(h, b.PageFile(1).c_str(), 0)), what + "0");
        CHECK_EQ(what + std::to_string(FileExists(b.PageFile(1))), what + "0");
        ::GlobalFree(h);
    }

    // Page files whose header was changed behind the store's back.
    struct {
        DWORD offset, value;
        bool bReduced;  // read through ReadPageReduced, else ReadPage
    } files[] = {
        {2, 0x7FFFFFF0u, false},           // bfSize past the end of the file
        {28, 24, false},                   // 24 bits a pixel: the rows do not fit
        {18, 0x7FFFFFF0u, true},           // widths and heights no file of this size holds
        {22, 0x7FFFFFF0u, true},
    };
    for (auto& t : files) {
        Batch one(Folder("damaged-header-pages"), 1);
        HANDLE hFile = one.store.PageHandle(0);
        DWORD put = 0;
        ::SetFilePointer(hFile, t.offset, nullptr, FILE_BEGIN);
        CHECK(::WriteFile(hFile, &t.value, t.offset == 28 ? 2 : 4, &put, nullptr));
        std::string name = one.PageFile(1), what = "offset " + std::to_string(t.offset) + ": ";
        HLOCAL h = t.bReduced ? one.store.ReadPageReduced(name.c_str(), 0) : one.store.ReadPage(name.c_str(), 0);
        CHECK_EQ(what + std::to_string(h != nullptr), what + "0");
        ::LocalFree(h);
    }
}

// Page files are held without sharing from WritePage until they are deleted.
void PageShareCases()
{
    std::string work = Folder("share-pages");
    {
        Batch b(work, 2);
        CHECK_EQ(OtherProcessOpens(b.PageFile(1)), 1ul);
        CHECK_EQ(OtherProcessOpens(b.PageFile(2)), 1ul);
        CHECK(!b.store.IsFileOpenable(b.PageFile(1).c_str()));
    }
    CHECK_EQ(OtherProcessOpens(work + "\\Doc1.bmp"), 2ul);
    CHECK_EQ(CountFiles(work), 0);
}

// The save folder is a small file system that the exports fill (mounted by
// full-disk.sh as TOLVIX_FULL_DISK).
void FullDiskCases()
{
    const char* mount = getenv("TOLVIX_FULL_DISK");
    if (!mount || !*mount) {
        printf("TOLVIX_FULL_DISK not set\n");
        CHECK(false);
        return;
    }
    std::string save = WindowsPath(mount);
    Batch b(Folder("full-pages"), 6);
    WriteFileBytes(Out(save, "Doc900.tif"), {'9', '0', '0'});
    WriteFileBytes(Out(save, "Doc900.pdf"), {'9', '0', '0'});
    WriteFileBytes(Out(save, "Doc900.bmp"), {'9', '0', '0'});

    struct {
        int type, compression, result;
        const char* what;
    } types[] = {{2, 0, EXPORT_WRITE_FAILED, "tiff"},
                 {1, 0, EXPORT_WRITE_FAILED, "multi-page tiff"},
                 {3, 0, EXPORT_PDF_FAILED, "pdf"},
                 {0, 0, EXPORT_COPY_FAILED, "bmp"}};
    for (auto& t : types) {
        b.Target(save, "Doc", t.type, t.compression, 1);
        CHECK_EQ(std::string(t.what) + " " + std::to_string(b.Export()),
                 std::string(t.what) + " " + std::to_string(t.result));
        // Only the earlier files are left, and the space is free again.
        CHECK_EQ(CountFiles(save), 3);
        CHECK(!FileExists(Out(save, "dummy.tif")));
        b.CheckPagesHeld();
    }
    ULARGE_INTEGER freeBytes = {}, total = {};
    CHECK(::GetDiskFreeSpaceExA(save.c_str(), &freeBytes, &total, nullptr));
    CHECK(freeBytes.QuadPart > total.QuadPart / 2);

    // Fewer pages fit: the file system itself is sound.
    Batch two(Folder("full-pages2"), 2);
    two.Target(save, "Doc", 1, 2, 1);
    CHECK_EQ(two.Export(), 2);
    CHECK_EQ(CountFiles(save), 4);
}

std::string UnixToWindows(const char* unixPath)
{
    std::string s = WindowsPath(unixPath);
    while (s.size() > 3 && s.back() == '\\')
        s.pop_back();
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && strcmp(argv[1], "--hold") == 0)
        return HoldMain(argv[2], argv[3], argv[4], false);
    if (argc == 5 && strcmp(argv[1], "--hold-shared") == 0)
        return HoldMain(argv[2], argv[3], argv[4], true);
    if (argc == 3 && strcmp(argv[1], "--try-open") == 0)
        return TryOpenMain(argv[2]);

    const char* work = getenv("TOLVIX_STORE_WORK");
    if (!work || !*work) {
        fprintf(stderr, "TOLVIX_STORE_WORK is not set\n");
        return 2;
    }
    g_work = UnixToWindows(work);
    ::CreateDirectoryA(g_work.c_str(), nullptr);

    // The settings object keeps its file next to this program; leave none behind.
    std::string settingsFile = SelfPath();
    settingsFile = settingsFile.substr(0, settingsFile.rfind('\\') + 1) + "__utilInf.bin";
    bool hadSettings = FileExists(settingsFile);

    bool fullDisk = argc == 2 && strcmp(argv[1], "full_disk") == 0;
    std::string expectName = g_work + (fullDisk ? "\\expect-full.txt" : "\\expect.txt");
    g_expect = fopen(expectName.c_str(), "wb");
    if (!g_expect) {
        fprintf(stderr, "cannot write %s\n", expectName.c_str());
        return 2;
    }

    std::vector<Case> cases = {
        {"build_output_file_name", BuildOutputFileNameCases},
        {"test_folder_writable", TestFolderWritableCases},
        {"test_file_name", TestFileNameCases},
        {"is_valid_file_stem", IsValidFileStemCases},
        {"confirm_overwrite", ConfirmOverwriteCases},
        {"export_tiff", ExportTiffCases},
        {"export_multi_page_tiff", ExportMultiPageTiffCases},
        {"export_pdf", ExportPdfCases},
        {"export_bmp", ExportBmpCases},
        {"removed_folder", RemovedFolderCases},
        {"missing_page", MissingPageCases},
        {"early_returns", EarlyReturnCases},
        {"damaged_number", DamagedNumberCases},
        {"damaged_header", DamagedHeaderCases},
        {"page_share", PageShareCases},
    };
    if (fullDisk)
        cases = {{"full_disk", FullDiskCases}};
    int rc = RunCases(argc, argv, cases);
    fclose(g_expect);
    if (!hadSettings)
        ::DeleteFileA(settingsFile.c_str());
    return rc;
}

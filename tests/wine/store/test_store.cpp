// The page store's naming, overwrite and export checks in this process, with the real DLLs. A file "held open by
// another program" is held by this process: sharing is checked per handle, so the store meets the same refusal.
// Usage: test_store [case ...] | full_disk   (TOLVIX_STORE_WORK: the work folder, expect.txt for check-common.sh)
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "codec/dib.h"
#include "harness/Session.h"
#include "settings/ScanSettings.h"
#include "store/OverwriteDlg.h"
#include "store/PageStore.h"
#include "tests/native/support.h"

using namespace harness;

// CHECK_EQ for a table row: the failure line names the row.
#define CHECK_ROW(row, a, b) \
    ::harness::CheckEq((a), (b), (std::string(row) + ": " #a).c_str(), ::harness::Where(__FILE__, __LINE__))

namespace {

const Bytes kKeep = {'k', 'e', 'e', 'p'}; // an earlier file's contents
std::string g_work;                       // Windows path; expect.txt names files relative to it
FILE* g_expect = nullptr;
std::string g_multiPage; // a multi-page TIFF an export wrote

Bytes Read(const std::string& path)
{
    Bytes b;
    ReadFileBytes(path, b);
    return b;
}

std::string Folder(const std::string& path)
{
    RemoveTree(path);
    ::CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

std::string Join(const std::set<std::string>& names)
{
    std::string s;
    for (auto& name : names)
        s += name + " ";
    return s;
}

// The folder's files, sorted; * marks those that still hold "keep".
std::string Listing(const std::string& folder)
{
    std::set<std::string> names;
    for (const std::string& name : FileNames(folder))
        names.insert(name + (Read(folder + "\\" + name) == kKeep ? "*" : ""));
    return FileExists(folder) ? Join(names) : "no folder";
}

bool Free(const std::string& path) { return FileExists(path) && !IsHeldWithoutSharing(path); }

// Files holding "keep" written into a folder before a step: NAME stays, NAME! held open as by another program,
// NAME= held sharing reading and writing, NAME~ read-only, NAME- replaced or removed by the step, NAME* holding
// the last multi-page TIFF written (a stale temporary file); - alone: the folder removed.
struct Setup {
    std::set<std::string> kept; // as Listing shows them
    std::vector<std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)>> holds;

    Setup(const std::string& folder, const char* spec)
    {
        std::istringstream in(spec);
        for (std::string tok; in >> tok;) {
            char mark = strchr("!=~-*", tok.back()) ? tok.back() : 0;
            std::string name = tok.substr(0, tok.size() - (mark != 0)), path = folder + "\\" + name;
            if (name.empty()) {
                ::RemoveDirectoryA(folder.c_str());
                continue;
            }
            WriteFileBytes(path, mark == '*' ? Read(g_multiPage) : kKeep);
            if (mark != '-' && mark != '*')
                kept.insert(name + "*");
            if (mark == '~')
                ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY); // RemoveTree clears it
            if (mark == '!' || mark == '=') {
                holds.emplace_back(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                 mark == '=' ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0, nullptr,
                                                 OPEN_EXISTING, 0, nullptr),
                                   ::CloseHandle);
                CHECK_ROW(path + " held", holds.back().get() != INVALID_HANDLE_VALUE, true);
            }
        }
    }
};

HGLOBAL Global(const Bytes& b)
{
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, b.size());
    memcpy(::GlobalLock(h), b.data(), b.size());
    ::GlobalUnlock(h);
    return h;
}

// Pages shaped like scanned documents: A4 at 100 dpi, a different text on each.
testpages::Page PageImage(int n)
{
    using namespace testpages;
    return n % 4 == 3 ? Noise(611, 388, 100, 0.3, n) : Document(A4Width(100), A4Height(100), 100, n);
}
Bytes PageDib(int n) { return codec::MakePackedDib(PageImage(n).View()); }

// The settings and page store as the program has them after a scan of nPages pages.
struct Batch {
    CScanSettings settings;
    CPageStore store;
    std::vector<Bytes> dibs;

    explicit Batch(int nPages)
    {
        static int s_n = 0;
        std::string folder = Folder(g_work + "\\pages" + std::to_string(++s_n));
        snprintf(settings.m_szWorkFolder, sizeof settings.m_szWorkFolder, "%s\\", folder.c_str());
        for (int n = 1; n <= nPages; ++n) {
            dibs.push_back(PageDib(n));
            HGLOBAL h = Global(dibs.back());
            store.GrowPageTable();
            CHECK(store.WritePage(h, PageFile(n).c_str(), n - 1));
            ::GlobalFree(h);
        }
    }
    ~Batch() { store.DeleteAllPages(settings.m_szWorkFolder, "Doc", (int)dibs.size()); }

    std::string PageFile(int n) const
    {
        char sz[256];
        settings.BuildPageFileName(sz, n);
        return sz;
    }
    int Export(const std::string& folder, int type, int compression, int from)
    {
        snprintf(settings.m_szSaveFolder, sizeof settings.m_szSaveFolder, "%s", folder.c_str());
        strcpy(settings.m_szFileName, "Doc");
        settings.m_nFileType = type;
        settings.m_nCompression = compression;
        settings.m_nNumberFrom = from;
        return store.ExportPages(&settings, (int)dibs.size());
    }

    // After an export every page is held again: readable through the store, closed to other programs.
    void CheckHeld(const std::string& what)
    {
        for (int i = 0; i < (int)dibs.size(); ++i) {
            HLOCAL h = store.ReadPage(PageFile(i + 1).c_str(), i);
            CHECK_ROW(what + " page " + std::to_string(i + 1),
                      h && ::LocalSize(h) >= dibs[i].size() && !memcmp(::LocalLock(h), dibs[i].data(), dibs[i].size()) &&
                          IsHeldWithoutSharing(PageFile(i + 1)),
                      true);
            ::LocalFree(h);
        }
    }
};

void NamingCases()
{
    CScanSettings s;
    char sz[256];
    const std::string x250(250, 'x'), n250(250, 'n');
    struct {
        const char *folder, *stem;
        int type, n;
        const char* name; // null: refused, nothing written
    } names[] = {
        {"C:\\Scan", "Doc", 3, 0, "C:\\Scan\\Doc000.pdf"},
        {"C:\\Scan", "Doc", 7, 5, "C:\\Scan\\Doc005.tif"},
        {"C:\\Scan", "Doc", -1, 1001, "C:\\Scan\\Doc1001.tif"},
        {"C:\\Scan", "", 2, 1, "C:\\Scan\\001.tif"},
        {"C:\\Scan", "Doc", 2, -1, nullptr},
        {x250.c_str(), "Doc", 2, 1, nullptr},
    };
    for (auto& t : names) {
        strcpy(s.m_szSaveFolder, t.folder);
        strcpy(s.m_szFileName, t.stem);
        s.m_nFileType = t.type;
        strcpy(sz, "unchanged");
        std::string what = std::string(t.folder).substr(0, 12) + " " + std::to_string(t.type) + " " + std::to_string(t.n);
        CHECK_ROW(what, (bool)s.BuildOutputFileName(sz, t.n), t.name != nullptr);
        CHECK_ROW(what, std::string(sz) + " in " + s.m_szSaveFolder,
                  (t.name ? t.name : "unchanged") + std::string(" in ") + t.folder);
    }
    CHECK(!s.BuildOutputFileName(nullptr, 1));

    CPageStore store;
    std::string dir = Folder(g_work + "\\naming"), c99 = "C:\\" + std::string(96, 'c'),
                c100 = "C:\\" + std::string(97, 'a'), c101 = "C:\\" + std::string(98, 'b');
    for (auto& d : {c99, c100, c101, dir + "\\Out"})
        ::CreateDirectoryA(d.c_str(), nullptr);
    // A pair of backslashes is refused inside the path, allowed at its start.
    for (auto& folder : {dir, dir + "\\", c100, c99 + "\\", "\\\\?\\" + dir + "\\Out"})
        CHECK_ROW(folder, (bool)store.TestFolderWritable(folder.c_str()), true);
    for (auto& folder :
         {c101, c100 + "\\", std::string(), dir + "\\missing", dir + "\\\\Out", "\\\\?\\" + dir + "\\\\Out"})
        CHECK_ROW(folder, (bool)store.TestFolderWritable(folder.c_str()), false);
    CHECK(!store.TestFolderWritable(nullptr));
    for (auto& d : {c99, c100, c101})
        RemoveTree(d);

    for (const char* good : {"Doc", ""})
        CHECK_ROW(good, (bool)store.TestFileName(dir.c_str(), good), true);
    for (const char* bad : {".Doc", "/Doc", "a\\b", "a*b", "a?b", "a<b", "a|b", n250.c_str(), (const char*)nullptr})
        CHECK_ROW(bad ? bad : "null", (bool)store.TestFileName(dir.c_str(), bad), false);
    CHECK(store.TestFileName((dir + "\\").c_str(), "Doc"));
    CHECK(!store.TestFileName((dir + "\\missing").c_str(), "Doc"));
    CHECK(!store.TestFileName(nullptr, "Doc"));
    CHECK_EQ(Listing(dir), "");

    // A probe already there fails the test and is left alone.
    Setup probes(dir, "__a.tst Doc__._t_");
    CHECK(!store.TestFolderWritable(dir.c_str()));
    CHECK(!store.TestFileName(dir.c_str(), "Doc"));
    CHECK_EQ(Listing(dir), Join(probes.kept));

    for (const char* good : {"", "Doc", "Scan 2024-01", "a_b(c)", "x,y;z"})
        CHECK_ROW(good, (bool)store.IsValidFileStem(good), true);
    for (const char* bad : {".a", "/a", ":a", "a\\b", "a/b", "a:b", "a.b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b",
                            (const char*)nullptr})
        CHECK_ROW(bad ? bad : "null", (bool)store.IsValidFileStem(bad), false);
}

struct Job {
    char szFolder[300];
    int number, type, result;
};

DWORD WINAPI ConfirmThread(void* p)
{
    Job* job = static_cast<Job*>(p);
    job->result = COverwriteDlg().ConfirmOverwrite(job->szFolder, "Doc", job->number, job->type);
    return 0;
}

// What a dialog shows: the file it names, whether the icon is drawn (pixels unlike the background where it
// goes), its buttons, the default one, and the question.
std::string Shown(HWND hDlg, const std::string& question)
{
    HWND hFile = ::GetDlgItem(hDlg, IDC_OVERWRITE_FILE);
    RECT rc;
    ::GetWindowRect(::GetDlgItem(hDlg, IDC_WARNING_ICON_MARK), &rc);
    ::MapWindowPoints(nullptr, hDlg, (POINT*)&rc, 1);
    auto icon = [&] {
        HDC dc = ::GetDC(hDlg);
        int n = 0;
        for (int i = 0; i < 32 * 32; ++i)
            n += ::GetPixel(dc, rc.left + i % 32, rc.top + i / 32) != ::GetPixel(dc, 1, 1);
        ::ReleaseDC(hDlg, dc);
        return n > 100;
    };
    // The name is set, and the icon drawn, when the dialog paints.
    bool bIcon = hFile && WaitFor([&] { return !WindowText(hFile).empty() && icon(); }, 5000);
    std::string s = hFile ? "overwrite " + WindowText(hFile) + (bIcon ? " icon " : " no icon ") : "in-use ";
    char cls[32];
    for (HWND h = ::GetWindow(hDlg, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
        if (::GetClassNameA(h, cls, sizeof cls) && _stricmp(cls, "Button") == 0)
            s += WindowText(h) + (::GetDlgCtrlID(h) == DefaultId(hDlg) ? "(default)|" : "|");
    return s + (DialogText(hDlg).find(question) < DialogText(hDlg).size() ? " asks" : " asks no: " + DialogText(hDlg));
}

// ConfirmOverwrite runs on a thread of its own; each dialog it shows is awaited here, read and answered once.
void ConfirmOverwriteCases()
{
    std::string f193 = "C:\\" + std::string(190, 'f'), pdf = "Doc005.PDF";
    struct {
        const char* setup;  // see Setup
        std::string folder; // below the row's own folder, or a path from C:
        int number, type;
        // A letter a dialog: overwrite answered Proceed, Enter, Abort or Close; in use No, Yes, Yes after Let go.
        const char* plan;
        int result;
        std::string file; // the file the dialogs name
    } rows[] = {
        {"", "\\", 1, 0, "", 1, ""}, // no first file: no dialog
        {"Doc001.bmp", "", 1, 0, "P", 1, "Doc001.bmp"},
        {"Doc001.bmp", "", 1, 0, "E", 1, "Doc001.bmp"},
        {"Doc001.bmp", "", 1, 0, "C", 2, "Doc001.bmp"},
        {"Doc1234.tif", "", 1234, 1, "P", 1, "Doc1234.tif"},
        {"Doc1234.tif", "", 123, 1, "", 1, ""},
        {"Doc006.tif", "", 10005, 2, "A", 2, "Doc006.tif"}, // a damaged number: the file the export writes first
        {"Doc006.tif", "", -5, 2, "", 1, ""},
        {"", f193, 1, 0, "", 2, ""}, // too long a folder ends the check before anything is looked at
        {"", f193.substr(0, f193.size() - 1), 1, 2, "", 1, ""},
        {"", "", 5, 3, "", 1, ""}, // PDF: a missing file is tried and removed again
        {"Doc005.pdf", "", 5, 3, "P", 1, pdf},
        {"Doc005.pdf!", "", 5, 3, "N", 0, pdf},
        {"Doc005.pdf!", "", 5, 3, "YL", 1, pdf}, // Yes while held asks again
        {"Doc005.pdf=", "", 5, 3, "N", 0, pdf},
    };
    for (auto& t : rows) {
        std::string what = "row " + std::to_string(&t - rows + 1);
        std::string dir = Folder(g_work + "\\overwrite" + std::to_string(&t - rows + 1)), file = dir + "\\" + t.file;
        std::string folder = t.folder.rfind("C:", 0) == 0 ? t.folder : dir + t.folder;
        Setup setup(dir, t.setup);
        Job job = {{}, t.number, t.type, -1};
        snprintf(job.szFolder, sizeof job.szFolder, "%s", folder.c_str());
        HANDLE hThread = ::CreateThread(nullptr, 0, ConfirmThread, &job, 0, nullptr);
        const size_t nPlanned = strlen(t.plan);
        for (size_t i = 0; i <= nPlanned; ++i) {
            HWND hDlg = nullptr;
            WaitFor(
                [&] {
                    auto v = ProcessWindows(::GetCurrentProcessId(), "Pagewell Utility");
                    hDlg = v.empty() ? nullptr : v[0];
                    return hDlg || ::WaitForSingleObject(hThread, 0) == WAIT_OBJECT_0;
                },
                10000);
            CHECK_ROW(what + " dialog " + std::to_string(i + 1) + " shown", hDlg != nullptr, i < nPlanned);
            if (!hDlg)
                break;
            // Beyond the plan the dialog is declined, whichever it is.
            bool bOverwrite =
                i < nPlanned ? strchr("PEAC", t.plan[i]) != nullptr : ::GetDlgItem(hDlg, IDC_OVERWRITE_FILE) != nullptr;
            CHECK_ROW(what,
                      Shown(hDlg, bOverwrite ? "This file already exists. Overwrite the existing file?"
                                             : "A file of the same name " + file +
                                                   "  is opened in another "
                                                   "application.Before overwriting, it is necessary to close the "
                                                   "file.\n\nDo you want to overwrite the file?"),
                      bOverwrite ? "overwrite " + file + " icon Proceed(default)|Abort| asks" : "in-use &Yes|&No| asks");
            char a = i < nPlanned ? t.plan[i] : bOverwrite ? 'A' : 'N';
            if (a == 'L')
                setup.holds.clear();
            // Posted to the dialog: whichever control has the focus, Enter stands for the default button.
            if (a == 'E' || a == 'C')
                ::PostMessageA(hDlg, a == 'C' ? WM_CLOSE : WM_KEYDOWN, VK_RETURN, 0);
            else
                ClickButton(hDlg, a == 'P' ? IDOK : a == 'A' ? IDCANCEL : a == 'N' ? IDNO : IDYES);
            CHECK_ROW(what + " dialog gone after the answer", WaitFor([&] { return !::IsWindow(hDlg); }, 5000), true);
        }
        if (::WaitForSingleObject(hThread, 10000) != WAIT_OBJECT_0) {
            CHECK_ROW(what + " ConfirmOverwrite ended within 10 s of the last answer", false, true);
            ::ExitProcess(1); // the job belongs to a thread still running
        }
        ::CloseHandle(hThread);
        CHECK_ROW(what, job.result, t.result);
        CHECK_ROW(what, std::string(job.szFolder), folder.substr(0, folder.find_last_not_of('\\') + 1)); // trimmed
        setup.holds.clear();
        CHECK_ROW(what + ": the check writes nothing", Listing(dir), Join(setup.kept));
    }
}

struct ExportRow {
    int pages, type, compression, from;
    const char* before; // see Setup
    int result;
    const char* after; // files written: NAME, or NAME:PAGES read back (- skips a page)
};

// What the readers must find in a TIFF's pages (the scheme) or a PDF's image streams (the filter).
const char* Coding(int type, int compression)
{
    if (type == 3)
        return compression == 2 || compression == 3 ? "CCITTFaxDecode" : compression == 1 ? "RunLengthDecode" : "none";
    return compression == 1 ? "CCITT_Group_3" : compression == 2 ? "CCITT_Group_4" : "None";
}

// Each row exports a batch into a folder of its own (named with a trailing backslash on every other row that
// names files) and checks the folder after.
void RunExports(const std::string& root, const std::vector<ExportRow>& rows)
{
    static int s_n = 0;
    std::map<int, std::unique_ptr<Batch>> batches;
    ::CreateDirectoryA(root.c_str(), nullptr);
    for (const ExportRow& t : rows) {
        std::unique_ptr<Batch>& b = batches[t.pages];
        if (!b)
            b.reset(new Batch(t.pages));
        std::string save = Folder(root + "\\" + std::to_string(++s_n)), what = "export " + std::to_string(s_n);
        Setup setup(save, t.before);
        std::string folder = save + (s_n % 2 && t.from > 0 ? "\\" : "");
        CHECK_ROW(what, b->Export(folder, t.type, t.compression, t.from), t.result);
        CHECK_ROW(what, std::string(b->settings.m_szSaveFolder), save);
        CHECK_ROW(what, b->settings.m_nPageCount, t.pages);
        setup.holds.clear();
        // The TIFF lines name each page's scheme, the PDF lines the file's filter and each image's encoding.
        const char *coding = Coding(t.type, t.compression), *pdf = t.type == 3 ? "pdf" : "";
        const char* each = !*pdf ? coding : coding[0] == 'C' ? "ccitt" : "image";
        std::istringstream after(t.after);
        for (std::string tok; after >> tok;) {
            std::string name = tok.substr(0, tok.find(':')), pages = tok.substr(name.size() + (name != tok));
            std::string path = save + "\\" + name;
            setup.kept.insert(name);
            if (t.type == 0 && !pages.empty())
                CHECK_ROW(what + " " + name, Read(path) == codec::MakeBmpFile(PageImage(pages[0] - '0').View()), true);
            if (t.type == 0 || pages.empty())
                continue;
            g_multiPage = t.type == 1 ? path : g_multiPage;
            std::string file = path.substr(g_work.size() + 1);
            std::replace(file.begin(), file.end(), '\\', '/');
            fprintf(g_expect, "%spages %s %d %s\n", pdf, file.c_str(), (int)pages.size(), *pdf ? coding : "");
            for (size_t i = 0; i < pages.size(); ++i)
                if (pages[i] != '-')
                    fprintf(g_expect, "%s %s %d refs/page%c.bmp %s\n", *pdf ? pdf : "tiff", file.c_str(), (int)i,
                            pages[i], each);
        }
        CHECK_ROW(what, Listing(save), strcmp(t.before, "-") ? Join(setup.kept) : "no folder");
        b->CheckHeld(what);
    }
}

void ExportCases()
{
    // Which message each result shows (the refused name and the failed copy are seen through the program).
    const std::pair<int, UINT> messages[] = {
        {EXPORT_NO_FOLDER, IDS_ERR_NO_PATH},      {EXPORT_PAGE_MISSING, IDS_ERR_PAGE_MISSING},
        {EXPORT_PDF_FAILED, IDS_ERR_DISK_FULL},   {EXPORT_PDF_IN_USE, IDS_ERR_PDF},
        {EXPORT_NO_SETTINGS, IDS_ERR_DISK_FULL},  {EXPORT_NO_MEMORY, IDS_ERR_DISK_FULL},
        {EXPORT_WRITE_FAILED, IDS_ERR_DISK_FULL},
    };
    for (auto [result, id] : messages)
        CHECK_ROW(std::to_string(result), ExportResultMessage(result), id);

    ::CreateDirectoryA((g_work + "\\refs").c_str(), nullptr);
    for (int n = 1; n <= 5; ++n)
        CHECK(WriteFileBytes(g_work + "\\refs\\page" + std::to_string(n) + ".bmp",
                             codec::MakeBmpFile(PageImage(n).View())));
    RunExports(g_work + "\\export",
               {
                   // One TIFF a page: numbers go past 9999 to 001, a file of another number stays.
                   {5, 2, 2, 9998, "Doc004.tif", 4, "Doc9998.tif:1 Doc9999.tif:2 Doc001.tif:3 Doc002.tif:4 Doc003.tif:5"},
                   // Three digits below 1000, four from there; an existing file is replaced.
                   {5, 2, 1, 998, "Doc1000.tif-", 1003,
                    "Doc998.tif:1 Doc999.tif:2 Doc1000.tif:3 Doc1001.tif:4 Doc1002.tif:5"},
                   // Compression 3 is left from the PDF list, -1 is none: both stored uncompressed.
                   {5, 2, 3, 1, "", 6, "Doc001.tif Doc002.tif Doc003.tif Doc004.tif Doc005.tif:5"},
                   {5, 2, -1, 1, "", 6, "Doc001.tif:1 Doc002.tif Doc003.tif Doc004.tif Doc005.tif"},
                   // Outputs held elsewhere or read-only keep their contents, no page lands in another file.
                   {5, 2, 2, 1, "Doc002.tif! Doc004.tif~", EXPORT_NAME_REFUSED, "Doc001.tif:1 Doc003.tif:3 Doc005.tif:5"},
                   // One multi-page TIFF; 9999 is followed by 1; an existing file is replaced, not added to.
                   {5, 1, 2, 12, "", 13, "Doc012.tif:12345"},
                   {5, 1, 0, 9999, "Doc9999.tif-", 1, "Doc9999.tif:----5"},
                   // A temporary file left by an interrupted export is not taken over.
                   {5, 1, 1, 1, "dummy.tif*", 2, "Doc001.tif:1----"},
                   {5, 1, 2, 1, "Doc001.tif!", EXPORT_NAME_REFUSED, ""},
                   // PDF, each compression; a held PDF cannot be written (-80) and is not lost.
                   {5, 3, 3, 9999, "Doc9999.pdf-", 1, "Doc9999.pdf:12345"},
                   {5, 3, 0, 41, "", 42, "Doc041.pdf:-2---"},
                   {5, 3, 1, 41, "", 42, "Doc041.pdf:-2---"},
                   {5, 3, 2, 41, "", 42, "Doc041.pdf:-2---"},
                   {5, 3, 9, 41, "", 42, "Doc041.pdf:-2---"},
                   {5, 3, 3, 9999, "Doc9999.pdf!", EXPORT_PDF_IN_USE, ""},
                   // BMP copies; the third copy fails: this export's files go, files of other numbers stay.
                   {5, 0, 0, 9998, "", 4, "Doc9998.bmp:1 Doc9999.bmp:2 Doc001.bmp:3 Doc002.bmp:4 Doc003.bmp:5"},
                   {5, 0, 0, 10, "Doc009.bmp Doc010.bmp- Doc012.bmp! Doc013.bmp", EXPORT_COPY_FAILED, ""},
                   // The save folder removed after the checks passed.
                   {3, 2, 2, 7, "-", EXPORT_NO_FOLDER, ""},
                   {3, 1, 2, 7, "-", EXPORT_NO_FOLDER, ""},
                   {3, 3, 2, 7, "-", EXPORT_NO_FOLDER, ""},
                   {3, 0, 2, 7, "-", EXPORT_NO_FOLDER, ""},
                   // A damaged number: only this export's files are written, the result follows the last one.
                   {2, 2, 0, -5, "Doc9999.tif Doc001.tif", EXPORT_NAME_REFUSED, ""},
                   {2, 2, 0, 10005, "Doc9999.tif Doc001.tif", 8, "Doc006.tif Doc007.tif"},
                   {2, 2, 0, 2147483647, "Doc9999.tif Doc001.tif", 8418, "Doc8416.tif Doc8417.tif"},
                   {2, 1, 0, 10005, "Doc9999.tif Doc001.tif", 7, "Doc006.tif"},
                   {2, 3, 0, 0, "Doc9999.pdf Doc001.pdf", EXPORT_NAME_REFUSED, ""},
                   {2, 3, 0, 10005, "Doc9999.pdf Doc001.pdf", 7, "Doc006.pdf"},
                   {0, 2, 2, 77, "", 77, ""}, // no pages: nothing written, the number unchanged
               });

    // A location whose names would not fit is refused before anything is written.
    Batch b(2);
    CHECK_EQ(b.Export(std::string(250, 'x'), 2, 2, 1), EXPORT_NO_FOLDER);
    b.CheckHeld("long folder");
}

void PageCases()
{
    // A page file gone: this export's files go, a file of another number stays, the re-opening stops at the
    // missing page; a failure at the second page cleans up from the number the export began with.
    for (auto [type, from, other] : std::vector<std::tuple<int, int, const char*>>{{2, 1, "Doc004.tif"},
                                                                                   {1, 1, "Doc004.tif"},
                                                                                   {3, 1, "Doc004.pdf"},
                                                                                   {2, 10005, "Doc001.tif"}}) {
        std::string save = Folder(g_work + "\\missing"), what = std::to_string(type) + " from " + std::to_string(from);
        Setup setup(save, other);
        Batch b(3);
        // No settings: the pages are let go and stay so.
        CHECK_ROW(what, b.store.ExportPages(nullptr, 3), EXPORT_NO_SETTINGS);
        CHECK_ROW(what, b.store.ReadPage(b.PageFile(1).c_str(), 0) == nullptr && Free(b.PageFile(1)), true);
        CHECK_ROW(what, (bool)::DeleteFileA(b.PageFile(2).c_str()), true);
        CHECK_ROW(what, b.Export(save, type, 2, from), EXPORT_PAGE_MISSING);
        CHECK_ROW(what, Listing(save), Join(setup.kept));
        HLOCAL hPage = b.store.ReadPage(b.PageFile(1).c_str(), 0);
        CHECK_ROW(what, hPage && !b.store.PageHandle(1) && !b.store.PageHandle(2) && Free(b.PageFile(3)), true);
        ::LocalFree(hPage);
    }

    // Scanner blocks shorter than 40 + colour table + biSizeImage are refused, and leave no page file.
    Bytes dib = PageDib(1);
    Batch b(0);
    for (auto [keep, sizeImage] :
         std::vector<std::pair<size_t, DWORD>>{{dib.size() - 1, 0}, {60, 0}, {dib.size(), 0xFFFFFFF0u}, {20, 0}}) {
        Bytes d = dib;
        if (sizeImage)
            memcpy(&d[20], &sizeImage, 4);
        d.resize(keep);
        HGLOBAL h = Global(d);
        HLOCAL hCopy = b.store.CopyDib(h);
        b.store.GrowPageTable();
        CHECK_ROW(std::to_string(keep) + " bytes",
                  !hCopy && !b.store.WritePage(h, b.PageFile(1).c_str(), 0) && !FileExists(b.PageFile(1)), true);
        ::LocalFree(hCopy);
        ::GlobalFree(h);
    }

    // Page headers changed behind the store's back: bfSize past the end, 24 bits a pixel (the rows do not fit),
    // widths and heights no file of this size holds (the reduced read).
    for (auto [offset, value] :
         std::vector<std::pair<DWORD, DWORD>>{{2, 0x7FFFFFF0u}, {28, 24}, {18, 0x7FFFFFF0u}, {22, 0x7FFFFFF0u}}) {
        Batch one(1);
        DWORD put = 0;
        ::SetFilePointer(one.store.PageHandle(0), offset, nullptr, FILE_BEGIN);
        CHECK(::WriteFile(one.store.PageHandle(0), &value, offset == 28 ? 2 : 4, &put, nullptr));
        std::string name = one.PageFile(1);
        HLOCAL h = offset == 2 || offset == 28 ? one.store.ReadPage(name.c_str(), 0)
                                               : one.store.ReadPageReduced(name.c_str(), 0);
        CHECK_ROW("offset " + std::to_string(offset), h == nullptr, true);
        ::LocalFree(h);
    }
}

// The save folder is a small file system the exports fill (TOLVIX_FULL_DISK, from full-disk.sh): only the
// earlier files are left, the space is free again, and fewer pages still fit.
void FullDiskCases()
{
    std::string save = WindowsPath(getenv("TOLVIX_FULL_DISK") ? getenv("TOLVIX_FULL_DISK") : "");
    const char* earlier = "Doc900.tif Doc900.pdf Doc900.bmp";
    RunExports(save, {{6, 2, 0, 1, earlier, EXPORT_WRITE_FAILED, ""},
                      {6, 1, 0, 1, earlier, EXPORT_WRITE_FAILED, ""},
                      {6, 3, 0, 1, earlier, EXPORT_PDF_FAILED, ""},
                      {6, 0, 0, 1, earlier, EXPORT_COPY_FAILED, ""}});
    ULARGE_INTEGER freeBytes = {}, total = {};
    CHECK(::GetDiskFreeSpaceExA(save.c_str(), &freeBytes, &total, nullptr) && freeBytes.QuadPart > total.QuadPart / 2);
    RunExports(save, {{2, 1, 2, 1, earlier, 2, "Doc001.tif"}});
}

} // namespace

int main(int argc, char** argv)
{
    g_work = WindowsPath(getenv("TOLVIX_STORE_WORK") ? getenv("TOLVIX_STORE_WORK") : "");
    ::CreateDirectoryA(g_work.c_str(), nullptr);
    // The settings object keeps its file next to this program; leave none behind.
    std::string settingsFile = BinFolder() + "\\__utilInf.bin";
    bool bHadSettings = FileExists(settingsFile);
    if (g_work.empty() || !(g_expect = fopen((g_work + "\\expect.txt").c_str(), "wb")))
        return fprintf(stderr, "TOLVIX_STORE_WORK names no folder this program can write in\n"), 2;
    int rc = RunCases(argc, argv,
                      {{"naming", NamingCases},
                       {"confirm_overwrite", ConfirmOverwriteCases},
                       {"export", ExportCases},
                       {"pages", PageCases},
                       {"full_disk", FullDiskCases}});
    fclose(g_expect);
    if (!bHadSettings)
        ::DeleteFileA(settingsFile.c_str());
    return rc;
}

// Saving through the real Tolvix.exe on the virtual scanner: the Save command
// with its dialog and checks, the Preferences dialog, automatic saving and a
// failed export. Files written are listed in expect.txt of the work folder for
// check_outputs.sh, which reads them back with libtiff's tools and qpdf.
// Usage: test_save [case ...]   TOLVIX_SAVE_WORK = the work folder (Unix path)
#include "../mainwindow/Window.h"
#include "../scan/ScanHelpers.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

using namespace harness;
using namespace scantest;
using mw::CurSel;
using mw::Enabled;
using mw::FocusId;
using mw::WaitFocus;

namespace {

const char kBadName[] = "Invalid file name or path is specified.";
const char kClearQuestion[] = "Scanned images will be cleared. Continue?";

// Controls of the Preferences (142) and Save (150) dialogs.
enum {
    kExtension = 1011, kLocation = 1030, kFileName = 1031, kFileType = 1034, kCompression = 1035,
    kBrowse = 1041, kAutoSave = 1077, kCompressionLabel = 1080, kNumber = 1083, kShowSaveDialog = 1089,
    kPrefsOk = 1091, kPrefsCancel = 1092, kSaveCancel = 1094,
};
enum { kBmp = 0, kMultiTiff = 1, kTiff = 2, kPdf = 3 };
// Settings file offsets.
enum { kOffStem = 256, kOffNumber = 324, kOffFileType = 332, kOffCompression = 336, kOffAutoSave = 348,
       kOffShowSave = 364, kOffFolderValid = 384 };

std::string g_work;        // Windows path of the work folder
std::string g_workUnix;
FILE* g_expect = nullptr;

// A fresh folder under the work folder, emptied of what an earlier run left.
std::string OutputFolder(const char* name)
{
    std::string path = g_work + "\\" + name;
    RemoveTree(path);
    ::CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

void Expect(const std::string& line)
{
    if (g_expect) {
        fprintf(g_expect, "%s\n", line.c_str());
        fflush(g_expect);
    }
}

std::string Unix(const std::string& folder, const std::string& name)
{
    std::string path = g_workUnix + folder.substr(g_work.size()) + "/" + name;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

// A settings record for a session: the save target and how automatic saving runs.
Bytes Record(int scanRange, const std::string& folder, const char* stem, int number, int fileType, int compression,
             BOOL bAutoSave = FALSE, BOOL bShowSave = TRUE)
{
    Bytes b = SettingsRecord(scanRange);
    memset(&b[0], 0, 320);
    memcpy(&b[0], folder.data(), folder.size());
    memcpy(&b[kOffStem], stem, strlen(stem));
    mw::PutInt(b, kOffNumber, number);
    mw::PutInt(b, kOffFileType, fileType);
    mw::PutInt(b, kOffCompression, compression);
    mw::PutInt(b, kOffAutoSave, bAutoSave);
    mw::PutInt(b, kOffShowSave, bShowSave);
    mw::PutInt(b, kOffFolderValid, 1);
    return b;
}

Bytes StoredSettings(Session& s)
{
    Bytes b;
    ReadFileBytes(s.Prog().SettingsPath(), b);
    if (b.size() != 392)
        b.assign(392, 0xEE);
    return b;
}

std::string StoredString(const Bytes& b, int off)
{
    return std::string(reinterpret_cast<const char*>(&b[off]));
}

bool StartWith(Session& s, const Bytes& record)
{
    WriteFileBytes(s.Prog().SettingsPath(), record);
    if (s.Start())
        return true;
    // What the program shows instead of its main window.
    fprintf(stderr, "no main window; running %d\n", (int)s.Prog().Running());
    for (HWND h : ProcessWindows(s.Prog().Pid()))
        fprintf(stderr, "  window '%s': %s\n", WindowText(h).c_str(), DialogText(h).c_str());
    return false;
}

// A window of the program with this caption, other than the main window.
HWND WaitWindow(Session& s, const char* caption, DWORD ms = 15000)
{
    HWND hFound = nullptr;
    WaitFor([&] {
        for (HWND h : ProcessWindows(s.Prog().Pid(), caption))
            if (h != s.Main())
                hFound = h;
        return hFound != nullptr || !s.Prog().Running();
    }, ms);
    return hFound;
}

HWND OpenFromMain(Session& s, char letter, const char* caption)
{
    CHECK(MakeForeground(s.Main()));
    mw::AltKey(letter);
    HWND hDlg = WaitWindow(s, caption);
    CHECK(hDlg != nullptr);
    return hDlg;
}

bool Gone(HWND hWnd)
{
    return WaitFor([&] { return !::IsWindow(hWnd) || !::IsWindowVisible(hWnd); });
}

// Chooses item index of a drop-down list as a user does: its mnemonic, F4, arrows, Enter.
void Pick(HWND hDlg, char mnemonic, int id, int index)
{
    CHECK(MakeForeground(hDlg));
    mw::AltKey(mnemonic);
    CHECK(WaitFocus(hDlg, id));
    Tap(VK_F4);
    CHECK(WaitFor([&] { return mw::Dropped(hDlg, id); }));
    Tap(VK_HOME);
    for (int i = 0; i < index; ++i)
        Tap(VK_DOWN);
    Tap(VK_RETURN);
    CHECK(WaitFor([&] { return !mw::Dropped(hDlg, id) && CurSel(hDlg, id) == index; }));
}

// Replaces an edit's text by typing, reached through its label's mnemonic.
void TypeInto(HWND hDlg, char mnemonic, int id, const std::string& text)
{
    CHECK(MakeForeground(hDlg));
    mw::AltKey(mnemonic);
    CHECK(WaitFocus(hDlg, id));
    Tap(VK_HOME);
    Key(VK_SHIFT, true);
    Tap(VK_END);
    Key(VK_SHIFT, false);
    Tap(VK_DELETE);
    TypeText(text.c_str());
    ::GetAsyncKeyState(VK_SHIFT);
    CHECK(mw::WaitText(hDlg, id, text));
}

// The message with this text; answered with Enter once it is in front.
bool AnswerMessage(Session& s, const char* text)
{
    HWND hBox = s.Prog().WaitDialogWithText(text, 10000);
    if (!hBox)
        return false;
    CHECK(MakeForeground(hBox));
    Tap(VK_RETURN);
    return Gone(hBox);
}

bool ScanPages(Session& s, int nPages)
{
    s.PressScan();
    return s.WaitPagesShown(nPages);
}

bool ToolsAfterManualSave(Session& s)
{
    return WaitFor([&] {
        return ::IsWindowEnabled(s.Main()) && s.ToolEnabled(kCmdSave) && s.ToolEnabled(kCmdClear) &&
               !s.ToolEnabled(kCmdPreferences);
    });
}

// ---- cases ----------------------------------------------------------------------

// Five pages as TIFF G4 from 998: three- and four-digit numbers, the next number
// stored, the toolbar after the save.
void SaveTiffNumbering()
{
    RemovePageFiles();
    ScannerControls controls({{"Sheets", 5}, {"PageDivisor", 4}});
    const std::string out = OutputFolder("tiff");
    Session s("save-tiff");
    Bytes record = Record(kRangeBatch, s.Prog().Folder() + "\\MyDocuments", "Doc", 1, kBmp, 0);
    CHECK(StartWith(s, record));
    CHECK(!s.ToolEnabled(kCmdSave));
    if (!ScanPages(s, 5))
        return CHECK(!"five pages shown");
    CHECK(s.ToolEnabled(kCmdSave));
    CHECK(!s.ToolEnabled(kCmdPreferences));
    // The save locks Show Page while it runs; the keyboard comes back to it.
    mw::ClickAt(::GetDlgItem(s.Main(), kShowPageEdit), 0.5, 0.5);
    CHECK(WaitFocus(s.Main(), kShowPageEdit));

    HWND hDlg = OpenFromMain(s, 'A', "Save");
    if (!hDlg)
        return;
    // BMP: no compression to choose.
    CHECK_EQ(mw::ComboItems(hDlg, kCompression).size(), (size_t)0);
    CHECK(!Enabled(hDlg, kCompression));
    CHECK_EQ(mw::Text(hDlg, kExtension), std::string(".BMP"));
    Pick(hDlg, 'F', kFileType, kTiff);
    CHECK_EQ(mw::Text(hDlg, kExtension), std::string(".TIF"));
    CHECK(Enabled(hDlg, kCompression));
    CHECK_EQ(mw::ComboItems(hDlg, kCompression).size(), (size_t)3);
    CHECK_EQ(CurSel(hDlg, kCompression), 0);
    Pick(hDlg, 'C', kCompression, 2);
    TypeInto(hDlg, 'L', kLocation, out);
    TypeInto(hDlg, 'N', kFileName, "page");
    TypeInto(hDlg, 'M', kNumber, "998");
    Tap(VK_TAB);
    CHECK(mw::WaitText(hDlg, kNumber, "998"));
    mw::AltKey('S');
    CHECK(Gone(hDlg));
    CHECK(ToolsAfterManualSave(s));
    CHECK(WaitFocus(s.Main(), kShowPageEdit));

    const char* names[] = {"page998.tif", "page999.tif", "page1000.tif", "page1001.tif", "page1002.tif"};
    int w = 0, h = 0;
    A4PageSize(4, &w, &h);
    for (const char* name : names) {
        CHECK(FileExists(out + "\\" + name));
        Expect("tiff " + Unix(out, name) + " " + std::to_string(w) + " " + std::to_string(h) + " CCITT_Group_4");
    }
    CHECK(!FileExists(out + "\\page1003.tif"));
    CHECK_EQ(s.Text(kPageTotal), std::string("/ 5"));

    // A saved batch closes without the question.
    ::PostMessageA(s.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    CHECK(s.Prog().WaitExit());
    Bytes b = StoredSettings(s);
    CHECK_EQ(StoredString(b, 0), out);
    CHECK_EQ(StoredString(b, kOffStem), std::string("page"));
    CHECK_EQ(mw::GetInt(b, kOffNumber), 1003);
    CHECK_EQ(mw::GetInt(b, kOffFileType), kTiff);
    CHECK_EQ(mw::GetInt(b, kOffCompression), 2);
}

// A location that cannot be written, then an existing first output file: each
// brings the Save dialog back; Cancel stores no location and leaves the batch unsaved.
void SaveRefusedTargets()
{
    RemovePageFiles();
    ScannerControls controls({{"Sheets", 1}, {"PageDivisor", 4}});
    const std::string out = OutputFolder("refused");
    const std::string existing = out + "\\Doc001.tif";
    CHECK(WriteFileBytes(existing, Bytes(10, 'x')));
    Session s("save-refused");
    const std::string stored = s.Prog().Folder() + "\\MyDocuments";
    CHECK(StartWith(s, Record(kRangeCurrentPage, stored, "Doc", 1, kTiff, 0)));
    if (!ScanPages(s, 1))
        return CHECK(!"one page shown");

    HWND hDlg = OpenFromMain(s, 'A', "Save");
    if (!hDlg)
        return;
    CHECK_EQ(mw::Text(hDlg, kLocation), stored);
    TypeInto(hDlg, 'L', kLocation, out + "\\missing");
    Pick(hDlg, 'F', kFileType, kPdf);
    mw::AltKey('S');
    CHECK(AnswerMessage(s, kBadName));
    hDlg = WaitWindow(s, "Save");
    if (!hDlg)
        return CHECK(!"the Save dialog again");
    CHECK(WaitFocus(hDlg, kLocation));
    CHECK_EQ(mw::Text(hDlg, kLocation), stored);
    CHECK_EQ(CurSel(hDlg, kFileType), kPdf);
    DWORD sel = (DWORD)::SendMessageA(::GetDlgItem(hDlg, kLocation), EM_GETSEL, 0, 0);
    CHECK_EQ((int)HIWORD(sel), (int)stored.size());
    CHECK_EQ((int)LOWORD(sel), 0);
    CHECK(MakeForeground(hDlg));
    Tap(VK_ESCAPE);
    CHECK(Gone(hDlg));

    // The existing first file: "Abort", then Cancel in the Save dialog.
    hDlg = OpenFromMain(s, 'A', "Save");
    if (!hDlg)
        return;
    Pick(hDlg, 'F', kFileType, kTiff);
    TypeInto(hDlg, 'L', kLocation, out);
    mw::AltKey('S');
    HWND hAsk = s.Prog().WaitDialogWithText("This file already exists.");
    CHECK(hAsk != nullptr);
    if (hAsk) {
        CHECK_EQ(mw::Text(hAsk, 1089), existing);
        ClickButton(hAsk, IDCANCEL);
        CHECK(Gone(hAsk));
    }
    hDlg = WaitWindow(s, "Save");
    CHECK(hDlg != nullptr);
    if (hDlg) {
        CHECK(MakeForeground(hDlg));
        Tap(VK_ESCAPE);
        CHECK(Gone(hDlg));
    }
    Bytes content;
    CHECK(ReadFileBytes(existing, content) && content == Bytes(10, 'x'));
    CHECK(!FileExists(out + "\\Doc002.tif"));

    // Nothing was saved: closing asks first.
    ::PostMessageA(s.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND hQuestion = s.Prog().WaitDialogWithText(kClearQuestion, 10000);
    CHECK(hQuestion != nullptr);
    if (hQuestion)
        ClickButton(hQuestion, IDOK);
    CHECK(s.Prog().WaitExit());
    Bytes b = StoredSettings(s);
    // The checked location was stored before the overwrite check; the refused one never.
    CHECK_EQ(StoredString(b, 0), out);
    CHECK_EQ(mw::GetInt(b, kOffFileType), kTiff);
}

// Preferences: the lists by file type, the location and number checks, a new
// stem restarting the numbers, switching automatic saving off restoring the
// opening values, and what OK stores with automatic saving off.
void PreferencesFields()
{
    Session s("prefs");
    const std::string stored = s.Prog().Folder() + "\\MyDocuments";
    CHECK(StartWith(s, Record(kRangeCurrentPage, stored, "Doc", 42, kBmp, 0)));
    HWND hDlg = OpenFromMain(s, 'P', "Preferences");
    if (!hDlg)
        return;
    // Automatic saving off: the target is shown but cannot be changed.
    CHECK_EQ(::SendMessageA(::GetDlgItem(hDlg, kAutoSave), BM_GETCHECK, 0, 0), (LRESULT)BST_UNCHECKED);
    for (int id : {kFileType, kLocation, kBrowse, kFileName, kNumber, kShowSaveDialog})
        CHECK(!Enabled(hDlg, id));
    CHECK_EQ(mw::Text(hDlg, kNumber), std::string("042"));
    CHECK(!mw::Visible(hDlg, 1101));
    CHECK(!mw::Visible(hDlg, 1086));

    CHECK(MakeForeground(hDlg));
    mw::AltKey('A');
    // BMP keeps the compression list off while its label comes on.
    CHECK(WaitFor([&] {
        return Enabled(hDlg, kFileType) && Enabled(hDlg, kLocation) && Enabled(hDlg, kCompressionLabel);
    }));
    CHECK(!Enabled(hDlg, kCompression));
    Pick(hDlg, 'F', kFileType, kPdf);
    CHECK(mw::ComboItems(hDlg, kCompression) ==
          (std::vector<std::string>{"None", "PackBits", "CCITT Group 3", "CCITT Group 4"}));
    CHECK_EQ(mw::Text(hDlg, kExtension), std::string(".PDF"));
    Pick(hDlg, 'C', kCompression, 1);

    // 101 characters are refused on leaving the field, 100 are taken.
    const std::string longFolder = "C:\\" + std::string(98, 'a');
    TypeInto(hDlg, 'L', kLocation, longFolder);
    Tap(VK_TAB);
    CHECK(AnswerMessage(s, kBadName));
    CHECK(mw::WaitText(hDlg, kLocation, stored));
    CHECK(WaitFocus(hDlg, kLocation));
    TypeInto(hDlg, 'L', kLocation, longFolder.substr(0, 100));
    Tap(VK_TAB);
    CHECK(WaitFocus(hDlg, kBrowse));
    CHECK(s.Prog().WaitDialogWithText(kBadName, 500) == nullptr);
    CHECK_EQ(mw::Text(hDlg, kLocation), longFolder.substr(0, 100));

    // A new stem starts the numbers again; a number out of range is put back.
    TypeInto(hDlg, 'N', kFileName, "letter");
    Tap(VK_TAB);
    CHECK(mw::WaitText(hDlg, kNumber, "001"));
    TypeInto(hDlg, 'M', kNumber, "0");
    Tap(VK_TAB);
    CHECK(mw::WaitText(hDlg, kNumber, "001"));
    TypeInto(hDlg, 'M', kNumber, "1234");
    Tap(VK_TAB);
    CHECK(mw::WaitText(hDlg, kNumber, "1234"));

    // Off again: what the dialog opened with comes back.
    CHECK(MakeForeground(hDlg));
    mw::AltKey('A');
    CHECK(WaitFor([&] { return !Enabled(hDlg, kLocation); }));
    CHECK_EQ(mw::Text(hDlg, kLocation), stored);
    CHECK_EQ(mw::Text(hDlg, kFileName), std::string("Doc"));
    CHECK_EQ(mw::Text(hDlg, kNumber), std::string("042"));
    CHECK_EQ(CurSel(hDlg, kFileType), kPdf);
    ClickButton(hDlg, kPrefsOk);
    CHECK(Gone(hDlg));
    CHECK_EQ(mw::ButtonText(s.Main(), kCmdScan), std::string("&Scan"));

    CHECK(s.Prog().CloseNormally());
    Bytes b = StoredSettings(s);
    CHECK_EQ(StoredString(b, 0), stored);
    CHECK_EQ(StoredString(b, kOffStem), std::string("Doc"));
    CHECK_EQ(mw::GetInt(b, kOffNumber), 42);
    CHECK_EQ(mw::GetInt(b, kOffFileType), kPdf);
    CHECK_EQ(mw::GetInt(b, kOffCompression), 1);
    CHECK_EQ(mw::GetInt(b, kOffAutoSave), 0);
}

// Automatic saving with the Save dialog off: Scan & Save writes the batch at the
// end of the scan without asking. With the Save dialog on, its Cancel stops the scan.
void AutoSaveScan()
{
    RemovePageFiles();
    ScannerControls controls({{"Sheets", 3}, {"PageDivisor", 4}});
    const std::string out = OutputFolder("auto");
    {
        Session s("autosave");
        CHECK(StartWith(s, Record(kRangeBatch, out, "auto", 5, kPdf, 3, TRUE, FALSE)));
        CHECK_EQ(mw::ButtonText(s.Main(), kCmdScan), std::string("&Scan && Save"));
        CHECK(!s.ToolEnabled(kCmdSave));
        s.PressScan();
        // No window but the main one comes up while the batch is scanned and saved.
        bool bOtherWindow = false;
        CHECK(WaitFor([&] {
            for (HWND h : ProcessWindows(s.Prog().Pid()))
                bOtherWindow = bOtherWindow || h != s.Main();
            return FileExists(out + "\\auto005.pdf") && ::IsWindowEnabled(s.Main()) && s.ToolEnabled(kCmdScan);
        }, 60000));
        CHECK(!bOtherWindow);
        CHECK_EQ(s.Text(kPageTotal), std::string("/ 0"));
        CHECK(s.ToolEnabled(kCmdPreferences));
        CHECK(!s.ToolEnabled(kCmdSave));
        CHECK(!s.ToolEnabled(kCmdClear));
        Expect("pdfpages " + Unix(out, "auto005.pdf") + " 3 ccitt");
        // The focus is on a control that takes it, not on the empty display
        // area; its page keys and a double click there show no saved page.
        HWND hFocus = FocusOf(s.Main());
        CHECK(hFocus && hFocus != s.Display() && ::IsWindowEnabled(hFocus));
        s.Click(40, 40);
        for (WORD vk : {VK_HOME, VK_END, VK_NEXT, VK_RIGHT})
            s.KeyOnMain(vk);
        s.DoubleClick(40, 40);
        CHECK(WaitWindow(s, "Actual Size", 1000) == nullptr);
        CHECK_EQ(s.Text(kShowPageEdit), std::string("0"));
        CHECK(s.Prog().CloseNormally());
        Bytes b = StoredSettings(s);
        CHECK_EQ(mw::GetInt(b, kOffNumber), 6);
    }
    {
        // The Save dialog for every scan: Cancel means no scan.
        Session s("autosave-dialog");
        CHECK(StartWith(s, Record(kRangeBatch, out, "auto", 6, kPdf, 3, TRUE, TRUE)));
        s.PressScan();
        HWND hDlg = WaitWindow(s, "Save");
        CHECK(hDlg != nullptr);
        if (hDlg) {
            CHECK_EQ(mw::Text(hDlg, kNumber), std::string("006"));
            CHECK(MakeForeground(hDlg));
            Tap(VK_ESCAPE);
            CHECK(Gone(hDlg));
        }
        CHECK(WaitFor([&] { return ::IsWindowEnabled(s.Main()) != FALSE; }));
        CHECK(s.ToolEnabled(kCmdScan));
        CHECK(PageFilesPresent().empty());
        CHECK(!FileExists(out + "\\auto006.pdf"));
        CHECK(s.Prog().CloseNormally());
    }
}

// Automatic saving of two pages as TIFF from a damaged settings file, or into
// a folder where another program holds an earlier file open: the earlier files
// Doc9999.tif and Doc001.tif keep their contents, what could be saved is, a
// page that could not be is reported, and the next number follows the files.
void AutoSaveKeepsEarlierFiles()
{
    struct {
        int number, type;
        bool bHoldFirst;      // this program holds Doc001.tif open during the scan
        const char* message;  // the report after the export, or none
        std::vector<const char*> written;
        int stored;
    } table[] = {
        {-5, kTiff, false, kBadName, {}, -5},
        {0, kTiff, false, kBadName, {}, 0},
        {10005, kTiff, false, nullptr, {"Doc006.tif", "Doc007.tif"}, 8},
        {2147483647, kTiff, false, nullptr, {"Doc8416.tif", "Doc8417.tif"}, 8418},
        {1, kTiff, true, kBadName, {"Doc002.tif"}, 1},
        {1, kMultiTiff, true, kBadName, {}, 1},
    };
    ScannerControls controls({{"Sheets", 2}, {"PageDivisor", 4}});
    int w = 0, h = 0;
    A4PageSize(4, &w, &h);
    for (auto& t : table) {
        const std::string what = std::to_string(t.type) + " from " + std::to_string(t.number) + ": ";
        RemovePageFiles();
        const std::string out = OutputFolder(("earlier" + std::to_string(&t - table)).c_str());
        const std::string earlier[] = {out + "\\Doc9999.tif", out + "\\Doc001.tif"};
        for (auto& name : earlier)
            WriteFileBytes(name, Bytes(4, 'k'));
        HANDLE hHeld = t.bHoldFirst ? ::CreateFileA(earlier[1].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                                    nullptr)
                                    : INVALID_HANDLE_VALUE;
        CHECK_EQ(what + std::to_string(hHeld != INVALID_HANDLE_VALUE), what + std::to_string(t.bHoldFirst));
        {
            Session s("autosave-earlier");
            CHECK(StartWith(s, Record(kRangeBatch, out, "Doc", t.number, t.type, 0, TRUE, FALSE)));
            s.PressScan();
            if (t.message)
                CHECK_EQ(what + std::to_string(AnswerMessage(s, t.message)), what + "1");
            // The window comes back only after the export; by then its files are there.
            bool bEnabled = false;
            std::string missing;
            WaitFor([&] {
                bEnabled = ::IsWindowEnabled(s.Main()) != FALSE;
                missing.clear();
                for (const char* name : t.written)
                    if (!FileExists(out + "\\" + name))
                        missing += std::string(" ") + name;
                return bEnabled && missing.empty();
            }, 60000);
            CHECK_EQ(what + "enabled " + std::to_string(bEnabled) + ", missing:" + missing, what + "enabled 1, missing:");
            CHECK(s.Prog().WaitDialogWithText(kBadName, 0) == nullptr);
            CHECK(s.Prog().CloseNormally());
            CHECK_EQ(what + std::to_string(mw::GetInt(StoredSettings(s), kOffNumber)), what + std::to_string(t.stored));
        }
        if (hHeld != INVALID_HANDLE_VALUE)
            ::CloseHandle(hHeld);
        for (auto& name : earlier) {
            Bytes b;
            CHECK_EQ(what + name + " " + std::to_string(ReadFileBytes(name, b) && b == Bytes(4, 'k')), what + name + " 1");
        }
        for (const char* name : t.written) {
            CHECK_EQ(what + name + " " + std::to_string(FileExists(out + "\\" + name)), what + name + " 1");
            Expect("tiff " + Unix(out, name) + " " + std::to_string(w) + " " + std::to_string(h) + " None");
        }
    }
}

// An export into a folder that fills up: the message, the number kept, and the
// batch counted as saved, so the next Scan does not ask before clearing it.
// TOLVIX_FULL_DISK names the small file system the save goes to.
void ExportFailureSaved()
{
    const char* full = getenv("TOLVIX_FULL_DISK");
    if (!full || !*full)
        return CHECK(!"TOLVIX_FULL_DISK names a small file system");
    const std::string out = WindowsPath(full);
    RemovePageFiles();
    ScannerControls controls({{"Sheets", 4}, {"PageDivisor", 1}});
    Session s("save-full");
    CHECK(StartWith(s, Record(kRangeBatch, out, "full", 1, kBmp, 0)));
    if (!ScanPages(s, 4))
        return CHECK(!"four pages shown");
    HWND hDlg = OpenFromMain(s, 'A', "Save");
    if (!hDlg)
        return;
    CHECK_EQ(mw::Text(hDlg, kLocation), out);
    mw::AltKey('S');
    CHECK(AnswerMessage(s, "Running out of disk space."));
    CHECK(ToolsAfterManualSave(s));

    // The same batch as an uncompressed PDF: a full disk is said as such, not
    // as a PDF open in another program, and no partial PDF stays.
    hDlg = OpenFromMain(s, 'A', "Save");
    if (!hDlg)
        return;
    Pick(hDlg, 'F', kFileType, kPdf);
    Pick(hDlg, 'C', kCompression, 0);
    mw::AltKey('S');
    CHECK(AnswerMessage(s, "Running out of disk space."));
    CHECK(ToolsAfterManualSave(s));
    CHECK(!FileExists(out + "\\full001.pdf"));

    s.PressScan();
    CHECK(s.WaitPagesShown(4));
    CHECK(s.Prog().WaitDialogWithText(kClearQuestion, 500) == nullptr);
    CHECK(s.CloseAndConfirm());
    CHECK_EQ(mw::GetInt(StoredSettings(s), kOffNumber), 1);
}

// The system's save-file dialog behind Browse: it opens with the file type's
// filter and the stem; Cancel gives the focus back to Browse; a chosen file
// sets the location, the stem and the file type by the filter left selected,
// and OK stores them.
void BrowseButton()
{
    const std::string out = OutputFolder("browse");
    Session s("browse");
    CHECK(StartWith(s, Record(kRangeCurrentPage, out, "scan", 1, kPdf, 2)));
    CHECK_EQ(mw::ButtonText(s.Main(), kCmdScan), std::string("&Scan"));
    HWND hDlg = OpenFromMain(s, 'P', "Preferences");
    if (!hDlg)
        return;
    CHECK(MakeForeground(hDlg));
    mw::AltKey('A');
    CHECK(WaitFor([&] { return Enabled(hDlg, kBrowse); }));
    mw::AltKey('B');
    HWND hFile = WaitWindow(s, "Save As");
    if (!hFile)
        return CHECK(!"the save-file dialog");
    const int kFilterCombo = 0x470, kNameCombo = 0x47c, kNameEdit = 0x480;
    CHECK_EQ(CurSel(hFile, kFilterCombo), kPdf);
    std::string name = mw::Text(hFile, kNameEdit);
    if (name.empty())
        name = mw::Text(hFile, kNameCombo);
    CHECK_EQ(name, std::string("scan"));
    CHECK(MakeForeground(hFile));
    Tap(VK_ESCAPE);
    CHECK(Gone(hFile));
    CHECK(WaitFocus(hDlg, kBrowse));

    // "Multi Page TIFF" and a name of the user's: the dialog takes all three.
    CHECK(MakeForeground(hDlg));
    mw::AltKey('B');
    hFile = WaitWindow(s, "Save As");
    if (!hFile)
        return CHECK(!"the save-file dialog again");
    Pick(hFile, 'T', kFilterCombo, 1);
    mw::AltKey('N');
    CHECK(WaitFor([&] {
        char cls[32] = {};
        ::GetClassNameA(FocusOf(hFile), cls, sizeof cls);
        return _stricmp(cls, "Edit") == 0;
    }));
    Tap(VK_HOME);
    Key(VK_SHIFT, true);
    Tap(VK_END);
    Key(VK_SHIFT, false);
    const std::string chosen = out + "\\scan7.tif";
    TypeText(chosen.c_str());
    ::GetAsyncKeyState(VK_SHIFT);
    CHECK(WaitFor([&] { return ControlText(FocusOf(hFile)) == chosen; }));
    Tap(VK_RETURN);
    CHECK(Gone(hFile));
    CHECK(WaitFocus(hDlg, kBrowse));
    CHECK_EQ(CurSel(hDlg, kFileType), kMultiTiff);
    CHECK_EQ(mw::Text(hDlg, kFileName), std::string("scan7"));
    CHECK_EQ(mw::Text(hDlg, kLocation), out);
    CHECK_EQ(mw::Text(hDlg, kNumber), std::string("001"));

    // OK: the target passes its checks and is stored; the toolbar says what Scan does now.
    ClickButton(hDlg, kPrefsOk);
    CHECK(Gone(hDlg));
    CHECK(WaitFor([&] { return mw::ButtonText(s.Main(), kCmdScan) == "&Scan && Save"; }));
    CHECK(!s.ToolEnabled(kCmdSave));
    CHECK(s.Prog().CloseNormally());
    Bytes b = StoredSettings(s);
    CHECK_EQ(StoredString(b, 0), out);
    CHECK_EQ(StoredString(b, kOffStem), std::string("scan7"));
    CHECK_EQ(mw::GetInt(b, kOffFileType), kMultiTiff);
    CHECK_EQ(mw::GetInt(b, kOffNumber), 1);
    CHECK_EQ(mw::GetInt(b, kOffAutoSave), 1);
}

// Pictures of both dialogs for a person to look at (TOLVIX_ARTIFACTS).
void Pictures()
{
    const char* dir = getenv("TOLVIX_ARTIFACTS");
    std::string folder = dir && *dir ? WindowsPath(dir) : g_work;
    ::CreateDirectoryA(folder.c_str(), nullptr);
    Session s("pictures");
    CHECK(StartWith(s, Record(kRangeCurrentPage, s.Prog().Folder(), "Doc", 1, kPdf, 3, TRUE, TRUE)));
    HWND hPrefs = OpenFromMain(s, 'P', "Preferences");
    if (hPrefs) {
        CHECK(MakeForeground(hPrefs));
        CHECK(SaveBmp(SettledCapture(hPrefs), folder + "\\preferences.bmp"));
        ClickButton(hPrefs, kPrefsCancel);
        CHECK(Gone(hPrefs));
    }
    // The Save dialog comes up before a scan while automatic saving asks for it.
    s.PressScan();
    HWND hSave = WaitWindow(s, "Save");
    CHECK(hSave != nullptr);
    if (hSave) {
        CHECK(MakeForeground(hSave));
        CHECK(SaveBmp(SettledCapture(hSave), folder + "\\save.bmp"));
        ClickButton(hSave, kSaveCancel);
        CHECK(Gone(hSave));
    }
    CHECK(s.Prog().CloseNormally());
}

} // namespace

int main(int argc, char** argv)
{
    const char* work = getenv("TOLVIX_SAVE_WORK");
    if (!work || !*work) {
        fprintf(stderr, "TOLVIX_SAVE_WORK is not set\n");
        return 2;
    }
    g_workUnix = work;
    g_work = WindowsPath(work);
    ::CreateDirectoryA(g_work.c_str(), nullptr);
    const bool bAll = argc < 2;
    g_expect = fopen((g_work + "\\expect.txt").c_str(), bAll ? "w" : "a");
    int r = RunCases(argc, argv,
                     {{"save_tiff", SaveTiffNumbering},
                      {"save_refused", SaveRefusedTargets},
                      {"preferences", PreferencesFields},
                      {"autosave", AutoSaveScan},
                      {"autosave_earlier", AutoSaveKeepsEarlierFiles},
                      {"browse", BrowseButton},
                      {"full_disk", ExportFailureSaved},
                      {"pictures", Pictures}});
    if (g_expect)
        fclose(g_expect);
    return r;
}

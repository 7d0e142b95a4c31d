// Saving through the real Tolvix.exe: files written are listed in expect.txt for check-common.sh.
// Usage: test_save [case ...]   TOLVIX_SAVE_WORK = the work folder
#include "../harness/Session.h"

#include <dlgs.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <tuple>

using namespace harness;

// Ends the case when a window it goes on in did not come (its wait has said so).
#define NEED(x) \
    if (!(x)) \
    return

namespace {

const char kBadName[] = "Invalid file name or path is specified.";
const char kClearQuestion[] = "Scanned images will be cleared. Continue?";
const char kPdfItems[] = ",None,PackBits,CCITT Group 3,CCITT Group 4";

enum { kBmp = 0, kMultiTiff = 1, kTiff = 2, kPdf = 3 };

std::string g_work; // as a Windows path
FILE* g_expect = nullptr;

std::string OutputFolder(const std::string& name)
{
    std::string path = g_work + "\\" + name;
    RemoveTree(path);
    ::CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

// The save target the settings file holds after a normal close (no question asked):
// location|stem|number|file type|compression|automatic saving.
std::string StoredTarget(Session& s)
{
    Bytes b;
    if (s.Prog().Running() && !s.Prog().CloseNormally())
        return "no normal close";
    if (!ReadFileBytes(s.Prog().SettingsPath(), b) || b.size() != (size_t)kSettingsSize)
        return "no settings file of 392 bytes";
    std::string target = std::string((const char*)&b[kOffFolder]) + "|" + (const char*)&b[kOffStem];
    for (int off : {kOffNumber, kOffFileType, kOffCompression, kOffAutoSave})
        target += "|" + std::to_string(GetInt(b, off));
    return target;
}

// The target fields: location|stem|number|file type and extension|compression (off when disabled), items.
std::string Shown(HWND hDlg)
{
    std::string items;
    for (const std::string& item : ComboItems(hDlg, IDC_COMPRESSION))
        items += "," + item;
    return Text(hDlg, IDC_LOCATION) + "|" + Text(hDlg, IDC_FILE_NAME) + "|" + Text(hDlg, IDC_NUMBER_FROM) + "|" +
           std::to_string(CurSel(hDlg, IDC_FILE_TYPE)) + Text(hDlg, IDC_EXTENSION) + "|" +
           (Enabled(hDlg, IDC_COMPRESSION) ? "" : "off ") + std::to_string(CurSel(hDlg, IDC_COMPRESSION)) + items;
}

// The main window's state and which of Clear, Scan, Save and Preferences are on.
std::string Tools(Session& s)
{
    std::string on = ::IsWindowEnabled(s.Main()) ? "enabled" : "disabled";
    const char* names[] = {" Clear", " Scan", " Save", " Preferences"}; // the first four commands
    for (int i = 0; i < 4; ++i)
        on += ButtonEnabled(s.Main(), ID_CMD_CLEAR + i) ? names[i] : "";
    return on;
}

void WaitTools(Session& s, const std::string& want, DWORD ms = 20000)
{
    CHECK(WaitFor([&] { return Tools(s) == want; }, ms, [&] { return Tools(s); }));
}

bool StartWithTarget(Session& s, int scanRange, const std::string& folder, const char* stem, int number, int type,
                     int compression, BOOL bAuto = FALSE, BOOL bShowSave = TRUE)
{
    Bytes b = SettingsRecord(scanRange, folder);
    memcpy(&b[kOffStem], stem, strlen(stem) + 1);
    const std::pair<int, int> values[] = {{kOffNumber, number},           {kOffFileType, type},
                                          {kOffCompression, compression}, {kOffAutoSave, bAuto},
                                          {kOffShowSave, bShowSave},      {kOffFolderValid, 1}};
    for (const auto& v : values)
        PutInt(b, v.first, v.second);
    return WriteFileBytes(s.Prog().SettingsPath(), b) && s.Start();
}

HWND WaitWindow(Session& s, const char* caption)
{
    HWND hFound = s.Prog().WaitWindow([&](HWND h) { return h != s.Main() && WindowText(h) == caption; }, 15000);
    Check(hFound != nullptr, caption, "window comes up; " + s.State());
    return hFound;
}

void Press(HWND hWnd, char letter)
{
    CHECK(MakeForeground(hWnd));
    AltKey(letter);
}

HWND OpenFromMain(Session& s, char letter, const char* caption)
{
    Press(s.Main(), letter);
    return WaitWindow(s, caption);
}

bool Gone(HWND hWnd)
{
    return WaitFor([&] { return !::IsWindow(hWnd) || !::IsWindowVisible(hWnd); }, 5000);
}

void Answer(HWND hDlg, WORD vk)
{
    CHECK(MakeForeground(hDlg));
    Tap(vk);
    CHECK(Gone(hDlg));
}

// Chooses item index of a drop-down list as a user does: its mnemonic, F4, arrows, Enter.
void Pick(HWND hDlg, char mnemonic, int id, int index)
{
    Press(hDlg, mnemonic);
    CHECK(WaitFocus(hDlg, id));
    Tap(VK_F4);
    CHECK(WaitFor([&] { return Dropped(hDlg, id); }, 5000));
    Tap(VK_HOME);
    for (int i = 0; i < index; ++i)
        Tap(VK_DOWN);
    Tap(VK_RETURN);
    CHECK(WaitFor([&] { return !Dropped(hDlg, id) && CurSel(hDlg, id) == index; }, 5000));
}

// Replaces an edit's text, reached through its label's mnemonic, and optionally leaves it.
void TypeInto(HWND hDlg, char mnemonic, int id, const std::string& text, bool bLeave = false)
{
    Press(hDlg, mnemonic);
    CHECK(WaitFocus(hDlg, id));
    Tap(VK_HOME);
    Chord(VK_SHIFT, VK_END);
    Tap(VK_DELETE);
    TypeText(text.c_str());
    CHECK(WaitText(hDlg, id, text));
    if (bLeave)
        Tap(VK_TAB);
}

bool AnswerMessage(Session& s, const char* text, WORD vk = VK_RETURN)
{
    HWND hBox = s.Prog().WaitDialogWithText(text, 10000);
    if (hBox)
        Answer(hBox, vk);
    return hBox != nullptr;
}

// The Save dialog: a location that cannot be written and an existing first file each bring it back and save
// nothing; then five pages as TIFF G4 from 998 to 1002, the next number stored.
void SaveCommand()
{
    RemovePageFiles();
    ScannerControls controls({{"Sheets", 5}, {"PageDivisor", 4}});
    const std::string refused = OutputFolder("refused"), out = OutputFolder("tiff"), existing = refused + "\\Doc001.tif";
    CHECK(WriteFileBytes(existing, Bytes(10, 'x')));
    Session s("save");
    const std::string stored = s.Prog().Folder() + "\\MyDocuments";
    CHECK(StartWithTarget(s, kRangeBatch, stored, "Doc", 1, kBmp, 0));
    s.PressScan();
    HWND hDlg = s.WaitPagesShown(5) ? OpenFromMain(s, 'A', "Save") : nullptr;
    NEED(hDlg);
    CHECK_EQ(Shown(hDlg), stored + "|Doc|001|0.BMP|off -1");
    TypeInto(hDlg, 'L', IDC_LOCATION, refused + "\\missing");
    Pick(hDlg, 'F', IDC_FILE_TYPE, kPdf);
    AltKey('S');
    CHECK(AnswerMessage(s, kBadName));
    NEED(hDlg = WaitWindow(s, "Save"));
    // Back with the location as it was, selected, and the focus on it.
    CHECK(WaitFocus(hDlg, IDC_LOCATION));
    CHECK_EQ(Shown(hDlg), stored + "|Doc|001|3.PDF|0" + kPdfItems);
    DWORD sel = (DWORD)::SendMessageA(::GetDlgItem(hDlg, IDC_LOCATION), EM_GETSEL, 0, 0);
    CHECK_EQ(std::to_string(LOWORD(sel)) + "-" + std::to_string(HIWORD(sel)), "0-" + std::to_string(stored.size()));
    Answer(hDlg, VK_ESCAPE);

    // The existing first file: "Abort", then Cancel in the Save dialog.
    NEED(hDlg = OpenFromMain(s, 'A', "Save"));
    Pick(hDlg, 'F', IDC_FILE_TYPE, kTiff);
    TypeInto(hDlg, 'L', IDC_LOCATION, refused);
    AltKey('S');
    HWND hAsk = s.Prog().WaitDialogWithText("This file already exists.");
    CHECK(hAsk && WaitText(hAsk, IDC_OVERWRITE_FILE, existing)); // set when the box paints
    NEED(hAsk);
    Answer(hAsk, VK_ESCAPE);
    NEED(hDlg = WaitWindow(s, "Save"));
    Answer(hDlg, VK_ESCAPE);
    Bytes content;
    CHECK(ReadFileBytes(existing, content) && content == Bytes(10, 'x'));

    // Nothing was saved: closing asks first, and Cancel keeps the batch.
    ::PostMessageA(s.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    CHECK(AnswerMessage(s, kClearQuestion, VK_ESCAPE));

    // The save locks Show Page while it runs; the keyboard comes back to it.
    ClickAt(::GetDlgItem(s.Main(), IDC_SHOW_PAGE), 5, 5);
    CHECK(WaitFocus(s.Main(), IDC_SHOW_PAGE));
    NEED(hDlg = OpenFromMain(s, 'A', "Save"));
    // The location passed its check before the overwrite question, so it stays.
    CHECK_EQ(Text(hDlg, IDC_LOCATION), refused);
    Pick(hDlg, 'F', IDC_FILE_TYPE, kTiff);
    Pick(hDlg, 'C', IDC_COMPRESSION, 2);
    TypeInto(hDlg, 'L', IDC_LOCATION, out);
    TypeInto(hDlg, 'N', IDC_FILE_NAME, "page");
    TypeInto(hDlg, 'M', IDC_NUMBER_FROM, "998", true);
    AltKey('S');
    CHECK(Gone(hDlg));
    WaitTools(s, "enabled Clear Scan Save");
    CHECK(WaitFocus(s.Main(), IDC_SHOW_PAGE));
    int w = 0, h = 0; // a quarter of A4 at 400 dpi
    A4PageSize(4, &w, &h);
    for (int n = 998; n <= 1002; ++n)
        fprintf(g_expect, "pages tiff/page%d.tif 1 %d %d\ntiff tiff/page%d.tif 0 - CCITT_Group_4\n", n, w, h, n);
    CHECK_EQ(Text(s.Main(), IDC_PAGE_TOTAL), std::string("/ 5"));

    // A saved batch closes without the question.
    CHECK_EQ(StoredTarget(s), out + "|page|1003|2|2|0");
}

// Preferences: the lists by file type, the location and number checks, automatic saving off restoring the
// opening values; Browse opens with the file type's filter and the stem, and a chosen file sets the location,
// the stem and the file type by the filter left selected.
void PreferencesDialog()
{
    const std::string out = OutputFolder("browse");
    Session s("prefs");
    const std::string stored = s.Prog().Folder() + "\\MyDocuments";
    CHECK(StartWithTarget(s, kRangeCurrentPage, stored, "Doc", 42, kBmp, 0));
    HWND hDlg = OpenFromMain(s, 'P', "Preferences");
    NEED(hDlg);
    // Automatic saving off: the target is shown but cannot be changed.
    CHECK_EQ(::SendMessageA(::GetDlgItem(hDlg, IDC_AUTO_SAVE), BM_GETCHECK, 0, 0), (LRESULT)BST_UNCHECKED);
    for (int id : {IDC_FILE_TYPE, IDC_LOCATION, IDC_BROWSE, IDC_FILE_NAME, IDC_NUMBER_FROM, IDC_SHOW_SAVE_DIALOG})
        Check(!Enabled(hDlg, id), ("control " + std::to_string(id) + " disabled").c_str());
    CHECK_EQ(Shown(hDlg), stored + "|Doc|042|0.BMP|off -1");
    CHECK(!Visible(hDlg, IDC_PDF_INDEX));
    CHECK(!Visible(hDlg, IDC_DEVICE_NAME));

    Press(hDlg, 'A');
    // BMP keeps the compression list off while its label comes on.
    CHECK(WaitFor([&] { return Enabled(hDlg, IDC_FILE_TYPE) && Enabled(hDlg, IDC_COMPRESSION_LABEL); }, 5000));
    CHECK(!Enabled(hDlg, IDC_COMPRESSION));
    Pick(hDlg, 'F', IDC_FILE_TYPE, kPdf);
    Pick(hDlg, 'C', IDC_COMPRESSION, 1);
    CHECK_EQ(Shown(hDlg), stored + "|Doc|042|3.PDF|1" + kPdfItems);

    // 101 characters are refused on leaving the field, 100 are taken.
    const std::string longFolder = "C:\\" + std::string(98, 'a');
    TypeInto(hDlg, 'L', IDC_LOCATION, longFolder, true);
    CHECK(AnswerMessage(s, kBadName));
    CHECK(WaitText(hDlg, IDC_LOCATION, stored));
    CHECK(WaitFocus(hDlg, IDC_LOCATION));
    TypeInto(hDlg, 'L', IDC_LOCATION, longFolder.substr(0, 100), true);
    CHECK(WaitFocus(hDlg, IDC_BROWSE));
    CHECK(s.Prog().WaitDialogWithText(kBadName, 500) == nullptr);
    CHECK_EQ(Text(hDlg, IDC_LOCATION), longFolder.substr(0, 100));

    // A new stem starts the numbers again; a number out of range is put back.
    for (auto [mnemonic, id, typed, number] : {
             std::tuple('N', IDC_FILE_NAME, "letter", "001"),
             std::tuple('M', IDC_NUMBER_FROM, "0", "001"),
             std::tuple('M', IDC_NUMBER_FROM, "1234", "1234"),
         }) {
        TypeInto(hDlg, mnemonic, id, typed, true);
        Check(WaitText(hDlg, IDC_NUMBER_FROM, number), typed, std::string("gives number ") + number);
    }

    // Off again: what the dialog opened with comes back; OK keeps the file type.
    Press(hDlg, 'A');
    CHECK(WaitFor([&] { return !Enabled(hDlg, IDC_LOCATION); }, 5000));
    CHECK_EQ(Shown(hDlg), stored + "|Doc|042|3.PDF|off 1" + kPdfItems);
    ClickButton(hDlg, IDC_PREFS_OK);
    CHECK(Gone(hDlg));
    CHECK_EQ(ButtonText(s.Main(), ID_CMD_SCAN), std::string("&Scan"));
    NEED(hDlg = OpenFromMain(s, 'P', "Preferences"));
    CHECK_EQ(Shown(hDlg), stored + "|Doc|042|3.PDF|off 1" + kPdfItems);

    Press(hDlg, 'A');
    CHECK(WaitFor([&] { return Enabled(hDlg, IDC_BROWSE); }, 5000));
    AltKey('B');
    HWND hFile = WaitWindow(s, "Save As");
    NEED(hFile);
    CHECK_EQ(CurSel(hFile, cmb1), kPdf);
    CHECK_EQ(Text(hFile, cmb13), std::string("Doc"));
    Answer(hFile, VK_ESCAPE);
    CHECK(WaitFocus(hDlg, IDC_BROWSE));

    // "Multi Page TIFF" and a name of the user's: the dialog takes all three.
    Press(hDlg, 'B');
    NEED(hFile = WaitWindow(s, "Save As"));
    Pick(hFile, 'T', cmb1, kMultiTiff);
    TypeInto(hFile, 'N', cmb13, out + "\\scan7.tif"); // the edit inside the name box has the box's id
    Tap(VK_RETURN);
    CHECK(Gone(hFile));
    CHECK(WaitFocus(hDlg, IDC_BROWSE));
    CHECK_EQ(Shown(hDlg), out + "|scan7|001|1.TIF|1,None,CCITT Group 3,CCITT Group 4");

    // OK: the target passes its checks and is stored; the toolbar says what Scan does now.
    ClickButton(hDlg, IDC_PREFS_OK);
    CHECK(Gone(hDlg));
    CHECK(WaitFor([&] { return ButtonText(s.Main(), ID_CMD_SCAN) == "&Scan && Save"; }, 5000));
    CHECK_EQ(StoredTarget(s), out + "|scan7|1|1|1|1");
}

// Automatic saving: with the Save dialog off, Scan & Save writes the batch at the end of the scan without
// asking and stores the number the export returns (past 9999 it counts on from 1); with it on, Cancel stops the scan.
void AutoSaveScan()
{
    RemovePageFiles();
    ScannerControls controls({{"Sheets", 3}, {"PageDivisor", 4}});
    const std::string out = OutputFolder("auto");
    Session s("autosave");
    CHECK(StartWithTarget(s, kRangeBatch, out, "auto", 10003, kPdf, 3, TRUE, FALSE));
    s.PressScan();
    // No window but the main one comes up while the batch is scanned and saved.
    std::string other;
    auto saved = [&] {
        for (HWND h : ProcessWindows(s.Prog().Pid()))
            other = h != s.Main() && other.empty() ? WindowText(h) + ": " + DialogText(h) : other;
        return FileExists(out + "\\auto004.pdf") && Tools(s) == "enabled Scan Preferences";
    };
    CHECK(WaitFor(saved, 60000, [&] { return Tools(s); }));
    CHECK_EQ(other, std::string());
    CHECK_EQ(Text(s.Main(), IDC_PAGE_TOTAL), std::string("/ 0"));
    fprintf(g_expect, "pdfpages auto/auto004.pdf 3 CCITTFaxDecode\n");
    // The focus is on a control that takes it, not on the empty display area; its keys show no saved page.
    HWND hFocus = FocusOf(s.Main());
    CHECK(hFocus && hFocus != s.Display() && ::IsWindowEnabled(hFocus));
    s.Click(40, 40);
    for (WORD vk : {VK_HOME, VK_END, VK_NEXT, VK_RIGHT})
        s.KeyOnMain(vk);
    s.Click(40, 40, 2);
    CHECK(!WaitFor([&] { return !ProcessWindows(s.Prog().Pid(), "Actual Size").empty(); }, 1000));
    CHECK_EQ(Text(s.Main(), IDC_SHOW_PAGE), std::string("0"));
    CHECK_EQ(StoredTarget(s), out + "|auto|5|3|3|1");
    // The Save dialog for every scan: Cancel means no scan.
    Session withDialog("autosave-dialog");
    CHECK(StartWithTarget(withDialog, kRangeBatch, out, "auto", 6, kPdf, 3, TRUE, TRUE));
    withDialog.PressScan();
    if (HWND hDlg = WaitWindow(withDialog, "Save")) {
        CHECK_EQ(Shown(hDlg), out + "|auto|006|3.PDF|3" + kPdfItems);
        Answer(hDlg, VK_ESCAPE);
    }
    WaitTools(withDialog, "enabled Scan Preferences", 5000);
    CHECK(PageFilesPresent().empty());
    CHECK(!FileExists(out + "\\auto006.pdf"));
    CHECK(withDialog.Prog().CloseNormally());
}

// Automatic saving with the first file held open by another program: the failure is told once, the number kept.
void AutoSaveHeld()
{
    ScannerControls controls({{"Sheets", 2}, {"PageDivisor", 4}});
    RemovePageFiles();
    const std::string out = OutputFolder("held"), first = out + "\\Doc001.tif";
    WriteFileBytes(first, Bytes(4, 'k'));
    HANDLE hHeld = ::CreateFileA(first.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    CHECK(hHeld != INVALID_HANDLE_VALUE);
    Session s("autosave-held");
    CHECK(StartWithTarget(s, kRangeBatch, out, "Doc", 1, kTiff, 0, TRUE, FALSE));
    s.PressScan();
    CHECK(AnswerMessage(s, kBadName));
    // The window comes back only after the export; by then its files are there.
    CHECK(WaitFor([&] { return FileExists(out + "\\Doc002.tif") && ::IsWindowEnabled(s.Main()); }, 60000,
                  [&] { return Tools(s); }));
    CHECK_EQ(Tools(s), std::string("enabled Scan Preferences"));
    CHECK(s.Prog().WaitDialogWithText(kBadName, 0) == nullptr);
    CHECK_EQ(StoredTarget(s), out + "|Doc|1|2|0|1");
    ::CloseHandle(hHeld);
}

// An export into TOLVIX_FULL_DISK, a folder that fills up: the message, the number kept, and the batch counted
// as saved, so the next Scan does not ask before clearing it.
void ExportFailureSaved()
{
    const std::string out = WindowsPath(getenv("TOLVIX_FULL_DISK") ? getenv("TOLVIX_FULL_DISK") : "");
    RemovePageFiles();
    ScannerControls controls({{"Sheets", 4}, {"PageDivisor", 1}});
    Session s("save-full");
    CHECK(StartWithTarget(s, kRangeBatch, out, "full", 1, kBmp, 0));
    s.PressScan();
    HWND hDlg = s.WaitPagesShown(4) ? OpenFromMain(s, 'A', "Save") : nullptr;
    NEED(hDlg);
    AltKey('S');
    CHECK(AnswerMessage(s, "Running out of disk space."));
    WaitTools(s, "enabled Clear Scan Save");

    // Three sheets this time, so that the new batch cannot be taken for the one before.
    ScannerControls fewer({{"Sheets", 3}, {"PageDivisor", 1}});
    s.PressScan();
    CHECK(s.WaitPagesShown(3));
    CHECK(s.Prog().WaitDialogWithText(kClearQuestion, 0) == nullptr);
    CHECK(s.CloseAndConfirm());
    CHECK_EQ(StoredTarget(s), out + "|full|1|0|-1|0");
}

} // namespace

int main(int argc, char** argv)
{
    g_work = WindowsPath(getenv("TOLVIX_SAVE_WORK") ? getenv("TOLVIX_SAVE_WORK") : "");
    ::CreateDirectoryA(g_work.c_str(), nullptr);
    if (g_work.empty() || !(g_expect = fopen((g_work + "\\expect.txt").c_str(), "w")))
        return fprintf(stderr, "TOLVIX_SAVE_WORK names no folder this program can write in\n"), 2;
    int r = RunCases(argc, argv,
                     {{"save", SaveCommand},
                      {"preferences", PreferencesDialog},
                      {"autosave", AutoSaveScan},
                      {"autosave_held", AutoSaveHeld},
                      {"full_disk", ExportFailureSaved}});
    fclose(g_expect);
    return r;
}

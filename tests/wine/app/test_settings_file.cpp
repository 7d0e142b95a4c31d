// The settings file through real runs of Tolvix.exe: what each kind of file on
// disk at start-up becomes on disk after a normal exit, byte for byte.
#include "../harness/Controls.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

using namespace harness;

namespace {

void PutText(Bytes& b, int off, int field, const std::string& s)
{
    memset(&b[off], 0, field);
    memcpy(&b[off], s.data(), s.size() < (size_t)field ? s.size() : field);
}

std::string FieldText(const Bytes& b, int off, int field)
{
    return std::string(reinterpret_cast<const char*>(&b[off]), strnlen(reinterpret_cast<const char*>(&b[off]), field));
}

std::string DefaultFolder(const Program& prog)
{
    return prog.Folder() + "\\MyDocuments";
}

// A valid record with values that differ from every default, flag 1.
Bytes SampleRecord(const std::string& folder)
{
    Bytes b(kSettingsSize, 0);
    PutText(b, kOffFolder, 256, folder);
    PutText(b, kOffStem, 64, "Page");
    const int values[] = {12, 2, 3, 1, 4, 1, 1, 1, 4, 2, 0, 10, 20, 1000, 2000, 1};
    for (int i = 0; i < 16; ++i)
        PutInt(b, kOffNumber + 4 * i, values[i]);
    return b;
}

// Starts the program on the file (none when empty), closes it normally, returns what it left.
Bytes RunOnce(Program& prog, const Bytes& input, const std::function<void(HWND)>& whileRunning = {})
{
    HWND hWnd = StartWith(prog, input);
    if (hWnd && whileRunning)
        whileRunning(hWnd);
    CHECK(prog.CloseNormally());
    CHECK_EQ(prog.ExitCode(), 0u);
    Bytes out;
    ReadFileBytes(prog.SettingsPath(), out);
    return out;
}

void CheckRecord(const Bytes& out, const Bytes& expected)
{
    CHECK_EQ(out.size(), expected.size());
    for (size_t i = 0; i < out.size() && i < expected.size(); ++i)
        if (out[i] != expected[i]) {
            CHECK_EQ("byte " + std::to_string(i) + " = " + std::to_string(out[i]),
                     "byte " + std::to_string(i) + " = " + std::to_string(expected[i]));
            break;
        }
}

HANDLE g_hLock = INVALID_HANDLE_VALUE;

enum Outcome {
    kDefaults,    // every field its default; only the stem's tail and the reserved word travel
    kKept,        // the first 392 bytes come back, with this run's locale word
    kUnchanged,   // the file is not rewritten
};

struct Row {
    const char* name;
    size_t size;                                  // bytes on disk; 0: no file
    std::function<void(Bytes&)> edit;             // changes to the sample record
    Outcome outcome;
    std::function<void(Bytes&)> fix;              // changes to the expected record
    std::function<void(Program&, HWND)> during;   // while the program runs
};

const Row kRows[] = {
    {"no_file", 0, nullptr, kDefaults, nullptr, nullptr},
    {"short_file", 391, [](Bytes& b) { for (int i = 260; i < 324; ++i) b[i] = (unsigned char)(0xA0 + i % 16); },
     kDefaults, nullptr, nullptr},
    {"long_file", 500, [](Bytes& b) { std::fill(b.begin() + kSettingsSize, b.end(), 0x77); }, kKept, nullptr,
     nullptr},
    {"flag_five_and_foreign_bytes", kSettingsSize,
     [](Bytes& b) {
         PutInt(b, kOffFolderValid, 5);
         PutInt(b, 320, (int)0xEFBEADDE);
         memset(&b[261], 'x', 59);
     },
     kKept, nullptr, nullptr},
    {"unterminated_fields", kSettingsSize,
     [](Bytes& b) {
         memset(&b[kOffFolder], 'A', 256);
         memset(&b[kOffStem], 'B', 64);
     },
     kKept, [](Bytes& b) { b[255] = b[319] = 0; }, nullptr},
    // Lists without a matching item: no selection, except Page Size on its first item.
    {"out_of_range_values", kSettingsSize,
     [](Bytes& b) {
         PutInt(b, kOffResolution, 7);
         PutInt(b, kOffPageSize, 99);
         PutInt(b, kOffScanRange, 8);
         PutInt(b, kOffMode, -3);
     },
     kKept, nullptr,
     [](Program&, HWND hWnd) {
         CHECK_EQ(CurSel(hWnd, IDC_RESOLUTION), -1);
         CHECK_EQ(CurSel(hWnd, IDC_SCAN_RANGE), -1);
         CHECK_EQ(CurSel(hWnd, IDC_MODE), -1);
         CHECK_EQ(CurSel(hWnd, IDC_PAGE_SIZE), 0);
     }},
    // Held without sharing until the program has ended: the file cannot be rewritten.
    {"locked_at_exit", kSettingsSize, nullptr, kUnchanged, nullptr,
     [](Program& prog, HWND) {
         g_hLock = ::CreateFileA(prog.SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         CHECK(g_hLock != INVALID_HANDLE_VALUE);
     }},
};

void RunRow(const Row& row)
{
    Program prog(row.name);
    Bytes in = SampleRecord("C:\\Scans");
    in.resize(std::max(in.size(), row.size));
    if (row.edit)
        row.edit(in);
    in.resize(row.size);
    Bytes out = RunOnce(prog, in, [&](HWND hWnd) {
        if (row.during)
            row.during(prog, hWnd);
    });
    if (g_hLock != INVALID_HANDLE_VALUE) {
        ::CloseHandle(g_hLock);
        g_hLock = INVALID_HANDLE_VALUE;
        ReadFileBytes(prog.SettingsPath(), out);
    }
    Bytes expected(in.begin(), in.begin() + std::min(in.size(), (size_t)kSettingsSize));
    if (row.outcome == kDefaults) {
        Bytes tail = expected;
        expected = SettingsRecord(kRangeCurrentPage, DefaultFolder(prog));
        PutInt(expected, kOffPageSize, USLocale() ? 3 : 1);
        if (!tail.empty())
            std::copy(tail.begin() + 260, tail.begin() + 324, expected.begin() + 260);
    }
    if (row.outcome != kUnchanged)
        PutInt(expected, kOffUSLocale, USLocale() ? 1 : 0);
    if (row.fix)
        row.fix(expected);
    CheckRecord(out, expected);
    CHECK(!FileExists(DefaultFolder(prog)));
}

void SecondRunCreatesDefaultFolder()
{
    Program prog("second");
    Bytes first = RunOnce(prog, Bytes());
    CHECK_EQ(first.size(), (size_t)kSettingsSize);
    if (first.size() != kSettingsSize)
        return;
    // A folder stored while the flag is 0 is ignored on the next start.
    PutText(first, kOffFolder, 256, "C:\\Elsewhere");
    Bytes second = RunOnce(prog, first);
    CHECK(FileExists(DefaultFolder(prog)));
    CHECK_EQ(FieldText(second, kOffFolder, 256), DefaultFolder(prog));
    CHECK_EQ(GetInt(second, kOffFolderValid), 1);
    // From then on the stored folder is used.
    PutText(second, kOffFolder, 256, "C:\\Chosen");
    Bytes third = RunOnce(prog, second);
    CHECK_EQ(FieldText(third, kOffFolder, 256), std::string("C:\\Chosen"));
    CHECK_EQ(GetInt(third, kOffFolderValid), 1);
}

// Run with LANG chosen by the caller; TOLVIX_EXPECT_PAGESIZE names the default.
void LocaleDefault()
{
    const char* expect = getenv("TOLVIX_EXPECT_PAGESIZE");
    CHECK(expect != nullptr);
    if (!expect)
        return;
    const bool us = atoi(expect) == 3;
    Program prog("locale");
    Bytes out = RunOnce(prog, Bytes(), [&](HWND hWnd) { CHECK_EQ(Text(hWnd, IDC_PAGE_SIZE), us ? "Letter" : "A4"); });
    CHECK_EQ(out.size(), (size_t)kSettingsSize);
    if (out.size() == kSettingsSize) {
        CHECK_EQ(GetInt(out, kOffPageSize), atoi(expect));
        CHECK_EQ(GetInt(out, kOffUSLocale), us ? 1 : 0);
    }
}

} // namespace

int main(int argc, char** argv)
{
    // The locale case needs a Wine server started with a chosen LANG: run by name only.
    if (argc > 1 && strcmp(argv[1], "locale_default") == 0)
        return RunCases(argc, argv, {{"locale_default", LocaleDefault}});
    std::vector<Case> cases;
    for (const Row& row : kRows)
        cases.push_back({row.name, [&row] { RunRow(row); }});
    cases.push_back({"second_run_creates_default_folder", SecondRunCreatesDefaultFolder});
    return RunCases(argc, argv, cases);
}

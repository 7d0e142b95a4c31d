// The settings file through real runs of Tolvix.exe: what each kind of file on
// disk at start-up becomes on disk after a normal exit, byte for byte.
#include "../harness/Harness.h"

#include <stdlib.h>
#include <string.h>

using namespace harness;

namespace {

typedef std::vector<unsigned char> Bytes;

const int kSize = 392;

int GetInt(const Bytes& b, int off)
{
    return (int)(b[off] | b[off + 1] << 8 | b[off + 2] << 16 | (unsigned)b[off + 3] << 24);
}

void PutInt(Bytes& b, int off, int v)
{
    for (int i = 0; i < 4; ++i)
        b[off + i] = (unsigned char)((unsigned)v >> (8 * i));
}

void PutText(Bytes& b, int off, int field, const std::string& s)
{
    memset(&b[off], 0, field);
    memcpy(&b[off], s.data(), s.size() < (size_t)field ? s.size() : field);
}

std::string FieldText(const Bytes& b, int off, int field)
{
    return std::string(reinterpret_cast<const char*>(&b[off]), strnlen(reinterpret_cast<const char*>(&b[off]), field));
}

// A valid record with values that differ from every default.
Bytes SampleRecord(const std::string& folder, int flag)
{
    Bytes b(kSize, 0);
    PutText(b, 0, 256, folder);
    PutText(b, 256, 64, "Page");
    int values[] = {12, 2, 3, 1, 4, 1, 1, 1, 4, 2, 0, 10, 20, 1000, 2000};
    for (int i = 0; i < 15; ++i)
        PutInt(b, 324 + 4 * i, values[i]);
    PutInt(b, 384, flag);
    return b;
}

struct RunResult {
    Bytes file;
    bool exited = false;
    DWORD exitCode = 0;
};

// Starts the program on the given settings file (none when null), waits for its
// window, closes it normally and returns the file it left.
RunResult RunOnce(Program& prog, const Bytes* input, const std::function<void()>& whileRunning = {})
{
    RunResult r;
    if (input)
        CHECK(WriteFileBytes(prog.SettingsPath(), *input));
    CHECK(prog.Start());
    HWND hWnd = prog.WaitMainWindow();
    CHECK(hWnd != nullptr);
    if (whileRunning)
        whileRunning();
    r.exited = prog.CloseNormally();
    r.exitCode = prog.ExitCode();
    CHECK(r.exited);
    CHECK_EQ(r.exitCode, 0u);
    ReadFileBytes(prog.SettingsPath(), r.file);
    return r;
}

std::string DefaultFolder(const Program& prog)
{
    return prog.Folder() + "\\MyDocuments";
}

// The fields the program writes on every exit: the defaults after an unusable file.
void ExpectDefaults(const Bytes& out, const Program& prog)
{
    CHECK_EQ(out.size(), (size_t)kSize);
    if (out.size() != kSize)
        return;
    CHECK_EQ(FieldText(out, 0, 256), DefaultFolder(prog));
    for (int i = (int)DefaultFolder(prog).size(); i < 256; ++i)
        if (out[i] != 0) {
            CHECK_EQ(i, -1);
            break;
        }
    CHECK_EQ(FieldText(out, 256, 64), std::string("Doc"));
    int us = GetInt(out, 388);
    CHECK(us == 0 || us == 1);
    int expected[] = {1, 1, 1, 0, us ? 3 : 1, 0, 0, 0, 0, 0, 1, 0, 0, 1640, 2260};
    for (int i = 0; i < 15; ++i)
        CHECK_EQ(GetInt(out, 324 + 4 * i), expected[i]);
    CHECK_EQ(GetInt(out, 384), 0);
}

void NoFile()
{
    Program prog("nofile");
    RunResult r = RunOnce(prog, nullptr);
    ExpectDefaults(r.file, prog);
    if (r.file.size() == kSize) {
        for (int i = 260; i < 324; ++i)
            if (r.file[i] != 0) {
                CHECK_EQ(i, -1);
                break;
            }
    }
    CHECK(!FileExists(DefaultFolder(prog)));
}

void ShortFile()
{
    Program prog("short");
    Bytes in = SampleRecord("C:\\Short", 1);
    in.resize(391);
    for (int i = 260; i < 324; ++i)
        in[i] = (unsigned char)(0xA0 + i % 16);
    RunResult r = RunOnce(prog, &in);
    ExpectDefaults(r.file, prog);
    // What the short read brought into the record still travels to the new file.
    if (r.file.size() == kSize) {
        CHECK(memcmp(&r.file[260], &in[260], 64) == 0);
    }
}

void LongFile()
{
    Program prog("long");
    Bytes in = SampleRecord("C:\\Scans", 1);
    in.resize(500, 0x77);
    RunResult r = RunOnce(prog, &in);
    CHECK_EQ(r.file.size(), (size_t)kSize);
    if (r.file.size() != kSize)
        return;
    Bytes expected(in.begin(), in.begin() + kSize);
    PutInt(expected, 388, GetInt(r.file, 388));
    CHECK(r.file == expected);
    CHECK_EQ(FieldText(r.file, 0, 256), std::string("C:\\Scans"));
    CHECK_EQ(GetInt(r.file, 324), 12);
}

void FlagFiveAndForeignBytes()
{
    Program prog("flag5");
    Bytes in = SampleRecord("C:\\Kept", 5);
    const unsigned char reserved[] = {0xDE, 0xAD, 0xBE, 0xEF};
    memcpy(&in[320], reserved, 4);
    for (int i = 261; i < 320; ++i)
        in[i] = 'x';
    RunResult r = RunOnce(prog, &in);
    CHECK_EQ(r.file.size(), (size_t)kSize);
    if (r.file.size() != kSize)
        return;
    CHECK_EQ(GetInt(r.file, 384), 5);
    CHECK_EQ(FieldText(r.file, 0, 256), std::string("C:\\Kept"));
    CHECK(memcmp(&r.file[320], reserved, 4) == 0);
    CHECK(memcmp(&r.file[256], "Page\0xxx", 8) == 0);
    CHECK(memcmp(&r.file[261], &in[261], 59) == 0);
    CHECK(!FileExists(DefaultFolder(prog)));
}

void Unterminated()
{
    Program prog("unterm");
    Bytes in = SampleRecord("", 1);
    memset(&in[0], 'A', 256);
    memset(&in[256], 'B', 64);
    RunResult r = RunOnce(prog, &in);
    CHECK_EQ(r.file.size(), (size_t)kSize);
    if (r.file.size() != kSize)
        return;
    CHECK_EQ(FieldText(r.file, 0, 256), std::string(255, 'A'));
    CHECK_EQ(r.file[255], 0);
    CHECK_EQ(FieldText(r.file, 256, 64), std::string(63, 'B'));
    CHECK_EQ(r.file[319], 0);
}

void OutOfRangeValues()
{
    Program prog("range");
    Bytes in = SampleRecord("C:\\Range", 1);
    PutInt(in, 328, 7);    // resolution
    PutInt(in, 340, 99);   // page size
    PutInt(in, 356, 8);    // scan range
    PutInt(in, 360, -3);   // mode
    RunResult r = RunOnce(prog, &in, [&] {
        HWND hWnd = prog.WaitMainWindow();
        // Lists without a matching item: no selection, except Page Size on its first item.
        CHECK_EQ((int)::SendMessageA(::GetDlgItem(hWnd, 1002), CB_GETCURSEL, 0, 0), -1);
        CHECK_EQ((int)::SendMessageA(::GetDlgItem(hWnd, 1047), CB_GETCURSEL, 0, 0), -1);
        CHECK_EQ((int)::SendMessageA(::GetDlgItem(hWnd, 1011), CB_GETCURSEL, 0, 0), -1);
        CHECK_EQ((int)::SendMessageA(::GetDlgItem(hWnd, 1006), CB_GETCURSEL, 0, 0), 0);
    });
    if (r.file.size() != kSize)
        return;
    CHECK_EQ(GetInt(r.file, 328), 7);
    CHECK_EQ(GetInt(r.file, 340), 99);
    CHECK_EQ(GetInt(r.file, 356), 8);
    CHECK_EQ(GetInt(r.file, 360), -3);
}

void LockedAtExit()
{
    Program prog("locked");
    Bytes in = SampleRecord("C:\\Locked", 1);
    HANDLE hLock = INVALID_HANDLE_VALUE;
    RunResult r = RunOnce(prog, &in, [&] {
        hLock = ::CreateFileA(prog.SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        CHECK(hLock != INVALID_HANDLE_VALUE);
    });
    if (hLock != INVALID_HANDLE_VALUE)
        ::CloseHandle(hLock);
    ReadFileBytes(prog.SettingsPath(), r.file);
    CHECK(r.file == in);
}

void SecondRunCreatesDefaultFolder()
{
    Program prog("second");
    RunResult first = RunOnce(prog, nullptr);
    if (first.file.size() != kSize) {
        CHECK_EQ(first.file.size(), (size_t)kSize);
        return;
    }
    CHECK_EQ(GetInt(first.file, 384), 0);
    // A folder stored while the flag is 0 is ignored on the next start.
    Bytes edited = first.file;
    PutText(edited, 0, 256, "C:\\Elsewhere");
    RunResult second = RunOnce(prog, &edited);
    CHECK(FileExists(DefaultFolder(prog)));
    CHECK_EQ(FieldText(second.file, 0, 256), DefaultFolder(prog));
    CHECK_EQ(GetInt(second.file, 384), 1);
    // From then on the stored folder is used.
    Bytes third_in = second.file;
    PutText(third_in, 0, 256, "C:\\Chosen");
    RunResult third = RunOnce(prog, &third_in);
    CHECK_EQ(FieldText(third.file, 0, 256), std::string("C:\\Chosen"));
    CHECK_EQ(GetInt(third.file, 384), 1);
}

// Run with LANG chosen by the caller; TOLVIX_EXPECT_PAGESIZE names the default.
void LocaleDefault()
{
    const char* expect = getenv("TOLVIX_EXPECT_PAGESIZE");
    CHECK(expect != nullptr);
    if (!expect)
        return;
    Program prog("locale");
    RunResult r = RunOnce(prog, nullptr, [&] {
        HWND hWnd = prog.WaitMainWindow();
        // A drop-down list's text is its selected item.
        CHECK_EQ(ControlText(::GetDlgItem(hWnd, 1006)), std::string(atoi(expect) == 3 ? "Letter" : "A4"));
    });
    if (r.file.size() != kSize)
        return;
    CHECK_EQ(GetInt(r.file, 340), atoi(expect));
    CHECK_EQ(GetInt(r.file, 388), atoi(expect) == 3 ? 1 : 0);
}

} // namespace

int main(int argc, char** argv)
{
    // The locale case needs a Wine server started with a chosen LANG: run by name only.
    if (argc > 1 && strcmp(argv[1], "locale_default") == 0)
        return RunCases(argc, argv, {{"locale_default", LocaleDefault}});
    return RunCases(argc, argv, {
        {"no_file", NoFile},
        {"short_file", ShortFile},
        {"long_file", LongFile},
        {"flag_five_and_foreign_bytes", FlagFiveAndForeignBytes},
        {"unterminated_fields", Unterminated},
        {"out_of_range_values", OutOfRangeValues},
        {"locked_at_exit", LockedAtExit},
        {"second_run_creates_default_folder", SecondRunCreatesDefaultFolder},
    });
}

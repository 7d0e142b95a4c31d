// The case groups of the main window driver.
#pragma once

#include "../harness/Controls.h"

std::vector<harness::Case> ModelCases();
std::vector<harness::Case> KeyCases();
std::vector<harness::Case> PagesCases();
std::vector<harness::Case> ScanAreaCases();

// The defaults as the program writes them in this locale, saving to its folder.
inline harness::Bytes Defaults(const harness::Program& prog)
{
    harness::Bytes b = harness::SettingsRecord(harness::kRangeCurrentPage, prog.Folder() + "\\MyDocuments");
    harness::PutInt(b, harness::kOffPageSize, harness::USLocale() ? 3 : 1);
    return b;
}

// Starts the program on this model and settings file (none when empty), its window in front.
inline HWND StartModel(harness::Program& prog, harness::ModelKey& key, const char* product,
                       const harness::Bytes& settings = {})
{
    key.SetProduct(product);
    HWND h = harness::StartWith(prog, settings);
    if (h)
        CHECK(harness::MakeForeground(h));
    return h;
}

// A number from the settings file the program left; -1 when there is none.
inline int SavedInt(const harness::Program& prog, int off)
{
    harness::Bytes out;
    CHECK(harness::ReadFileBytes(prog.SettingsPath(), out));
    CHECK_EQ(out.size(), (size_t)harness::kSettingsSize);
    return out.size() == (size_t)harness::kSettingsSize ? harness::GetInt(out, off) : -1;
}

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

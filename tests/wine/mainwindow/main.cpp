// Drives the real main window under Wine: the scanner models, the no-pages state,
// keys and mouse on the option controls, the Scan Area dialog and a picture.
#include "Cases.h"

int main(int argc, char** argv)
{
    std::vector<harness::Case> cases;
    for (auto group : {ModelCases, KeyCases, PagesCases, ScanAreaCases})
        for (const harness::Case& c : group())
            cases.push_back(c);
    return harness::RunCases(argc, argv, cases);
}

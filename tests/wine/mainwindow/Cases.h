// The case groups of the main window driver.
#pragma once

#include "Window.h"

std::vector<harness::Case> ModelCases();
std::vector<harness::Case> KeyCases();
std::vector<harness::Case> PagesCases();
std::vector<harness::Case> ScanAreaCases();

// Resource ids of the source manager's selection dialog.
#pragma once

#define IDD_SELECTSOURCE 100
#define IDC_SOURCES      1001

// Resource ids of the virtual scanner's dialog.
#pragma once

#define IDD_SCANNER   100
#define IDC_SHEETS    1001
#define IDC_BEHAVIOUR 1002

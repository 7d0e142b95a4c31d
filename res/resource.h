// Resource ids of Tolvix: dialogs, controls, strings, bitmaps and icons.
#pragma once

// Dialogs
#define IDD_ABOUTBOX       100
#define IDD_UTILITY_DIALOG 102
#define IDD_SCAN_AREA      141
#define IDD_CLEAR_CONFIRM  179
#define IDD_OVERWRITE      183

// Icons and bitmaps
#define IDR_MAINFRAME  132 // program icon and toolbar strip
#define IDB_ABOUT      199
#define IDB_LANDSCAPE  204
#define IDB_PORTRAIT   206
#define IDI_ABOUT      214
#define IDI_MODE       186
#define IDI_RESOLUTION 189
#define IDI_PAGESIZE   188
#define IDI_SCANRANGE  211
#define IDI_PAGES      212

// System menu and help
#define IDM_ABOUTBOX       16
#define ID_HELP_FINDER_CMD 57670

// Strings
#define IDS_ABOUTBOX          101
#define IDS_APP_TITLE         57344
#define IDS_MAIN_CAPTION      57345
#define IDS_TOOLBAR_FIRST     3000 // 3000..3005 button texts
#define IDS_SCAN_AND_SAVE     3006
#define IDS_MNEMONIC_SCAN     5000
#define IDS_MNEMONIC_CLEAR    5001
#define IDS_MNEMONIC_SAVE     5002
#define IDS_MNEMONIC_PREFS    5003
#define IDS_MNEMONIC_DRIVER   5004
#define IDS_TIP_SCAN_AND_SAVE 2006
#define IDS_UNITS_INCH        122
#define IDS_UNITS_CM          123

// Messages shown to the user
#define IDS_ERR_NO_DRIVER      4000
#define IDS_ERR_INTERNAL       4001
#define IDS_ERR_NO_MEMORY_SCAN 4002
#define IDS_ERR_DISK_FULL      4003
#define IDS_ERR_BAD_NAME       4004
#define IDS_ERR_PDF            4005
#define IDS_ERR_REGISTRY       4006
#define IDS_ERR_THUMB_MEMORY   4007
#define IDS_ERR_PAGE_MISSING   4008
#define IDS_ERR_WORK_FOLDER    4009
#define IDS_ERR_NO_PATH        4010
#define IDS_ERR_FILE_IN_USE    4011
#define IDS_ERR_TWAIN_OPEN     4014

// Toolbar commands
#define ID_CMD_CLEAR       2000
#define ID_CMD_SCAN        2001
#define ID_CMD_SAVE        2002
#define ID_CMD_PREFERENCES 2003
#define ID_CMD_SHOW_DRIVER 2004
#define ID_CMD_HELP        2005

// Main window controls
#define IDC_DISPLAY_FRAME     1000
#define IDC_RESOLUTION        1002
#define IDC_SHOW_PAGE         1005
#define IDC_PAGE_SIZE         1006
#define IDC_ALL_EDIT          1007
#define IDC_ALL_SPIN          1008
#define IDC_PREV_PAGES        1009
#define IDC_NEXT_PAGES        1010
#define IDC_SCAN_RANGE        1011
#define IDC_ALL_PAGES         1013
#define IDC_FULL_IMAGE        1019
#define IDC_PAGE_TOTAL        1022
#define IDC_ACTUAL_SIZE       1023
#define IDC_SCAN_AREA         1029
#define IDC_GO                1042
#define IDC_MODE              1047
#define IDC_MODE_LABEL        1058
#define IDC_RESOLUTION_LABEL  1049
#define IDC_PAGE_SIZE_LABEL   1050
#define IDC_SCAN_RANGE_LABEL  1051
#define IDC_PAGES_LABEL       1052
#define IDC_SCREEN_LABEL      1053
#define IDC_RESTORE_DEFAULTS  1057
#define IDC_WIDTH_LABEL       1063
#define IDC_HEIGHT_LABEL      1064
#define IDC_TWO_SIDED         1068
#define IDC_WIDTH_UNITS       1069
#define IDC_HEIGHT_UNITS      1070
#define IDC_TWO_SIDED_LABEL   1071
#define IDC_FILE_SIZE_LABEL   1072
#define IDC_WIDTH_VALUE       1073
#define IDC_HEIGHT_VALUE      1074
#define IDC_FILE_SIZE_VALUE   1075
#define IDC_KB_LABEL          1076
#define IDC_SHOW_PAGE_LABEL   1078
#define IDC_TWO_SIDED_PICTURE 1103
#define IDC_SIZE_GROUP        1104
#define IDC_HIDDEN_1105       1105
#define IDC_HIDDEN_1106       1106
#define IDC_HIDDEN_1107       1107
#define IDC_PORTRAIT          1108
#define IDC_LANDSCAPE         1109
#define IDC_PAGES_TO_SCAN     1110
#define IDC_PORTRAIT_PICTURE  1111
#define IDC_LANDSCAPE_PICTURE 1112
#define IDC_MAIN_GROUP        1113
#define IDC_PAGES_SPIN        1114

// Clear confirmation and About
#define IDC_WARNING_ICON_MARK 1098
#define IDC_ABOUT_PICTURE     1147
#define IDC_VERSION           1137

// Overwrite check (the icon mark is 1098 here too)
#define IDC_OVERWRITE_FILE 1089

// Scan Area dialog
#define IDC_AREA_HEIGHT 1033
#define IDC_DS_LIST     1037
#define IDC_DS_CHANGE   1038
#define IDC_AREA_LEFT   1043
#define IDC_AREA_TOP    1044
#define IDC_AREA_WIDTH  1045
#define IDC_AREA_UNITS  1046

// Actual-size window and printing
#define IDR_VIEW_MENU         132 // the window's menu (the icon shares the id)
#define IDD_PRINTING          182
#define IDS_ACTUAL_SIZE_TITLE 2016
#define ID_IMAGE_PRINT        32772
#define ID_IMAGE_CLOSE        32782
#define ID_APP_ABOUT          32784

// Preferences and Save dialogs
#define IDD_PREFERENCES       142
#define IDD_SAVE              150
#define IDC_EXTENSION         1011
#define IDC_SEPARATOR         1017
#define IDC_LOCATION          1030
#define IDC_FILE_NAME         1031
#define IDC_FILE_TYPE         1034
#define IDC_COMPRESSION       1035
#define IDC_NUMBER_SPIN       1040
#define IDC_BROWSE            1041
#define IDC_AUTO_SAVE         1077
#define IDC_FILE_TYPE_LABEL   1079
#define IDC_COMPRESSION_LABEL 1080
#define IDC_LOCATION_LABEL    1081
#define IDC_FILE_NAME_LABEL   1082
#define IDC_NUMBER_FROM       1083
#define IDC_NUMBER_LABEL      1084
#define IDC_DEVICE_LABEL      1085
#define IDC_DEVICE_NAME       1086
#define IDC_SHOW_SAVE_DIALOG  1089
#define IDC_PREFS_OK          1091
#define IDC_PREFS_CANCEL      1092
#define IDC_SAVE_OK           1093
#define IDC_SAVE_CANCEL       1094
#define IDC_PDF_INDEX         1101
#define IDS_EXTENSION_FIRST   300 // 300..303 by file type
#define IDS_SAVE_FILTER       304

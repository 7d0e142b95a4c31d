// Opens and closes Xrtwif's source manager the way the program does at start-up
// and shut-down. Usage: xrtwif_open EXPECTED_OPEN_RESULT [EXPECTED_SOURCE_NAME]
#include "check.h"
#include "tw_Interface.h"

#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        printf("usage: xrtwif_open EXPECTED_OPEN_RESULT [EXPECTED_SOURCE_NAME]\n");
        return 2;
    }
    int expected = (int)strtoul(argv[1], nullptr, 0);
    const char* name = argc > 2 ? argv[2] : nullptr;
    HWND hWnd = CreateWindowA("STATIC", "xrtwif_open", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    CHECK(hWnd != nullptr);
    {
        tw_Interface twi;
        // Nothing is open yet: every call must be harmless.
        CHECK(twi.GetSelecedDS(hWnd) != nullptr);
        CHECK_EQ(twi.GetSelecedDS(hWnd)[0], 0);
        MSG msg = {};
        msg.hwnd = hWnd;
        msg.message = WM_MOUSEMOVE;
        CHECK_EQ(twi.HandleMessage(hWnd, &msg), 0);
        twi.Close();

        CHECK_EQ(twi.Open(hWnd), expected);
        if (expected == 0) {
            const char* ds = twi.GetSelecedDS(hWnd);
            CHECK(ds != nullptr);
            if (ds && name)
                CHECK(strcmp(ds, name) == 0);
            printf("default source: \"%s\"\n", ds ? ds : "(null)");
            CHECK_EQ(twi.HandleMessage(hWnd, &msg), 0);
        }
        twi.Close();
        twi.Close();
        CHECK_EQ(twi.GetSelecedDS(hWnd)[0], 0);
        // Open again after a close, then leave the closing to the destructor.
        CHECK_EQ(twi.Open(hWnd), expected);
    }
    DestroyWindow(hWnd);
    printf("%d failure(s)\n", g_nFailures);
    return g_nFailures;
}

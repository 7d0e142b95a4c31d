// What both TWAIN drivers need beyond the harness: the application's event loop, in which every message reaches
// the source (or the library that talks to it) before it is dispatched, and the virtual scanner's controls.
#pragma once

#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <functional>
#include <string>

// Pumps until done() holds or timeoutMs passes; route(msg) true: the source took it.
inline bool PumpUntil(const std::function<bool(MSG&)>& route, const std::function<bool()>& done, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount(); !done();) {
        MSG msg;
        if (GetTickCount() - start > timeoutMs)
            return false;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        else if (!route(msg))
            DispatchMessageA(&msg);
    }
    return true;
}

// Replaces the scanner's controls ("Name=value ..."), read when the source is next opened.
inline bool SetScanner(std::string controls)
{
    HKEY key;
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tolvix\\VirtualScanner");
    if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Tolvix\\VirtualScanner", &key) != ERROR_SUCCESS)
        return false;
    for (char* item = strtok(&controls[0], " "); item; item = strtok(nullptr, " ")) {
        char* eq = strchr(item, '=');
        DWORD v = eq ? (DWORD)strtoul(eq + 1, nullptr, 0) : 0;
        if (eq)
            *eq = 0;
        RegSetValueExA(key, item, 0, REG_DWORD, (const BYTE*)&v, sizeof(v));
    }
    return RegCloseKey(key) == ERROR_SUCCESS;
}

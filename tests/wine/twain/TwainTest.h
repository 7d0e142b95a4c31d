// What both TWAIN drivers need beyond the harness: the application's event loop, in which every message reaches
// the source (or the library that talks to it) before it is dispatched, and the page's form.
#pragma once

#include "../harness/Harness.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

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

// A packed 1-bit DIB with a 40-byte header, bottom-up, biSizeImage filled, a black and white table and some ink,
// at `dpi`, of the size asked for (within `slack` pixels) when width is nonzero; it says what it found when it
// is not. The hash of its bits tells one page from another.
inline bool CheckDib(HGLOBAL h, LONG width, LONG height, double dpi, LONG slack, unsigned* hash)
{
    auto* bih = h ? (const BITMAPINFOHEADER*)GlobalLock(h) : nullptr;
    if (!bih)
        return false;
    const BYTE *table = (const BYTE*)bih + 40, *bits = table + 8;
    bool packed = bih->biSize == 40 && bih->biBitCount == 1 && bih->biPlanes == 1 && bih->biHeight > 0 &&
                  bih->biWidth > 0 && bih->biCompression == BI_RGB &&
                  bih->biSizeImage == ((DWORD)bih->biWidth + 31) / 32 * 4 * (DWORD)bih->biHeight &&
                  GlobalSize(h) >= 48 + bih->biSizeImage;
    int ink = 0;
    *hash = 2166136261u;
    for (DWORD i = 0; packed && i < bih->biSizeImage; ++i) {
        *hash = (*hash ^ bits[i]) * 16777619u;
        ink += bits[i] != 0xff;
    }
    LONG ppm = lround(dpi * 10000 / 254);
    bool ok = packed && bih->biXPelsPerMeter == ppm && bih->biYPelsPerMeter == ppm && ink > 0 &&
              table[0] + table[1] + table[2] == 0 && table[4] + table[5] + table[6] == 3 * 255 &&
              (!width || (labs(bih->biWidth - width) <= slack && labs(bih->biHeight - height) <= slack));
    if (!ok)
        printf("  bad DIB: header %lu, %ldx%ld, %u bpp, %ld ppm, size image %lu, table %d %d, ink bytes %d\n",
               (unsigned long)bih->biSize, (long)bih->biWidth, (long)bih->biHeight, bih->biBitCount,
               (long)bih->biXPelsPerMeter, (unsigned long)bih->biSizeImage, table[0], table[4], ink);
    GlobalUnlock(h);
    return ok;
}

// One thumbnail of the screen shown: the reduced page as a bitmap selected into
// a memory device context, with the page's palette. Owns all three.
#pragma once

#include <windows.h>

struct ThumbnailEntry {
    ThumbnailEntry() = default;
    ~ThumbnailEntry()
    {
        if (hMemDC) {
            if (hOldBitmap)
                ::SelectObject(hMemDC, hOldBitmap);
            if (hOldPalette)
                ::SelectPalette(hMemDC, hOldPalette, FALSE);
            ::DeleteDC(hMemDC);
        }
        if (hBitmap)
            ::DeleteObject(hBitmap);
        if (hPalette)
            ::DeleteObject(hPalette);
    }
    ThumbnailEntry(const ThumbnailEntry&) = delete;
    ThumbnailEntry& operator=(const ThumbnailEntry&) = delete;

    HDC hMemDC = nullptr;
    HBITMAP hBitmap = nullptr;
    HGDIOBJ hOldBitmap = nullptr;
    HPALETTE hPalette = nullptr;
    HPALETTE hOldPalette = nullptr;
    int nWidth = 0;
    int nHeight = 0;
};

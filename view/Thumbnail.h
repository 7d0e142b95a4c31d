// One thumbnail of the screen shown: the reduced page as a bitmap selected into
// a memory device context. Owns both.
#pragma once

#include <windows.h>

struct ThumbnailEntry {
    ThumbnailEntry() = default;
    ~ThumbnailEntry()
    {
        if (hMemDC) {
            if (hOldBitmap)
                ::SelectObject(hMemDC, hOldBitmap);
            ::DeleteDC(hMemDC);
        }
        if (hBitmap)
            ::DeleteObject(hBitmap);
    }
    ThumbnailEntry(const ThumbnailEntry&) = delete;
    ThumbnailEntry& operator=(const ThumbnailEntry&) = delete;

    HDC hMemDC = nullptr;
    HBITMAP hBitmap = nullptr;
    HGDIOBJ hOldBitmap = nullptr;
    int nWidth = 0;
    int nHeight = 0;
};

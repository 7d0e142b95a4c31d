// The full image of the page whose number stands in the main window's Show Page
// edit, read from its page file for each use.
#pragma once

#include <windows.h>

// A packed DIB in local memory that the caller frees, or null.
HLOCAL ReadShownPageImage();

// The pixel bits after the header and the colour table its bit depth implies.
const BYTE* DibBits(const BITMAPINFOHEADER* pbi);

// Holds a locked page image and frees it at the end of the scope.
class CPageImage {
public:
    CPageImage() : m_h(ReadShownPageImage())
    {
        m_pbi = m_h ? static_cast<const BITMAPINFOHEADER*>(::LocalLock(m_h)) : nullptr;
    }
    ~CPageImage()
    {
        if (m_h) {
            ::LocalUnlock(m_h);
            ::LocalFree(m_h);
        }
    }
    CPageImage(const CPageImage&) = delete;
    CPageImage& operator=(const CPageImage&) = delete;

    const BITMAPINFOHEADER* Header() const { return m_pbi; }
    const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(m_pbi); }
    const BYTE* Bits() const { return DibBits(m_pbi); }

private:
    HLOCAL m_h;
    const BITMAPINFOHEADER* m_pbi;
};

// Device contexts by the way they are obtained, each released by its owner, and
// a guard that puts back the object it replaced.
#pragma once

#include <windows.h>

class CPaintDC {
public:
    explicit CPaintDC(HWND hWnd) : m_hWnd(hWnd) { m_hDC = ::BeginPaint(hWnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    operator HDC() const { return m_hDC; }
    const PAINTSTRUCT& ps() const { return m_ps; }

private:
    HWND m_hWnd;
    HDC m_hDC;
    PAINTSTRUCT m_ps;
};

class CClientDC {
public:
    explicit CClientDC(HWND hWnd) : m_hWnd(hWnd), m_hDC(::GetDC(hWnd)) {}
    ~CClientDC()
    {
        if (m_hDC)
            ::ReleaseDC(m_hWnd, m_hDC);
    }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;
    operator HDC() const { return m_hDC; }

private:
    HWND m_hWnd;
    HDC m_hDC;
};

class CSelectObject {
public:
    CSelectObject(HDC hDC, HGDIOBJ hObj) : m_hDC(hDC), m_hOld(::SelectObject(hDC, hObj)) {}
    ~CSelectObject() { ::SelectObject(m_hDC, m_hOld); }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};

// Owns one GDI object (pen, brush, font, bitmap); move-only.
class CGdiObject {
public:
    CGdiObject() = default;
    explicit CGdiObject(HGDIOBJ h) : m_h(h) {}
    ~CGdiObject()
    {
        if (m_h)
            ::DeleteObject(m_h);
    }
    CGdiObject(CGdiObject&& o) noexcept : m_h(o.m_h) { o.m_h = nullptr; }
    CGdiObject& operator=(CGdiObject&& o) noexcept
    {
        if (this != &o) {
            if (m_h)
                ::DeleteObject(m_h);
            m_h = o.m_h;
            o.m_h = nullptr;
        }
        return *this;
    }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    HGDIOBJ get() const { return m_h; }

private:
    HGDIOBJ m_h = nullptr;
};

// A device context made for its owner (a printer's, from CreateDC or the print
// dialog), deleted with it; move-only.
class COwnedDC {
public:
    explicit COwnedDC(HDC hDC = nullptr) : m_hDC(hDC) {}
    ~COwnedDC()
    {
        if (m_hDC)
            ::DeleteDC(m_hDC);
    }
    COwnedDC(COwnedDC&& o) noexcept : m_hDC(o.m_hDC) { o.m_hDC = nullptr; }
    COwnedDC& operator=(COwnedDC&& o) noexcept
    {
        if (this != &o) {
            if (m_hDC)
                ::DeleteDC(m_hDC);
            m_hDC = o.m_hDC;
            o.m_hDC = nullptr;
        }
        return *this;
    }
    COwnedDC(const COwnedDC&) = delete;
    COwnedDC& operator=(const COwnedDC&) = delete;
    operator HDC() const { return m_hDC; }

private:
    HDC m_hDC;
};

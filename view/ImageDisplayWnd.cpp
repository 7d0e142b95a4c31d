#include "view/ImageDisplayWnd.h"

#include "app/UtilityDlg.h"
#include "framework/Gdi.h"
#include "res/resource.h"
#include "settings/ScanSettings.h"
#include "store/PageStore.h"

#include <new>
#include <stdio.h>
#include <vector>

namespace {
const char kClassName[] = "TolvixPicView";
const COLORREF kGray = RGB(150, 150, 150);
const COLORREF kGreen = RGB(0, 255, 0);

ATOM RegisterPaneClass()
{
    static ATOM s_atom = 0;
    if (!s_atom) {
        WNDCLASSA wc = {};
        wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = CWnd::WndProc();
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        s_atom = ::RegisterClassA(&wc);
    }
    return s_atom;
}

// A logical palette of the image's colour table, biClrUsed entries long.
HPALETTE CreateImagePalette(const BITMAPINFOHEADER* pbi)
{
    DWORD nColors = pbi->biClrUsed > 256 ? 256 : pbi->biClrUsed;
    std::vector<BYTE> buf(sizeof(LOGPALETTE) + nColors * sizeof(PALETTEENTRY));
    LOGPALETTE* pPal = reinterpret_cast<LOGPALETTE*>(buf.data());
    pPal->palVersion = 0x300;
    pPal->palNumEntries = (WORD)nColors;
    const RGBQUAD* pColors = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(pbi) + pbi->biSize);
    for (DWORD i = 0; i < nColors; ++i)
        pPal->palPalEntry[i] = PALETTEENTRY{pColors[i].rgbRed, pColors[i].rgbGreen, pColors[i].rgbBlue, 0};
    return ::CreatePalette(pPal);
}
} // namespace

BOOL CImageDisplayWnd::Create(CUtilityDlg* pOwner, int nPlaceholderId)
{
    m_pOwner = pOwner;
    if (!RegisterPaneClass())
        return FALSE;
    RECT rc;
    ::GetWindowRect(pOwner->GetDlgItem(nPlaceholderId), &rc);
    ::MapWindowPoints(nullptr, pOwner->GetSafeHwnd(), reinterpret_cast<POINT*>(&rc), 2);
    m_nScreen = 1;
    return CreateEx(WS_EX_CLIENTEDGE, kClassName, "PicView", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rc,
                    pOwner->GetSafeHwnd(), reinterpret_cast<HMENU>((INT_PTR)nPlaceholderId));
}

LRESULT CImageDisplayWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT: {
        CPaintDC validate(m_hWnd);
        // The whole pane is drawn, not only the invalid part.
        CClientDC dc(m_hWnd);
        DoPaint(dc);
        return 0;
    }
    case WM_PRINTCLIENT:
        DoPaint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_VSCROLL:
        OnVScroll(LOWORD(wParam), (short)HIWORD(wParam));
        break;
    case WM_LBUTTONDOWN:
        OnLButtonDown(lParam);
        break;
    case WM_LBUTTONDBLCLK:
        if (!OnLButtonDblClk(lParam))
            return 0;
        break;
    case WM_KEYDOWN:
        OnKeyDown(wParam);
        break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

int CImageDisplayWnd::PageCount() const { return g_pSettings ? g_pSettings->m_nPageCount : 0; }

void CImageDisplayWnd::GetScreenRange(int& nFirst, int& nLast) const
{
    const int nPages = PageCount();
    nFirst = 1;
    nLast = 4 * m_nScreen <= nPages ? 4 : nPages % 4;
}

void CImageDisplayWnd::DoPaint(HDC hDC)
{
    RECT rcWnd;
    ::GetWindowRect(m_hWnd, &rcWnd);
    const int W = rcWnd.right - rcWnd.left;
    const int H = rcWnd.bottom - rcWnd.top;
    if (!m_pOwner || m_pOwner->IsAutoSaveOn() || !m_pOwner->Thumbnails()) {
        ::PatBlt(hDC, 0, 0, W, H, WHITENESS);
        return;
    }

    // No installed font has this face: the mapper picks one by the other attributes.
    CGdiObject font(
        ::CreateFontA(12, 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, CLIP_EMBEDDED, 0, 0, "MS san self"));
    CGdiObject grayBrush(::CreateSolidBrush(::GetNearestColor(hDC, kGray)));
    CGdiObject greenBrush(::CreateSolidBrush(kGreen));

    ::SetBkMode(hDC, TRANSPARENT);
    {
        CSelectObject brush(hDC, grayBrush.get());
        ::PatBlt(hDC, 0, 0, W, H, PATCOPY);
    }

    const int cellW = (int)((unsigned)(W - 20) / 2u);
    const int cellH = (int)((unsigned)(H - 4) / 2u);
    CSelectObject selFont(hDC, font.get());
    int first, last;
    GetScreenRange(first, last);
    if (last > m_nThumbCount)
        last = m_nThumbCount;
    for (int s = first; s <= last; ++s) {
        const ThumbnailEntry& e = m_pOwner->Thumbnails()[s - 1];
        const int c = (s - 1) % 2;
        const int r = (s - 1) / 2;
        const int nPage = s + 4 * (m_nScreen - 1);
        const int left = 4 + c * (cellW - 4);
        const int right = left + cellW - 8;
        const int top = 4 + r * (cellH - 4);
        const int bottom = top + cellH - 8;

        char szNumber[16];
        int cch = snprintf(szNumber, sizeof szNumber, "%d", nPage);
        ::SetBkMode(hDC, TRANSPARENT);
        COLORREF oldBk = ::SetBkColor(hDC, kGray);
        ::ExtTextOutA(hDC, left + (right - left) / 2, bottom - 16, ETO_OPAQUE, nullptr, szNumber, (UINT)cch, nullptr);
        ::SetBkColor(hDC, oldBk);

        const int availW = (right - left) - 8;
        const int availH = (bottom - top) - 24;
        const int w = e.nWidth;
        const int h = e.nHeight;
        if (w <= 0 || h <= 0)
            continue;
        int drawW, drawH, x, y;
        if (w > h) {
            drawW = availW;
            drawH = (int)((double)availH * h / w);
            x = left;
            y = top + (availH - drawH) / 2;
        } else {
            // A portrait page gets a box as high as the image space is wide.
            drawH = availW;
            drawW = (int)((double)availW * w / h);
            x = left + (availW - drawW) / 2;
            y = top;
        }
        {
            CSelectObject brush(hDC, nPage == m_pOwner->ShowPage() ? greenBrush.get() : grayBrush.get());
            ::PatBlt(hDC, x, y, drawW + 8, drawH + 8, PATCOPY);
        }
        ::StretchBlt(hDC, x + 4, y + 4, drawW, drawH, e.hMemDC, 0, 0, w, h, SRCCOPY);
    }
}

BOOL CImageDisplayWnd::LoadThumbnails(int nFirstSlot, int nCount)
{
    m_pOwner->FreeThumbnails();
    m_nThumbCount = 0;
    ThumbnailEntry* pSet = new (std::nothrow) ThumbnailEntry[nCount > 0 ? nCount : 0];
    if (!pSet)
        return FALSE;
    m_pOwner->SetThumbnails(pSet);
    m_nThumbCount = nCount > 0 ? nCount : 0;

    CClientDC dc(m_hWnd);
    for (int s = nFirstSlot; s < nCount; ++s) {
        ThumbnailEntry& e = pSet[s];
        const int nPage = s + 1 + 4 * (m_nScreen - 1);
        e.hMemDC = ::CreateCompatibleDC(dc);

        char szName[256];
        HLOCAL hImage = nullptr;
        if (g_pSettings && g_pPageStore && g_pSettings->BuildPageFileName(szName, nPage))
            hImage = g_pPageStore->ReadPageReduced(szName, nPage - 1);
        if (!hImage) {
            // A page that cannot be read ends the whole display, silently.
            m_pOwner->FreeThumbnails();
            m_nThumbCount = 0;
            m_pOwner->EnterNoPagesState();
            ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
            return TRUE;
        }
        const BYTE* pDib = static_cast<const BYTE*>(::LocalLock(hImage));
        const BITMAPINFOHEADER* pbi = reinterpret_cast<const BITMAPINFOHEADER*>(pDib);
        e.hPalette = CreateImagePalette(pbi);
        if (e.hPalette)
            e.hOldPalette = ::SelectPalette(e.hMemDC, e.hPalette, FALSE);
        const BYTE* pBits = pDib + pbi->biSize + DibPaletteBytes(pbi);
        e.hBitmap =
            ::CreateDIBitmap(e.hMemDC, pbi, CBM_INIT, pBits, reinterpret_cast<const BITMAPINFO*>(pbi), DIB_RGB_COLORS);
        if (e.hBitmap)
            e.hOldBitmap = ::SelectObject(e.hMemDC, e.hBitmap);
        e.nWidth = pbi->biWidth;
        e.nHeight = pbi->biHeight;
        ::LocalUnlock(hImage);
        ::LocalFree(hImage);
    }
    ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
    return TRUE;
}

void CImageDisplayWnd::Reload()
{
    int first, last;
    GetScreenRange(first, last);
    LoadThumbnails(first - 1, last);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CImageDisplayWnd::OnVScroll(int nCode, int nTrackPos)
{
    m_nScreen = ::GetScrollPos(m_hWnd, SB_VERT);
    const int nScreens = m_pOwner->ScreenCount();
    switch (nCode) {
    case SB_LINEUP:
    case SB_PAGEUP:
        if (m_nScreen != 1) {
            --m_nScreen;
            Reload();
        }
        break;
    case SB_LINEDOWN:
    case SB_PAGEDOWN:
        if (m_nScreen != nScreens) {
            ++m_nScreen;
            Reload();
        }
        break;
    case SB_THUMBTRACK:
        m_nScreen = nTrackPos;
        Reload();
        break;
    case SB_TOP:
        if (m_nScreen != 1) {
            m_nScreen = 1;
            Reload();
        }
        break;
    case SB_BOTTOM:
        if (m_nScreen != nScreens) {
            m_nScreen = nScreens;
            Reload();
        }
        break;
    }
    ::SetScrollPos(m_hWnd, SB_VERT, m_nScreen, TRUE);
}

int CImageDisplayWnd::PageAt(LPARAM lParam) const
{
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    const int cx = rc.right / 2;
    const int cy = rc.bottom / 2;
    const int nSlot = ((short)LOWORD(lParam) < cx ? 1 : 2) + ((short)HIWORD(lParam) < cy ? 0 : 2);
    return nSlot + 4 * (m_nScreen - 1);
}

void CImageDisplayWnd::ShowScreenOf(int nPage)
{
    m_nScreen = ScreenOfPage(nPage);
    ::SetScrollPos(m_hWnd, SB_VERT, m_nScreen, TRUE);
    Reload();
    ::UpdateWindow(m_hWnd);
}

void CImageDisplayWnd::SetShowPageText(int nPage) const
{
    char sz[16];
    snprintf(sz, sizeof sz, "%d", nPage);
    m_pOwner->SetDlgItemText(IDC_SHOW_PAGE, sz);
}

void CImageDisplayWnd::OnLButtonDown(LPARAM lParam)
{
    if (!m_pOwner->Thumbnails())
        return;
    const int nPage = PageAt(lParam);
    if (nPage <= PageCount()) {
        m_pOwner->SetShowPage(nPage);
        SetShowPageText(nPage);
    }
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    ::UpdateWindow(m_hWnd);
}

// FALSE when the click hit no page: then the message is swallowed.
BOOL CImageDisplayWnd::OnLButtonDblClk(LPARAM lParam)
{
    if (!m_pOwner->Thumbnails())
        return TRUE;
    const int nPage = PageAt(lParam);
    if (nPage > PageCount())
        return FALSE;
    m_pOwner->SetShowPage(nPage);
    SetShowPageText(nPage);
    m_pOwner->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_ACTUAL_SIZE, BN_CLICKED),
                          reinterpret_cast<LPARAM>(m_pOwner->GetDlgItem(IDC_ACTUAL_SIZE)));
    return TRUE;
}

void CImageDisplayWnd::OnKeyDown(WPARAM vk)
{
    // Without a thumbnail set there is nothing to move through; moving would
    // load a batch that was saved and put away.
    if (!m_pOwner->Thumbnails())
        return;
    const int nPages = PageCount();
    int nShow = m_pOwner->ShowPage();
    m_nScreen = nPages < 1 ? 1 : ScreenOfPage(nShow);
    bool bMoved = false;
    switch (vk) {
    case VK_LEFT:
        if (nShow != 1) {
            --nShow;
            bMoved = true;
        }
        break;
    case VK_RIGHT:
        if (nShow != nPages) {
            ++nShow;
            bMoved = true;
        }
        break;
    case VK_PRIOR:
        if (nPages > 4) {
            nShow = nShow - 4 < 1 ? 1 : nShow - 4;
            bMoved = true;
        }
        break;
    case VK_NEXT:
        if (nPages > 4) {
            nShow = nShow + 4 > nPages ? nPages : nShow + 4;
            bMoved = true;
        }
        break;
    case VK_HOME:
        nShow = 1;
        bMoved = true;
        break;
    case VK_END:
        nShow = nPages;
        bMoved = true;
        break;
    }
    if (!bMoved)
        return;
    m_pOwner->SetShowPage(nShow);
    ShowScreenOf(nShow);
    SetShowPageText(nShow);
}

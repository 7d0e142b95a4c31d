// The source's events and the page transfers: native or buffered, every page
// made the one DIB form the program takes, one page per pass through the
// caller's event loop so that its window stays responsive.
#include "Impl.h"

#include "codec/dib.h"
#include "codec/scanpage.h"

#include <math.h>
#include <string.h>

namespace {

int32_t PelsPerMeter(double dpi) { return (int32_t)lround(dpi * 10000.0 / 254.0); }

// The event loop's turn for the next page, told apart from the source's own
// messages: a request to close that the source queued after a page is seen
// before the next page is asked for.
constexpr WPARAM kNextPage = 0x5458;

// Larger strips than this are not worth asking for.
constexpr TW_UINT32 kMaxStrip = 1u << 22;

} // namespace

TW_UINT16 WINAPI tw_Interface::Impl::SourceCallback(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32, TW_UINT16 dat, TW_UINT16 msg,
                                                    TW_MEMREF pData)
{
    auto* d = (tw_Interface::Impl*)pData;
    if (d && dat == DAT_NULL)
        d->OnSourceMessage(msg);
    return TWRC_SUCCESS;
}

// Notes the message and wakes the event loop, which brings it to HandleMessage.
void tw_Interface::Impl::OnSourceMessage(TW_UINT16 msg)
{
    if (!bSrcOpen || msg == MSG_DEVICEEVENT)
        return;
    // A request to close is not overtaken by anything the source says after it.
    if (pendingMsg != MSG_CLOSEDSREQ)
        pendingMsg = msg;
    if (!bBusy)
        PostMessageA(hScanWnd, WM_NULL, 0, 0);
}

void tw_Interface::Impl::StopStartTimer()
{
    if (startTimer)
        KillTimer(nullptr, startTimer);
    startTimer = 0;
}

// Whatever ended it, a batch with pages is a batch; without pages the scan
// ends quietly, except where the program could not store a page.
Final tw_Interface::Impl::Finish(bool normal)
{
    CloseSource();
    if (!normal)
        return Final{TWI_EVENT_END, 0};
    return nPages ? Final{TWI_EVENT_END, 1} : Final{TWI_EVENT_CLOSED, 0};
}

Final tw_Interface::Impl::StartTimedOut()
{
    StopStartTimer();
    if (state != 5 || bTransferring)
        return Final{};
    char caption[sizeof(TW_STR32)];
    memcpy(caption, src.ProductName, sizeof(caption));
    caption[sizeof(caption) - 1] = 0;
    Final fin = Finish(true);
    MessageBoxA(hScanWnd,
                "The scanner did not start scanning.\nCheck that it is switched on, connected and loaded, "
                "then scan again.",
                caption, MB_OK | MB_ICONEXCLAMATION);
    return fin;
}

void tw_Interface::Impl::PostNext() { PostMessageA(hScanWnd, WM_NULL, kNextPage, (LPARAM)this); }

bool tw_Interface::Impl::IsNext(const MSG& msg) const
{
    return msg.message == WM_NULL && msg.hwnd == hScanWnd && msg.wParam == kNextPage && msg.lParam == (LPARAM)this;
}

Final tw_Interface::Impl::Pump(bool next)
{
    TW_UINT16 msg = pendingMsg;
    pendingMsg = MSG_NULL;
    if ((msg == MSG_CLOSEDSREQ || msg == MSG_CLOSEDSOK) && state >= 5)
        return Finish(true);
    if (msg == MSG_XFERREADY && state == 5) {
        StopStartTimer();
        state = 6;
        bTransferring = true;
        next = true;
    }
    if (next && bTransferring && state == 6)
        return TransferOne();
    return Final{};
}

// The page in the program's form, in hImage.
bool tw_Interface::Impl::HandOn(const codec::ImageView& page, const TW_IMAGEINFO& info)
{
    codec::PageOptions options;
    options.method = plan.method;
    options.turnLeft = plan.turnLeft;
    double dx = TwFix32ToDouble(info.XResolution), dy = TwFix32ToDouble(info.YResolution);
    options.xPelsPerMeter = dx > 0                   ? PelsPerMeter(dx)
                            : page.xPelsPerMeter > 0 ? page.xPelsPerMeter
                                                     : PelsPerMeter(plan.dpiX);
    options.yPelsPerMeter = dy > 0                   ? PelsPerMeter(dy)
                            : page.yPelsPerMeter > 0 ? page.yPelsPerMeter
                                                     : PelsPerMeter(plan.dpiY);
    std::vector<uint8_t> dib = codec::NormalPage(page, options);
    if (dib.empty())
        return false;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, dib.size());
    void* p = h ? GlobalLock(h) : nullptr;
    if (!p) {
        if (h)
            GlobalFree(h);
        return false;
    }
    memcpy(p, dib.data(), dib.size());
    GlobalUnlock(h);
    hImage = h;
    return true;
}

bool tw_Interface::Impl::TransferNative(const TW_IMAGEINFO& info, TW_UINT16* rc)
{
    TW_HANDLE h = nullptr;
    *rc = Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h);
    if (*rc != TWRC_XFERDONE || !h)
        return false;
    bool ok = false;
    const void* p = GlobalLock(h);
    codec::ImageView view;
    if (p && codec::ParseDib((const uint8_t*)p, GlobalSize(h), &view, true) == codec::DibError::None)
        ok = HandOn(view, info);
    if (p)
        GlobalUnlock(h);
    GlobalFree(h);
    return ok;
}

// Uncompressed strips of whole rows, top-down, into one block of rows.
bool tw_Interface::Impl::TransferMemory(const TW_IMAGEINFO& info, TW_UINT16* rc)
{
    TW_SETUPMEMXFER setup = {};
    if (Ds(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup) != TWRC_SUCCESS)
        setup = TW_SETUPMEMXFER{};
    TW_UINT32 size = setup.Preferred;
    if (!size || size == TWON_DONTCARE32 || size > kMaxStrip)
        size = setup.MaxBufSize && setup.MaxBufSize != TWON_DONTCARE32 && setup.MaxBufSize < kMaxStrip ? setup.MaxBufSize
                                                                                                       : 65536;
    if (size < setup.MinBufSize && setup.MinBufSize <= kMaxStrip)
        size = setup.MinBufSize;
    std::vector<uint8_t> strip(size);
    const int bpp = info.BitsPerPixel;
    uint32_t width = info.ImageWidth > 0 ? (uint32_t)info.ImageWidth : 0;
    size_t rowBytes = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rows;
    bool ok = bpp == 1 || bpp == 8 || bpp == 24;
    for (;;) {
        TW_IMAGEMEMXFER mx = {};
        mx.Compression = TWON_DONTCARE16;
        mx.BytesPerRow = mx.Columns = mx.Rows = mx.XOffset = mx.YOffset = mx.BytesWritten = TWON_DONTCARE32;
        mx.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
        mx.Memory.Length = size;
        mx.Memory.TheMem = strip.data();
        *rc = Ds(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &mx);
        if (*rc != TWRC_SUCCESS && *rc != TWRC_XFERDONE)
            return false;
        state = 7;
        if (!width)
            width = mx.Columns;
        rowBytes = ((size_t)width * (bpp > 0 ? bpp : 0) + 7) / 8;
        ok = ok && mx.Compression == TWCP_NONE && (uint64_t)mx.Rows * mx.BytesPerRow <= size;
        for (TW_UINT32 r = 0; ok && r < mx.Rows; ++r) {
            uint32_t y = mx.YOffset + r;
            if (y >= 1u << 20)
                break;
            if ((size_t)(y + 1) * rowBytes > rows.size())
                rows.resize((size_t)(y + 1) * rowBytes, 0);
            size_t n = mx.BytesPerRow < rowBytes ? mx.BytesPerRow : rowBytes;
            memcpy(&rows[(size_t)y * rowBytes], &strip[(size_t)r * mx.BytesPerRow], n);
            if (y + 1 > height)
                height = y + 1;
        }
        if (*rc == TWRC_XFERDONE)
            break;
    }
    if (!ok || !height || !rowBytes)
        return false;
    codec::ImageView view = codec::RawRowsView(rows.data(), rowBytes, width, height, bpp, plan.vanilla);
    return view.width && HandOn(view, info);
}

Final tw_Interface::Impl::TransferOne()
{
    TW_IMAGEINFO info = {};
    if (Ds(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info) != TWRC_SUCCESS)
        info = TW_IMAGEINFO{};
    TW_UINT16 rc = TWRC_FAILURE;
    bool made = plan.mech == TWSX_MEMORY ? TransferMemory(info, &rc) : TransferNative(info, &rc);
    if (rc == TWRC_CANCEL) {
        state = 7;
        return Finish(true);
    }
    // A jam, a double feed or any other failure: the pages before it stay.
    if (rc != TWRC_XFERDONE)
        return Finish(true);
    state = 7;
    TW_PENDINGXFERS px = {};
    if (Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px) == TWRC_SUCCESS)
        state = px.Count ? 6 : 5;
    if (!made)
        return Finish(true);
    ++nPages;
    int r = pfnCallback ? pfnCallback(TWI_EVENT_IMAGE, 1) : 1;
    if (hImage)
        GlobalFree(hImage); // the program did not take it
    hImage = nullptr;
    if (!bSrcOpen)
        return Final{}; // closed from within the callback
    if (r < 0)
        return Finish(false);
    if (r == 0 || state != 6 || (plan.stopSelf && nPages >= plan.wanted))
        return Finish(true);
    PostNext();
    return Final{};
}

// Capability negotiation: for each value of the scan record, ask what the
// source allows, set the nearest allowed value and read back what it chose.
// Only a source that cannot scan at all is an error; everything else falls
// back to what the source does, and the library makes up the difference on
// the page itself (black and white, the quarter turn, the page count).
#include "Impl.h"

#include <math.h>
#include <string.h>

namespace {

// The numbers among the item types: the only ones negotiated here.
TW_UINT32 ItemSize(TW_UINT16 type)
{
    TW_UINT32 n = TwItemSize(type);
    return n <= 4 ? n : 0;
}

TW_UINT32 ReadItem(const TW_UINT8* p, TW_UINT16 type)
{
    TW_UINT32 v = 0;
    memcpy(&v, p, ItemSize(type));
    return v;
}

// Paper sizes the program offers, in thousandths of an inch, portrait.
struct Paper {
    TW_UINT16 code;
    int width, height;
};
const Paper kPapers[] = {
    {TWSS_A4, 8268, 11693}, {TWSS_JISB5, 7165, 10118}, {TWSS_USLETTER, 8500, 11000}, {TWSS_USLEGAL, 8500, 14000},
    {TWSS_A5, 5827, 8268},  {TWSS_ISOB4, 9843, 13898}, {TWSS_ISOB6, 4921, 6929},     {TWSS_USEXECUTIVE, 7250, 10500},
};

const Paper* FindPaper(TW_UINT32 code)
{
    for (const Paper& p : kPapers)
        if (p.code == code)
            return &p;
    return nullptr;
}

// The record's frame is in 1/200 inch.
constexpr double kFrameUnit = 200.0;

} // namespace

double CapNumber(TW_UINT16 type, TW_UINT32 bits)
{
    switch (type) {
    case TWTY_FIX32:
        return TwFix32ToDouble(TwBitsFix32(bits));
    case TWTY_INT8:
        return (TW_INT8)bits;
    case TWTY_INT16:
        return (TW_INT16)bits;
    case TWTY_INT32:
        return (TW_INT32)bits;
    default:
        return bits;
    }
}

TW_UINT32 CapBits(TW_UINT16 type, double value)
{
    if (type == TWTY_FIX32)
        return TwFix32Bits(TwFix32(value));
    TW_INT32 v = (TW_INT32)lround(value);
    return type == TWTY_INT16 || type == TWTY_UINT16 || type == TWTY_BOOL ? (TW_UINT32)v & 0xffff : (TW_UINT32)v;
}

bool CapValues::Has(TW_UINT32 value) const
{
    if (!ok)
        return false;
    if (range) {
        double v = CapNumber(type, value), lo = CapNumber(type, min), hi = CapNumber(type, max);
        return v >= lo && v <= hi;
    }
    for (TW_UINT32 item : items)
        if (item == value)
            return true;
    return false;
}

TW_UINT32 CapValues::Nearest(double wanted) const
{
    if (range) {
        double lo = CapNumber(type, min), hi = CapNumber(type, max), by = CapNumber(type, step);
        double v = wanted < lo ? lo : wanted > hi ? hi : wanted;
        if (by > 0)
            v = lo + floor((v - lo) / by + 0.5) * by;
        return CapBits(type, v > hi ? hi : v);
    }
    TW_UINT32 best = current;
    double bestDist = -1;
    for (TW_UINT32 item : items) {
        double d = fabs(CapNumber(type, item) - wanted);
        if (bestDist < 0 || d < bestDist) {
            best = item;
            bestDist = d;
        }
    }
    return best;
}

CapValues tw_Interface::Impl::Get(TW_UINT16 id)
{
    CapValues v;
    TW_CAPABILITY cap = {};
    cap.Cap = id;
    cap.ConType = TWON_DONTCARE16;
    if (Ds(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap) != TWRC_SUCCESS || !cap.hContainer)
        return v;
    const auto* p = (const TW_UINT8*)MemLock(cap.hContainer);
    if (p) {
        TW_UINT16 type = *(const TW_UINT16*)p;
        TW_UINT32 size = ItemSize(type);
        v.type = type;
        v.ok = size != 0;
        if (v.ok && cap.ConType == TWON_ONEVALUE) {
            v.current = ReadItem(p + offsetof(TW_ONEVALUE, Item), type);
            v.items.push_back(v.current);
        } else if (v.ok && cap.ConType == TWON_ENUMERATION) {
            const auto* e = (const TW_ENUMERATION*)p;
            for (TW_UINT32 i = 0; i < e->NumItems && i < 4096; ++i)
                v.items.push_back(ReadItem(e->ItemList + i * size, type));
            v.current = e->CurrentIndex < v.items.size() ? v.items[e->CurrentIndex] : 0;
        } else if (v.ok && cap.ConType == TWON_ARRAY) {
            const auto* a = (const TW_ARRAY*)p;
            for (TW_UINT32 i = 0; i < a->NumItems && i < 4096; ++i)
                v.items.push_back(ReadItem(a->ItemList + i * size, type));
        } else if (v.ok && cap.ConType == TWON_RANGE) {
            const auto* r = (const TW_RANGE*)p;
            v.range = true;
            v.min = r->MinValue;
            v.max = r->MaxValue;
            v.step = r->StepSize;
            v.current = r->CurrentValue;
        } else {
            v.ok = false;
        }
        MemUnlock(cap.hContainer);
    }
    MemFree(cap.hContainer);
    return v;
}

// TWRC_CHECKSTATUS means the source took a value of its own: callers read back.
bool tw_Interface::Impl::Set(TW_UINT16 id, TW_UINT16 type, TW_UINT32 value)
{
    TW_CAPABILITY cap = {};
    cap.Cap = id;
    cap.ConType = TWON_ONEVALUE;
    cap.hContainer = MemAlloc(sizeof(TW_ONEVALUE));
    if (!cap.hContainer)
        return false;
    auto* v = (TW_ONEVALUE*)MemLock(cap.hContainer);
    v->ItemType = type;
    v->Item = ItemSize(type) == 2 ? value & 0xffff : value;
    MemUnlock(cap.hContainer);
    TW_UINT16 rc = Ds(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap);
    MemFree(cap.hContainer);
    return rc == TWRC_SUCCESS || rc == TWRC_CHECKSTATUS;
}

bool tw_Interface::Impl::GetCurrent(TW_UINT16 id, TW_UINT32* value)
{
    TW_CAPABILITY cap = {};
    cap.Cap = id;
    cap.ConType = TWON_DONTCARE16;
    if (Ds(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &cap) != TWRC_SUCCESS || !cap.hContainer)
        return false;
    bool ok = false;
    const auto* v = (const TW_ONEVALUE*)MemLock(cap.hContainer);
    if (v && cap.ConType == TWON_ONEVALUE && ItemSize(v->ItemType)) {
        *value = ReadItem((const TW_UINT8*)v + offsetof(TW_ONEVALUE, Item), v->ItemType);
        if (v->ItemType == TWTY_INT16)
            *value = (TW_UINT32)(TW_INT32)(TW_INT16)*value;
        ok = true;
    }
    if (v)
        MemUnlock(cap.hContainer);
    MemFree(cap.hContainer);
    return ok;
}

// Sets the allowed value nearest to `wanted`; `chosen` is what the source then
// reports (the wanted value when it reports nothing).
bool tw_Interface::Impl::SetNearest(TW_UINT16 id, double wanted, double* result)
{
    CapValues v = Get(id);
    TW_UINT16 type = v.ok ? v.type : TWTY_FIX32;
    TW_UINT32 bits = v.ok ? v.Nearest(wanted) : CapBits(type, wanted);
    bool ok = Set(id, type, bits);
    TW_UINT32 now = 0;
    *result = GetCurrent(id, &now) ? CapNumber(type, now) : CapNumber(type, bits);
    return ok;
}

bool tw_Interface::Impl::SetFrame(double left, double top, double right, double bottom)
{
    TW_IMAGELAYOUT layout = {};
    if (Ds(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout) != TWRC_SUCCESS)
        layout = TW_IMAGELAYOUT{};
    layout.Frame.Left = TwFix32(left);
    layout.Frame.Top = TwFix32(top);
    layout.Frame.Right = TwFix32(right);
    layout.Frame.Bottom = TwFix32(bottom);
    TW_UINT16 rc = Ds(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout);
    return rc == TWRC_SUCCESS || rc == TWRC_CHECKSTATUS;
}

// Black and white from the source where it can, else grey or colour that the
// library turns black and white with the mode's own method.
void tw_Interface::Impl::NegotiatePixels(const __ScanSetInterface& set)
{
    const bool diffuse = set.nMode != 1;
    plan.method = diffuse ? codec::Halftone::Diffusion : codec::Halftone::Threshold;

    CapValues types = Get(ICAP_PIXELTYPE);
    TW_UINT16 type = TWPT_BW;
    if (types.ok && !types.Has(TWPT_BW))
        type = types.Has(TWPT_GRAY) ? TWPT_GRAY : TWPT_RGB;
    if (type == TWPT_BW && diffuse && types.Has(TWPT_GRAY)) {
        // A source that can only threshold would lose the grey areas.
        Set(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW);
        CapValues reduction = Get(ICAP_BITDEPTHREDUCTION);
        if (reduction.ok && !reduction.Has(TWBR_DIFFUSION) && !reduction.Has(TWBR_HALFTONE))
            type = TWPT_GRAY;
    }
    Set(ICAP_PIXELTYPE, TWTY_UINT16, type);
    Set(ICAP_BITDEPTH, TWTY_UINT16, type == TWPT_BW ? 1 : type == TWPT_GRAY ? 8 : 24);
    Set(ICAP_PIXELFLAVOR, TWTY_UINT16, TWPF_CHOCOLATE);
    TW_UINT32 flavor = TWPF_CHOCOLATE;
    plan.vanilla = GetCurrent(ICAP_PIXELFLAVOR, &flavor) && flavor == TWPF_VANILLA;

    TW_UINT32 now = type;
    if (GetCurrent(ICAP_PIXELTYPE, &now) && now == TWPT_BW) {
        CapValues reduction = Get(ICAP_BITDEPTHREDUCTION);
        if (!diffuse) {
            Set(ICAP_BITDEPTHREDUCTION, TWTY_UINT16, TWBR_THRESHOLD);
            double threshold = 0;
            SetNearest(ICAP_THRESHOLD, 128, &threshold);
        } else if (!reduction.ok || reduction.Has(TWBR_DIFFUSION)) {
            Set(ICAP_BITDEPTHREDUCTION, TWTY_UINT16, TWBR_DIFFUSION);
        } else if (reduction.Has(TWBR_HALFTONE)) {
            Set(ICAP_BITDEPTHREDUCTION, TWTY_UINT16, TWBR_HALFTONE);
        }
    }
    // Text emphasis where the source has it; the other modes ask for none.
    CapValues filters = Get(ICAP_IMAGEFILTER);
    TW_UINT16 filter = set.nMode == 0 ? TWIF_TEXT : TWIF_NONE;
    if (filters.Has(filter))
        Set(ICAP_IMAGEFILTER, TWTY_UINT16, filter);
}

// The code when the source has it; Trimming by border detection inside the
// record's frame; Maximum as the source's largest area; any other code as
// that paper's frame.
void tw_Interface::Impl::NegotiatePageSize(const __ScanSetInterface& set)
{
    CapValues sizes = Get(ICAP_SUPPORTEDSIZES);
    TW_UINT16 type = sizes.ok ? sizes.type : TWTY_UINT16;
    auto setSize = [&](TW_UINT32 code) { return sizes.Has(code) && Set(ICAP_SUPPORTEDSIZES, type, code); };
    auto physical = [&]() {
        TW_UINT32 w = 0, h = 0;
        return GetCurrent(ICAP_PHYSICALWIDTH, &w) && GetCurrent(ICAP_PHYSICALHEIGHT, &h) &&
               SetFrame(0, 0, CapNumber(TWTY_FIX32, w), CapNumber(TWTY_FIX32, h));
    };
    auto largest = [&]() {
        if (setSize(TWSS_MAXSIZE))
            return;
        const Paper* best = nullptr;
        for (TW_UINT32 code : sizes.items) {
            const Paper* p = FindPaper(code);
            if (p && (!best || (double)p->width * p->height > (double)best->width * best->height))
                best = p;
        }
        if (!(best && setSize(best->code)))
            physical();
    };

    const TW_UINT32 code = (TW_UINT32)set.nPageSize;
    if (code == TWSS_NONE) {
        bool trims = Get(ICAP_AUTOMATICBORDERDETECTION).Has(TRUE) && Set(ICAP_AUTOMATICBORDERDETECTION, TWTY_BOOL, TRUE);
        trims = trims || (Get(ICAP_UNDEFINEDIMAGESIZE).Has(TRUE) && Set(ICAP_UNDEFINEDIMAGESIZE, TWTY_BOOL, TRUE));
        if (!trims) {
            largest();
            return;
        }
        setSize(TWSS_NONE);
        SetFrame(set.nFrame[0] / kFrameUnit, set.nFrame[1] / kFrameUnit, set.nFrame[2] / kFrameUnit,
                 set.nFrame[3] / kFrameUnit);
        return;
    }
    if (code == TWSS_MAXSIZE) {
        if (!setSize(TWSS_MAXSIZE) && !physical())
            largest();
        return;
    }
    if (setSize(code))
        return;
    const Paper* p = FindPaper(code);
    if (!(p && SetFrame(0, 0, p->width / 1000.0, p->height / 1000.0)))
        largest();
}

// Landscape by the source where it can turn the page, else by the library.
void tw_Interface::Impl::NegotiateOrientation(const __ScanSetInterface& set)
{
    plan.turnLeft = false;
    const bool landscape = set.nOrientation == 1;
    CapValues orientation = Get(ICAP_ORIENTATION);
    TW_UINT32 now = 0;
    if (orientation.Has(landscape ? TWOR_LANDSCAPE : TWOR_PORTRAIT) &&
        Set(ICAP_ORIENTATION, orientation.type, landscape ? TWOR_LANDSCAPE : TWOR_PORTRAIT) &&
        GetCurrent(ICAP_ORIENTATION, &now) && now == (landscape ? TWOR_LANDSCAPE : TWOR_PORTRAIT))
        return;
    if (!landscape)
        return;
    // ICAP_ROTATION counts in degrees the way the orientation values do.
    CapValues rotation = Get(ICAP_ROTATION);
    if (rotation.ok) {
        TW_UINT32 bits = CapBits(rotation.type, 270);
        if (rotation.Has(bits) && Set(ICAP_ROTATION, rotation.type, bits) && GetCurrent(ICAP_ROTATION, &now) &&
            fabs(CapNumber(rotation.type, now) - 270) < 0.5)
            return;
    }
    plan.turnLeft = true;
}

void tw_Interface::Impl::Negotiate(const __ScanSetInterface& set)
{
    plan = Plan{};
    Set(ICAP_UNITS, TWTY_UINT16, TWUN_INCHES);

    CapValues mechs = Get(ICAP_XFERMECH);
    plan.mech = TWSX_NATIVE;
    if (mechs.ok && !mechs.Has(TWSX_NATIVE) && mechs.Has(TWSX_MEMORY))
        plan.mech = TWSX_MEMORY;
    if (!Set(ICAP_XFERMECH, TWTY_UINT16, plan.mech) && plan.mech == TWSX_NATIVE &&
        Set(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY))
        plan.mech = TWSX_MEMORY;
    TW_UINT32 mech = plan.mech;
    if (GetCurrent(ICAP_XFERMECH, &mech) && (mech == TWSX_NATIVE || mech == TWSX_MEMORY))
        plan.mech = (TW_UINT16)mech;

    NegotiatePixels(set);
    SetNearest(ICAP_XRESOLUTION, set.fResolutionX, &plan.dpiX);
    SetNearest(ICAP_YRESOLUTION, set.fResolutionY, &plan.dpiY);
    NegotiateOrientation(set);
    NegotiatePageSize(set);

    int pages = set.nPages;
    if (pages == 0 || pages < -1)
        pages = 1;
    if (pages > 32767)
        pages = 32767;
    plan.wanted = pages;
    Set(CAP_XFERCOUNT, TWTY_INT16, (TW_UINT32)pages);
    TW_UINT32 count = (TW_UINT32)pages;
    GetCurrent(CAP_XFERCOUNT, &count);
    plan.stopSelf = pages > 0 && ((TW_INT32)count < 0 || (TW_INT32)count > pages);

    Set(CAP_FEEDERENABLED, TWTY_BOOL, TRUE);
    Set(CAP_AUTOFEED, TWTY_BOOL, TRUE);
    Set(CAP_INDICATORS, TWTY_BOOL, set.bShowUI ? TRUE : FALSE);
}

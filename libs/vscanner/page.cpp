#include "page.h"

#include <string.h>

#include <vector>

namespace vscan {
namespace {

const PaperSize kPapers[] = {
    {0, 8200, 11300},  // no fixed size: the frame stays as DAT_IMAGELAYOUT set it
    {1, 8268, 11693},  // A4 210 x 297 mm
    {2, 7165, 10118},  // JIS B5 182 x 257 mm
    {3, 8500, 11000},  // US Letter
    {4, 8500, 14000},  // US Legal
    {5, 5827, 8268},   // A5 148 x 210 mm
    {6, 9843, 13898},  // ISO B4 250 x 353 mm
    {7, 4921, 6929},   // ISO B6 125 x 176 mm
    {10, 7250, 10500}, // US Executive
    {54, 9843, 14000}, // the whole scan area: B4 wide, Legal long
};

// 5 x 7 glyphs, one byte per row, bit 4 the leftmost column.
struct Glyph {
    char c;
    uint8_t rows[7];
};

const Glyph kFont[] = {
    {'0', {0x0e, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0e}}, {'1', {0x04, 0x0c, 0x04, 0x04, 0x04, 0x04, 0x0e}},
    {'2', {0x0e, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1f}}, {'3', {0x1f, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0e}},
    {'4', {0x02, 0x06, 0x0a, 0x12, 0x1f, 0x02, 0x02}}, {'5', {0x1f, 0x10, 0x1e, 0x01, 0x01, 0x11, 0x0e}},
    {'6', {0x06, 0x08, 0x10, 0x1e, 0x11, 0x11, 0x0e}}, {'7', {0x1f, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0e, 0x11, 0x11, 0x0e, 0x11, 0x11, 0x0e}}, {'9', {0x0e, 0x11, 0x11, 0x0f, 0x01, 0x02, 0x0c}},
    {'A', {0x0e, 0x11, 0x11, 0x1f, 0x11, 0x11, 0x11}}, {'B', {0x1e, 0x11, 0x11, 0x1e, 0x11, 0x11, 0x1e}},
    {'C', {0x0e, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0e}}, {'D', {0x1c, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1c}},
    {'E', {0x1f, 0x10, 0x10, 0x1e, 0x10, 0x10, 0x1f}}, {'F', {0x1f, 0x10, 0x10, 0x1e, 0x10, 0x10, 0x10}},
    {'G', {0x0e, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0f}}, {'H', {0x11, 0x11, 0x11, 0x1f, 0x11, 0x11, 0x11}},
    {'I', {0x0e, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0e}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0c}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1f}},
    {'M', {0x11, 0x1b, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0e, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0e}}, {'P', {0x1e, 0x11, 0x11, 0x1e, 0x10, 0x10, 0x10}},
    {'Q', {0x0e, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0d}}, {'R', {0x1e, 0x11, 0x11, 0x1e, 0x14, 0x12, 0x11}},
    {'S', {0x0f, 0x10, 0x10, 0x0e, 0x01, 0x01, 0x1e}}, {'T', {0x1f, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0e}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0a, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0a}}, {'X', {0x11, 0x11, 0x0a, 0x04, 0x0a, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0a, 0x04, 0x04, 0x04}}, {'Z', {0x1f, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1f}},
    {'-', {0x00, 0x00, 0x00, 0x1f, 0x00, 0x00, 0x00}}, {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0c, 0x0c}},
    {',', {0x00, 0x00, 0x00, 0x00, 0x0c, 0x04, 0x08}}, {':', {0x00, 0x0c, 0x0c, 0x00, 0x0c, 0x0c, 0x00}},
    {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}},
};

const char* const kWords[] = {
    "THE",    "SCANNER",  "FEEDS",   "EACH",   "SHEET",   "OF",      "PAPER",   "AND",  "PAGE",    "IS",
    "STORED", "AS",       "A",       "BITMAP", "INVOICE", "TOTAL",   "AMOUNT",  "DUE",  "ORDER",   "NUMBER",
    "DATE",   "CUSTOMER", "ADDRESS", "REPORT", "SUMMARY", "QUARTER", "REVENUE", "COST", "MARGIN",  "NOTES",
    "PLEASE", "REVIEW",   "SIGN",    "RETURN", "BY",      "MAIL",    "WITHIN",  "DAYS", "ACCOUNT", "BALANCE",
};

const uint8_t* GlyphRows(char c)
{
    for (const Glyph& g : kFont)
        if (g.c == c)
            return g.rows;
    return nullptr;
}

uint32_t Next(uint32_t& state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// Drawing on a grey page, top-down: paint is never lighter than what lies
// under it, and text strokes are marked so that text emphasis can find them.
class Canvas {
public:
    Canvas(int width, int height)
        : m_width(width), m_height(height), m_grey((size_t)width * height, 255), m_strokes((size_t)width * height, 0)
    {}

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    uint8_t Grey(int x, int y) const { return m_grey[(size_t)y * m_width + x]; }
    bool Stroke(int x, int y) const { return m_strokes[(size_t)y * m_width + x] != 0; }

    void Fill(int x0, int y0, int x1, int y1, uint8_t level, bool stroke = false)
    {
        x0 = x0 < 0 ? 0 : x0;
        y0 = y0 < 0 ? 0 : y0;
        x1 = x1 > m_width ? m_width : x1;
        y1 = y1 > m_height ? m_height : y1;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                size_t i = (size_t)y * m_width + x;
                if (m_grey[i] > level)
                    m_grey[i] = level;
                if (stroke)
                    m_strokes[i] = 1;
            }
    }

    // A band from dark at the left to light at the right.
    void Gradient(int x0, int y0, int x1, int y1, int from, int to)
    {
        for (int x = x0; x < x1; ++x) {
            int level = from + (to - from) * (x - x0) / (x1 - x0 > 1 ? x1 - x0 - 1 : 1);
            Fill(x, y0, x + 1, y1, (uint8_t)level);
        }
    }

    // Text in the built-in font; `scale` pixels per font dot. Returns the end x.
    int Text(int x, int y, const char* s, int scale, uint8_t level = 0)
    {
        for (; *s; ++s, x += 6 * scale) {
            const uint8_t* rows = GlyphRows(*s);
            if (!rows)
                continue;
            for (int r = 0; r < 7; ++r)
                for (int c = 0; c < 5; ++c)
                    if (rows[r] & (0x10 >> c))
                        Fill(x + c * scale, y + r * scale, x + (c + 1) * scale, y + (r + 1) * scale, level, true);
        }
        return x;
    }

private:
    int m_width;
    int m_height;
    std::vector<uint8_t> m_grey;
    std::vector<uint8_t> m_strokes;
};

void FormatNumber(char* out, const char* prefix, unsigned n)
{
    char digits[12];
    int len = 0;
    do {
        digits[len++] = (char)('0' + n % 10);
        n /= 10;
    } while (n);
    while (*prefix)
        *out++ = *prefix++;
    while (len)
        *out++ = digits[--len];
    *out = 0;
}

} // namespace

const PaperSize* FindPaper(uint16_t code)
{
    for (const PaperSize& p : kPapers)
        if (p.code == code)
            return &p;
    return nullptr;
}

const PaperSize* Papers(size_t* count)
{
    *count = sizeof(kPapers) / sizeof(kPapers[0]);
    return kPapers;
}

namespace {

int Pixels(int mils, int dpi, int divisor) { return (int)(((long long)mils * dpi + 500) / 1000) / divisor; }

void DrawDocument(Canvas& cv, int dpi, int page, uint32_t seed)
{
    const int width = cv.Width(), height = cv.Height();
    uint32_t rnd = seed * 2654435761u + (uint32_t)page * 40503u + 1u;
    if (rnd == 0)
        rnd = 1;

    // A small page (test pages) still shows its number, drawn to fit.
    int scale = dpi / 60;
    if (scale < 1)
        scale = 1;
    int margin = dpi * 3 / 4;
    if (width < 12 * dpi / 4 || height < 4 * dpi) {
        margin = width / 16;
        scale = width / 80 > 0 ? width / 80 : 1;
    }
    int right = width - margin;
    int y = margin;
    char text[32];

    // Heading, in double-size letters, and a rule under it.
    FormatNumber(text, "DOCUMENT ", (unsigned)page);
    cv.Text(margin, y, text, scale * 2);
    y += 16 * scale;
    cv.Fill(margin, y, right, y + scale, 0);
    y += 4 * scale;

    // A grey band from dark to light: the modes differ most here.
    int lineHeight = 10 * scale;
    cv.Gradient(margin, y, right, y + 2 * lineHeight, 24, 232);
    y += 2 * lineHeight + lineHeight / 2;
    int bodyTop = y;

    // Body text: paragraphs of words, ragged right.
    int bodyEnd = height - margin - 14 * lineHeight;
    int paragraphs = 4 + (int)(Next(rnd) % 4);
    for (int p = 0; p < paragraphs && y < bodyEnd; ++p) {
        int lines = 3 + (int)(Next(rnd) % 5);
        for (int l = 0; l < lines && y < bodyEnd; ++l) {
            int x = margin + (l == 0 ? 4 * 6 * scale : 0);
            int limit = l == lines - 1 ? margin + (right - margin) * (40 + (int)(Next(rnd) % 50)) / 100 : right;
            for (;;) {
                const char* w = kWords[Next(rnd) % (sizeof(kWords) / sizeof(kWords[0]))];
                int wlen = (int)strlen(w) * 6 * scale;
                if (x + wlen > limit)
                    break;
                x = cv.Text(x, y, w, scale) + 6 * scale;
            }
            y += lineHeight;
        }
        y += lineHeight / 2;
    }

    // A light-grey stamp over the body's right half, lettered in mid grey:
    // gone at the threshold, dotted by diffusion, solid with text emphasis.
    int stampLeft = margin + (right - margin) / 2;
    int stampScale = (right - stampLeft) * 3 / 4 / 24 > 0 ? (right - stampLeft) * 3 / 4 / 24 : 1;
    cv.Fill(stampLeft, bodyTop, right, bodyTop + 11 * stampScale, 212);
    cv.Text(stampLeft + (right - stampLeft - 23 * stampScale) / 2, bodyTop + 2 * stampScale, "COPY", stampScale, 150);

    // A table of figures: ruled rows and columns.
    int rows = 4 + (int)(Next(rnd) % 4);
    int cols = 4;
    int rowHeight = 12 * scale;
    int tableTop = y + lineHeight;
    if (tableTop + rows * rowHeight < height - margin - 3 * lineHeight) {
        int colWidth = (right - margin) / cols;
        for (int r = 0; r <= rows; ++r)
            cv.Fill(margin, tableTop + r * rowHeight, margin + cols * colWidth + scale,
                    tableTop + r * rowHeight + scale, 0);
        for (int c = 0; c <= cols; ++c)
            cv.Fill(margin + c * colWidth, tableTop, margin + c * colWidth + scale, tableTop + rows * rowHeight + scale,
                    0);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                FormatNumber(text, r == 0 ? "COL " : "", r == 0 ? (unsigned)c + 1 : Next(rnd) % 100000);
                cv.Text(margin + c * colWidth + 3 * scale, tableTop + r * rowHeight + 3 * scale, text, scale);
            }
    }

    // Page number, centred at the foot.
    FormatNumber(text, "- PAGE ", (unsigned)page);
    size_t len = strlen(text);
    text[len] = ' ';
    text[len + 1] = '-';
    text[len + 2] = 0;
    int textWidth = (int)strlen(text) * 6 * scale;
    cv.Text((width - textWidth) / 2, height - margin / 2 - 7 * scale, text, scale);
}

} // namespace

codec::Image ScanPage(const ScanParams& p, int page)
{
    const int divisor = p.divisor < 1 ? 1 : p.divisor;
    int sheetW = Pixels(p.sheetWidthMils, p.dpi, divisor), sheetH = Pixels(p.sheetHeightMils, p.dpi, divisor);
    Canvas sheet(sheetW < 1 ? 1 : sheetW, sheetH < 1 ? 1 : sheetH);
    DrawDocument(sheet, p.dpi, page, p.seed);

    // The frame on the scan area; beyond the sheet the scanner sees white.
    int x0 = Pixels(p.frameMils[0], p.dpi, divisor), y0 = Pixels(p.frameMils[1], p.dpi, divisor);
    int x1 = Pixels(p.frameMils[2], p.dpi, divisor), y1 = Pixels(p.frameMils[3], p.dpi, divisor);
    if (x1 <= x0)
        x1 = x0 + 1;
    if (y1 <= y0)
        y1 = y0 + 1;
    auto inSheet = [&](int x, int y) { return x < sheet.Width() && y < sheet.Height(); };
    if (p.trim) {
        int l = x1, t = y1, r = x0, b = y0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (inSheet(x, y) && sheet.Grey(x, y) < 255) {
                    l = x < l ? x : l;
                    r = x + 1 > r ? x + 1 : r;
                    t = y < t ? y : t;
                    b = y + 1 > b ? y + 1 : b;
                }
        if (l < r && t < b) {
            x0 = l, y0 = t, x1 = r, y1 = b;
        }
    }
    codec::Image grey = codec::MakeImage((uint32_t)(x1 - x0), (uint32_t)(y1 - y0), codec::PixelFormat::Gray8);
    if (grey.width == 0)
        return grey;
    grey.xPelsPerMeter = grey.yPelsPerMeter = (int32_t)(p.dpi * 10000 / 254);
    for (int y = y0; y < y1; ++y) {
        uint8_t* row = grey.bits.data() + (size_t)(y - y0) * grey.stride;
        for (int x = x0; x < x1; ++x) {
            bool on = inSheet(x, y);
            uint8_t v = on ? sheet.Grey(x, y) : 255;
            if (on && p.depth == 1 && p.textEmphasis && sheet.Stroke(x, y))
                v = 0;
            row[x - x0] = v;
        }
    }
    codec::Image out = grey;
    if (p.depth == 1) {
        out = codec::ToBilevel(grey.View(), p.diffusion ? codec::Halftone::Diffusion : codec::Halftone::Threshold,
                               (uint8_t)(p.threshold < 0     ? 0
                                         : p.threshold > 255 ? 255
                                                             : p.threshold));
        out.xPelsPerMeter = out.yPelsPerMeter = grey.xPelsPerMeter;
    }
    if (p.landscape && out.width) {
        codec::Image turned = codec::RotateLeft(out.View());
        turned.xPelsPerMeter = turned.yPelsPerMeter = out.xPelsPerMeter;
        return turned;
    }
    return out;
}

} // namespace vscan

#include "page.h"

#include <string.h>

namespace vscan {
namespace {

const PaperSize kPapers[] = {
    {0, 8200, 11300},   // no size: the document trimmed to its content
    {1, 8268, 11693},   // A4 210 x 297 mm
    {2, 7165, 10118},   // JIS B5 182 x 257 mm
    {3, 8500, 11000},   // US Letter
    {4, 8500, 14000},   // US Legal
    {5, 5827, 8268},    // A5 148 x 210 mm
    {6, 9843, 13898},   // ISO B4 250 x 353 mm
    {7, 4921, 6929},    // ISO B6 125 x 176 mm
    {10, 7250, 10500},  // US Executive
    {54, 9843, 14000},  // the whole scan area: B4 wide, Legal long
};

// 5 x 7 glyphs, one byte per row, bit 4 the leftmost column.
struct Glyph {
    char c;
    uint8_t rows[7];
};

const Glyph kFont[] = {
    {'0', {0x0e, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0e}},
    {'1', {0x04, 0x0c, 0x04, 0x04, 0x04, 0x04, 0x0e}},
    {'2', {0x0e, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1f}},
    {'3', {0x1f, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0e}},
    {'4', {0x02, 0x06, 0x0a, 0x12, 0x1f, 0x02, 0x02}},
    {'5', {0x1f, 0x10, 0x1e, 0x01, 0x01, 0x11, 0x0e}},
    {'6', {0x06, 0x08, 0x10, 0x1e, 0x11, 0x11, 0x0e}},
    {'7', {0x1f, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0e, 0x11, 0x11, 0x0e, 0x11, 0x11, 0x0e}},
    {'9', {0x0e, 0x11, 0x11, 0x0f, 0x01, 0x02, 0x0c}},
    {'A', {0x0e, 0x11, 0x11, 0x1f, 0x11, 0x11, 0x11}},
    {'B', {0x1e, 0x11, 0x11, 0x1e, 0x11, 0x11, 0x1e}},
    {'C', {0x0e, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0e}},
    {'D', {0x1c, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1c}},
    {'E', {0x1f, 0x10, 0x10, 0x1e, 0x10, 0x10, 0x1f}},
    {'F', {0x1f, 0x10, 0x10, 0x1e, 0x10, 0x10, 0x10}},
    {'G', {0x0e, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0f}},
    {'H', {0x11, 0x11, 0x11, 0x1f, 0x11, 0x11, 0x11}},
    {'I', {0x0e, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0e}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0c}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1f}},
    {'M', {0x11, 0x1b, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0e, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0e}},
    {'P', {0x1e, 0x11, 0x11, 0x1e, 0x10, 0x10, 0x10}},
    {'Q', {0x0e, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0d}},
    {'R', {0x1e, 0x11, 0x11, 0x1e, 0x14, 0x12, 0x11}},
    {'S', {0x0f, 0x10, 0x10, 0x0e, 0x01, 0x01, 0x1e}},
    {'T', {0x1f, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0e}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0a, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0a}},
    {'X', {0x11, 0x11, 0x0a, 0x04, 0x0a, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0a, 0x04, 0x04, 0x04}},
    {'Z', {0x1f, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1f}},
    {'-', {0x00, 0x00, 0x00, 0x1f, 0x00, 0x00, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0c, 0x0c}},
    {',', {0x00, 0x00, 0x00, 0x00, 0x0c, 0x04, 0x08}},
    {':', {0x00, 0x0c, 0x0c, 0x00, 0x0c, 0x0c, 0x00}},
    {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}},
};

const char* const kWords[] = {
    "THE",     "SCANNER", "FEEDS",   "EACH",   "SHEET",   "OF",      "PAPER",    "AND",
    "PAGE",    "IS",      "STORED",  "AS",     "A",       "BITMAP",  "INVOICE",  "TOTAL",
    "AMOUNT",  "DUE",     "ORDER",   "NUMBER", "DATE",    "CUSTOMER", "ADDRESS", "REPORT",
    "SUMMARY", "QUARTER", "REVENUE", "COST",   "MARGIN",  "NOTES",   "PLEASE",   "REVIEW",
    "SIGN",    "RETURN",  "BY",      "MAIL",   "WITHIN",  "DAYS",    "ACCOUNT",  "BALANCE",
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

// Drawing in top-down page coordinates over bottom-up rows.
class Canvas {
public:
    Canvas(uint8_t* bits, int width, int height)
        : m_bits(bits), m_width(width), m_height(height), m_stride(RowBytes(width)) {}

    int Width() const { return m_width; }
    int Height() const { return m_height; }

    void Ink(int x0, int y0, int x1, int y1)
    {
        if (x0 < 0)
            x0 = 0;
        if (y0 < 0)
            y0 = 0;
        if (x1 > m_width)
            x1 = m_width;
        if (y1 > m_height)
            y1 = m_height;
        if (x0 >= x1 || y0 >= y1)
            return;
        for (int y = y0; y < y1; ++y)
            InkSpan(m_bits + (size_t)(m_height - 1 - y) * m_stride, x0, x1);
    }

    // Text in the built-in font; `scale` pixels per font dot. Returns the end x.
    int Text(int x, int y, const char* s, int scale)
    {
        for (; *s; ++s, x += 6 * scale) {
            const uint8_t* rows = GlyphRows(*s);
            if (!rows)
                continue;
            for (int r = 0; r < 7; ++r) {
                uint8_t bits = rows[r];
                for (int c = 0; c < 5;) {
                    if (!(bits & (0x10 >> c))) {
                        ++c;
                        continue;
                    }
                    int run = c;
                    while (run < 5 && (bits & (0x10 >> run)))
                        ++run;
                    Ink(x + c * scale, y + r * scale, x + run * scale, y + (r + 1) * scale);
                    c = run;
                }
            }
        }
        return x;
    }

private:
    static void InkSpan(uint8_t* row, int x0, int x1)
    {
        int b0 = x0 >> 3, b1 = (x1 - 1) >> 3;
        uint8_t first = (uint8_t)(0xff >> (x0 & 7));
        uint8_t last = (uint8_t)(0xff << (7 - ((x1 - 1) & 7)));
        if (b0 == b1) {
            row[b0] &= (uint8_t)~(first & last);
            return;
        }
        row[b0] &= (uint8_t)~first;
        if (b1 > b0 + 1)
            memset(row + b0 + 1, 0, (size_t)(b1 - b0 - 1));
        row[b1] &= (uint8_t)~last;
    }

    uint8_t* m_bits;
    int m_width;
    int m_height;
    int m_stride;
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

}  // namespace

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

void PageSize(const PaperSize& paper, int dpi, bool landscape, int divisor, int* width, int* height)
{
    if (divisor < 1)
        divisor = 1;
    int w = (int)(((long long)paper.widthMils * dpi + 500) / 1000) / divisor;
    int h = (int)(((long long)paper.heightMils * dpi + 500) / 1000) / divisor;
    if (w < 1)
        w = 1;
    if (h < 1)
        h = 1;
    *width = landscape ? h : w;
    *height = landscape ? w : h;
}

void RenderPage(uint8_t* bits, int width, int height, int dpi, int page, uint32_t seed)
{
    memset(bits, 0xff, (size_t)RowBytes(width) * (size_t)height);
    Canvas cv(bits, width, height);
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
    cv.Ink(margin, y, right, y + scale);
    y += 4 * scale;

    // Body text: paragraphs of words, ragged right.
    int lineHeight = 10 * scale;
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

    // A table of figures: ruled rows and columns.
    int rows = 4 + (int)(Next(rnd) % 4);
    int cols = 4;
    int rowHeight = 12 * scale;
    int tableTop = y + lineHeight;
    if (tableTop + rows * rowHeight < height - margin - 3 * lineHeight) {
        int colWidth = (right - margin) / cols;
        for (int r = 0; r <= rows; ++r)
            cv.Ink(margin, tableTop + r * rowHeight, margin + cols * colWidth + scale,
                   tableTop + r * rowHeight + scale);
        for (int c = 0; c <= cols; ++c)
            cv.Ink(margin + c * colWidth, tableTop, margin + c * colWidth + scale,
                   tableTop + rows * rowHeight + scale);
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

}  // namespace vscan

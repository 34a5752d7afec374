// Drawing helpers for the artwork generator.
#include "Canvas.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace art {

namespace {

int Clamp8(double v) { return std::clamp(static_cast<int>(std::lround(v)), 0, 255); }

struct Glyph {
    char c;
    const char* bits;  // rows top to bottom, '1' = ink
};

// 3 x 5 capitals for the small labels printed on the panel.
constexpr Glyph kSmall[] = {
    {'A', "010101111101101"}, {'B', "110101110101110"}, {'C', "011100100100011"}, {'D', "110101101101110"},
    {'E', "111100110100111"}, {'F', "111100110100100"}, {'G', "011100101101011"}, {'H', "101101111101101"},
    {'I', "111010010010111"}, {'J', "001001001101010"}, {'K', "101101110101101"}, {'L', "100100100100111"},
    {'M', "101111111101101"}, {'N', "110101101101101"}, {'O', "010101101101010"}, {'P', "110101110100100"},
    {'Q', "010101101110011"}, {'R', "110101110101101"}, {'S', "011100010001110"}, {'T', "111010010010010"},
    {'U', "101101101101111"}, {'V', "101101101101010"}, {'W', "101101111111101"}, {'X', "101101010101101"},
    {'Y', "101101010010010"}, {'Z', "111001010100111"}, {'0', "111101101101111"}, {'1', "010110010010111"},
    {'2', "110001010100111"}, {'3', "110001010001110"}, {'4', "101101111001001"}, {'5', "111100110001110"},
    {'6', "011100111101111"}, {'7', "111001010010010"}, {'8', "111101111101111"}, {'9', "111101111001110"},
    {'-', "000000111000000"}, {'.', "000000000000010"}, {'/', "001001010100100"}, {' ', "000000000000000"},
};

// 5 x 7 capitals and digits for captions and the logo.
constexpr Glyph kLarge[] = {
    {'A', "01110100011000111111100011000110001"}, {'B', "11110100011000111110100011000111110"},
    {'C', "01110100011000010000100001000101110"}, {'D', "11110100011000110001100011000111110"},
    {'E', "11111100001000011110100001000011111"}, {'F', "11111100001000011110100001000010000"},
    {'G', "01110100011000010111100011000101111"}, {'H', "10001100011000111111100011000110001"},
    {'I', "01110001000010000100001000010001110"}, {'J', "00111000100001000010000101001001100"},
    {'K', "10001100101010011000101001001010001"}, {'L', "10000100001000010000100001000011111"},
    {'M', "10001110111010110101100011000110001"}, {'N', "10001100011100110101100111000110001"},
    {'O', "01110100011000110001100011000101110"}, {'P', "11110100011000111110100001000010000"},
    {'Q', "01110100011000110001101011001001101"}, {'R', "11110100011000111110101001001010001"},
    {'S', "01111100001000001110000010000111110"}, {'T', "11111001000010000100001000010000100"},
    {'U', "10001100011000110001100011000101110"}, {'V', "10001100011000110001100010101000100"},
    {'W', "10001100011000110101101011010101010"}, {'X', "10001100010101000100010101000110001"},
    {'Y', "10001100010101000100001000010000100"}, {'Z', "11111000010001000100010001000011111"},
    {'0', "01110100011001110101110011000101110"}, {'1', "00100011000010000100001000010001110"},
    {'2', "01110100010000100010001000100011111"}, {'3', "11111000100010000010000011000101110"},
    {'4', "00010001100101010010111110001000010"}, {'5', "11111100001111000001000011000101110"},
    {'6', "00110010001000011110100011000101110"}, {'7', "11111000010001000100010000100001000"},
    {'8', "01110100011000101110100011000101110"}, {'9', "01110100011000101111000010001001100"},
    {' ', "00000000000000000000000000000000000"},
};

const Glyph* FindGlyph(char c, PixelFont font)
{
    if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    if (font == PixelFont::Small3x5) {
        for (const Glyph& g : kSmall)
            if (g.c == c)
                return &g;
    } else {
        for (const Glyph& g : kLarge)
            if (g.c == c)
                return &g;
    }
    return nullptr;
}

void BlendPixel(QImage& image, int x, int y, const QColor& color, double alpha)
{
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return;
    const QColor under = QColor::fromRgba(image.pixel(x, y));
    QColor mixed = Mix(under, color, alpha);
    mixed.setAlpha(std::max(under.alpha(), Clamp8(alpha * 255)));
    image.setPixel(x, y, mixed.rgba());
}

}  // namespace

QColor Mix(const QColor& a, const QColor& b, double t)
{
    return QColor(Clamp8(a.red() + (b.red() - a.red()) * t), Clamp8(a.green() + (b.green() - a.green()) * t),
                  Clamp8(a.blue() + (b.blue() - a.blue()) * t), Clamp8(a.alpha() + (b.alpha() - a.alpha()) * t));
}

QColor Scale(const QColor& c, double factor)
{
    return QColor(Clamp8(c.red() * factor), Clamp8(c.green() * factor), Clamp8(c.blue() * factor), c.alpha());
}

void FillGradientV(QImage& image, const QRect& rect, const QColor& top, const QColor& bottom)
{
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const double t = rect.height() > 1 ? double(y - rect.top()) / (rect.height() - 1) : 0.0;
        const QRgb rgb = Mix(top, bottom, t).rgba();
        for (int x = r.left(); x <= r.right(); ++x)
            image.setPixel(x, y, rgb);
    }
}

void AddBrushedGrain(QImage& image, const QRect& rect, int amplitude, uint32_t seed)
{
    const QRect r = rect.intersected(image.rect());
    CLcg rng(seed);
    std::vector<double> row(r.width());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (double& v : row)
            v = rng.NextSigned();
        // Smear along the row: a running mean over 24 pixels makes streaks.
        std::vector<double> smooth(row.size());
        const int span = 12;
        for (int x = 0; x < r.width(); ++x) {
            double sum = 0;
            int n = 0;
            for (int k = std::max(0, x - span); k <= std::min(r.width() - 1, x + span); ++k, ++n)
                sum += row[k];
            smooth[x] = sum / n;
        }
        const double rowShade = rng.NextSigned() * 0.5;
        for (int x = 0; x < r.width(); ++x) {
            const double delta = (smooth[x] * 3.0 + rowShade) * amplitude;
            const QColor c = QColor::fromRgba(image.pixel(r.left() + x, y));
            image.setPixel(r.left() + x, y,
                           qRgba(Clamp8(c.red() + delta), Clamp8(c.green() + delta), Clamp8(c.blue() + delta),
                                 c.alpha()));
        }
    }
}

void DrawWell(QImage& image, const QRect& rect, const QColor& fill, const QColor& shadow, const QColor& light)
{
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            image.setPixel(x, y, fill.rgba());
    // Two-pixel edges: the outer pixel full strength, the inner half way.
    for (int x = rect.left() - 1; x <= rect.right() + 1; ++x) {
        BlendPixel(image, x, rect.top() - 1, shadow, 1.0);
        BlendPixel(image, x, rect.top() - 2, shadow, 0.45);
        BlendPixel(image, x, rect.bottom() + 1, light, 1.0);
        BlendPixel(image, x, rect.bottom() + 2, light, 0.35);
    }
    for (int y = rect.top() - 1; y <= rect.bottom(); ++y) {
        BlendPixel(image, rect.left() - 1, y, shadow, 1.0);
        BlendPixel(image, rect.left() - 2, y, shadow, 0.45);
        BlendPixel(image, rect.right() + 1, y, light, 1.0);
        BlendPixel(image, rect.right() + 2, y, light, 0.35);
    }
    // A soft inner shadow along the top edge makes the well look sunk.
    for (int k = 0; k < 3; ++k)
        for (int x = rect.left(); x <= rect.right(); ++x)
            BlendPixel(image, x, rect.top() + k, Qt::black, 0.30 - 0.10 * k);
}

void DrawRaisedEdge(QImage& image, const QRect& rect, const QColor& light, const QColor& shadow)
{
    for (int x = rect.left(); x <= rect.right(); ++x) {
        BlendPixel(image, x, rect.top(), light, 0.8);
        BlendPixel(image, x, rect.bottom(), shadow, 0.8);
    }
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        BlendPixel(image, rect.left(), y, light, 0.6);
        BlendPixel(image, rect.right(), y, shadow, 0.8);
    }
}

void Blur(QImage& image, int radius, int passes)
{
    QImage src = image.convertToFormat(QImage::Format_ARGB32);
    const int w = src.width(), h = src.height();
    std::vector<int> acc(4 * w * h);
    auto channel = [](QRgb p, int c) {
        return c == 0 ? qRed(p) : c == 1 ? qGreen(p) : c == 2 ? qBlue(p) : qAlpha(p);
    };
    for (int pass = 0; pass < passes; ++pass) {
        for (int dir = 0; dir < 2; ++dir) {
            QImage out(w, h, QImage::Format_ARGB32);
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    int sum[4] = {0, 0, 0, 0};
                    int n = 0;
                    for (int k = -radius; k <= radius; ++k) {
                        const int sx = dir == 0 ? x + k : x;
                        const int sy = dir == 0 ? y : y + k;
                        ++n;
                        if (sx < 0 || sy < 0 || sx >= w || sy >= h)
                            continue;  // outside counts as black and clear
                        const QRgb p = src.pixel(sx, sy);
                        for (int c = 0; c < 4; ++c)
                            sum[c] += channel(p, c);
                    }
                    out.setPixel(x, y, qRgba(sum[0] / n, sum[1] / n, sum[2] / n, sum[3] / n));
                }
            }
            src = out;
        }
    }
    image = src.convertToFormat(image.format());
}

void AddLight(QImage& image, const QImage& glow, double strength)
{
    for (int y = 0; y < std::min(image.height(), glow.height()); ++y) {
        for (int x = 0; x < std::min(image.width(), glow.width()); ++x) {
            const QRgb a = image.pixel(x, y), b = glow.pixel(x, y);
            image.setPixel(x, y,
                           qRgba(Clamp8(qRed(a) + qRed(b) * strength), Clamp8(qGreen(a) + qGreen(b) * strength),
                                 Clamp8(qBlue(a) + qBlue(b) * strength), qAlpha(a)));
        }
    }
}

void DrawPixelText(QImage& image, int x, int y, std::string_view text, const QColor& color, PixelFont font,
                   int scale)
{
    const int cols = font == PixelFont::Small3x5 ? 3 : 5;
    const int rows = font == PixelFont::Small3x5 ? 5 : 7;
    for (char c : text) {
        if (const Glyph* g = FindGlyph(c, font)) {
            for (int row = 0; row < rows; ++row)
                for (int col = 0; col < cols; ++col)
                    if (g->bits[row * cols + col] == '1')
                        for (int sy = 0; sy < scale; ++sy)
                            for (int sx = 0; sx < scale; ++sx)
                                BlendPixel(image, x + col * scale + sx, y + row * scale + sy, color,
                                           color.alphaF());
        }
        x += (cols + 1) * scale;
    }
}

int PixelTextWidth(std::string_view text, PixelFont font, int scale)
{
    const int cols = font == PixelFont::Small3x5 ? 3 : 5;
    return text.empty() ? 0 : (static_cast<int>(text.size()) * (cols + 1) - 1) * scale;
}

}  // namespace art

// Drawing helpers shared by every piece of artwork: colour mixing,
// gradients, brushed-metal grain, bevelled wells, a small blur for glows and
// two built-in pixel fonts. Everything is deterministic: the same program
// draws the same pixels on every run (grain comes from a seeded generator,
// text from fixed bitmaps rather than installed fonts).
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <cstdint>
#include <string_view>

namespace art {

// A small linear congruential generator; fixed seeds keep images reproducible.
class CLcg {
public:
    explicit CLcg(uint32_t seed) : m_state(seed) {}
    uint32_t Next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return m_state >> 8;
    }
    // Uniform in [-1, 1].
    double NextSigned() { return (Next() & 0xFFFF) / 32767.5 - 1.0; }

private:
    uint32_t m_state;
};

constexpr QRgb kMagenta = 0xFFFF00FF;

QColor Mix(const QColor& a, const QColor& b, double t);
QColor Scale(const QColor& c, double factor);

// Vertical gradient from `top` (first row) to `bottom` (last row).
void FillGradientV(QImage& image, const QRect& rect, const QColor& top, const QColor& bottom);
// Horizontal streaks of +-amplitude levels, smeared along rows like brushed metal.
void AddBrushedGrain(QImage& image, const QRect& rect, int amplitude, uint32_t seed);
// A recessed well: `fill` inside `rect`, a dark edge above and left of it,
// a light edge below and right (both outside `rect`).
void DrawWell(QImage& image, const QRect& rect, const QColor& fill, const QColor& shadow, const QColor& light);
// A raised edge around `rect` (light top/left, dark bottom/right), drawn inside it.
void DrawRaisedEdge(QImage& image, const QRect& rect, const QColor& light, const QColor& shadow);
// Box blur of every channel (alpha included), `passes` times.
void Blur(QImage& image, int radius, int passes);
// Adds `glow` (same size) times `strength` to `image`, channel by channel, clamped.
void AddLight(QImage& image, const QImage& glow, double strength);

enum class PixelFont { Small3x5, Large5x7 };
// Upper-case letters, digits, space and a few signs; unknown characters draw nothing.
void DrawPixelText(QImage& image, int x, int y, std::string_view text, const QColor& color, PixelFont font,
                   int scale = 1);
int PixelTextWidth(std::string_view text, PixelFont font, int scale = 1);

}  // namespace art

// make_assets.cpp: paints the game's twelve sprite sheets procedurally and writes them as PNGs.
// Usage: make_assets <output folder>, or make_assets --icon SIZE FILE for the desktop icon. The
// output is the same on every run: all "randomness" is a fixed integer hash, and every sheet's
// size comes from the start-up table the game loads with.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "render/texture.h"

namespace {
constexpr double kTau = 6.283185307179586;
constexpr int kSamples = 4;  // supersamples per pixel side: shapes get anti-aliased edges

struct Colour {
    double r = 0, g = 0, b = 0, a = 0;
};

Colour rgba(double r, double g, double b, double a = 1) { return {r, g, b, a}; }

double clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }
double mix(double a, double b, double t) { return a + (b - a) * t; }
Colour mix(const Colour& a, const Colour& b, double t) {
    return {mix(a.r, b.r, t), mix(a.g, b.g, t), mix(a.b, b.b, t), mix(a.a, b.a, t)};
}
double smoothstep(double e0, double e1, double x) {
    const double t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}
Colour scaled(const Colour& c, double k) { return {c.r * k, c.g * k, c.b * k, c.a}; }

// Paints top over bottom (straight alpha).
Colour over(const Colour& top, const Colour& bottom) {
    const double a = top.a + bottom.a * (1 - top.a);
    if (a <= 0) return {};
    const auto channel = [&](double t, double b) {
        return (t * top.a + b * bottom.a * (1 - top.a)) / a;
    };
    return {channel(top.r, bottom.r), channel(top.g, bottom.g), channel(top.b, bottom.b), a};
}

uint32_t hash(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}
double hash01(int32_t x, int32_t y, uint32_t seed) { return (hash(x, y, seed) & 0xffffff) / 16777215.0; }

// Value noise on a lattice of the given cell size that wraps every `period` cells, so a texture
// whose side is cell * period tiles without a seam.
double noise(double x, double y, double cell, int32_t period, uint32_t seed) {
    const double fx = x / cell, fy = y / cell;
    const int32_t ix = static_cast<int32_t>(std::floor(fx)), iy = static_cast<int32_t>(std::floor(fy));
    const double tx = smoothstep(0, 1, fx - ix), ty = smoothstep(0, 1, fy - iy);
    const auto at = [&](int32_t i, int32_t j) {
        return hash(((i % period) + period) % period, ((j % period) + period) % period, seed) /
               4294967295.0;
    };
    return mix(mix(at(ix, iy), at(ix + 1, iy), tx), mix(at(ix, iy + 1), at(ix + 1, iy + 1), tx), ty);
}
double fractal(double x, double y, double cell, int32_t period, uint32_t seed, int octaves) {
    double sum = 0, weight = 0, amp = 1;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * noise(x, y, cell, period, seed + static_cast<uint32_t>(o) * 31u);
        weight += amp;
        amp *= 0.5;
        cell *= 0.5;
        period *= 2;
    }
    return sum / weight;
}

struct Image {
    int width = 0, height = 0;
    std::vector<Colour> pixels;
    Image(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h) {}
    Colour& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
};

using Shader = std::function<Colour(double x, double y)>;

// Fills a w x h cell at (ox, oy) of the image with the shader, averaging premultiplied
// supersamples. Shader coordinates are continuous pixels from the cell's first corner.
void paintCell(Image& image, int ox, int oy, int w, int h, const Shader& shade) {
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Colour sum;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Colour c = shade(x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples);
                    sum.r += c.r * c.a;
                    sum.g += c.g * c.a;
                    sum.b += c.b * c.a;
                    sum.a += c.a;
                }
            }
            Colour out;
            if (sum.a > 0) out = {sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / (kSamples * kSamples)};
            image.at(ox + x, oy + y) = out;
        }
    }
}
void paint(Image& image, const Shader& shade) { paintCell(image, 0, 0, image.width, image.height, shade); }

bool writePng(const std::string& path, Image& image, bool withAlpha) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, image.width, image.height, 8,
                 withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int channels = withAlpha ? 4 : 3;
    std::vector<png_byte> row(static_cast<size_t>(image.width) * channels);
    const auto byte = [](double v) { return static_cast<png_byte>(std::lround(clamp01(v) * 255)); };
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const Colour& c = image.at(x, y);
            png_byte* p = &row[static_cast<size_t>(x) * channels];
            if (withAlpha) {
                p[0] = byte(c.r), p[1] = byte(c.g), p[2] = byte(c.b), p[3] = byte(c.a);
            } else {  // opaque sheets: flatten onto black
                p[0] = byte(c.r * c.a), p[1] = byte(c.g * c.a), p[2] = byte(c.b * c.a);
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

// ---- shape helpers: signed distances in pixels, negative inside ----
double boxDistance(double x, double y, double x0, double y0, double x1, double y1, double radius) {
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const double hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
    const double qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

// ---- the sheets ----

// A small red coupé seen from the side, facing +x.
Colour car(double x, double y) {
    Colour c;
    const Colour tyre = rgba(0.08, 0.08, 0.09), rim = rgba(0.62, 0.64, 0.68);
    const Colour paint = rgba(0.78, 0.12, 0.10), paintDark = rgba(0.45, 0.05, 0.05);
    // Cabin: a trapezoid with rounded roof, windows inside.
    const double roofTop = 3.5, beltLine = 14.0;
    const double t = clamp01((y - roofTop) / (beltLine - roofTop));
    const double cabinLeft = mix(24.0, 14.0, t), cabinRight = mix(46.0, 56.0, t);
    if (y >= roofTop && y <= beltLine && x >= cabinLeft && x <= cabinRight) {
        c = paintDark;
        const double wt = clamp01((y - (roofTop + 2)) / (beltLine - roofTop - 2));
        const double winLeft = mix(25.5, 17.5, wt), winRight = mix(44.5, 53.0, wt);
        if (y >= roofTop + 2 && y <= beltLine - 0.5 && x >= winLeft && x <= winRight &&
            std::fabs(x - 36.0) > 1.0) {
            const double sheen = smoothstep(6, 12, x - y * 0.8) * (1 - smoothstep(12, 18, x - y * 0.8));
            c = mix(rgba(0.25, 0.42, 0.55), rgba(0.75, 0.88, 0.95), sheen * 0.8);
        }
    }
    // Body: rounded slab with a lighter upper half.
    const double body = boxDistance(x, y, 2.5, 12.0, 73.0, 26.0, 4.5);
    if (body <= 0) {
        c = mix(paint, paintDark, smoothstep(16, 25, y));
        if (y < 15.5) c = mix(c, rgba(1, 0.55, 0.5), 0.35 * (1 - smoothstep(12, 15.5, y)));
        if (std::fabs(y - 18.5) < 0.6) c = scaled(c, 0.7);                 // waist crease
        if (std::fabs(x - 36.5) < 0.5 && y < 23) c = scaled(c, 0.6);       // door gap
        if (x > 68.5 && y > 14 && y < 18) c = rgba(1.0, 0.95, 0.6);        // headlight
        if (x < 5.5 && y > 14 && y < 17.5) c = rgba(0.95, 0.15, 0.1);      // tail light
        if (y > 23.5) c = rgba(0.15, 0.15, 0.17);                           // sill and bumpers
    }
    // Wheel arches cut dark, then the wheels.
    for (double wx : {18.0, 58.0}) {
        const double d = std::hypot(x - wx, y - 24.5);
        if (d < 8.5 && y > 16) c = rgba(0.05, 0.05, 0.06);
        if (d < 7.0) {
            c = tyre;
            if (d < 4.0) c = mix(rim, rgba(0.9, 0.9, 0.92), 0.4 * (1 - d / 4));
            if (d < 1.3) c = rgba(0.3, 0.3, 0.33);
            const double spoke = std::fmod(std::atan2(y - 24.5, x - wx) / kTau * 5 + 5, 1.0);
            if (d > 1.3 && d < 4.0 && std::fabs(spoke - 0.5) < 0.12) c = rgba(0.35, 0.36, 0.4);
        }
    }
    return c;
}

// A wooden crate: a dark frame, vertical planks with grain, a diagonal brace and nails.
Colour crate(double x, double y) {
    const double grain = fractal(x * 0.25, y * 2.0, 4, 64, 7, 3);
    const int plank = static_cast<int>(x / 8);
    const double tone = 0.85 + 0.15 * hash01(plank, 0, 3);
    Colour wood = rgba(0.62 * tone, 0.42 * tone, 0.22 * tone);
    wood = scaled(wood, 0.8 + 0.35 * grain);
    if (std::fmod(x, 8.0) < 0.7) wood = scaled(wood, 0.55);  // plank seams
    const bool frame = x < 4 || x > 28 || y < 4 || y > 28;
    const double brace = std::fabs((x - 4) - (y - 4)) / std::sqrt(2.0);
    Colour c = wood;
    if (!frame && brace < 2.6) {
        const double g = fractal((x + y) * 1.5, (x - y) * 0.2, 4, 64, 11, 3);
        c = scaled(rgba(0.70, 0.50, 0.27), 0.8 + 0.3 * g);
        if (brace > 2.0) c = scaled(c, 0.6);
    }
    if (frame) {
        const double g = fractal(x * (x < 4 || x > 28 ? 0.3 : 2.0), y * (x < 4 || x > 28 ? 2.0 : 0.3), 4, 64, 5, 3);
        c = scaled(rgba(0.48, 0.31, 0.16), 0.8 + 0.3 * g);
        const double edge = std::min(std::min(x, 32 - x), std::min(y, 32 - y));
        if (edge < 0.8) c = scaled(c, 0.45);
        if (std::fabs(edge - 3.6) < 0.4) c = scaled(c, 0.55);  // inner lip
    }
    for (double nx : {2.0, 30.0})
        for (double ny : {2.0, 30.0})
            if (std::hypot(x - nx, y - ny) < 0.9) c = rgba(0.72, 0.72, 0.7);
    return c;
}

// One frame of a plasma column: a pulse that climbs the beam, shifting from cyan to violet.
Shader plasmaFrame(int frame, int frames) {
    const double phase = static_cast<double>(frame) / frames;
    return [phase](double x, double y) {
        const double dx = std::fabs(x - 3.5);
        const double height = 1 - y / 32.0;  // 0 at the bottom edge, 1 at the top
        const double pulseY = std::fmod(phase * 1.5, 1.5) - 0.25;
        const double pulse = std::exp(-std::pow((height - pulseY) / 0.12, 2));
        const double flicker = 0.7 + 0.3 * std::sin(phase * kTau * 4 + height * 9);
        const double fade = smoothstep(0.0, 0.12, height) * smoothstep(0.0, 0.12, 1 - height);
        const double core = std::exp(-dx * dx / 1.2) * (0.35 * flicker + pulse) * fade;
        const double halo = std::exp(-dx * dx / 6.0) * (0.15 + 0.5 * pulse) * fade;
        const double hue = 0.5 + 0.5 * std::sin(phase * kTau);
        const Colour tint = mix(rgba(0.3, 0.9, 1.0), rgba(0.75, 0.4, 1.0), hue);
        const double a = clamp01(core + halo);
        return rgba(mix(tint.r, 1, clamp01(core)), mix(tint.g, 1, clamp01(core)),
                    mix(tint.b, 1, clamp01(core)), a);
    };
}

// A corner dashboard plate: rises from the bottom edge, chamfered top corners, a round dial
// socket, vents and a lamp strip.
Colour dashboard(double x, double y) {
    const double top = 120;
    // Plate outline: a rectangle with diagonal cut corners.
    const double left = 2, right = 254, bottom = 256;
    const double cut = 36;
    const bool inPlate = y >= top && y <= bottom && x >= left && x <= right &&
                         (x - left) + (y - top) >= cut && (right - x) + (y - top) >= cut;
    if (!inPlate) return {};
    const double edgeDist = std::min({x - left, right - x, y - top,
                                      ((x - left) + (y - top) - cut) / std::sqrt(2.0),
                                      ((right - x) + (y - top) - cut) / std::sqrt(2.0)});
    const double n = fractal(x, y, 16, 16, 21, 3);
    Colour c = mix(rgba(0.16, 0.18, 0.22), rgba(0.10, 0.11, 0.14), smoothstep(top, 256, y));
    c = scaled(c, 0.9 + 0.2 * n);
    if (edgeDist < 3) c = mix(rgba(0.55, 0.6, 0.68), c, smoothstep(0, 3, edgeDist));
    else if (edgeDist < 6) c = scaled(c, 0.75);
    c.a = 0.92;
    // Dial socket.
    const double dx = x - 128, dy = y - 196, d = std::hypot(dx, dy);
    if (d < 52) {
        c = over(rgba(0.04, 0.05, 0.07, 1), c);
        if (d > 48) c = rgba(0.5, 0.55, 0.62, 1);
        const double angle = std::atan2(dy, dx);
        const double ticks = std::fmod((angle / kTau) * 36 + 36, 1.0);
        if (d > 38 && d < 46 && angle < 0.1 && std::fabs(ticks - 0.5) < 0.09)
            c = rgba(0.85, 0.9, 0.95, 1);
        if (d > 40 && d < 46 && angle < 0 && angle > -0.6) c = rgba(0.85, 0.2, 0.15, 1);  // red zone
    }
    // Vents on the left, lamps on the right.
    if (x > 22 && x < 60 && y > 170 && y < 236 && std::fmod(y - 170, 8.0) < 3.5)
        c = rgba(0.03, 0.03, 0.04, 1);
    for (int i = 0; i < 3; ++i) {
        const double lx = 204, ly = 168 + 24.0 * i;
        const double ld = std::hypot(x - lx, y - ly);
        const Colour lamp = i == 0 ? rgba(0.3, 1, 0.4) : i == 1 ? rgba(1, 0.75, 0.2) : rgba(1, 0.25, 0.2);
        if (ld < 8) c = ld < 6 ? mix(lamp, rgba(1, 1, 1), 0.5 * (1 - ld / 6)) : rgba(0.35, 0.38, 0.42, 1);
    }
    // Screws.
    for (double sx : {24.0, 232.0})
        if (std::hypot(x - sx, y - 248) < 3) c = rgba(0.6, 0.62, 0.66, 1);
    return c;
}

// A gauge needle pointing along +x from the image centre, with its hub.
Colour needle(double x, double y) {
    const double dx = x - 128, dy = y - 128;
    Colour c;
    const double length = 112, baseHalf = 5, tail = 22;
    if (dx > -tail && dx < length) {
        const double half = dx >= 0 ? baseHalf * (1 - dx / length) + 0.6 : baseHalf;
        if (std::fabs(dy) <= half) {
            c = dy < 0 ? rgba(1.0, 0.45, 0.25) : rgba(0.85, 0.18, 0.1);
            if (dx < 0) c = rgba(0.2, 0.2, 0.22);
        }
    }
    const double d = std::hypot(dx, dy);
    if (d < 11) c = mix(rgba(0.75, 0.78, 0.82), rgba(0.3, 0.32, 0.36), d / 11);
    if (d < 3) c = rgba(0.1, 0.1, 0.12);
    return c;
}

// Indicator lamp frame: row 0 unlit, row 1 lit; columns green, amber, red, blue.
Shader lampFrame(int column, bool lit) {
    const Colour colours[4] = {rgba(0.25, 1, 0.35), rgba(1, 0.7, 0.15), rgba(1, 0.22, 0.18),
                               rgba(0.3, 0.6, 1)};
    const Colour lamp = colours[column];
    return [lamp, lit](double x, double y) {
        Colour c;
        if (boxDistance(x, y, 1, 1, 24, 44, 4) <= 0) {
            c = mix(rgba(0.22, 0.24, 0.28), rgba(0.12, 0.13, 0.16), y / 45);
            if (boxDistance(x, y, 1, 1, 24, 44, 4) > -1.2) c = rgba(0.5, 0.54, 0.6);
        }
        const double d = std::hypot(x - 12.5, y - 17);
        if (d < 9) {
            if (lit) {
                c = mix(rgba(1, 1, 1), lamp, smoothstep(0, 7, d));
                if (d > 7.5) c = scaled(lamp, 0.6);
            } else {
                c = scaled(lamp, 0.22 + 0.08 * (1 - d / 9));
                if (d > 7.5) c = rgba(0.08, 0.08, 0.09);
            }
            if (std::hypot(x - 10, y - 14) < 1.8) c = mix(c, rgba(1, 1, 1), lit ? 0.6 : 0.25);
        }
        // A small label bar under the lamp.
        if (x > 6 && x < 19 && y > 33 && y < 37) c = lit ? scaled(lamp, 0.8) : rgba(0.3, 0.32, 0.35);
        return c;
    };
}

// Seamless 512-pixel tile of dark metal panels: 128-pixel plates, some split into four,
// bevelled seams, rivets, vents and a faint cyan conduit.
Colour techPanel(double x, double y) {
    const double n = fractal(x, y, 64, 8, 101, 4);
    const double fine = noise(x, y, 2, 256, 103);
    const int px = static_cast<int>(x / 128), py = static_cast<int>(y / 128);
    const bool split = hash01(px, py, 17) < 0.4;
    const double cell = split ? 64 : 128;
    const double lx = std::fmod(x, cell), ly = std::fmod(y, cell);
    const double shade = 0.85 + 0.3 * hash01(static_cast<int>(x / cell), static_cast<int>(y / cell), 19);
    Colour c = scaled(rgba(0.13, 0.15, 0.19), shade * (0.85 + 0.3 * n) + 0.04 * (fine - 0.5));
    // Bevel: light along the top/left rim, dark along the bottom/right, a dark seam line.
    const double rim = 3.0;
    if (lx < 1.0 || ly < 1.0) {
        c = rgba(0.04, 0.045, 0.06);
    } else if (lx < rim || ly < rim) {
        c = scaled(c, 1.35);
    } else if (lx > cell - rim || ly > cell - rim) {
        c = scaled(c, 0.6);
    }
    // Rivets near the plate corners.
    for (double rx : {7.0, cell - 7.0})
        for (double ry : {7.0, cell - 7.0}) {
            const double d = std::hypot(lx - rx, ly - ry);
            if (d < 2.2) c = mix(rgba(0.32, 0.34, 0.38), rgba(0.12, 0.13, 0.15), clamp01((lx - rx + ly - ry) / 4 + 0.5));
        }
    // Vents on some whole plates.
    if (!split && hash01(px, py, 23) < 0.5) {
        if (lx > 24 && lx < 104 && ly > 40 && ly < 88 && std::fmod(ly - 40, 8.0) < 3.0)
            c = rgba(0.03, 0.035, 0.045);
    }
    // Lit conduits along two plate seams.
    const double conduit = std::min(std::fabs(y - 256.0), std::fabs(x - 384.0));
    if (conduit < 3.5) {
        c = mix(rgba(0.08, 0.09, 0.11), c, smoothstep(2.5, 3.5, conduit));
        if (conduit < 1.0) c = rgba(0.10, 0.35, 0.42);
    }
    return c;
}

// Explosion frame t in [0, 1]: a fireball that swells, cools from white to red and turns to
// fading smoke, drifting a little upward.
Shader explosionFrame(double t) {
    return [t](double x, double y) {
        const double cx = 33, cy = 39 - 8 * t;
        const double dx = x - cx, dy = y - cy;
        const double d = std::hypot(dx, dy);
        const double angle = std::atan2(dy, dx);
        const double radius = 6 + 23 * std::sqrt(t);
        // Billows: whole-number harmonics of the angle, so the outline closes without a seam.
        double wobble = 0.9 + 0.15 * (noise(x * 0.9, y * 0.9 + t * 20, 3, 1000, 79) - 0.5);
        const int lobes[5] = {3, 5, 7, 11, 13};
        for (int i = 0; i < 5; ++i)
            wobble += (0.045 - 0.007 * i) * std::sin(lobes[i] * angle + kTau * hash01(i, 0, 91) + t * (1 + i));
        const double r = d / (radius * wobble);
        if (r >= 1 || x < 1 || y < 1 || x > 63 || y > 63) return Colour{};
        const double heat = (1 - t) * (1 - r * 0.7);
        Colour c;
        if (heat > 0.75) c = mix(rgba(1, 0.85, 0.4), rgba(1, 1, 0.9), (heat - 0.75) / 0.25);
        else if (heat > 0.45) c = mix(rgba(1, 0.45, 0.08), rgba(1, 0.85, 0.4), (heat - 0.45) / 0.3);
        else if (heat > 0.2) c = mix(rgba(0.55, 0.12, 0.05), rgba(1, 0.45, 0.08), (heat - 0.2) / 0.25);
        else c = mix(rgba(0.18, 0.16, 0.15), rgba(0.55, 0.12, 0.05), heat / 0.2);
        const double smoke = noise(x + 100, y - t * 30, 5, 1000, 83);
        c = scaled(c, 0.8 + 0.4 * smoke);
        const double edge = 1 - smoothstep(0.7, 1.0, r);
        c.a = edge * (1 - smoothstep(0.6, 1.0, t)) * (0.8 + 0.2 * smoke);
        return c;
    };
}

// Solid core of a paired sheet: a bright disc with a hard rim.
Shader coreFrame(double cx, double cy, double radius, Colour tint, double brightness) {
    return [=](double x, double y) {
        const double d = std::hypot(x - cx, y - cy);
        if (d > radius) return Colour{};
        Colour c = mix(rgba(1, 1, 1), tint, smoothstep(0, radius, d));
        c.a = brightness * (1 - 0.3 * smoothstep(radius * 0.6, radius, d));
        return c;
    };
}
// Its glow halo: a soft falloff reaching zero well inside the cell, since the glow quad is
// drawn enlarged.
Shader haloFrame(double cx, double cy, double radius, Colour tint, double brightness) {
    return [=](double x, double y) {
        const double d = std::hypot(x - cx, y - cy) / radius;
        if (d >= 1) return Colour{};
        const double falloff = (1 - d * d) * (1 - d * d);
        Colour c = mix(rgba(1, 1, 1), tint, smoothstep(0, 0.5, d));
        c.a = brightness * falloff;
        return c;
    };
}
// An expanding ring for the bloom burst's later frames.
Shader ringFrame(double cx, double cy, double radius, double width, Colour tint, double brightness) {
    return [=](double x, double y) {
        const double d = std::hypot(x - cx, y - cy);
        const double k = 1 - smoothstep(0, width, std::fabs(d - radius));
        const double centre = std::max(0.0, 1 - d / (radius * 0.6));
        Colour c = mix(rgba(1, 1, 1), tint, 0.5);
        c.a = clamp01(brightness * std::max(k, 0.6 * centre));
        return c;
    };
}

// A light's falloff: 1 at (cx, cy), 0 at the ellipse with the given radii (the +x radius can
// differ from the -x one), flat at both ends so no edge or hot spot shows.
double lightFalloff(double x, double y, double cx, double cy, double rxBack, double rxFront, double ry) {
    const double dx = (x - cx) / (x < cx ? rxBack : rxFront), dy = (y - cy) / ry;
    const double d2 = dx * dx + dy * dy;
    if (d2 >= 1) return 0;
    const double s = 1 - d2;
    return s * s * (0.35 + 0.65 * s);
}

// The desktop icon, on a side of `size` pixels: a crate lit warm from above-left, resting on a
// platform under the game's night-blue sky, in a rounded tile.
Shader icon(int size) {
    return [size](double px, double py) {
        const double x = px * 64.0 / size, y = py * 64.0 / size;  // drawn on a 64-unit tile
        const double tile = boxDistance(x, y, 2, 2, 62, 62, 12);
        if (tile > 0.5 * 64.0 / size) return Colour{};
        const double glow = lightFalloff(x, y, 20, 14, 50, 50, 44);
        Colour c = mix(rgba(0.025, 0.025, 0.125), rgba(1.0, 0.72, 0.38), 0.85 * glow);
        if (boxDistance(x, y, 6, 48, 58, 54, 1) < 0) c = mix(rgba(0.22, 0.24, 0.3), c, 0.25 * glow);
        if (x >= 18 && x < 46 && y >= 20 && y < 48) {
            const Colour wood = crate((x - 18) * 32.0 / 28.0, (y - 20) * 32.0 / 28.0);
            c = over(scaled(wood, 0.55 + 0.6 * glow), c);
        }
        c.a = clamp01(0.5 - tile * size / 64.0);
        return c;
    };
}

struct Output {
    const char* fileName;
    bool alpha;
};

bool checkSize(const Image& image, const char* fileName) {
    for (const SheetSpec& sheet : startupSheets) {
        if (std::string(sheet.fileName) != fileName) continue;
        if (image.width == sheet.width * sheet.columns && image.height == sheet.height * sheet.rows)
            return true;
        std::fprintf(stderr, "%s: %dx%d does not match its frame grid\n", fileName, image.width,
                     image.height);
        return false;
    }
    std::fprintf(stderr, "%s: not a start-up sheet\n", fileName);
    return false;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--icon") {
        const int size = std::atoi(argv[2]);
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "icon size %s: not between 16 and 1024\n", argv[2]);
            return 2;
        }
        Image image(size, size);
        paint(image, icon(size));
        if (writePng(argv[3], image, true)) return 0;
        std::fprintf(stderr, "%s: cannot write\n", argv[3]);
        return 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder> | --icon SIZE FILE\n", argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    bool ok = true;
    const auto save = [&](const char* fileName, Image& image, bool alpha) {
        ok = checkSize(image, fileName) && ok;
        if (!writePng(folder + fileName, image, alpha)) {
            std::fprintf(stderr, "%s: cannot write\n", fileName);
            ok = false;
        }
    };

    {
        Image image(75, 32);
        paint(image, car);
        save("Car.png", image, true);
    }
    {
        Image image(32, 32);
        paint(image, crate);
        save("image.png", image, true);
    }
    {
        Image image(448, 32);
        for (int k = 0; k < 64; ++k) paintCell(image, 7 * k, 0, 7, 32, plasmaFrame(k, 64));
        save("animation.png", image, true);
    }
    {
        Image image(256, 256);
        paint(image, dashboard);
        save("hud0.png", image, true);
    }
    {
        Image image(256, 256);
        paint(image, needle);
        save("hud1.png", image, true);
    }
    {
        Image image(100, 90);
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < 4; ++column)
                paintCell(image, 25 * column, 45 * row, 25, 45, lampFrame(column, row == 1));
        save("hud2.png", image, true);
    }
    {
        Image image(512, 512);
        paint(image, techPanel);
        save("background.png", image, false);
    }
    {
        Image image(320, 320);
        for (int k = 0; k < 25; ++k)
            paintCell(image, 64 * (k % 5), 64 * (k / 5), 64, 64, explosionFrame(k / 24.0));
        save("explosion.png", image, true);
    }
    {
        // Anchor (8, 8): a spark that flares and shrinks; the glow quads are drawn three times
        // larger, so halos stay within the middle of their cell.
        Image image(48, 48);
        const Colour tint = rgba(0.4, 0.85, 1.0);
        const double coreRadius[5] = {3.0, 5.0, 4.0, 2.5, 2.0};
        const double glowRadius[4] = {5.0, 7.5, 6.5, 5.0};
        const double brightness[5] = {1.0, 1.0, 0.85, 0.6, 0.4};
        for (int k = 0; k < 9; ++k) {
            const int ox = 16 * (k % 3), oy = 16 * (k / 3);
            const int pair = k / 2;
            const Shader shader = k % 2 == 0
                                      ? coreFrame(8, 8, coreRadius[pair], tint, brightness[pair])
                                      : haloFrame(8, 8, glowRadius[pair], tint, 0.9 * brightness[pair]);
            paintCell(image, ox, oy, 16, 16, shader);
        }
        save("image9.png", image, true);
    }
    {
        // Anchor (15, 17): each row is one (core, glow) pair of a bloom that bursts outward.
        Image image(64, 128);
        const Colour tint = rgba(1.0, 0.7, 0.35);
        for (int pair = 0; pair < 4; ++pair) {
            const double t = pair / 3.0;
            const int oy = 32 * pair;
            const Shader core = pair == 0 ? coreFrame(15, 17, 5, tint, 1.0)
                                          : ringFrame(15, 17, 4 + 8 * t, 1.5 + 1.5 * t, tint, 1 - 0.4 * t);
            paintCell(image, 0, oy, 32, 32, core);
            paintCell(image, 32, oy, 32, 32, haloFrame(15, 17, 8 + 6 * t, tint, 0.95 - 0.55 * t));
        }
        save("bloomtest.png", image, true);
    }
    {
        // A beam-shaped light: its anchor (160, 216) is the lamp, reaching far toward +x.
        Image image(750, 430);
        paint(image, [](double x, double y) {
            const double v = lightFalloff(x, y, 160, 216, 150, 580, 205);
            return rgba(v, v, v * 0.96);
        });
        save("light.png", image, false);
    }
    {
        Image image(600, 600);
        paint(image, [](double x, double y) {
            const double v = lightFalloff(x, y, 300, 300, 296, 296, 296);
            return rgba(v, v, v);
        });
        save("light1.png", image, false);
    }
    return ok ? 0 : 1;
}

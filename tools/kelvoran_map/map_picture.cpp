// map_picture.cpp: draws a map file the way the level reads in the game (y grows downward):
// grid, the physics ground, every quad with its number, rejected quads in red, and a scale bar.
// Everything is placed in pixels, so lines and text keep their size at any zoom.
#include "kelvoran_map/map_picture.h"

#include <fontconfig/fontconfig.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <utility>

namespace {

// The physics world's ground box, in world units (128 m x 4 m centred on (32 m, 39 m)).
constexpr double kGroundLeft = -640, kGroundTop = 740, kGroundRight = 1920, kGroundBottom = 820;
// The game's start view, in world units.
constexpr double kViewHalfWidth = 512, kViewHalfHeight = 300;
constexpr double kFineGrid = 8;     // world units; the editor's snapping step
constexpr double kCoarseGrid = 64;  // world units; a stronger line every eight fine ones
constexpr double kMinGridGap = 4;   // pixels; denser grid lines are left out
constexpr double kLabelSize = 12;   // pixels

struct Colour {
    double r, g, b, a;
};
const Colour kPaper{0.97, 0.97, 0.955, 1};
const Colour kFineLine{0.55, 0.6, 0.7, 0.25};
const Colour kCoarseLine{0.45, 0.5, 0.62, 0.35};
const Colour kAxis{0.3, 0.35, 0.5, 0.7};
const Colour kViewLine{0.35, 0.35, 0.35, 0.8};
const Colour kGroundFill{0.55, 0.42, 0.29, 1};
const Colour kGroundLine{0.33, 0.24, 0.15, 1};
const Colour kQuadFill{0.36, 0.5, 0.72, 0.8};
const Colour kQuadLine{0.12, 0.23, 0.4, 1};
const Colour kRejectedFill{0.9, 0.1, 0.1, 0.3};
const Colour kRejectedLine{0.85, 0.05, 0.05, 1};
const Colour kInk{0.08, 0.08, 0.1, 1};
const Colour kHalo{1, 1, 1, 0.85};

void setColour(cairo_t* cr, const Colour& c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

// World units to pixels.
struct Projection {
    double left, top, scale;
    double x(double worldX) const { return (worldX - left) * scale; }
    double y(double worldY) const { return (worldY - top) * scale; }
};

bool drawable(const QuadRecord& record) {
    for (float c : record.corners) {
        if (!std::isfinite(c) || std::fabs(static_cast<double>(c)) > kMaxDrawnCoordinate) return false;
    }
    return true;
}

bool endsWith(const std::string& path, const std::string& extension) {
    if (path.size() < extension.size()) return false;
    for (size_t i = 0; i < extension.size(); ++i) {
        const char c = path[path.size() - extension.size() + i];
        if (std::tolower(static_cast<unsigned char>(c)) != extension[i]) return false;
    }
    return true;
}

void gridLines(cairo_t* cr, const Projection& p, const PictureFrame& f, double step,
               const Colour& colour) {
    const double gap = step * p.scale;
    if (gap < kMinGridGap) return;
    // A dense grid fades, so the quads stay the first thing one sees.
    setColour(cr, {colour.r, colour.g, colour.b, colour.a * std::min(1.0, gap / 12)});
    cairo_set_line_width(cr, 1);
    for (double x = std::ceil(f.left / step) * step; x <= f.right; x += step) {
        const double px = std::floor(p.x(x)) + 0.5;  // on a pixel centre: crisp
        cairo_move_to(cr, px, 0);
        cairo_line_to(cr, px, f.height);
    }
    for (double y = std::ceil(f.top / step) * step; y <= f.bottom; y += step) {
        const double py = std::floor(p.y(y)) + 0.5;
        cairo_move_to(cr, 0, py);
        cairo_line_to(cr, f.width, py);
    }
    cairo_stroke(cr);
}

// Text centred on (x, y) pixels, dark on a light halo so it reads on any fill.
void label(cairo_t* cr, const std::string& text, double x, double y, double size) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    cairo_move_to(cr, x - extents.width / 2 - extents.x_bearing,
                  y - extents.height / 2 - extents.y_bearing);
    cairo_text_path(cr, text.c_str());
    setColour(cr, kHalo);
    cairo_set_line_width(cr, 3);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(cr);
    setColour(cr, kInk);
    cairo_fill(cr);
}

// Text with its top-left corner at (x, y) pixels on a light box.
void boxedText(cairo_t* cr, const std::string& text, double x, double y) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kLabelSize);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    setColour(cr, kHalo);
    cairo_rectangle(cr, x - 4, y - 3, extents.x_advance + 8, kLabelSize + 7);
    cairo_fill(cr);
    setColour(cr, kInk);
    cairo_move_to(cr, x, y + kLabelSize - 1);
    cairo_show_text(cr, text.c_str());
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

void scaleBar(cairo_t* cr, const Projection& p, const PictureFrame& f) {
    // The longest 1, 2 or 5 times a power of ten that stays within 160 pixels.
    const double most = 160 / p.scale;
    const double decade = std::pow(10.0, std::floor(std::log10(most)));
    double length = decade;
    for (double factor : {5.0, 2.0}) {
        if (factor * decade <= most) {
            length = factor * decade;
            break;
        }
    }
    const double pixels = length * p.scale;
    const double x = 12, y = f.height - 14;
    boxedText(cr, number(length) + " units = " + number(length / 20) + " m", x, y - 24);
    setColour(cr, kHalo);
    cairo_rectangle(cr, x - 3, y - 5, pixels + 6, 10);
    cairo_fill(cr);
    setColour(cr, kInk);
    cairo_rectangle(cr, x, y - 2, pixels, 4);
    cairo_fill(cr);
    cairo_rectangle(cr, x, y - 5, 1.5, 10);
    cairo_rectangle(cr, x + pixels - 1.5, y - 5, 1.5, 10);
    cairo_fill(cr);
}

void quadPath(cairo_t* cr, const Projection& p, const QuadRecord& record) {
    for (int k = 0; k < 4; ++k) {
        const double x = p.x(record.corners[2 * k]), y = p.y(record.corners[2 * k + 1]);
        if (k == 0) cairo_move_to(cr, x, y);
        else cairo_line_to(cr, x, y);
    }
    cairo_close_path(cr);
}

void paint(cairo_t* cr, const MapReport& report, const PictureFrame& f,
           const PictureOptions& options) {
    const Projection p{f.left, f.top, f.width / (f.right - f.left)};
    setColour(cr, kPaper);
    cairo_paint(cr);

    gridLines(cr, p, f, kFineGrid, kFineLine);
    gridLines(cr, p, f, kCoarseGrid, kCoarseLine);
    setColour(cr, kAxis);
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, std::floor(p.x(0)) + 0.5, 0);
    cairo_line_to(cr, std::floor(p.x(0)) + 0.5, f.height);
    cairo_move_to(cr, 0, std::floor(p.y(0)) + 0.5);
    cairo_line_to(cr, f.width, std::floor(p.y(0)) + 0.5);
    cairo_stroke(cr);

    if (options.view == PictureView::Map) {
        // Where the game's camera starts, for orientation.
        const double dash[] = {6, 4};
        cairo_set_dash(cr, dash, 2, 0);
        setColour(cr, kViewLine);
        cairo_rectangle(cr, p.x(-kViewHalfWidth), p.y(-kViewHalfHeight),
                        2 * kViewHalfWidth * p.scale, 2 * kViewHalfHeight * p.scale);
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
    }

    cairo_rectangle(cr, p.x(kGroundLeft), p.y(kGroundTop), (kGroundRight - kGroundLeft) * p.scale,
                    (kGroundBottom - kGroundTop) * p.scale);
    setColour(cr, kGroundFill);
    cairo_fill_preserve(cr);
    setColour(cr, kGroundLine);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    const double groundX = std::clamp(p.x((kGroundLeft + kGroundRight) / 2), 40.0, f.width - 40.0);
    label(cr, "ground", groundX, p.y((kGroundTop + kGroundBottom) / 2), kLabelSize);

    const std::vector<QuadRecord>& records = report.map.records;
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (size_t i = 0; i < records.size(); ++i) {
        if (!drawable(records[i])) continue;
        const bool rejected = report.verdicts[i].fault != CornerFault::None;
        quadPath(cr, p, records[i]);
        setColour(cr, rejected ? kRejectedFill : kQuadFill);
        cairo_fill_preserve(cr);
        setColour(cr, rejected ? kRejectedLine : kQuadLine);
        cairo_set_line_width(cr, rejected ? 2.0 : 1.5);
        cairo_stroke(cr);
    }
    // Numbers last, so no later quad covers one; quads centred on the same pixel share one
    // label ("1, 5"), so a duplicate never hides the number under it.
    std::map<std::pair<long, long>, std::string> labels;
    for (size_t i = 0; i < records.size(); ++i) {
        if (!drawable(records[i])) continue;
        double x = 0, y = 0;
        for (int k = 0; k < 4; ++k) {
            x += records[i].corners[2 * k] * 0.25;
            y += records[i].corners[2 * k + 1] * 0.25;
        }
        std::string& text = labels[{std::lround(p.x(x)), std::lround(p.y(y))}];
        text += (text.empty() ? "" : ", ") + std::to_string(i + 1);
    }
    std::string title = options.title;
    if (labels.size() > kMaxLabels) {
        title += (title.empty() ? "" : " ") + std::string("(numbers left out: ") +
                 std::to_string(labels.size()) + " places)";
        labels.clear();
    }
    for (const auto& placed : labels) {
        label(cr, placed.second, static_cast<double>(placed.first.first),
              static_cast<double>(placed.first.second), kLabelSize);
    }

    scaleBar(cr, p, f);
    if (!title.empty()) boxedText(cr, title, 10, 8);
}

}  // namespace

PictureFrame pictureFrame(const MapReport& report, const PictureOptions& options) {
    double left = -kViewHalfWidth, right = kViewHalfWidth;
    double top = -kViewHalfHeight, bottom = kViewHalfHeight;
    if (options.view == PictureView::Map) {
        const double far = std::numeric_limits<double>::infinity();
        double minX = far, minY = far, maxX = -far, maxY = -far;
        for (const QuadRecord& record : report.map.records) {
            if (!drawable(record)) continue;
            for (int k = 0; k < 4; ++k) {
                minX = std::min(minX, static_cast<double>(record.corners[2 * k]));
                maxX = std::max(maxX, static_cast<double>(record.corners[2 * k]));
                minY = std::min(minY, static_cast<double>(record.corners[2 * k + 1]));
                maxY = std::max(maxY, static_cast<double>(record.corners[2 * k + 1]));
            }
        }
        if (minX <= maxX) {
            const double margin = std::max(16.0, 0.05 * std::max(maxX - minX, maxY - minY));
            left = minX - margin;
            right = maxX + margin;
            top = minY - margin;
            bottom = maxY + margin;
            // Neither a sliver nor a tower: the shorter side grows about the centre.
            const double width = right - left, height = bottom - top;
            if (width > 3 * height) {
                const double grow = (width / 3 - height) / 2;
                top -= grow;
                bottom += grow;
            } else if (height > 2 * width) {
                const double grow = (height / 2 - width) / 2;
                left -= grow;
                right += grow;
            }
        }
    }
    PictureFrame frame;
    frame.left = left;
    frame.top = top;
    frame.right = right;
    frame.bottom = bottom;
    frame.width = options.width;
    frame.height = std::max(1, static_cast<int>(std::lround(options.width * (bottom - top) /
                                                            (right - left))));
    return frame;
}

bool drawMapPicture(const MapReport& report, const std::string& path, const PictureOptions& options,
                    std::string& error) {
    const bool png = endsWith(path, ".png");
    if (!png && !endsWith(path, ".svg")) {
        error = path + ": the picture's name must end in .png or .svg";
        return false;
    }
    const PictureFrame frame = pictureFrame(report, options);
    const uint64_t bytes = uint64_t{4} * static_cast<uint64_t>(frame.width) * static_cast<uint64_t>(frame.height);
    if (png && (frame.width > kMaxPictureSide || frame.height > kMaxPictureSide || bytes > kMaxPictureBytes)) {
        error = path + ": the picture would be " + std::to_string(frame.width) + " x " +
                std::to_string(frame.height) + " pixels (" + std::to_string(bytes >> 20) +
                " MiB); a PNG may have " + std::to_string(kMaxPictureSide) + " pixels on a side and " +
                std::to_string(kMaxPictureBytes >> 20) + " MiB at most: ask for a smaller --width";
        return false;
    }
    cairo_surface_t* surface =
        png ? cairo_image_surface_create(CAIRO_FORMAT_ARGB32, frame.width, frame.height)
            : cairo_svg_surface_create(path.c_str(), frame.width, frame.height);
    cairo_t* cr = cairo_create(surface);
    paint(cr, report, frame, options);
    cairo_destroy(cr);
    cairo_status_t status = cairo_surface_status(surface);
    if (status == CAIRO_STATUS_SUCCESS) {
        if (png) {
            status = cairo_surface_write_to_png(surface, path.c_str());
        } else {
            cairo_surface_finish(surface);  // the SVG is written out here
            status = cairo_surface_status(surface);
        }
    }
    cairo_surface_destroy(surface);
    // Hand back the font caches cairo and fontconfig keep for the process; a later picture
    // builds them again.
    cairo_debug_reset_static_data();
    FcFini();
    if (status != CAIRO_STATUS_SUCCESS) {
        error = path + ": cannot write the picture (" + cairo_status_to_string(status) + ")";
        return false;
    }
    return true;
}

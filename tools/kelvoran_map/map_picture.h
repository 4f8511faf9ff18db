// map_picture.h: a picture of a map file, as PNG or SVG, drawn with cairo.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "kelvoran_map/map_check.h"

// Game: the game's start view, 1024 x 600 world units centred on (0, 0).
// Map: the drawable quads' extent with a margin, or the game view for a map without any.
enum class PictureView { Map, Game };

struct PictureOptions {
    PictureView view = PictureView::Map;
    int width = 1024;   // pixels; the height follows the framed area's shape
    std::string title;  // written in the top-left corner; may be empty
};

// The world rectangle a picture shows (world units, y down) and its size in pixels.
struct PictureFrame {
    double left = 0, top = 0, right = 0, bottom = 0;
    int width = 0, height = 0;
};

// Quads with a corner beyond this (or not finite) are left out of the picture, world units.
constexpr double kMaxDrawnCoordinate = 1.0e6;
// A PNG's limits: pixels on either side, and bytes while it is drawn (four a pixel). A larger
// picture is refused rather than taking minutes and gigabytes.
constexpr int kMaxPictureSide = 16384;
constexpr uint64_t kMaxPictureBytes = uint64_t{256} << 20;
// Past this many numbered places the numbers are left out (the title says so): they could not
// be read, and each costs as much as a thousand quads.
constexpr size_t kMaxLabels = 10000;

PictureFrame pictureFrame(const MapReport& report, const PictureOptions& options);
// Writes the picture to path, PNG or SVG by its extension (.png, .svg, any case). False, with
// error filled, for another extension, a PNG beyond the limits above or a file that cannot be
// written.
bool drawMapPicture(const MapReport& report, const std::string& path, const PictureOptions& options,
                    std::string& error);

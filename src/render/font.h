// font.h: text in a scalable font (DejaVu Sans through FreeType), rasterised at the exact pixel
// size it is drawn at into atlas textures, so it stays sharp at any window size.
#pragma once
#include <cstdint>
#include <string>

#include "core/vec2.h"

// The font file: DejaVu Sans at its Debian path, else whatever fontconfig gives for "DejaVu
// Sans", else the first sans-serif it knows; empty when there is none.
std::string findFontFile();

// Loads the font the first time it is asked for; false, with one line on standard error the
// first time, when there is none: callers then draw in the bitmap font instead.
bool fontAvailable();

// Width and height in pixels of text at pixelSize (1 to 256 pixels between lines' baselines,
// roughly the height of a capital and a descender); (0, 0) without a font.
Vec2f measureFontText(const std::string& text, float pixelSize);

// Draws text with its top-left corner at (x, y) of a projection in pixels with y down, in the
// colour rgba (0xRRGGBBAA). Needs a GL context; leaves texturing off and the colour white.
void drawFontText(const std::string& text, float x, float y, float pixelSize, uint32_t rgba);

// Frees the atlas textures (the window is closing, or the cache outgrew its limit); the glyphs
// are rasterised again when next drawn. Needs the GL context they were made in.
void releaseFontTextures();

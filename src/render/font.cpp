// font.cpp: one FreeType face, glyphs rasterised per pixel size onto shelves of alpha textures.
#include "render/font.h"

#include <GL/gl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <iostream>
#include <map>
#include <memory>
#include <system_error>
#include <filesystem>
#include <unordered_map>
#include <vector>

#include "render/text_layout.h"

namespace {
constexpr const char* kDebianFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kPageSize = 512;      // pixels square, GL_ALPHA
constexpr int kGlyphGap = 1;        // pixels between glyphs, so filtering never bleeds
constexpr int kSmallestSize = 1;    // pixels
constexpr int kLargestSize = 256;   // pixels: one glyph always fits a page
constexpr size_t kMostSizes = 24;   // sizes cached before the whole cache starts again
constexpr size_t kMostPages = 16;   // 16 MiB of atlas at most, likewise

struct Glyph {
    int page = -1;  // -1: nothing to draw (a space)
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
    float left = 0, top = 0;      // bitmap offset from the pen, pixels (top: above the baseline)
    float width = 0, height = 0;  // pixels
    float advance = 0;            // pixels
};

struct Page {
    GLuint texture = 0;
    int shelfX = 0, shelfY = 0, shelfHeight = 0;
};

struct SizedFont {
    float ascent = 0, lineHeight = 0;
    std::unordered_map<uint32_t, Glyph> glyphs;
};

struct FontState {
    bool tried = false;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::map<int, SizedFont> sizes;
    std::vector<Page> pages;
};
FontState font;

bool isFile(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

std::string askFontconfig(const char* pattern) {
    std::string found;
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) return found;
    if (FcPattern* wanted = FcNameParse(reinterpret_cast<const FcChar8*>(pattern))) {
        FcConfigSubstitute(config, wanted, FcMatchPattern);
        FcDefaultSubstitute(wanted);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(config, wanted, &result)) {
            FcChar8* file = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr)
                found = reinterpret_cast<const char*>(file);
            FcPatternDestroy(match);
        }
        FcPatternDestroy(wanted);
    }
    FcConfigDestroy(config);
    return found;
}

int sizeIndex(float pixelSize) {
    if (!(pixelSize > 0.0f)) return kSmallestSize;
    return std::clamp(static_cast<int>(std::lround(pixelSize)), kSmallestSize, kLargestSize);
}

SizedFont& sized(int size) {
    auto found = font.sizes.find(size);
    if (found != font.sizes.end()) return found->second;
    if (font.sizes.size() >= kMostSizes) releaseFontTextures();  // a window resized many times
    FT_Set_Pixel_Sizes(font.face, 0, static_cast<FT_UInt>(size));
    SizedFont& made = font.sizes[size];
    const FT_Size_Metrics& metrics = font.face->size->metrics;
    made.ascent = std::round(static_cast<float>(metrics.ascender) / 64.0f);
    made.lineHeight = std::round(static_cast<float>(metrics.height) / 64.0f);
    return made;
}

// A place for a width x height bitmap on a page, opening a new page when the last is full.
bool reserve(int width, int height, int& page, int& x, int& y) {
    if (width + kGlyphGap > kPageSize || height + kGlyphGap > kPageSize) return false;
    if (!font.pages.empty()) {
        Page& last = font.pages.back();
        if (last.shelfX + width + kGlyphGap > kPageSize) {
            last.shelfY += last.shelfHeight;
            last.shelfX = 0;
            last.shelfHeight = 0;
        }
        if (last.shelfY + height + kGlyphGap <= kPageSize) {
            page = static_cast<int>(font.pages.size()) - 1;
            x = last.shelfX;
            y = last.shelfY;
            last.shelfX += width + kGlyphGap;
            last.shelfHeight = std::max(last.shelfHeight, height + kGlyphGap);
            return true;
        }
    }
    Page fresh;
    glGenTextures(1, &fresh.texture);
    glBindTexture(GL_TEXTURE_2D, fresh.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    const std::vector<unsigned char> clear(static_cast<size_t>(kPageSize) * kPageSize, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, kPageSize, kPageSize, 0, GL_ALPHA, GL_UNSIGNED_BYTE,
                 clear.data());
    font.pages.push_back(fresh);
    return reserve(width, height, page, x, y);
}

const Glyph& glyphOf(SizedFont& sizedFont, int size, uint32_t point) {
    auto found = sizedFont.glyphs.find(point);
    if (found != sizedFont.glyphs.end()) return found->second;
    Glyph& glyph = sizedFont.glyphs[point];
    FT_Set_Pixel_Sizes(font.face, 0, static_cast<FT_UInt>(size));
    FT_UInt index = FT_Get_Char_Index(font.face, point);
    if (index == 0) index = FT_Get_Char_Index(font.face, 0xFFFD);  // the font's own "missing" mark
    if (FT_Load_Glyph(font.face, index, FT_LOAD_RENDER) != 0) return glyph;
    const FT_GlyphSlot slot = font.face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.advance = static_cast<float>(slot->advance.x) / 64.0f;
    const int width = static_cast<int>(bitmap.width), height = static_cast<int>(bitmap.rows);
    int page = 0, x = 0, y = 0;
    if (width == 0 || height == 0 || bitmap.pixel_mode != FT_PIXEL_MODE_GRAY ||
        !reserve(width, height, page, x, y))
        return glyph;
    // The bitmap's rows may be padded or run bottom-up: copied row by row into a tight block.
    std::vector<unsigned char> tight(static_cast<size_t>(width) * height);
    for (int row = 0; row < height; ++row) {
        const unsigned char* source = bitmap.pitch >= 0
            ? bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch
            : bitmap.buffer + static_cast<ptrdiff_t>(height - 1 - row) * -bitmap.pitch;
        std::copy(source, source + width, tight.begin() + static_cast<ptrdiff_t>(row) * width);
    }
    GLint unpack = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpack);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, font.pages[static_cast<size_t>(page)].texture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, GL_ALPHA, GL_UNSIGNED_BYTE, tight.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, unpack);
    const float scale = 1.0f / static_cast<float>(kPageSize);
    glyph.page = page;
    glyph.u0 = static_cast<float>(x) * scale;
    glyph.v0 = static_cast<float>(y) * scale;
    glyph.u1 = static_cast<float>(x + width) * scale;
    glyph.v1 = static_cast<float>(y + height) * scale;
    glyph.left = static_cast<float>(slot->bitmap_left);
    glyph.top = static_cast<float>(slot->bitmap_top);
    glyph.width = static_cast<float>(width);
    glyph.height = static_cast<float>(height);
    return glyph;
}

// The advance of a character without touching GL: measuring needs no context.
float advanceOf(int size, uint32_t point) {
    FT_Set_Pixel_Sizes(font.face, 0, static_cast<FT_UInt>(size));
    FT_UInt index = FT_Get_Char_Index(font.face, point);
    if (index == 0) index = FT_Get_Char_Index(font.face, 0xFFFD);
    if (FT_Load_Glyph(font.face, index, FT_LOAD_DEFAULT) != 0) return 0.0f;
    return static_cast<float>(font.face->glyph->advance.x) / 64.0f;
}
}  // namespace

std::string findFontFile() {
    if (isFile(kDebianFont)) return kDebianFont;
    for (const char* pattern : {"DejaVu Sans", "sans-serif"}) {
        const std::string file = askFontconfig(pattern);
        if (isFile(file)) return file;
    }
    return std::string();
}

bool fontAvailable() {
    if (font.tried) return font.face != nullptr;
    font.tried = true;
    const std::string file = findFontFile();
    if (!file.empty() && FT_Init_FreeType(&font.library) == 0 &&
        FT_New_Face(font.library, file.c_str(), 0, &font.face) == 0)
        return true;
    if (font.library != nullptr) FT_Done_FreeType(font.library);
    font.library = nullptr;
    font.face = nullptr;
    std::cerr << "No scalable font (install fonts-dejavu-core): level text is drawn in the bitmap font"
              << std::endl;
    return false;
}

Vec2f measureFontText(const std::string& text, float pixelSize) {
    if (!fontAvailable()) return {};
    const int size = sizeIndex(pixelSize);
    SizedFont& sizedFont = sized(size);
    std::unordered_map<uint32_t, float> advances;
    const TextLayout layout = layoutText(text, sizedFont.ascent, sizedFont.lineHeight, [&](uint32_t point) {
        auto known = sizedFont.glyphs.find(point);
        if (known != sizedFont.glyphs.end()) return known->second.advance;
        auto seen = advances.find(point);
        if (seen != advances.end()) return seen->second;
        return advances[point] = advanceOf(size, point);
    });
    return {layout.width, layout.height};
}

void drawFontText(const std::string& text, float x, float y, float pixelSize, uint32_t rgba) {
    if (text.empty() || !fontAvailable()) return;
    if (font.pages.size() >= kMostPages) releaseFontTextures();
    const int size = sizeIndex(pixelSize);
    SizedFont& sizedFont = sized(size);
    // Rasterised first, since a new page binds its texture; then drawn page by page.
    const TextLayout layout = layoutText(text, sizedFont.ascent, sizedFont.lineHeight,
                                         [&](uint32_t point) { return glyphOf(sizedFont, size, point).advance; });
    const float left = std::round(x), top = std::round(y);  // whole pixels keep the glyphs sharp
    glColor4ub(static_cast<GLubyte>(rgba >> 24), static_cast<GLubyte>(rgba >> 16),
               static_cast<GLubyte>(rgba >> 8), static_cast<GLubyte>(rgba));
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    for (size_t page = 0; page < font.pages.size(); ++page) {
        glBindTexture(GL_TEXTURE_2D, font.pages[page].texture);
        glBegin(GL_QUADS);
        for (const PlacedGlyph& placed : layout.glyphs) {
            const Glyph& g = sizedFont.glyphs[placed.codePoint];
            if (g.page != static_cast<int>(page)) continue;
            const float x0 = left + std::round(placed.x) + g.left;
            const float y0 = top + placed.baseline - g.top;
            glTexCoord2f(g.u0, g.v0);
            glVertex2f(x0, y0);
            glTexCoord2f(g.u1, g.v0);
            glVertex2f(x0 + g.width, y0);
            glTexCoord2f(g.u1, g.v1);
            glVertex2f(x0 + g.width, y0 + g.height);
            glTexCoord2f(g.u0, g.v1);
            glVertex2f(x0, y0 + g.height);
        }
        glEnd();
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void releaseFontTextures() {
    for (const Page& page : font.pages) glDeleteTextures(1, &page.texture);
    font.pages.clear();
    font.sizes.clear();
}

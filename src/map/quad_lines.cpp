// quad_lines.cpp: the selected quads in words a script can take.
#include "map/quad_lines.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "map/map_editor.h"
#include "map/map_quad.h"

std::string coordinateText(float value) {
    if (value == 0.0f) value = 0.0f;  // no "-0"
    char text[48];
    // Fixed notation with the fewest decimals that read back exactly; a script's reader sees
    // "-100", never "-1e+02".
    for (int decimals = 0; decimals <= 6; ++decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(value));
        if (std::strtof(text, nullptr) == value) return text;
    }
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

std::vector<std::string> selectedQuadsAsLua() {
    std::vector<std::string> lines;
    for (const int32_t index : activeQuadIndices()) {
        const MapQuad& quad = getQuad(index);
        if (!quad.selected) continue;
        std::string line = "{";
        for (int k = 0; k < 4; ++k) {
            if (k > 0) line += ", ";
            line += coordinateText(quad.vertices[k].x) + ", " + coordinateText(quad.vertices[k].y);
        }
        lines.push_back(line + "},");
    }
    return lines;
}

bool selectionBox(Vec2f& centre, Vec2f& size) {
    bool any = false;
    Vec2f low, high;
    for (const int32_t index : activeQuadIndices()) {
        const MapQuad& quad = getQuad(index);
        if (!quad.selected) continue;
        for (const Vec2f& corner : quad.vertices) {
            low = any ? Vec2f{std::min(low.x, corner.x), std::min(low.y, corner.y)} : corner;
            high = any ? Vec2f{std::max(high.x, corner.x), std::max(high.y, corner.y)} : corner;
            any = true;
        }
    }
    if (!any) return false;
    centre = {(low.x + high.x) * 0.5f, (low.y + high.y) * 0.5f};
    size = {high.x - low.x, high.y - low.y};
    return true;
}

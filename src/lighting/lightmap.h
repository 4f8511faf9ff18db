// lightmap.h: renders the queued lights with stencil shadows and multiplies them over the scene.
#pragma once
#include <cstdint>

// Draws and empties every sheet's queued lights, with the shadows of the map quads and of the
// queued outlines, into the lightmap texture, and empties the outline queue; GL context required.
void renderLightmap();
// Empties every sheet's queued lights and the outline queue as renderLightmap does, drawing
// nothing: for a frame whose lights, view and map are those the lightmap texture was last
// rendered from.
void discardQueuedLights();
void compositeLightmap();  // multiplies the lightmap over the view, in world coordinates

// Lightmap pixels (x, y, width, height from the bottom-left corner) that a light quad with these
// corners (world units, relative to the light) covers at the light's position (world units) and
// angle (degrees), at full and at face-light size, with pixels to spare; the whole lightmap when
// the camera or the light is not finite. Reads the camera; no GL.
void lightScissorBox(const int32_t corners[8], float x, float y, float angle, int32_t box[4]);
// Whether each light's stencil and shadow draws are cut to its box (on at start); the lightmap's
// pixels are the same either way.
void setLightScissorEnabled(bool enabled);

// The lightmap's unlit level, where no light reaches: by default the frame's clear colour; a
// level may set its own (0.5 in every channel leaves the scene as drawn). No GL.
struct LightmapAmbient {
    bool set = false;
    float red = 0.0f, green = 0.0f, blue = 0.0f;
};
void setLightmapAmbient(const LightmapAmbient& ambient);
const LightmapAmbient& lightmapAmbient();
void resetLightmap();  // the scissor on and the written unlit level, as at start

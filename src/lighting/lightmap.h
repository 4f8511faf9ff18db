// lightmap.h: renders the queued lights with stencil shadows and multiplies them over the scene.
#pragma once

// Draws and empties every sheet's queued lights, with shadows, into the lightmap texture;
// GL context required.
void renderLightmap();
void compositeLightmap();  // multiplies the lightmap over the view, in world coordinates

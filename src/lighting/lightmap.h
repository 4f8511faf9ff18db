// lightmap.h: renders the queued lights with stencil shadows and multiplies them over the scene.
#pragma once

void renderLightmap();
void compositeLightmap();

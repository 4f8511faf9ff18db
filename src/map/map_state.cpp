// map_state.cpp: the map layer's resets.
#include "map/map_state.h"

#include "map/map_commands.h"
#include "map/map_editor.h"
#include "map/map_history.h"
#include "map/map_quad.h"
#include "map/quad_index.h"
#include "physics/physics_state.h"
#include "render/render_state.h"

void resetMapState() {
    clearMapHistory();
    clearClipboard();
    resetEditor();
    clearMapQuads(true);
    resetQuadIndex();
}

void resetLayersFromMap(bool glContextCurrent) {
    resetMapState();
    resetLayersFromPhysics();
    resetLayersFromRender(glContextCurrent);
}

// test_state.cpp: what the render tests put back after every case: the state of the layers they link.
#include "render/render_state.h"
#include "support/test_state.h"

void resetTestState() {
    resetLayersFromRender(testWindowOpen());
}

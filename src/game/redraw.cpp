// redraw.cpp: fingerprints of what a frame is drawn from, compared with those of the frame last
// drawn.
#include "game/redraw.h"

#include <cstdint>
#include <string>
#include <vector>

#include "actors/actor.h"
#include "core/camera.h"
#include "core/state_hasher.h"
#include "game/help.h"
#include "game/input.h"
#include "game/main_loop.h"
#include "game/sandbox.h"
#include "game/state_hash.h"
#include "map/map_editor.h"
#include "map/map_quad.h"
#include "render/texture.h"

namespace {
struct Redraw {
    bool lost = true;          // nothing drawn yet, or the window's picture went
    bool lightsBehind = true;  // the last frame drawn lit the scene of the frame before it
    uint64_t shownScene = 0;
    uint64_t shownView = 0;
};
Redraw redraw;

// What the actors and effects queue: their sprites now and their lights for the next frame. An
// actor's picture follows from its pose alone.
uint64_t sceneFingerprint() {
    StateHasher h;
    h.add(static_cast<uint64_t>(allActors().size()));
    for (const auto& actor : allActors()) {
        h.add(actor->id);
        h.add(actor->x);
        h.add(actor->y);
        h.add(actor->angle);
    }
    for (const auto& texture : allTextures()) {
        const SheetQueues& q = texture->queues;
        h.add(static_cast<uint64_t>(q.bursts.size()));
        for (const Burst& burst : q.bursts) hashBurst(h, burst);
        h.add(static_cast<uint64_t>(q.flickers.size()));
        for (const Flicker& flicker : q.flickers) hashFlicker(h, flicker);
    }
    return h.value();
}

// Everything else on the screen: the view, the map with the editor's marks, the HUD's numbers
// (new at each publication), the panel and the messages.
uint64_t viewFingerprint() {
    StateHasher h;
    h.add(windowSize());
    h.add(cameraPosition());
    h.add(viewSize());
    h.add(zoom());
    h.add(rotation());
    h.add(spawnPoint());
    h.add(editorEnabled());
    h.add(static_cast<uint64_t>(mapQuads().size()));
    for (const auto& quad : mapQuads()) {
        h.add(quad->vertices);
        h.add(quad->texCoords);
        h.add(quad->tag);
        h.add(quad->texture);
        h.add(quad->selected);
        h.add(quad->editMode);
    }
    h.add(frameScheduler().nextSecond);
    h.add(helpPanelShown());
    if (helpPanelShown()) {
        for (const std::string& line :
             helpStatusLines(countSandbox(), editorEnabled(), simulationPaused()))
            h.add(line);
    }
    const std::vector<std::string> messages = visibleMessages();
    h.add(static_cast<uint64_t>(messages.size()));
    for (const std::string& message : messages) h.add(message);
    return h.value();
}
}  // namespace

bool takeFrameToDraw() {
    const uint64_t scene = sceneFingerprint();
    const uint64_t view = viewFingerprint();
    if (!redraw.lost && !redraw.lightsBehind && scene == redraw.shownScene &&
        view == redraw.shownView)
        return false;
    redraw.lightsBehind = scene != redraw.shownScene;
    redraw.lost = false;
    redraw.shownScene = scene;
    redraw.shownView = view;
    return true;
}

void pictureLost() { redraw.lost = true; }

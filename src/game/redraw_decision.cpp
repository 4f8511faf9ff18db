// redraw_decision.cpp: fingerprints of what a frame is drawn from, compared with those of the frame last
// drawn.
#include "game/redraw_decision.h"

#include <cstdint>
#include <string>
#include <vector>

#include "actors/actor.h"
#include "core/camera.h"
#include "core/state_hasher.h"
#include "game/edit_feedback.h"
#include "game/help_state.h"
#include "game/input.h"
#include "game/level_finish.h"
#include "game/level_presentation.h"
#include "game/main_loop.h"
#include "game/messages.h"
#include "game/sandbox.h"
#include "game/state_hash.h"
#include "map/map_editor.h"
#include "lighting/lightmap.h"
#include "map/map_quad.h"
#include "map/quad_index.h"
#include "render/texture.h"

namespace {
// After the window's picture went, this many frames are drawn whole: a resized window's
// drawable may take its new size only at the swap after the first of them.
constexpr int32_t kFramesAfterLoss = 2;

struct Redraw {
    int32_t lostFrames = kFramesAfterLoss;  // whole frames still owed since the picture went
    bool lightsBehind = true;  // the last frame drawn lit the scene of the frame before it
    uint64_t shownScene = 0;
    uint64_t shownLighting = 0;
    uint64_t shownRest = 0;
    // A key, button or motion since the last frame drawn: the hover marks, the rubber band, a
    // grab's line, the grid and the overlays all answer input, so such a frame is drawn.
    bool inputSinceShown = false;
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

// What the lightmap is rendered from besides the lights: the view and the quads casting shadows.
uint64_t lightingFingerprint() {
    StateHasher h;
    h.add(windowSize());
    h.add(cameraPosition());
    h.add(viewSize());
    h.add(zoom());
    h.add(rotation());
    const LightmapAmbient& ambient = lightmapAmbient();
    h.add(ambient.set);
    h.add(ambient.red);
    h.add(ambient.green);
    h.add(ambient.blue);
    // The quad index counts every quad added, moved, reshaped or rebuilt, so a frame need not walk
    // a large map to know it is unchanged. Selection and drag marks change only on input or undo,
    // which draw the next frame anyway.
    h.add(static_cast<uint64_t>(mapQuads().size()));
    h.add(quadChangeCount());
    return h.value();
}

// Everything else on the screen: the car image, the editor's marks, the HUD's numbers (new at
// each publication), the panel and the messages.
uint64_t restFingerprint() {
    StateHasher h;
    h.add(spawnPoint());
    h.add(editorEnabled());
    h.add(frameScheduler().nextSecond);
    h.add(helpPanelShown());
    h.add(levelPresentationChanges());  // labels, level keys, allowances, the stopped line
    h.add(levelFinish().reached);
    if (helpPanelShown()) {
        for (const std::string& line :
             helpStatusLines(countSandbox(), editorEnabled(), simulationPaused()))
            h.add(line);
    }
    Vec2f keptCorners[4];
    h.add(refusedOutlineLit(keptCorners));  // its flash ends without any input
    const std::vector<std::string> messages = visibleMessages();
    h.add(static_cast<uint64_t>(messages.size()));
    for (const std::string& message : messages) h.add(message);
    return h.value();
}
}  // namespace

FrameNeed takeFrameToDraw() {
    const uint64_t scene = sceneFingerprint();
    const uint64_t lighting = lightingFingerprint();
    const uint64_t rest = restFingerprint();
    // This frame's lights were queued by the last frame drawn; they are the ones the lightmap
    // shows when that frame's scene was the scene of the frame before it.
    const bool lightmapAsBefore =
        redraw.lostFrames == 0 && !redraw.lightsBehind && lighting == redraw.shownLighting;
    if (lightmapAsBefore && scene == redraw.shownScene && rest == redraw.shownRest &&
        !redraw.inputSinceShown)
        return FrameNeed::Nothing;
    redraw.inputSinceShown = false;
    redraw.lightsBehind = scene != redraw.shownScene;
    if (redraw.lostFrames > 0) --redraw.lostFrames;
    redraw.shownScene = scene;
    redraw.shownLighting = lighting;
    redraw.shownRest = rest;
    return lightmapAsBefore ? FrameNeed::AllButLightmap : FrameNeed::Everything;
}

void pictureLost() { redraw.lostFrames = kFramesAfterLoss; }

void inputArrived() { redraw.inputSinceShown = true; }

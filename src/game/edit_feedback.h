// edit_feedback.h: what the player is told when the map turns an edit away: a message at the
// top-right, and the outline the quad kept flashing for a moment.
#pragma once
#include <string>

#include "core/vec2.h"
#include "map/map_editor.h"

constexpr int32_t kRefusalFlashMs = 600;
constexpr int32_t kRefusalBlinkMs = 150;  // on, off, on, off

// Call after the editor has handled an event: a refusal since the last call posts its message
// and starts the flash.
void reportRefusedEdit();
// True, with the kept corners, while the flash is lit at the main loop's time (no clock reading of its own).
bool refusedOutlineLit(Vec2f corners[4]);
void clearEditFeedback();

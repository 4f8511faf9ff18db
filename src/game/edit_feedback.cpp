// edit_feedback.cpp: the refusal's message and the timing of its flash.
#include "game/edit_feedback.h"

#include "game/main_loop.h"
#include "game/messages.h"
#include "game/sandbox.h"

namespace {
struct Flash {
    bool started = false;
    int32_t startMs = 0;
    Vec2f corners[4];
};
Flash flash;
}  // namespace

void reportRefusedEdit() {
    RefusedEdit refused;
    if (!takeRefusedEdit(refused)) return;
    showMessage(refused.why);
    flash.started = true;
    flash.startMs = frameScheduler().now;
    for (int k = 0; k < 4; ++k) flash.corners[k] = refused.corners[k];
}

bool refusedOutlineLit(Vec2f corners[4]) {
    if (!flash.started) return false;
    const int32_t age = frameScheduler().now - flash.startMs;
    if (age < 0 || age >= kRefusalFlashMs) return false;
    if ((age / kRefusalBlinkMs) % 2 != 0) return false;
    for (int k = 0; k < 4; ++k) corners[k] = flash.corners[k];
    return true;
}

void clearEditFeedback() { flash = Flash(); }

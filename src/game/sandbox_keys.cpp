// sandbox_keys.cpp: the sandbox and editing keys, and the words they show when done.
#include "game/sandbox_keys.h"

#include <unistd.h>

#include <string>

#include "game/input.h"
#include "game/level_script.h"
#include "actors/actor.h"
#include "core/random.h"
#include "core/sound_cues.h"
#include "game/grab.h"
#include "game/host.h"
#include "game/level_finish.h"
#include "game/level_presentation.h"
#include "game/map_loading.h"
#include "game/messages.h"
#include "game/sandbox.h"
#include "game/sandbox_limits.h"
#include "game/view_control.h"
#include "game/sound_state.h"
#include "map/map_commands.h"
#include "map/map_editor.h"
#include "map/map_file.h"
#include "map/map_history.h"
#include "map/map_quad.h"
#include "render/effects.h"
#include "render/texture.h"

namespace {
constexpr int kBurstsPerZ = 6;
constexpr float kBurstMargin = 32.0f;
constexpr float kBurstSpanX = 768.0f;  // bursts land in x 32..800
constexpr float kBurstSpanY = 568.0f;  // and y 32..600
constexpr float kFlickerRange = 1000.0f;
const std::string kQuitUnsavedHint = " (press Esc again to quit without saving)";

// "1 car", "23 boxes".
std::string counted(int32_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}
}  // namespace

void dropCarKey() {
    if (!levelAllows().cars) {
        showMessage("This level has no cars to drop");
        return;
    }
    dropCar();
}

void burstsKey() {
    Texture* bloom = findTexture("bloomtest.png");
    for (int i = 0; i < kBurstsPerZ; ++i) {
        const float y = kBurstMargin + randomFraction() * kBurstSpanY;  // drawn first
        const float x = kBurstMargin + randomFraction() * kBurstSpanX;
        if (bloom) spawnBurst(*bloom, x, y, 0.0f);
        cueSound(SoundCue{SoundCueKind::Burst, x, y});
    }
}

void flickerKey() {
    const float first = randomRange(-kFlickerRange, kFlickerRange);  // becomes y
    const float second = randomRange(-kFlickerRange, kFlickerRange);
    if (Texture* light = findTexture("light1.png")) spawnFlicker(*light, second, first, 0.0f, true, 0);
}

void fullScreenKey() { toggleFullScreen(); }

// Esc saves and quits. When the save fails (a full disk) the session's edits would be lost, so
// the game plays on and says why; an Esc while that is still shown quits without saving.
void quitKey() {
    for (const std::string& shown : visibleMessages()) {
        if (shown.size() >= kQuitUnsavedHint.size() &&
            shown.compare(shown.size() - kQuitUnsavedHint.size(), kQuitUnsavedHint.size(),
                          kQuitUnsavedHint) == 0) {
            host().window.leaveMainLoop();
            return;
        }
    }
    std::string why;
    if (saveMap(why)) {  // says why on standard error when it fails
        host().window.leaveMainLoop();  // the loop only ends once this callback returns
    } else {
        showMessage("Map not saved: " + why + kQuitUnsavedHint);
    }
}

void pauseKey() {
    // A pause lets go of a held body; a grab made while paused waits for the next step.
    if (!simulationPaused()) releaseAllGrabs();
    setSimulationPaused(!simulationPaused());
    showMessage(simulationPaused() ? "Paused" : "Resumed");
}

void muteKey() {
    toggleSoundMuted();
    showMessage(soundMuted() ? "Sound off" : "Sound on");
}

void singleStepKey() {
    if (!simulationPaused()) {
        showMessage("Running: 0 pauses, then . steps");
        return;
    }
    requestSingleStep();
    showMessage("One step");
}

void clearKey() {
    std::string text = "Cleared";
    const char* separator = " ";
    for (const KindCount& cleared : clearSandbox()) {
        if (cleared.count == 0 && !cleared.kind->alwaysCounted) continue;
        text += separator + counted(cleared.count, cleared.kind->name, cleared.kind->plural);
        separator = ", ";
    }
    showMessage(text);
}

void undoKey() {
    std::string label;
    showMessage(undoMapEdit(&label) ? "Undo: " + label : "Nothing to undo");
}

void redoKey() {
    std::string label;
    showMessage(redoMapEdit(&label) ? "Redo: " + label : "Nothing to redo");
}

namespace {
constexpr const char* kEditorOff = "Editor is off: 5 turns it on";
constexpr const char* kNothingSelected = "Nothing selected: click a quad first";

void reportPlaced(const PlaceResult& placed) {
    if (placed.tooFar) showFailure("No copies made: too far from the origin");
}
}  // namespace

void deleteKey() {
    if (!editorEnabled()) {
        showMessage(kEditorOff);
    } else if (deleteSelectedQuads() == 0) {
        showMessage(kNothingSelected);
    }
}

void copyKey() {
    if (!editorEnabled()) {
        showMessage(kEditorOff);
        return;
    }
    const int32_t copied = copySelectedQuads();
    showMessage(copied == 0 ? std::string(kNothingSelected)
                            : "Copied " + counted(copied, "quad", "quads"));
}

void pasteKey() {
    if (!editorEnabled()) {
        showMessage(kEditorOff);
    } else if (clipboardSize() == 0) {
        showMessage("Nothing copied: Ctrl+C copies the selected quads");
    } else {
        reportPlaced(pasteQuadsAt(actingCursor()));
    }
}

void duplicateKey() {
    if (!editorEnabled()) {
        showMessage(kEditorOff);
    } else if (countSelectedQuads() == 0) {
        showMessage(kNothingSelected);
    } else {
        reportPlaced(duplicateSelectedQuads());
    }
}

void gridKey() { toggleGrid(); }

void homeKey() { homeView(); }

void addAtMouseKey() {
    if (!addSquareAt(actingCursor())) showFailure("No square added: too far from the origin");
}

void saveKey() {
    std::string why;
    if (saveMap(why)) {
        showMessage("Saved " + std::string(kMapFileName) + " (" +
                    counted(getQuadCount(), "quad", "quads") + ")");
    } else {
        showMessage("Save failed: " + why);  // saveMap has said so on standard error
    }
}

void reloadKey() {
    if (loadMap()) {
        showMessage("Reloaded " + std::string(kMapFileName) + " (" +
                    counted(getQuadCount(), "quad", "quads") + ")");
    } else if (access(kMapFileName, F_OK) != 0) {
        showFailure("Reload failed: " + std::string(kMapFileName) + " is missing");
    } else {
        // The loader has said on standard error what is wrong with the file.
        showMessage("Reload failed: cannot read " + std::string(kMapFileName));
    }
    loadLevelScript();
}

void restartKey() {
    resetLevelFinish();  // play again: the card goes, the level runs
    clearSandbox();
    loadMap();
    loadLevelScript();
    showMessage("Restarted");
}

void editorKey(bool enabled) {
    if (enabled && !levelAllows().editor) {
        showMessage("This level keeps the editor off");
        return;
    }
    setEditorEnabled(enabled);
    showMessage(enabled ? "Editor on" : "Editor off");
}

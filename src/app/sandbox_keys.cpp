// sandbox_keys.cpp: the sandbox and editing keys, and the words they show when done.
#include "app/sandbox_keys.h"

#include <unistd.h>

#include <string>

#include "app/input.h"
#include "app/map_loading.h"
#include "app/sandbox.h"
#include "map/map_commands.h"
#include "map/map_editor.h"
#include "map/map_file.h"
#include "map/map_history.h"
#include "map/map_quad.h"

namespace {
// "1 car", "23 boxes".
std::string counted(int32_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}
}  // namespace

void pauseKey() {
    setSimulationPaused(!simulationPaused());
    showMessage(simulationPaused() ? "Paused" : "Resumed");
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
    const ClearedCounts cleared = clearSandbox();
    std::string text = "Cleared " + counted(cleared.boxes, "box", "boxes") + ", " +
                       counted(cleared.cars, "car", "cars");
    if (cleared.rockets > 0) text += ", " + counted(cleared.rockets, "rocket", "rockets");
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

void deleteKey() {
    if (!editorEnabled) {
        showMessage("Editor is off: 5 turns it on");
    } else if (deleteSelectedQuads() == 0) {
        showMessage("Nothing selected: click a quad first");
    }
}

void addAtMouseKey() {
    if (!addSquareAt(mouseWorld)) showFailure("No square added: too far from the origin");
}

void saveKey() {
    const MapSaveResult result = saveMap();
    if (result.saved) {
        showMessage("Saved " + std::string(kMapFileName) + " (" +
                    counted(getQuadCount(), "quad", "quads") + ")");
    } else {
        showMessage("Save failed: " + result.failure);  // saveMap has said so on standard error
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
}

void editorKey(bool enabled) {
    setEditorEnabled(enabled);
    showMessage(enabled ? "Editor on" : "Editor off");
}

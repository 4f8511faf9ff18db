// level_presentation.cpp: the level's labels, keys, allowances and stopped line.
#include "game/level_presentation.h"

#include <algorithm>

namespace {
struct Presentation {
    std::vector<LevelLabel> labels;
    std::vector<LevelKey> keys;
    LevelAllows allows;
    std::string stopped;
    uint32_t changes = 0;
};
Presentation presentation;
}  // namespace

void setLevelLabel(const LevelLabel& label) {
    ++presentation.changes;
    for (LevelLabel& held : presentation.labels) {
        if (held.id == label.id) {
            held = label;
            return;
        }
    }
    presentation.labels.push_back(label);
}

void removeLevelLabel(const std::string& id) {
    auto& labels = presentation.labels;
    const auto gone = std::remove_if(labels.begin(), labels.end(), [&](const LevelLabel& l) { return l.id == id; });
    if (gone == labels.end()) return;
    labels.erase(gone, labels.end());
    ++presentation.changes;
}

const std::vector<LevelLabel>& levelLabels() { return presentation.labels; }

uint32_t levelPresentationChanges() { return presentation.changes; }

void setLevelKeys(const std::vector<LevelKey>& keys) {
    presentation.keys = keys;
    std::stable_sort(presentation.keys.begin(), presentation.keys.end(),
                     [](const LevelKey& a, const LevelKey& b) { return a.key < b.key; });
    ++presentation.changes;
}

const std::vector<LevelKey>& levelKeys() { return presentation.keys; }

void setLevelAllows(const LevelAllows& allows) {
    presentation.allows = allows;
    ++presentation.changes;
}

const LevelAllows& levelAllows() { return presentation.allows; }

void setStoppedScriptLine(const std::string& line) {
    if (presentation.stopped == line) return;
    presentation.stopped = line;
    ++presentation.changes;
}

const std::string& stoppedScriptLine() { return presentation.stopped; }

void resetLevelPresentation() {
    const uint32_t changes = presentation.changes + 1;
    presentation = Presentation();
    presentation.changes = changes;
}

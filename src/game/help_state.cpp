// help_state.cpp: the help panel's switch and status lines.
#include "game/help_state.h"

#include <cctype>

#include "actors/actor.h"

namespace {
struct HelpState {
    bool shown = false;
};
HelpState help;
}  // namespace

bool helpPanelShown() { return help.shown; }
void toggleHelpPanel() { help.shown = !help.shown; }
void hideHelpPanel() { help.shown = false; }

std::vector<std::string> helpStatusLines(const SandboxCounts& counts, bool editorOn, bool paused) {
    std::string tally = "Quads: " + std::to_string(counts.quads) + " (" +
                        std::to_string(counts.selectedQuads) + " selected)";
    for (const KindCount& entry : counts.actors) {
        if (entry.count == 0 && !entry.kind->alwaysCounted) continue;
        std::string plural = entry.kind->plural;
        if (!plural.empty()) plural[0] = static_cast<char>(std::toupper(plural[0]));
        tally += "    " + plural + ": " + std::to_string(entry.count);
    }
    return {
        std::string("Editor: ") + (editorOn ? "on" : "off") + "    Simulation: " +
            (paused ? "PAUSED (0 resumes, . steps)" : "running"),
        tally,
        "Top left: F = main-loop passes per second (not frames), S = logic steps per second",
    };
}

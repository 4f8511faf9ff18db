// step_command.h: one thing a player did that changes the game, as a plain value that can be
// recorded, sent over the network and applied at the start of a numbered logic step; and its
// bytes, the same in recordings and in packets.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/vec2.h"

// What a command carries beside itself: nothing, "no such file", or the file's bytes.
enum class AttachedFile : uint8_t { None = 0, Missing = 1, Bytes = 2 };

// Players are numbered 0 to kPlayerSlots - 1: a shared session's room holds this many.
constexpr uint8_t kPlayerSlots = 8;

struct StepCommand {
    enum class Kind : uint8_t {
        KeyDown = 0,     // code = character code
        KeyUp = 1,       // code = character code
        SpecialKey = 2,  // code = the window system's code (Home)
        Button = 3,      // code = button, state = 0 pressed / 1 released, modifiers
        Pointer = 4,     // world = the cursor's world position; state 1: placed, not dragged
    };
    static constexpr uint8_t kKindCount = 5;

    uint8_t player = 0;  // 0 plays alone or hosts; joiners from 1
    Kind kind = Kind::KeyDown;
    int32_t code = 0;
    int32_t state = 0;
    int32_t modifiers = 0;  // Shift, Ctrl, Alt bits as the input module names them
    Vec2f world;            // exact float bits, so every peer drags and drops at the same place
    // Button, Pointer: the editor's world units per window pixel at the maker's view (0: not
    // told), so a handle's reach is the one its maker saw, whatever the other peers' zoom.
    float pixelSize = 0.0f;
    // A reload or restart carries the map and the script it loads, so every peer and every
    // replay loads the same bytes whatever its own disk holds.
    AttachedFile map = AttachedFile::None;
    std::vector<uint8_t> mapBytes;
    AttachedFile script = AttachedFile::None;
    std::vector<uint8_t> scriptBytes;
    // Why the maker's map could not be read, for the maker's own console line; not sent or
    // recorded (a peer or a replay reports only that it is missing).
    std::string mapProblem;
};
bool operator==(const StepCommand& a, const StepCommand& b);

// Largest file a command may carry: a map or script beyond it is refused, not sent.
constexpr size_t kMaxAttachedBytes = 64u * 1024 * 1024;

// Appends the command's bytes to out.
void encodeStepCommand(const StepCommand& command, std::vector<uint8_t>& out);
// Decodes one command starting at *offset and moves *offset past it; false (command and offset
// unspecified) on bytes that are not a whole, valid command.
bool decodeStepCommand(const uint8_t* bytes, size_t size, size_t* offset, StepCommand& command);

// input.h: the mouse position and the key, mouse and window events as plain values.
#pragma once
#include <cstdint>

#include "core/state_hasher.h"
#include "core/vec2.h"

// Last cursor position in world units; (0, 0) until the first motion event. Player 0's cursor.
Vec2f mouseWorld();
// Each player's cursor as their commands last placed it; (0, 0) for a player never seen.
Vec2f playerCursor(uint8_t player);
// The player whose step command is being applied (0 outside commands): what it makes is theirs,
// and what it places goes at their cursor.
uint8_t actingPlayer();
Vec2f actingCursor();
// Adds the held keys and cursors of players other than 0 to a state hash, each only once they
// have held a key or placed their cursor, so a game played alone hashes as it always did.
void hashOtherPlayers(StateHasher& h);
// Where key 1 drops cars and where the car image is drawn, world units; set once at start-up.
Vec2f spawnPoint();
void setSpawnPoint(Vec2f point);
bool fullScreen();  // as the f key last left it
void toggleFullScreen();
// A new game: the mouse at (0, 0), windowed, the spawn point at the origin.
void resetInput();

// Shift, Ctrl and Alt as the window system last reported them with a key or button event.
constexpr int kShiftModifier = 1, kCtrlModifier = 2, kAltModifier = 4;
void onModifiers(int modifiers);
int heldModifiers();

// The window's events; positions in window pixels from the top-left corner. What they do to the
// game happens at once or at the next logic step, as inputTiming (step_commands.h) says; what
// they do to the view (zoom, pan, help, overlays, sound, full screen) always at once.
void onKeyDown(unsigned char key, int x, int y);  // holds the key, then runs its action
void onKeyUp(unsigned char key, int x, int y);
// A key without a character (Home, arrows, F keys) in the window system's codes: its action only.
void onSpecialKey(int key, int x, int y);
// Button 0 left (the editor; with Shift, box select), 1 middle (drags the view), 3 and 4 the
// wheel (zoom in and out about the cursor); state 0 pressed, 1 released.
void onMouseButton(int button, int state, int x, int y);
void onMouseMove(int x, int y);
// The game's part of an event, made into a step command: run by the step it is scheduled for.
struct StepCommand;
void applyStepCommand(const StepCommand& command);

// The window's new size in pixels: the view maps onto it and the host's viewport follows.
void onReshape(int width, int height);

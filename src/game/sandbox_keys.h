// sandbox_keys.h: what the sandbox and editing keys do, each with its feedback message.
#pragma once

void dropCarKey();     // 1: a car at the spawn point
void burstsKey();      // z: six bloom bursts at random places
void flickerKey();     // p: a flickering light at a random place
void fullScreenKey();  // f, F
void quitKey();        // Esc: leave the main loop, saving the map on the way
void pauseKey();       // 0: pause or resume the simulation
void muteKey();        // m: sound off or on; the game itself is unchanged
void singleStepKey();  // .: one full logic step while paused
void clearKey();       // c: remove every box, car and rocket
void undoKey();        // Ctrl+Z
void redoKey();        // Ctrl+Y
void deleteKey();      // Delete, Backspace: the selected quads, editor on
void addAtMouseKey();  // n: the default square centred at the mouse
void saveKey();        // 9: saveMap, then says whether it worked
void reloadKey();      // 7, 8: loadMap, then says what it loaded
void editorKey(bool enabled);  // 5, 6
void copyKey();       // Ctrl+C: the selected quads to the clipboard
void pasteKey();      // Ctrl+V: the clipboard centred at the mouse, on the grid
void duplicateKey();  // Ctrl+D: the selected quads again, one grid step over
void gridKey();       // g: the grid on or off
void homeKey();       // Home: the start view
void restartKey();     // r: every actor goes, map.txt and map.lua load again

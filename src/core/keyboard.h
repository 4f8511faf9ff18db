// keyboard.h: which keys are held; filled by the input handlers, polled by the logic step and the car.
#pragma once

// Codes are taken modulo 256; upper- and lower-case letters are different keys.
void pressKey(int code);
void releaseKey(int code);
int isKeyDown(int code);  // 0 or 1
void releaseAllKeys();  // every player's

// Players of a shared session hold keys of their own, so one player's release never lets go of
// another's. Player 0's table is the one above; a player beyond the tables holds nothing.
constexpr int kKeyboardPlayers = 8;
void pressPlayerKey(int player, int code);
void releasePlayerKey(int player, int code);
int isPlayerKeyDown(int player, int code);  // 0 or 1

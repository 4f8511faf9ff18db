// keyboard.cpp: the 256-entry tables of held keys, one per player.
#include "core/keyboard.h"

#include <cstdint>
#include <cstring>

namespace {
constexpr int kKeyCount = 256;
uint8_t keyboard[kKeyboardPlayers][kKeyCount] = {};  // 1 while the key is down

int keyIndex(int code) { return static_cast<uint8_t>(code); }
bool knownPlayer(int player) { return player >= 0 && player < kKeyboardPlayers; }
}  // namespace

void pressKey(int code) { keyboard[0][keyIndex(code)] = 1; }
void releaseKey(int code) { keyboard[0][keyIndex(code)] = 0; }
int isKeyDown(int code) { return keyboard[0][keyIndex(code)]; }
void releaseAllKeys() { std::memset(keyboard, 0, sizeof keyboard); }

void pressPlayerKey(int player, int code) {
    if (knownPlayer(player)) keyboard[player][keyIndex(code)] = 1;
}
void releasePlayerKey(int player, int code) {
    if (knownPlayer(player)) keyboard[player][keyIndex(code)] = 0;
}
int isPlayerKeyDown(int player, int code) {
    return knownPlayer(player) ? keyboard[player][keyIndex(code)] : 0;
}

// keyboard.cpp: the 256-entry table of held keys.
#include "core/keyboard.h"

#include <cstdint>
#include <cstring>

namespace {
constexpr int kKeyCount = 256;
uint8_t keyboard[kKeyCount] = {};  // 1 while the key is down

int keyIndex(int code) { return static_cast<uint8_t>(code); }
}  // namespace

void pressKey(int code) { keyboard[keyIndex(code)] = 1; }
void releaseKey(int code) { keyboard[keyIndex(code)] = 0; }
int isKeyDown(int code) { return keyboard[keyIndex(code)]; }
void releaseAllKeys() { std::memset(keyboard, 0, sizeof keyboard); }

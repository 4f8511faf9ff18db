// keyboard.h: which keys are held; filled by the input handlers, polled by the logic step and the car.
#pragma once

// Codes are taken modulo 256; upper- and lower-case letters are different keys.
void pressKey(int code);
void releaseKey(int code);
int isKeyDown(int code);  // 0 or 1
void releaseAllKeys();

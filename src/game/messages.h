// messages.h: the short feedback messages shown at the top-right of the window, timed by the
// clock reading of the latest pass.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t kMessageMs = 2000;  // how long a message stays, by readClock
constexpr size_t kMaxMessages = 4;    // older ones give way
// Shows text for kMessageMs; the same text as the newest one only restarts its time.
void showMessage(const std::string& text);
void showFailure(const std::string& text);  // shown, and written on standard error
// The texts still showing at the latest pass's time, oldest first.
std::vector<std::string> visibleMessages();
void clearMessages();

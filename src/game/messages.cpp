// messages.cpp: the queue of feedback messages.
#include "game/messages.h"

#include <algorithm>
#include <deque>
#include <iostream>

#include "game/clock.h"

namespace {
struct Message {
    std::string text;
    int32_t until = 0;  // clock ms
};
std::deque<Message> messages;

void dropExpired(int32_t now) {
    messages.erase(std::remove_if(messages.begin(), messages.end(),
                                  [now](const Message& m) { return m.until <= now; }),
                   messages.end());
}
}  // namespace

// Timed by the clock reading of the latest pass, so showing a message never reads the clock
// itself: a frame drawn with or without a window then reads it equally often.
void showMessage(const std::string& text) {
    const int32_t now = passTime();
    dropExpired(now);
    if (!messages.empty() && messages.back().text == text) messages.pop_back();
    messages.push_back({text, now + kMessageMs});
    while (messages.size() > kMaxMessages) messages.pop_front();
}

void showFailure(const std::string& text) {
    std::cerr << text << std::endl;
    showMessage(text);
}

std::vector<std::string> visibleMessages() {
    dropExpired(passTime());
    std::vector<std::string> texts;
    for (const Message& message : messages) texts.push_back(message.text);
    return texts;
}

void clearMessages() { messages.clear(); }

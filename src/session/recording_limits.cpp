// recording_limits.cpp: the sentence a refusal for a limit prints.
#include "session/recording_limits.h"

std::string beyondLimit(const char* what, uint64_t limit) {
    std::string digits = std::to_string(limit);
    for (size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
    return std::string("it asks for more than ") + digits + " " + what + " (the replay's limit)";
}

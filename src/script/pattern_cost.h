// pattern_cost.h: an upper bound on the work of one Lua pattern search, found before it starts.
// Once inside the library's matcher nothing interrupts it, so a search is charged this bound
// first; the bound looks at the subject itself (the longest run each repeated item can take), so
// ordinary patterns over strings of megabytes stay cheap while backtracking bombs do not.
#pragma once
#include <cstddef>

// Matcher steps (single-character tests) that string.find, match, gmatch or gsub of pattern over
// subject can take at most, every starting position included. anchorable: a leading '^' anchors
// the search (all but gmatch). A malformed pattern gets a finite estimate; the library then
// refuses it.
double patternSteps(const char* subject, size_t subjectLength, const char* pattern,
                    size_t patternLength, bool anchorable);

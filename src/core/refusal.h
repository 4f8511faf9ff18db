// refusal.h: the one way an operation that can be turned away says so, and why.
//
// Such a function returns bool, true when it went ahead, and takes `std::string& why` last: on a
// refusal it returns false with one line in why, the words a caller prints as they stand, and on
// success it leaves why as it was (callers pass it empty). A check that only inspects, such as an
// invariant or a name's validity, is the same function with nothing to produce.
//
// Why this shape: the loaders already spoke it, so the most code stays as it was; it needs nothing
// beyond the standard library, so every layer and tool can use it; `if (!load(..., why))` reads
// the way the code means it; and the reason stays a plain string, which is what the console lines,
// the recordings and the on-screen messages carry. The function returning false is the refusal,
// not an empty why: a missing map file is refused with nothing to say about it.
#pragma once
#include <string>
#include <utility>

// Puts reason in why and returns false, so that a refusal is one `return refuse(why, "...");`.
inline bool refuse(std::string& why, std::string reason) {
    why = std::move(reason);
    return false;
}

// property_cases.h: how many random cases a property test runs in this build.
#pragma once

#include <algorithm>

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitizedBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif
#else
inline constexpr bool kSanitizedBuild = false;
#endif

// Under the sanitizers every case costs several times as much. The plain build runs the full
// count; the sanitizer build runs a quarter of it, the same kinds of case under its checks.
constexpr int propertyCases(int cases) { return kSanitizedBuild ? std::max(1, cases / 4) : cases; }

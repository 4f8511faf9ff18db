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

// The extra optimised pass of the suite runs fewer cases too: it is there for faults that only
// optimisation shows, and the plain build has already run the full count.
#if defined(KELVORAN_FEWER_CASES)
inline constexpr bool kFewerCases = true;
#else
inline constexpr bool kFewerCases = kSanitizedBuild;
#endif

// Under the sanitizers every case costs several times as much. The plain build runs the full
// count; the sanitizer build and the optimised pass run a quarter of it, the same kinds of case.
constexpr int propertyCases(int cases) { return kFewerCases ? std::max(1, cases / 4) : cases; }

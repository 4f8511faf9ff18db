// pattern_cost.cpp: the bound on a pattern search's work. The library's matcher tries the
// pattern at every starting position; at each, a repeated item (x*, x+, x-) expands over the run
// of characters its class matches and, when what follows fails, backtracks through that run. The
// bound therefore multiplies the runs of the items that can backtrack, and counts only once per
// match the part of the pattern that cannot fail any more (a match found ends the search, or, in
// gsub and gmatch, consumes the text it covers).
#include "script/pattern_cost.h"

#include <algorithm>
#include <bitset>
#include <cctype>
#include <vector>

namespace {
constexpr double kMaxLookSteps = 2e8;  // character tests spent finding the bound itself

enum class Kind { Single, Balance, Frontier, BackReference, Capture, End };

struct Element {
    Kind kind = Kind::Single;
    const char* cls = nullptr;  // a single's class: ".", "%a", "[...]" or one literal character
    const char* clsEnd = nullptr;
    char quantifier = 0;        // '*', '+', '-', '?' or none
    unsigned char open = 0, close = 0;  // a balance's pair
};

bool isQuantifier(char c) { return c == '*' || c == '+' || c == '-' || c == '?'; }

// Where the class starting at i ends, as the library reads it; m for an unfinished set.
size_t classEnd(const char* p, size_t m, size_t i) {
    if (p[i] == '%') return std::min(i + 2, m);
    if (p[i] != '[') return i + 1;
    size_t j = i + 1;
    if (j < m && p[j] == '^') ++j;
    do {
        if (j >= m) return m;
        if (p[j++] == '%') ++j;
    } while (j < m && p[j] != ']');
    return std::min(j + 1, m);
}

std::vector<Element> parse(const char* p, size_t m, size_t i) {
    std::vector<Element> elements;
    while (i < m) {
        Element e;
        const char c = p[i];
        if (c == '(' || c == ')') {
            e.kind = Kind::Capture;
            i += c == '(' && i + 1 < m && p[i + 1] == ')' ? 2 : 1;
        } else if (c == '$' && i + 1 == m) {
            e.kind = Kind::End;
            ++i;
        } else if (c == '%' && i + 1 < m && p[i + 1] == 'b') {
            e.kind = Kind::Balance;
            e.open = i + 2 < m ? static_cast<unsigned char>(p[i + 2]) : 0;
            e.close = i + 3 < m ? static_cast<unsigned char>(p[i + 3]) : 0;
            i += 4;
        } else if (c == '%' && i + 1 < m && p[i + 1] == 'f') {
            e.kind = Kind::Frontier;
            i += 2;
            if (i < m) i = classEnd(p, m, i);
        } else if (c == '%' && i + 1 < m && p[i + 1] >= '0' && p[i + 1] <= '9') {
            e.kind = Kind::BackReference;
            i += 2;
        } else {
            const size_t end = classEnd(p, m, i);
            e.cls = p + i;
            e.clsEnd = p + end;
            i = end;
            if (i < m && isQuantifier(p[i])) e.quantifier = p[i++];
        }
        elements.push_back(e);
    }
    return elements;
}

bool matchesClass(unsigned char c, unsigned char cl) {
    bool result;
    switch (std::tolower(cl)) {
        case 'a': result = std::isalpha(c); break;
        case 'c': result = std::iscntrl(c); break;
        case 'd': result = std::isdigit(c); break;
        case 'g': result = std::isgraph(c); break;
        case 'l': result = std::islower(c); break;
        case 'p': result = std::ispunct(c); break;
        case 's': result = std::isspace(c); break;
        case 'u': result = std::isupper(c); break;
        case 'w': result = std::isalnum(c); break;
        case 'x': result = std::isxdigit(c); break;
        default: return cl == c;
    }
    return std::isupper(cl) ? !result : result;
}

bool matchesSet(unsigned char c, const char* p, const char* last) {
    bool found = true;
    if (p + 1 < last && p[1] == '^') {
        found = false;
        ++p;
    }
    while (++p < last) {
        if (*p == '%' && p + 1 < last) {
            ++p;
            if (matchesClass(c, static_cast<unsigned char>(*p))) return found;
        } else if (p + 2 < last && p[1] == '-') {
            p += 2;
            if (static_cast<unsigned char>(p[-2]) <= c && c <= static_cast<unsigned char>(*p)) return found;
        } else if (static_cast<unsigned char>(*p) == c) {
            return found;
        }
    }
    return !found;
}

bool matches(const Element& e, unsigned char c) {
    const size_t length = static_cast<size_t>(e.clsEnd - e.cls);
    switch (e.cls[0]) {
        case '.': return true;
        case '%': return length < 2 || matchesClass(c, static_cast<unsigned char>(e.cls[1]));
        case '[': return length < 2 || e.clsEnd[-1] != ']' || matchesSet(c, e.cls, e.clsEnd - 1);
        default: return static_cast<unsigned char>(e.cls[0]) == c;
    }
}

bool isDot(const Element& e) { return e.kind == Kind::Single && e.clsEnd - e.cls == 1 && e.cls[0] == '.'; }

// Looks at the subject for the bound, within a budget of character tests of its own: past it,
// every run is taken to be the whole subject.
struct Looker {
    const char* s = nullptr;
    size_t n = 0;
    double budget = kMaxLookSteps;
    double spent = 0.0;
    bool afford(double tests) {
        if (tests > budget) return false;
        budget -= tests;
        spent += tests;
        return true;
    }
};

double classCost(const Element& e) { return 1.0 + static_cast<double>(e.clsEnd - e.cls); }

// The longest run of subject characters the single's class matches.
double longestRun(const Element& e, Looker& look) {
    const size_t n = look.n;
    if (isDot(e) || !look.afford(static_cast<double>(n) * classCost(e))) return static_cast<double>(n);
    size_t best = 0, run = 0;
    for (size_t i = 0; i < n; ++i) {
        run = matches(e, static_cast<unsigned char>(look.s[i])) ? run + 1 : 0;
        best = std::max(best, run);
    }
    return static_cast<double>(best);
}

// What %bxy scans from each opening character: the longest scan, and all of them together.
void balanceScans(const Element& e, Looker& look, double& longest, double& total) {
    const size_t n = look.n;
    longest = static_cast<double>(n);
    total = longest * longest;
    if (!look.afford(2.0 * static_cast<double>(n))) return;
    longest = total = 0.0;
    std::vector<size_t> opened;
    const auto scanned = [&](double length) {
        longest = std::max(longest, length);
        total += length;
    };
    for (size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(look.s[i]);
        if (e.open == e.close) {
            // Each one closes at the next.
            if (c != e.open) continue;
            if (!opened.empty()) scanned(static_cast<double>(i - opened.back() + 1));
            opened.assign(1, i);
        } else if (c == e.close) {
            if (!opened.empty()) {
                scanned(static_cast<double>(i - opened.back() + 1));
                opened.pop_back();
            }
        } else if (c == e.open) {
            opened.push_back(i);
        }
    }
    for (size_t at : opened) scanned(static_cast<double>(n - at));
}

using CharSet = std::bitset<256>;

CharSet classSet(const Element& e) {
    CharSet set;
    for (int c = 0; c < 256; ++c) set[static_cast<size_t>(c)] = matches(e, static_cast<unsigned char>(c));
    return set;
}

// The characters the pattern from element j can go on with, short of the subject's end: where a
// repeated item stops, backtracking into its run can only go on when the rest can start with a
// character of that run.
CharSet firstCharacters(const std::vector<Element>& elements, size_t j) {
    CharSet first;
    for (; j < elements.size(); ++j) {
        const Element& e = elements[j];
        switch (e.kind) {
            case Kind::Capture: continue;
            case Kind::End: return first;  // passes only at the end
            case Kind::Balance: first[e.open] = true; return first;
            case Kind::Frontier:
            case Kind::BackReference: return first.set();
            case Kind::Single:
                first |= classSet(e);
                if (e.quantifier == 0 || e.quantifier == '+') return first;
                continue;
        }
    }
    return first.set();  // an empty rest matches anywhere
}

bool alwaysPasses(const Element& e) {
    return e.kind == Kind::Capture ||
           (e.kind == Kind::Single && (e.quantifier == '*' || e.quantifier == '-' || e.quantifier == '?'));
}

// How many starting positions lie after the last place where the fixed sequence of single
// classes from element `from` (count of them) matches: all of them when it matches nowhere.
double startsAfterLastMatch(const std::vector<Element>& elements, size_t from, size_t count, Looker& look) {
    const size_t n = look.n;
    if (count > n || !look.afford(static_cast<double>(n) * static_cast<double>(count + 1)))
        return static_cast<double>(n) + 1.0;
    for (size_t p = n - count + 1; p-- > 0;) {
        bool all = true;
        for (size_t k = 0; all && k < count; ++k)
            all = matches(elements[from + k], static_cast<unsigned char>(look.s[p + k]));
        if (all) return static_cast<double>(n - p);
    }
    return static_cast<double>(n) + 1.0;
}
}  // namespace

double patternSteps(const char* s, size_t n, const char* p, size_t m, bool anchorable) {
    const bool anchored = anchorable && m > 0 && p[0] == '^';
    const std::vector<Element> elements = parse(p, m, anchored ? 1 : 0);
    const size_t count = elements.size();
    const double n1 = static_cast<double>(n) + 1.0;
    Looker look{s, n};

    // succeeds[j]: the pattern from element j matches wherever it is tried; atEnd[j]: it matches
    // at the end of the subject; decisive[j]: tried anywhere, it either fails within a few tests
    // or the whole match succeeds.
    std::vector<char> succeeds(count + 1, 1), atEnd(count + 1, 1), decisive(count + 1, 1);
    for (size_t j = count; j-- > 0;) {
        const Element& e = elements[j];
        atEnd[j] = (alwaysPasses(e) || e.kind == Kind::End) && atEnd[j + 1];
        succeeds[j] = (alwaysPasses(e) && succeeds[j + 1]) ||
                      (isDot(e) && (e.quantifier == '*' || e.quantifier == '-') && atEnd[j + 1]);
        const bool plainSingle = e.kind == Kind::Single && e.quantifier == 0;
        decisive[j] = succeeds[j] || ((plainSingle || e.kind == Kind::Capture) && decisive[j + 1]) ||
                      (e.kind == Kind::Single && e.quantifier == '+' && succeeds[j + 1]);
    }
    size_t firstDecisive = 0;
    while (!decisive[firstDecisive]) ++firstDecisive;

    // The part that can backtrack, per starting position.
    double arrivals = 1.0, perStart = 0.0, once = 0.0, width = 0.0;
    bool fixedPrefix = true;
    for (size_t j = 0; j < firstDecisive; ++j) {
        const Element& e = elements[j];
        if (e.kind == Kind::Balance) {
            double longest = 0.0, total = 0.0;
            balanceScans(e, look, longest, total);
            if (arrivals == 1.0 && fixedPrefix) {
                once += total;  // each opening character is scanned from once
                perStart += 1.0;
            } else {
                perStart += arrivals * (longest + 1.0);
            }
            width += longest;
            fixedPrefix = false;
        } else if (e.kind == Kind::BackReference) {
            perStart += arrivals * (std::min(width, static_cast<double>(n)) + 1.0);
            fixedPrefix = false;
        } else if (e.kind == Kind::Single && e.quantifier == '?') {
            perStart += 2.0 * arrivals;
            arrivals *= 2.0;
            width += 1.0;
            fixedPrefix = false;
        } else if (e.kind == Kind::Single && e.quantifier != 0) {
            // A dot tried first, followed by fixed characters and then a part that cannot
            // fail: each start either finds those characters later on and matches, or lies
            // after their last place and scans to the end.
            size_t chain = 0, after = j + 1;
            while (after < count && elements[after].kind == Kind::Capture) ++after;
            while (after + chain < count && elements[after + chain].kind == Kind::Single &&
                   elements[after + chain].quantifier == 0)
                ++chain;
            if (isDot(e) && arrivals == 1.0 && fixedPrefix && j + 1 == firstDecisive && chain > 0 &&
                succeeds[after + chain]) {
                const double tail = startsAfterLastMatch(elements, after, chain, look);
                const double tries = static_cast<double>(chain) + 2.0;
                once += 2.0 * n1 * tries + tail * tail * tries;
                perStart += 1.0;
                break;
            }
            const double run = longestRun(e, look);
            perStart += arrivals * (run + 1.0);
            // Backtracking goes on only where the rest can start with one of the run's own
            // characters; if it cannot, only the end of the run goes on.
            if ((firstCharacters(elements, j + 1) & classSet(e)).any()) arrivals *= run + 1.0;
            width += run;
            fixedPrefix = false;
        } else {
            perStart += arrivals;
            width += 1.0;
        }
    }
    perStart += arrivals * static_cast<double>(count - firstDecisive + 1);

    // The part that cannot fail: once per match, and matches do not overlap.
    double success = 0.0;
    for (size_t j = firstDecisive; j < count; ++j) {
        const Element& e = elements[j];
        if (isDot(e) && e.quantifier != 0 && !succeeds[j + 1]) {
            // Tries the rest at every place up to the end.
            double rest = 0.0;
            for (size_t k = j + 1; k < count; ++k)
                rest += (elements[k].kind == Kind::Single && elements[k].quantifier != 0
                             ? longestRun(elements[k], look)
                             : 0.0) +
                        2.0;
            success += 1.0 + rest;
            break;
        }
        success += 2.0;
    }
    return (anchored ? 1.0 : n1) * perStart + once + n1 * success + look.spent;
}

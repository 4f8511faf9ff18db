// key_table.h: every key the game answers, with what it does and how the help panel names it.
// The input dispatch and the help panel both read this one table, so a new key is one row.
#pragma once
#include <vector>

enum class HelpColumn { Play, Edit };

struct KeyAction {
    unsigned char key;  // a character code, or the window system's code of a special key
    void (*run)();
    bool special = false;  // Home, arrows, F keys: keys without a character
};

// One line of the help panel and the keys it names.
struct KeyRow {
    HelpColumn column;
    const char* keys;   // as the panel names them: "7 / 8"
    const char* label;  // what they do: "reload map.txt"
    // Empty for keys that act while held (read by the logic step) and for the mouse.
    std::vector<KeyAction> actions;
};

// In the panel's order, each column top to bottom.
const std::vector<KeyRow>& keyRows();
// Runs the action bound to key; false when the key has none.
bool runKeyAction(unsigned char key);
bool runSpecialKeyAction(int key);
bool hasKeyAction(unsigned char key);

// The names a level script knows keys by: a printable character as itself, "space", "return",
// "tab", "backspace", "delete", "escape"; special keys "left", "right", "up", "down", "home",
// "end", "pageup", "pagedown", "insert", "f1" to "f12". nullptr for a key without one (a
// Ctrl combination's control code).
const char* keyName(unsigned char key);
const char* specialKeyName(int key);
// The character code a name stands for, or -1 for a special key's name or none.
int keyCodeOf(const char* name);
bool knownKeyName(const char* name);  // a character's or a special key's

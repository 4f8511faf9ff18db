// key_docs_test.cpp: every key of the key table is named in the README's controls table and in
// the usage text, so a key added to the table cannot be missing from either.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/data_folders.h"
#include "game/key_table.h"

namespace {
// How the documents name the key an action is bound to.
std::string documentedName(const KeyAction& action, const KeyRow& row) {
    if (action.special) return row.keys;
    const unsigned char key = action.key;
    if (key == 8) return "Backspace";
    if (key >= 1 && key <= 26) return std::string("Ctrl+") + static_cast<char>('A' + key - 1);
    if (key == 27) return "Esc";
    if (key == 127) return "Delete";
    return std::string(1, static_cast<char>(key));
}

// Whether name stands in text as a word of its own (not inside a longer word).
bool namesKey(const std::string& text, const std::string& name) {
    const auto isWordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
        const bool before = at == 0 || !isWordChar(text[at - 1]) || !isWordChar(name.front());
        const size_t end = at + name.size();
        const bool after = end >= text.size() || !isWordChar(text[end]) || !isWordChar(name.back());
        if (before && after) return true;
    }
    return false;
}

// The first cells of the README's controls table, one line of text.
std::string readmeControlKeys() {
    std::ifstream in(std::string(KELVORAN_SOURCE_DIR) + "/README.md");
    std::string line, keys;
    bool inControls = false;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0) inControls = line == "## Controls";
        if (!inControls || line.rfind("| ", 0) != 0) continue;
        keys += line.substr(2, line.find(" |", 2) - 2) + " ; ";
    }
    return keys;
}
}  // namespace

TEST(KeyDocs, EveryKeyOfTheTableIsInTheReadmeAndTheUsage) {
    const std::string readme = readmeControlKeys();
    ASSERT_FALSE(readme.empty());
    std::ostringstream usage;
    printUsage(usage, DataFolders());
    const std::string keysParagraph = usage.str().substr(usage.str().find("Keys:"));
    for (const KeyRow& row : keyRows()) {
        for (const KeyAction& action : row.actions) {
            const std::string name = documentedName(action, row);
            EXPECT_TRUE(namesKey(readme, name)) << name << " (" << row.label << ") is not in the README's controls";
            EXPECT_TRUE(namesKey(keysParagraph, name)) << name << " (" << row.label << ") is not in the usage text";
        }
    }
}

// test_main.cpp: the one main of every test program. Each case runs in a fresh temporary folder
// of its own, and afterwards the program's layers are put back as a new process would find them
// (resetTestState), so cases pass alone, in any order, and run twice in one process.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/test_state.h"

namespace {

class FreshStatePerCase : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo&) override {
        home_ = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvoran-case-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) {
            ADD_FAILURE() << "cannot make and enter " << pattern;
            return;
        }
        folder_ = pattern;
    }

    void OnTestEnd(const testing::TestInfo&) override {
        resetTestState();
        if (chdir(home_.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << home_;
        if (folder_.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        folder_.clear();
    }

private:
    std::filesystem::path home_;
    std::string folder_;
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Owned by GoogleTest from here on.
    testing::UnitTest::GetInstance()->listeners().Append(new FreshStatePerCase);
    return RUN_ALL_TESTS();
}

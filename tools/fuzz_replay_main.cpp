// fuzz_replay_main.cpp: runs a libFuzzer target's entry point once on each given file, without
// libFuzzer, so ordinary builds replay the seed corpora through CTest.
// Usage: NAME_replay FILE_OR_FOLDER...  (a folder contributes every regular file in it, sorted)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Optional in a target; a weak reference stays null when the target does not define it.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: " << argv[0] << " FILE_OR_FOLDER..." << std::endl;
        return 2;
    }
    // Absolute paths first: a target's initialisation may change the working folder.
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code failure;
        const fs::path given = fs::absolute(argv[i], failure);
        if (fs::is_directory(given, failure)) {
            std::vector<fs::path> files;
            for (const fs::directory_entry& entry : fs::directory_iterator(given, failure))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            inputs.insert(inputs.end(), files.begin(), files.end());
        } else if (fs::is_regular_file(given, failure)) {
            inputs.push_back(given);
        } else {
            std::cerr << argv[i] << ": no such file or folder" << std::endl;
            return 2;
        }
    }
    if (inputs.empty()) {
        std::cerr << "no inputs to replay" << std::endl;  // an empty corpus proves nothing
        return 2;
    }

    if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
    for (const fs::path& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::cerr << path.string() << ": cannot open" << std::endl;
            return 2;
        }
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        std::cout << "replaying " << path.filename().string() << " (" << bytes.size()
                  << " bytes)" << std::endl;
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::cout << "replayed " << inputs.size() << " inputs" << std::endl;
    return 0;
}

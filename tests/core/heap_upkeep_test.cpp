// heap_upkeep_test.cpp: freed memory between live blocks goes back to the system when asked.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/heap_upkeep.h"

namespace {
// Anonymous resident memory of this process, KiB.
long residentAnonKib() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = -1;
    while (status >> key) {
        if (key == "RssAnon:") {
            status >> value;
            break;
        }
    }
    return value;
}
}  // namespace

TEST(HeapUpkeep, FreedPagesBetweenLiveBlocksAreHandedBack) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps its own heap";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer keeps its own heap";
#endif
#endif
    // 64 MiB in small blocks, then all but one block in every 64 KiB freed: like crates and a
    // retired world between the blocks that stay.
    constexpr size_t kBlock = 256, kBlocks = (size_t{64} << 20) / kBlock, kKeepEvery = 256;
    std::vector<std::unique_ptr<char[]>> blocks(kBlocks);
    for (auto& block : blocks) {
        block.reset(new char[kBlock]);
        block[0] = 1;
    }
    for (size_t i = 0; i < kBlocks; ++i)
        if (i % kKeepEvery != 0) blocks[i].reset();
    const long before = residentAnonKib();
    returnFreedHeap();
    const long after = residentAnonKib();
    ASSERT_GT(before, 0);
    EXPECT_LT(after, before - 32 * 1024) << "before " << before << " KiB, after " << after << " KiB";
}

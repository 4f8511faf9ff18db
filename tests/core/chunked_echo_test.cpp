// chunked_echo_test.cpp: text passes through whole and in order, a chunk at a time and on flush.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "core/chunked_echo.h"

TEST(ChunkedEcho, PassesOnFullChunksAndTheRestOnFlushByteForByte) {
    std::ostringstream target;
    std::string expected;
    {
        ChunkedEcho chunks(target);
        std::ostream echo(&chunks);
        echo << "short\n";
        EXPECT_EQ(target.str(), "") << "held until the chunk fills or a flush";
        expected = "short\n";
        for (int i = 1; i <= 20000; ++i) {  // well over one 64 KiB chunk
            echo << i << ".(" << 0.1f * static_cast<float>(i) << "," << -3.5f << ",1)\n";
            std::ostringstream line;
            line << i << ".(" << 0.1f * static_cast<float>(i) << "," << -3.5f << ",1)\n";
            expected += line.str();
        }
        EXPECT_GT(target.str().size(), 0u);
        EXPECT_LT(target.str().size(), expected.size());
        echo.flush();
        EXPECT_EQ(target.str(), expected);
        echo << "tail";
    }
    EXPECT_EQ(target.str(), expected + "tail") << "the rest goes out when the echo ends";
}

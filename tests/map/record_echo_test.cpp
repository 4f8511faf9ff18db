// record_echo_test.cpp: the loader's record lines are exactly what a stream prints for each value.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "map/map_codec.h"

namespace {

float fromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

TEST(RecordEcho, LinesMatchTheStreamsFormattingForEveryKindOfFloat) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> ordinary(-5000.0f, 5000.0f);
    const float special[] = {0.0f, -0.0f, std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(), fromBits(0x7fc00000u),
                             fromBits(0xffc00001u), fromBits(1u), fromBits(0x00800000u),
                             std::numeric_limits<float>::max(), 999999.5f, 1e6f, 123456.5f,
                             0.0001f, 0.00001f, 30.0f, 100.5f, 999999.0f, -999999.0f, -48.0f};
    MapData map;
    map.count = 1e6f;
    std::ostringstream expected;
    expected << "Find " << static_cast<double>(map.count) << " quads\n";
    for (int i = 0; i < 200000; ++i) {
        QuadRecord record;
        for (float& c : record.corners) {
            const int kind = static_cast<int>(rng() % 4);
            if (kind == 0) c = fromBits(static_cast<uint32_t>(rng()));  // any bit pattern
            else if (kind == 1) c = special[rng() % (sizeof special / sizeof special[0])];
            else if (kind == 2) c = std::round(ordinary(rng) * 4.0f) / 4.0f;  // editor-like
            else c = ordinary(rng);
        }
        record.tag = static_cast<uint8_t>(rng() % 3);  // any non-zero byte reads as a tag
        map.records.push_back(record);
        expected << i + 1 << ".(";
        for (float c : record.corners) expected << c << ",";
        expected << (record.tag != 0) << ")\n";
    }
    std::ostringstream printed;
    printMapRecords(map, printed);
    ASSERT_EQ(printed.str().size(), expected.str().size());
    EXPECT_TRUE(printed.str() == expected.str());
}

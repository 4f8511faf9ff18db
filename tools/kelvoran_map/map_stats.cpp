// map_stats.cpp: sizes a map up from the records the game accepts.
#include "kelvoran_map/map_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

namespace {

// Shoelace area in square world units, in double so huge corners do not overflow.
double quadArea(const QuadRecord& record) {
    double twice = 0.0;
    for (int k = 0; k < 4; ++k) {
        const int j = (k + 1) % 4;
        twice += static_cast<double>(record.corners[2 * k]) * record.corners[2 * j + 1] -
                 static_cast<double>(record.corners[2 * j]) * record.corners[2 * k + 1];
    }
    return std::fabs(twice) * 0.5;
}

}  // namespace

std::string statsTable(const MapReport& report) {
    const std::vector<QuadRecord>& records = report.map.records;
    const double far = std::numeric_limits<double>::infinity();
    double minX = far, minY = far, maxX = -far, maxY = -far;
    size_t smallest = 0, largest = 0;  // 1-based; 0 while no quad is accepted
    double smallestArea = 0, largestArea = 0;
    size_t accepted = 0, withoutBody = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const RecordVerdict& verdict = report.verdicts[i];
        if (!verdict.body) ++withoutBody;
        if (verdict.fault != CornerFault::None) continue;
        const QuadRecord& record = records[i];
        for (int k = 0; k < 4; ++k) {
            const double x = record.corners[2 * k], y = record.corners[2 * k + 1];
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
        const double area = quadArea(record);
        if (accepted == 0 || area < smallestArea) {
            smallestArea = area;
            smallest = i + 1;
        }
        if (accepted == 0 || area > largestArea) {
            largestArea = area;
            largest = i + 1;
        }
        ++accepted;
    }
    std::ostringstream out;
    out << "count     " << static_cast<double>(report.map.count) << " (" << records.size()
        << " records read, " << accepted << " accepted)\n";
    if (accepted == 0) {
        out << "extent    -\nsmallest  -\nlargest   -\n";
    } else {
        out << "extent    x " << minX << " .. " << maxX << ", y " << minY << " .. " << maxY
            << " (" << maxX - minX << " x " << maxY - minY << " units)\n";
        out << "smallest  quad " << smallest << ", " << smallestArea << " square units\n";
        out << "largest   quad " << largest << ", " << largestArea << " square units\n";
    }
    out << "no body   " << withoutBody << " of " << records.size() << "\n";
    return out.str();
}

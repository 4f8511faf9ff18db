// map_check.cpp: judges every record with the engine's own tests (the loader's turn test, the
// body polygon test, the shadow range test) and words the problems one per line.
#include "kelvoran_map/map_check.h"

#include <array>
#include <cmath>
#include <map>
#include <sstream>

#include "lighting/shadow_quad.h"

namespace {

using Place = std::array<float, 8>;

// The same four corners give the same place whichever corner comes first; -0 is 0 here.
Place placeOf(const QuadRecord& record) {
    Place best{};
    for (int start = 0; start < 4; ++start) {
        Place rotated;
        for (int i = 0; i < 8; ++i) rotated[i] = record.corners[(2 * start + i) % 8] + 0.0f;
        if (start == 0 || rotated < best) best = rotated;
    }
    return best;
}

const char* faultText(CornerFault fault) {
    switch (fault) {
        case CornerFault::NotFinite: return "corners not finite";
        case CornerFault::Collinear: return "collinear corners";
        case CornerFault::WrongWinding: return "wrong winding";
        case CornerFault::NotConvex: return "not convex";
        case CornerFault::None: break;
    }
    return "";
}

}  // namespace

void recordCorners(const QuadRecord& record, Vec2f corners[4]) {
    for (int k = 0; k < 4; ++k) corners[k] = {record.corners[2 * k], record.corners[2 * k + 1]};
}

MapReport examineMap(const std::vector<uint8_t>& bytes) {
    MapReport report;
    report.map = decodeMap(bytes.data(), bytes.size());
    report.fileSize = bytes.size();
    std::map<Place, int64_t> firstAt;  // only accepted quads hold a place
    int64_t number = 0;
    for (const QuadRecord& record : report.map.records) {
        ++number;
        RecordVerdict verdict;
        Vec2f corners[4];
        recordCorners(record, corners);
        verdict.fault = cornerFault(corners);
        if (verdict.fault == CornerFault::None) {
            verdict.body = isValidBodyPolygon(corners);
            verdict.lightingInRange = shadowGeometryInRange(corners);
            const auto placed = firstAt.emplace(placeOf(record), number);
            if (!placed.second) verdict.duplicateOf = placed.first->second;
        }
        report.verdicts.push_back(verdict);
    }
    return report;
}

bool countMatchesLength(const MapReport& report) {
    if (report.fileSize < kMapHeaderSize) return false;
    const double count = static_cast<double>(report.map.count);
    const double length = static_cast<double>(kMapHeaderSize) +
                          static_cast<double>(kMapRecordSize) * count;
    // A whole, non-negative count whose records fill the file exactly.
    return count >= 0.0 && count == std::floor(count) &&
           length == static_cast<double>(report.fileSize);
}

std::vector<std::string> problemLines(const MapReport& report) {
    std::vector<std::string> lines;
    if (report.fileSize < kMapHeaderSize) {
        lines.push_back("file: " + std::to_string(report.fileSize) +
                        " bytes, too short to hold the quad count");
    } else if (!countMatchesLength(report)) {
        std::ostringstream line;
        line << "file: count " << static_cast<double>(report.map.count)
             << " does not match the length of " << report.fileSize
             << " bytes (records read: " << report.map.records.size()
             << ", bytes left over: " << report.fileSize - report.map.bytesUsed << ")";
        lines.push_back(line.str());
    }
    for (size_t i = 0; i < report.verdicts.size(); ++i) {
        const RecordVerdict& verdict = report.verdicts[i];
        const std::string quad = "quad " + std::to_string(i + 1) + ": ";
        if (verdict.fault != CornerFault::None) {
            lines.push_back(quad + "rejected (" + faultText(verdict.fault) + ")");
            continue;
        }
        if (!verdict.body) lines.push_back(quad + "no body (corners unsafe for the physics library)");
        if (!verdict.lightingInRange) lines.push_back(quad + "out of range for the lighting geometry");
        if (verdict.duplicateOf != 0) {
            lines.push_back(quad + "duplicate of quad " + std::to_string(verdict.duplicateOf));
        }
    }
    return lines;
}

std::vector<QuadRecord> keptRecords(const MapReport& report) {
    std::vector<QuadRecord> kept;
    for (size_t i = 0; i < report.verdicts.size(); ++i) {
        const RecordVerdict& verdict = report.verdicts[i];
        if (verdict.fault == CornerFault::None && verdict.duplicateOf == 0) {
            kept.push_back(report.map.records[i]);
        }
    }
    return kept;
}

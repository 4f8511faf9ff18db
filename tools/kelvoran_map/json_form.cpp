// json_form.cpp: floats and map files as JSON through the engine's own map codec. Floats travel
// as bits wherever arithmetic could change them: a NaN never passes through a double.
#include "kelvoran_map/json_form.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>

#include "map/map_codec.h"

using nlohmann::json;

namespace {

uint32_t bitsOf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float floatOfBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool sameBits(float a, float b) { return bitsOf(a) == bitsOf(b); }

// "nan:0x" and exactly eight hex digits that make a NaN; false for anything else.
bool parseNan(const std::string& text, float& out) {
    static const char kPrefix[] = "nan:0x";
    const size_t prefix = sizeof kPrefix - 1;
    if (text.size() != prefix + 8 || text.compare(0, prefix, kPrefix) != 0) return false;
    uint32_t bits = 0;
    for (size_t i = prefix; i < text.size(); ++i) {
        const char c = text[i];
        uint32_t digit;
        if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
        else return false;
        bits = bits << 4 | digit;
    }
    out = floatOfBits(bits);
    return std::isnan(out);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string toHex(const uint8_t* bytes, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * size);
    for (size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

json quadToJson(const QuadRecord& quad) {
    json corners = json::array();
    for (int k = 0; k < 4; ++k) {
        corners.push_back(json::array({floatToJson(quad.corners[2 * k]),
                                       floatToJson(quad.corners[2 * k + 1])}));
    }
    return json{{"corners", corners}, {"tag", quad.tag}};
}

// Reads the JSON document into the file's parts; error names the offending place.
class MapReader {
public:
    std::string error;

    bool read(const json& doc, std::vector<uint8_t>& bytes) {
        if (!doc.is_object()) return fail("the document", "must be an object");
        for (const auto& item : doc.items()) {
            if (item.key() != "count" && item.key() != "quads" && item.key() != "trailing") {
                return fail("\"" + item.key() + "\"", "is not a field of a map (count, quads, trailing)");
            }
        }
        const auto quads = doc.find("quads");
        if (quads == doc.end() || !quads->is_array()) return fail("\"quads\"", "must be an array");
        std::vector<QuadRecord> records;
        records.reserve(quads->size());
        for (size_t i = 0; i < quads->size(); ++i) {
            QuadRecord record;
            if (!readQuad((*quads)[i], "quads[" + std::to_string(i) + "]", record)) return false;
            records.push_back(record);
        }
        const auto count = doc.find("count");
        if (count != doc.end() && count->is_null()) {
            if (!records.empty()) return fail("\"count\"", "may only be null for a map without quads");
            bytes.clear();
        } else {
            float stored = static_cast<float>(records.size());
            std::string reason;
            if (count != doc.end() && !floatFromJson(*count, stored, reason)) {
                return fail("\"count\"", reason);
            }
            bytes = encodeMap(stored, records);
        }
        const auto trailing = doc.find("trailing");
        if (trailing != doc.end()) return readTrailing(*trailing, bytes);
        return true;
    }

private:
    bool fail(const std::string& where, const std::string& what) {
        error = where + " " + what;
        return false;
    }

    bool readQuad(const json& quad, const std::string& where, QuadRecord& record) {
        if (!quad.is_object()) return fail(where, "must be an object");
        for (const auto& item : quad.items()) {
            if (item.key() != "corners" && item.key() != "tag") {
                return fail(where + ".\"" + item.key() + "\"", "is not a field of a quad (corners, tag)");
            }
        }
        const auto corners = quad.find("corners");
        if (corners == quad.end() || !corners->is_array() || corners->size() != 4) {
            return fail(where + ".corners", "must be an array of four [x, y] pairs");
        }
        for (size_t k = 0; k < 4; ++k) {
            const json& corner = (*corners)[k];
            const std::string at = where + ".corners[" + std::to_string(k) + "]";
            if (!corner.is_array() || corner.size() != 2) return fail(at, "must be an [x, y] pair");
            for (size_t axis = 0; axis < 2; ++axis) {
                std::string reason;
                if (!floatFromJson(corner[axis], record.corners[2 * k + axis], reason)) {
                    return fail(at + "[" + std::to_string(axis) + "]", reason);
                }
            }
        }
        const auto tag = quad.find("tag");
        if (tag != quad.end()) {
            if (!tag->is_number_integer() || tag->get<int64_t>() < 0 || tag->get<int64_t>() > 255) {
                return fail(where + ".tag", "must be a whole number from 0 to 255 (the byte)");
            }
            record.tag = static_cast<uint8_t>(tag->get<int64_t>());
        }
        return true;
    }

    bool readTrailing(const json& trailing, std::vector<uint8_t>& bytes) {
        if (!trailing.is_string()) return fail("\"trailing\"", "must be a string of hex digit pairs");
        const std::string& text = trailing.get_ref<const std::string&>();
        if (text.size() % 2 != 0) return fail("\"trailing\"", "must have an even number of hex digits");
        for (size_t i = 0; i < text.size(); i += 2) {
            const int high = hexDigit(text[i]);
            const int low = hexDigit(text[i + 1]);
            if (high < 0 || low < 0) return fail("\"trailing\"", "must hold only hex digits");
            bytes.push_back(static_cast<uint8_t>(high << 4 | low));
        }
        return true;
    }
};

}  // namespace

json floatToJson(float value) {
    if (std::isnan(value)) {
        char text[24];
        std::snprintf(text, sizeof text, "nan:0x%08x", static_cast<unsigned>(bitsOf(value)));
        return text;
    }
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    if (value == 0.0f && std::signbit(value)) return -0.0;  // written -0.0, read back as -0
    if (value == std::trunc(value) && std::fabs(value) < 1.0e15f) {
        return static_cast<int64_t>(value);
    }
    // The fewest digits whose double, narrowed as the reader narrows it, is this float.
    for (int digits = 1; digits <= 9; ++digits) {
        char text[40];
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        const double read = std::strtod(text, nullptr);
        if (sameBits(static_cast<float>(read), value)) return read;
    }
    return static_cast<double>(value);  // exact, so it narrows back unchanged
}

bool floatFromJson(const json& value, float& out, std::string& reason) {
    if (value.is_number_integer() || value.is_number_unsigned()) {
        out = value.is_number_unsigned() ? static_cast<float>(value.get<uint64_t>())
                                         : static_cast<float>(value.get<int64_t>());
        return true;
    }
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (std::fabs(number) > static_cast<double>(std::numeric_limits<float>::max())) {
            // Beyond the largest float, rounding may still land on it; past that it would be inf.
            const float narrowed = static_cast<float>(number);
            if (std::isinf(narrowed)) {
                reason = "is beyond the float32 range (write \"inf\" or \"-inf\")";
                return false;
            }
        }
        out = static_cast<float>(number);
        return true;
    }
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        if (text == "inf") {
            out = std::numeric_limits<float>::infinity();
            return true;
        }
        if (text == "-inf") {
            out = -std::numeric_limits<float>::infinity();
            return true;
        }
        if (parseNan(text, out)) return true;
    }
    reason = "must be a number, \"inf\", \"-inf\" or a NaN's bits such as \"nan:0x7fc00000\"";
    return false;
}

std::string mapBytesToJson(const std::vector<uint8_t>& bytes) {
    const MapData map = decodeMap(bytes.data(), bytes.size());
    const json count = bytes.size() < kMapHeaderSize ? json(nullptr) : floatToJson(map.count);
    std::ostringstream out;
    out << "{\n  \"count\": " << count.dump() << ",\n  \"quads\": [";
    for (size_t i = 0; i < map.records.size(); ++i) {
        out << (i == 0 ? "\n    " : ",\n    ") << quadToJson(map.records[i]).dump();
    }
    out << (map.records.empty() ? "]" : "\n  ]");
    if (map.bytesUsed < bytes.size()) {
        out << ",\n  \"trailing\": \""
            << toHex(bytes.data() + map.bytesUsed, bytes.size() - map.bytesUsed) << "\"";
    }
    out << "\n}\n";
    return out.str();
}

bool mapBytesFromJson(const std::string& text, std::vector<uint8_t>& bytes, std::string& error) {
    // The parser takes a NUL for the end of the text: whatever followed would be dropped unseen.
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) {
        error = "not JSON: a NUL byte at byte " + std::to_string(nul + 1);
        return false;
    }
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::exception& e) {  // a syntax error, or a number beyond a double
        error = std::string("not JSON: ") + e.what();
        return false;
    }
    MapReader reader;
    if (!reader.read(doc, bytes)) {
        error = reader.error;
        return false;
    }
    return true;
}

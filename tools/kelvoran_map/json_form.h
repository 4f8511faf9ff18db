// json_form.h: a map file's bytes as JSON text and back, exact to the float bit and the byte.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// One float32 as JSON that reads back to the same bits: finite values as numbers (integers
// when whole, else the fewest digits that round-trip, -0 as -0.0), "inf", "-inf", and NaN as
// "nan:0x" followed by its eight hex bit-pattern digits, e.g. "nan:0x7fc00000".
nlohmann::json floatToJson(float value);
// The float32 a JSON value stands for (numbers round to nearest); false, with reason filled,
// for anything else or a finite number beyond the float32 range.
bool floatFromJson(const nlohmann::json& value, float& out, std::string& reason);

// The JSON text of any file: {"count": C, "quads": [{"corners": [[x0,y0],..,[x3,y3]],
// "tag": T}, ...], "trailing": "hex"}, one quad per line. The quads are the records the game
// reads; "trailing" (only when there are any) holds the bytes after them; "count" is null
// when the file is too short to hold one.
std::string mapBytesToJson(const std::vector<uint8_t>& bytes);
// The file bytes for such JSON text ("count" may be left out: the number of quads; "tag"
// may be left out: 0). False, with error naming the place, when the text is not that form.
bool mapBytesFromJson(const std::string& text, std::vector<uint8_t>& bytes, std::string& error);

// map_json_fuzz.cpp: kelvoran-map's JSON reader on any text, as a level maker might send it.
// Nothing may escape as an exception (the program would abort); a refusal always says why; what
// is accepted is a map file whose JSON reads back to the very same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kelvoran_map/json_form.h"

namespace {
[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<uint8_t> bytes;
    std::string error;
    if (!mapBytesFromJson(text, bytes, error)) {
        if (error.empty()) fail("JSON refused without a reason");
        return 0;
    }
    if (!error.empty()) fail("JSON accepted with an error text");
    // Nothing after a NUL may pass unread.
    if (text.find('\0') != std::string::npos) fail("JSON holding a NUL was accepted");
    std::vector<uint8_t> again;
    if (!mapBytesFromJson(mapBytesToJson(bytes), again, error)) fail("our own JSON was refused");
    if (again != bytes) fail("the JSON round trip changed the bytes");
    return 0;
}

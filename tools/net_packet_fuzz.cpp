// net_packet_fuzz.cpp: the shared session's packet decoder on arbitrary bytes. A packet either
// decodes to one message that encodes back to exactly its bytes, or is refused; nothing else.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "net/net_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NetMessage message;
    if (!decodeMessage(data, size, message)) return 0;
    const std::vector<uint8_t> again = encodeMessage(message);
    // Varints may be written long, so compare what they mean: decoding the re-encoding must
    // give the same encoding again.
    NetMessage second;
    if (!decodeMessage(again.data(), again.size(), second) || encodeMessage(second) != again) {
        std::fprintf(stderr, "invariant broken: a decoded packet does not survive its encoding\n");
        std::abort();
    }
    return 0;
}

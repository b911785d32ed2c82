// The data server's frame parser on arbitrary bytes: a stream of frames taken apart the way a
// connection does, and every frame it accepts must encode back to the same bytes.

#include "server/UXPacket.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    size_t at = 0;
    while (at < bytes.size()) {
        TXTCPPack p;
        const TXFrameResult r = ParseFrame(bytes.substr(at), p, 1 << 20);
        if (r.status != TXFrameStatus::Packet)
            break;
        if (r.consumed < kPacketOverhead || r.consumed > bytes.size() - at)
            std::abort();
        if (EncodePacket(p) != bytes.substr(at, r.consumed))
            std::abort();
        at += r.consumed;
    }
    return 0;
}

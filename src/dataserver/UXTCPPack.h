#pragma once
// One packet of the data-server connection and its frame on the wire.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

class TXBuffer;

// A frame whose fields do not add up: the byte stream can no longer be trusted.
class EXPackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TXTCPPack {
    uint32_t ConnectionId = 0;
    uint32_t Reserved = 0;
    std::string Service;
    std::string Command;
    std::string Payload;
    uint16_t Seq = 0;
};

// Frame: total length (i32), connection id (u16), reserved (u16), service (u8 + bytes),
// command (u8 + bytes), payload (i32 + bytes), seq (u16); little-endian.
inline constexpr int32_t kPackHeaderSize = 16;
// Server replies are paged; anything this large is a broken stream, not a packet.
inline constexpr int32_t kMaxPackSize = 256 * 1024 * 1024;

int32_t PackFrameSize(std::string_view service, std::string_view command, std::string_view payload);
void AppendPackFrame(TXBuffer& queue, uint16_t connectionId, uint16_t reserved, std::string_view service,
                     std::string_view command, std::string_view payload, uint16_t seq);
std::string PackFrame(uint16_t connectionId, uint16_t reserved, std::string_view service,
                      std::string_view command, std::string_view payload, uint16_t seq);

// Takes one complete frame from the front of the queue. False (queue untouched) while it is incomplete;
// EXPackError for a frame that cannot be parsed (the queue is then left as it was).
bool TakePackFrame(TXBuffer& queue, TXTCPPack& pack);

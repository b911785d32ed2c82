#pragma once
// Framing of the packets on a data server connection (both directions).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct TXTCPPack {
    uint16_t ConnectionId = 0;
    uint16_t Reserved = 0;
    std::string Service;
    std::string Command;
    std::string Payload;
    uint16_t Seq = 0;
};

// The fixed part: length, id, reserved, two name lengths, payload length, sequence number.
inline constexpr int32_t kPacketOverhead = 16;
inline constexpr int32_t kDefaultMaxPacket = 64 * 1024 * 1024;

// Appends one frame; service and command longer than 255 bytes are not representable and are cut.
void AppendPacket(std::string& out, const TXTCPPack& p);
std::string EncodePacket(const TXTCPPack& p);

enum class TXFrameStatus { NeedMore, Packet, Malformed };

struct TXFrameResult {
    TXFrameStatus status = TXFrameStatus::NeedMore;
    size_t consumed = 0; // bytes of the frame when status is Packet
    std::string error;   // why, when Malformed
};

// Takes one frame from the front of bytes. A bad total length is reported as soon as its four
// bytes are in, so an oversized frame is refused without waiting for it.
TXFrameResult ParseFrame(std::string_view bytes, TXTCPPack& out, int32_t maxLength = kDefaultMaxPacket);
